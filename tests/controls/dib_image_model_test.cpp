// Checked copies of bitmap resources and .bmp files for the bitmap button:
// well-formed images come through intact, anything else is refused without
// reading past the bytes.
#include "controls/dib_image_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

struct DibLayout {
  int32_t width = 3;
  int32_t height = 2;
  uint16_t bit_count = 24;
  uint32_t compression = 0;
  uint32_t colours_used = 0;
  uint32_t header_size = 40;
  std::size_t table_entries = 0;  // entries actually stored
  bool masks = false;             // three masks after a 40-byte header
};

// The information header, masks and colour table (entry i is blue i, green
// 2i, red 3i).
Bytes info_part(const DibLayout& s) {
  Bytes b;
  put32(b, s.header_size);               // header size
  put32(b, static_cast<uint32_t>(s.width));
  put32(b, static_cast<uint32_t>(s.height));
  put16(b, 1);                           // planes
  put16(b, s.bit_count);
  put32(b, s.compression);
  put32(b, 0);                           // image size (may be 0)
  put32(b, 2835);                        // pixels per metre
  put32(b, 2835);
  put32(b, s.colours_used);
  put32(b, 0);                           // important colours
  if (s.header_size > 40 && s.header_size <= 1024) b.resize(s.header_size, 0);  // a lying size stays a lie
  if (s.masks) {
    put32(b, 0xF800);
    put32(b, 0x07E0);
    put32(b, 0x001F);
  }
  for (std::size_t i = 0; i < s.table_entries; ++i) {
    b.push_back(static_cast<uint8_t>(i));
    b.push_back(static_cast<uint8_t>(2 * i));
    b.push_back(static_cast<uint8_t>(3 * i));
    b.push_back(0);
  }
  return b;
}

// Rows numbered from the bottom: every byte of row r is 0x10 + r.
Bytes rows_part(const DibLayout& s) {
  const std::size_t stride = mel::dib_row_stride(s.width, s.bit_count);
  Bytes b;
  for (int32_t r = 0; r < (s.height < 0 ? -s.height : s.height); ++r) b.insert(b.end(), stride, static_cast<uint8_t>(0x10 + r));
  return b;
}

Bytes packed(const DibLayout& s) {
  Bytes b = info_part(s);
  const Bytes rows = rows_part(s);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// A .bmp file; rows_offset 0 places the rows right after the table.
Bytes bmp_file(const DibLayout& s, uint32_t rows_offset = 0, std::size_t gap = 0) {
  const Bytes info = info_part(s);
  const Bytes rows = rows_part(s);
  const uint32_t natural = static_cast<uint32_t>(14 + info.size() + gap);
  Bytes b = {'B', 'M'};
  put32(b, static_cast<uint32_t>(natural + rows.size()));  // file size
  put32(b, 0);                                             // reserved
  put32(b, rows_offset != 0 ? rows_offset : natural);
  b.insert(b.end(), info.begin(), info.end());
  b.insert(b.end(), gap, 0xEE);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

uint32_t info_field(const mel::DibImage& image, std::size_t at) {
  return uint32_t{image.info[at]} | uint32_t{image.info[at + 1]} << 8 | uint32_t{image.info[at + 2]} << 16 |
         uint32_t{image.info[at + 3]} << 24;
}

TEST(DibImage, RowStrideIsPaddedToFourBytes) {
  EXPECT_EQ(mel::dib_row_stride(3, 24), 12u);
  EXPECT_EQ(mel::dib_row_stride(20, 24), 60u);
  EXPECT_EQ(mel::dib_row_stride(9, 1), 4u);
  EXPECT_EQ(mel::dib_row_stride(33, 1), 8u);
  EXPECT_EQ(mel::dib_row_stride(5, 4), 4u);
}

TEST(DibImage, TrueColourFileAndResourceComeThroughIntact) {
  DibLayout s;
  for (const auto& parsed : {mel::parse_bmp_file(mel::ByteView(bmp_file(s, 0, 6))), mel::parse_packed_dib(mel::ByteView(packed(s)))}) {
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->width, 3);
    EXPECT_EQ(parsed->height, 2);
    EXPECT_EQ(parsed->bit_count, 24);
    EXPECT_EQ(parsed->bits, rows_part(s));  // a gap before the rows is skipped by the stored offset
    EXPECT_TRUE(parsed->colours.empty());
    ASSERT_EQ(parsed->info.size(), 40u);
    EXPECT_EQ(info_field(*parsed, 20), 24u);  // image size filled in
  }
}

TEST(DibImage, ColourTableIsReadAsStoredAndNormalisedInTheHeader) {
  DibLayout s;
  s.bit_count = 8;
  s.colours_used = 2;
  s.table_entries = 2;
  s.header_size = 56;  // a longer header: the table follows it, the copy has 40 bytes
  const auto image = mel::parse_bmp_file(mel::ByteView(bmp_file(s)));
  ASSERT_TRUE(image.has_value());
  ASSERT_EQ(image->colours.size(), 2u);
  EXPECT_EQ(image->colours[1].blue, 1);
  EXPECT_EQ(image->colours[1].green, 2);
  EXPECT_EQ(image->colours[1].red, 3);
  ASSERT_EQ(image->info.size(), 40u + 2 * 4);
  EXPECT_EQ(info_field(*image, 0), 40u);
  EXPECT_EQ(info_field(*image, 32), 2u);
  EXPECT_EQ(image->info[40 + 4], 1);  // entry 1, blue

  // Used count 0 means the full table of 2^bits entries.
  DibLayout mono;
  mono.bit_count = 1;
  mono.width = 9;
  mono.table_entries = 2;
  const auto packed_mono = mel::parse_packed_dib(mel::ByteView(packed(mono)));
  ASSERT_TRUE(packed_mono.has_value());
  EXPECT_EQ(packed_mono->colours.size(), 2u);
  EXPECT_EQ(packed_mono->bits, rows_part(mono));
}

TEST(DibImage, BitfieldMasksAreKeptAfterTheHeader) {
  DibLayout s;
  s.bit_count = 16;
  s.compression = mel::kDibCompressionBitfields;
  s.masks = true;
  const auto image = mel::parse_packed_dib(mel::ByteView(packed(s)));
  ASSERT_TRUE(image.has_value());
  ASSERT_EQ(image->info.size(), 52u);
  EXPECT_EQ(info_field(*image, 40), 0xF800u);
  EXPECT_EQ(info_field(*image, 48), 0x001Fu);
  EXPECT_EQ(image->bits, rows_part(s));
}

TEST(DibImage, ImagesTheButtonCannotDrawSafelyAreRefused) {
  const auto refused = [](DibLayout s) { return !mel::parse_bmp_file(mel::ByteView(bmp_file(s))).has_value(); };
  DibLayout s;
  s.height = -2;  // top-down
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.width = 0;
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.width = mel::kDibMaxDimension + 1;
  s.height = 1;
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.bit_count = 8;
  s.compression = 1;  // run-length coded
  s.table_entries = 256;
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.bit_count = 12;
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.bit_count = 4;
  s.colours_used = 17;  // more colours than 4 bits address
  s.table_entries = 17;
  EXPECT_TRUE(refused(s));
  s = DibLayout{};
  s.header_size = 0x7FFFFFF0;  // a header larger than the file
  EXPECT_TRUE(refused(s));
  s.header_size = 12;  // the old core header is not drawn
  EXPECT_TRUE(refused(s));
}

TEST(DibImage, FileRowOffsetMustPointPastTheTableAndLeaveRoomForTheRows) {
  DibLayout s;
  s.bit_count = 8;
  s.table_entries = 256;
  const Bytes good = bmp_file(s);
  ASSERT_TRUE(mel::parse_bmp_file(mel::ByteView(good)).has_value());
  EXPECT_FALSE(mel::parse_bmp_file(mel::ByteView(bmp_file(s, 20))).has_value());          // inside the header
  EXPECT_FALSE(mel::parse_bmp_file(mel::ByteView(bmp_file(s, 0xFFFFFFF0u))).has_value());  // beyond the end
  EXPECT_FALSE(mel::parse_bmp_file(mel::ByteView(bmp_file(s, static_cast<uint32_t>(good.size() - 4)))).has_value());
  Bytes not_bmp = good;
  not_bmp[0] = 'X';
  EXPECT_FALSE(mel::parse_bmp_file(mel::ByteView(not_bmp)).has_value());
  // A resource is a packed image, not a file: the file header is not looked for.
  EXPECT_FALSE(mel::parse_packed_dib(mel::ByteView(good)).has_value());
}

TEST(DibImage, EveryTruncationIsRefused) {
  DibLayout s;
  s.bit_count = 4;
  s.width = 5;
  s.height = 3;
  s.table_entries = 16;
  const Bytes file = bmp_file(s);
  const Bytes resource = packed(s);
  for (std::size_t n = 0; n < file.size(); ++n) {
    EXPECT_FALSE(mel::parse_bmp_file(mel::ByteView(file.data(), n)).has_value()) << n;
  }
  for (std::size_t n = 0; n < resource.size(); ++n) {
    EXPECT_FALSE(mel::parse_packed_dib(mel::ByteView(resource.data(), n)).has_value()) << n;
  }
  EXPECT_TRUE(mel::parse_bmp_file(mel::ByteView(file)).has_value());
  EXPECT_TRUE(mel::parse_packed_dib(mel::ByteView(resource)).has_value());
  EXPECT_FALSE(mel::parse_packed_dib(mel::ByteView()).has_value());
}

}  // namespace
