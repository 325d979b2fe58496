#include "controls/dib_image_model.h"

#include <cstring>

namespace mel {

namespace {

// Offsets of the fields of the information header and the file header.
constexpr std::size_t kHeaderSizeField = 0;
constexpr std::size_t kWidthField = 4;
constexpr std::size_t kHeightField = 8;
constexpr std::size_t kPlanesField = 12;
constexpr std::size_t kBitCountField = 14;
constexpr std::size_t kCompressionField = 16;
constexpr std::size_t kImageSizeField = 20;
constexpr std::size_t kColoursUsedField = 32;
constexpr std::size_t kColoursImportantField = 36;
constexpr std::size_t kFileRowsOffsetField = 10;
constexpr char kBmpFileTag[] = "BM";
constexpr uint32_t kRequiredPlanes = 1;

uint32_t u16le(ByteView v, std::size_t at) { return uint32_t{v.at(at)} | (uint32_t{v.at(at + 1)} << 8); }

uint32_t u32le(ByteView v, std::size_t at) { return u16le(v, at) | (u16le(v, at + 2) << 16); }

void put_u32le(std::vector<uint8_t>& out, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

bool supported_bit_count(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Where the parts of a bitmap lie within the buffer.
struct DibLayout {
  std::size_t header_at = 0;
  uint32_t header_size = 0;
  int width = 0;
  int height = 0;
  int bit_count = 0;
  bool bitfields = false;
  std::size_t masks_at = 0;
  std::size_t table_at = 0;
  std::size_t table_entries = 0;
  std::size_t table_end = 0;  // the first byte after masks and colour table
};

// Checks the information header at header_at and locates masks and colour
// table. Every part it reports lies inside data.
std::optional<DibLayout> read_layout(ByteView data, std::size_t header_at) {
  if (header_at > data.size || data.size - header_at < kDibInfoHeaderSize) return std::nullopt;
  DibLayout l;
  l.header_at = header_at;
  l.header_size = u32le(data, header_at + kHeaderSizeField);
  if (l.header_size < kDibInfoHeaderSize || l.header_size > data.size - header_at) return std::nullopt;

  // Signed fields: a negative height is a top-down image, which is refused.
  const auto width = static_cast<int32_t>(u32le(data, header_at + kWidthField));
  const auto height = static_cast<int32_t>(u32le(data, header_at + kHeightField));
  if (width <= 0 || width > kDibMaxDimension || height <= 0 || height > kDibMaxDimension) return std::nullopt;
  l.width = width;
  l.height = height;

  if (u16le(data, header_at + kPlanesField) != kRequiredPlanes) return std::nullopt;
  const uint32_t bits = u16le(data, header_at + kBitCountField);
  if (!supported_bit_count(bits)) return std::nullopt;
  l.bit_count = static_cast<int>(bits);

  const uint32_t compression = u32le(data, header_at + kCompressionField);
  if (compression == kDibCompressionBitfields && (bits == 16 || bits == 32)) {
    l.bitfields = true;
  } else if (compression != kDibCompressionNone) {
    return std::nullopt;  // run-length or embedded images are not drawn
  }

  std::size_t after_header = header_at + l.header_size;
  if (l.bitfields) {
    // The masks follow a plain 40-byte header; longer headers hold them.
    l.masks_at = header_at + kDibInfoHeaderSize;
    if (l.header_size < kDibInfoHeaderSize + kDibBitfieldMasksSize) {
      if (data.size - after_header < kDibBitfieldMasksSize) return std::nullopt;
      after_header += kDibBitfieldMasksSize;
    }
  }

  const uint32_t used = u32le(data, header_at + kColoursUsedField);
  if (used > kDibMaxColours) return std::nullopt;
  if (used != 0) {
    if (bits <= 8 && used > (1u << bits)) return std::nullopt;
    l.table_entries = used;
  } else if (bits <= 8) {
    l.table_entries = std::size_t{1} << bits;
  }
  l.table_at = after_header;
  const std::size_t table_bytes = l.table_entries * kDibColourEntrySize;
  if (data.size - after_header < table_bytes) return std::nullopt;
  l.table_end = after_header + table_bytes;
  return l;
}

// Copies header, masks, table and rows into an image; nullopt when the rows
// at rows_at do not fit in data.
std::optional<DibImage> copy_image(ByteView data, const DibLayout& l, std::size_t rows_at) {
  const std::size_t stride = dib_row_stride(l.width, l.bit_count);
  const std::size_t rows_size = stride * static_cast<std::size_t>(l.height);
  if (rows_at > data.size || data.size - rows_at < rows_size) return std::nullopt;

  DibImage image;
  image.width = l.width;
  image.height = l.height;
  image.bit_count = l.bit_count;

  const bool table_drawn = l.bit_count <= 8;
  const std::size_t masks = l.bitfields ? kDibBitfieldMasksSize : 0;
  const std::size_t table = table_drawn ? l.table_entries * kDibColourEntrySize : 0;
  image.info.assign(kDibInfoHeaderSize + masks + table, 0);
  std::memcpy(image.info.data(), data.data + l.header_at, kDibInfoHeaderSize);
  put_u32le(image.info, kHeaderSizeField, static_cast<uint32_t>(kDibInfoHeaderSize));
  put_u32le(image.info, kImageSizeField, static_cast<uint32_t>(rows_size));
  put_u32le(image.info, kColoursUsedField, static_cast<uint32_t>(table_drawn ? l.table_entries : 0));
  put_u32le(image.info, kColoursImportantField, 0);
  if (masks != 0) std::memcpy(image.info.data() + kDibInfoHeaderSize, data.data + l.masks_at, masks);
  if (table != 0) std::memcpy(image.info.data() + kDibInfoHeaderSize + masks, data.data + l.table_at, table);

  image.colours.reserve(l.table_entries);
  for (std::size_t i = 0; i < l.table_entries; ++i) {
    const std::size_t at = l.table_at + i * kDibColourEntrySize;
    image.colours.push_back(DibColour{data.at(at + 2), data.at(at + 1), data.at(at)});
  }
  image.bits.assign(data.data + rows_at, data.data + rows_at + rows_size);
  return image;
}

}  // namespace

std::size_t dib_row_stride(int width, int bit_count) {
  if (width <= 0 || bit_count <= 0) return 0;
  const std::size_t row_bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bit_count);
  return (row_bits + 31) / 32 * 4;
}

std::optional<DibImage> parse_packed_dib(ByteView data) {
  const auto layout = read_layout(data, 0);
  if (!layout) return std::nullopt;
  return copy_image(data, *layout, layout->table_end);
}

std::optional<DibImage> parse_bmp_file(ByteView data) {
  if (!data.matches(0, kBmpFileTag, 2)) return std::nullopt;
  const auto layout = read_layout(data, kBmpFileHeaderSize);
  if (!layout) return std::nullopt;
  // The rows may not overlap the headers or the colour table.
  const std::size_t rows_at = u32le(data, kFileRowsOffsetField);
  if (rows_at < layout->table_end) return std::nullopt;
  return copy_image(data, *layout, rows_at);
}

}  // namespace mel
