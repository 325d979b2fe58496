// Device-independent bitmaps for the bitmap push button: a bitmap resource
// (the bitmap header, its colour table and the pixel rows, packed) or a .bmp
// file is checked and copied into a DibImage whose header and rows are safe to
// hand to the drawing functions. Anything the button cannot draw safely
// (truncated, oversized, compressed or top-down images) is refused, and the
// button then shows a plain face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_reader.h"

namespace mel {

constexpr std::size_t kDibInfoHeaderSize = 40;     // the bitmap information header
constexpr std::size_t kBmpFileHeaderSize = 14;     // "BM", file size, reserved, offset of the rows
constexpr std::size_t kDibBitfieldMasksSize = 12;  // red, green, blue masks
constexpr std::size_t kDibColourEntrySize = 4;     // blue, green, red, reserved
constexpr uint32_t kDibCompressionNone = 0;        // BI_RGB
constexpr uint32_t kDibCompressionBitfields = 3;   // BI_BITFIELDS
constexpr std::size_t kDibMaxColours = 256;
constexpr int32_t kDibMaxDimension = 4096;  // far beyond any button; keeps copies small

struct DibColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

struct DibImage {
  int width = 0;
  int height = 0;  // rows are stored bottom-up
  int bit_count = 0;
  // A 40-byte information header (size, image size and used-colour count
  // filled in to match what follows), the three masks for bit-field images,
  // then the colour table of images with 8 bits per pixel or fewer.
  std::vector<uint8_t> info;
  // The pixel rows, bottom row first, each padded to a multiple of 4 bytes.
  std::vector<uint8_t> bits;
  // The colour table as stored (also when an image of more than 8 bits per
  // pixel carries one); empty when there is none.
  std::vector<DibColour> colours;
};

// A packed bitmap as a bitmap resource stores it: the header at the start, the
// rows right after the header, masks and colour table.
std::optional<DibImage> parse_packed_dib(ByteView data);

// A .bmp file: the file header, the bitmap header at byte 14, the rows at the
// offset stored in bytes 10..13.
std::optional<DibImage> parse_bmp_file(ByteView data);

// Bytes per pixel row, padded to a multiple of 4.
std::size_t dib_row_stride(int width, int bit_count);

}  // namespace mel
