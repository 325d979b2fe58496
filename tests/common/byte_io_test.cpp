#include <gtest/gtest.h>

#include <vector>

#include "common/byte_reader.h"
#include "common/byte_writer.h"

namespace mel {
namespace {

TEST(ByteReader, ReadsPastTheEndGiveZeroAndClearOk) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56};
  ByteReader r(ByteView(bytes, sizeof bytes));
  EXPECT_EQ(r.u16be(), 0x1234u);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u16be(), 0x5600u);  // the missing byte reads as 0
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.at_end());
  EXPECT_EQ(r.u8(), 0);
  EXPECT_FALSE(r.ok());  // sticky
}

TEST(ByteReader, SkipAndSeekStopAtTheEnd) {
  const uint8_t bytes[] = {1, 2, 3, 4};
  ByteReader r(ByteView(bytes, sizeof bytes));
  r.skip(3);
  EXPECT_EQ(r.u8(), 4);
  r.seek(1);
  EXPECT_EQ(r.peek(), 2);
  r.skip(100);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.pos(), 4u);
  ByteReader beyond(ByteView(bytes, sizeof bytes), 10);
  EXPECT_FALSE(beyond.ok());
  EXPECT_EQ(beyond.remaining(), 0u);
}

TEST(ByteReader, VariableLengthQuantities) {
  const uint8_t bytes[] = {0x00, 0x7F, 0x81, 0x00, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x81};
  ByteReader r(ByteView(bytes, sizeof bytes));
  EXPECT_EQ(r.vlq(), 0u);
  EXPECT_EQ(r.vlq(), 0x7Fu);
  EXPECT_EQ(r.vlq(), 0x80u);
  EXPECT_EQ(r.vlq(), 0x3FFFu);
  EXPECT_EQ(r.vlq(), 0x0FFFFFFFu);
  EXPECT_TRUE(r.ok());
  r.vlq();  // a continuation byte at the very end
  EXPECT_FALSE(r.ok());
}

TEST(ByteView, MatchesNeverReadsPastTheEnd) {
  const uint8_t bytes[] = {'M', 'T', 'h'};
  ByteView v(bytes, sizeof bytes);
  EXPECT_TRUE(v.matches(0, "MTh", 3));
  EXPECT_FALSE(v.matches(0, "MThd", 4));
  EXPECT_FALSE(v.matches(2, "hd", 2));
  EXPECT_FALSE(v.matches(5, "", 0));
  EXPECT_EQ(v.at(3), 0);
  // An empty view (no data pointer) still answers an empty tag, without
  // handing a null pointer to memcmp.
  EXPECT_TRUE(ByteView().matches(0, "", 0));
  EXPECT_FALSE(ByteView().matches(0, "M", 1));
}

TEST(ByteSink, DropsWhatDoesNotFitAndPatchesLengths) {
  ByteSink out(6);
  out.put_be(0x4D546864, 4);
  out.put_be(0x0102, 2);
  EXPECT_FALSE(out.overflowed());
  out.put(0xAA);
  EXPECT_TRUE(out.overflowed());
  out.patch_be(4, 0xBEEF, 2);
  out.patch_be(5, 0x1234, 2);  // the byte past the capacity is dropped
  EXPECT_EQ(out.take(), (std::vector<uint8_t>{'M', 'T', 'h', 'd', 0xBE, 0x12}));

  // Fields wider than the 32-bit value get leading zero bytes instead of an
  // out-of-range shift.
  ByteSink wide(8);
  wide.put_be(0x01020304, 6);
  wide.patch_be(1, 0xA0B0C0D0, 5);
  EXPECT_EQ(wide.take(), (std::vector<uint8_t>{0, 0, 0xA0, 0xB0, 0xC0, 0xD0}));
}

TEST(ByteSink, ThreeByteQuantitiesAndTextLengths) {
  ByteSink out(32);
  put_vlq3(out, 0);
  put_vlq3(out, 0x80);
  put_vlq3(out, 0x1FFFFF);
  put_vlq3(out, 0x200000);  // clamped to the largest three-byte value
  put_text_length(out, 127);
  put_text_length(out, 200);
  EXPECT_EQ(out.take(), (std::vector<uint8_t>{0x00, 0x81, 0x00, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0x7F, 0x81, 0x48}));
}

}  // namespace
}  // namespace mel
