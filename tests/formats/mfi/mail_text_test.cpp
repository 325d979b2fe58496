#include "formats/mfi/mail_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "score/format_codes.h"

namespace mel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string encode(const Bytes& b) { return text_of(encode_mail_text(ByteView(b))); }
Bytes decode(const std::string& s, MailTextMode mode) {
  Bytes text = bytes_of(s);
  return decode_mail_text(ByteView(text), mode);
}

TEST(MailTextEncode, WritesMarkerLineThenStandardBase64) {
  EXPECT_EQ(encode(bytes_of("abc")), "--B:M\r\nYWJj");
  EXPECT_EQ(encode(bytes_of("foobar")), "--B:M\r\nZm9vYmFy");
  EXPECT_EQ(encode(bytes_of("f")), "--B:M\r\nZg==");
  EXPECT_EQ(encode(bytes_of("fo")), "--B:M\r\nZm8=");
  EXPECT_EQ(encode(Bytes{}), "--B:M\r\n");
  EXPECT_EQ(encode(Bytes{0xFF, 0xFE, 0x00}), "--B:M\r\n//4A");
}

TEST(MailTextEncode, BreaksLinesAfterSeventyTwoCharacters) {
  // 54 bytes are exactly one full line, which ends with CR LF.
  std::string one_line = encode(Bytes(54, 0));
  EXPECT_EQ(one_line, "--B:M\r\n" + std::string(72, 'A') + "\r\n");

  // One byte more starts a second line that holds the rest without CR LF.
  std::string two_lines = encode(Bytes(55, 0));
  EXPECT_EQ(two_lines, "--B:M\r\n" + std::string(72, 'A') + "\r\nAA==");

  // A last line that the fill brings to 72 characters also ends with CR LF.
  std::string filled = encode(Bytes(53, 0));
  EXPECT_EQ(filled, "--B:M\r\n" + std::string(71, 'A') + "=\r\n");
}

TEST(MailTextDecode, IgnoresSignatureBlankLinesAndFill) {
  std::string mail =
      "Hello, here is the melody!\r\n"
      "-- \r\nTaro (sent from my phone)\r\n"
      "--B:M\r\n"
      "\r\n"
      "Zm9v\r\n"
      "  YmFy\r\n"
      "\r\n"
      "YQ==\r\n";
  EXPECT_EQ(decode(mail, MailTextMode::AfterMarker), bytes_of("foobara"));
}

TEST(MailTextDecode, MarkerModeDecodesNothingWithoutMarker) {
  EXPECT_EQ(decode("Zm9vYmFy", MailTextMode::AfterMarker), Bytes{});
  EXPECT_EQ(decode("", MailTextMode::AfterMarker), Bytes{});
  // A marker cut short does not switch decoding on.
  EXPECT_EQ(decode("--B:Zm9v", MailTextMode::AfterMarker), Bytes{});
}

TEST(MailTextDecode, FromStartModeNeedsNoMarkerAndStillSkipsOne) {
  EXPECT_EQ(decode("Zm9vYmFy", MailTextMode::FromStart), bytes_of("foobar"));
  EXPECT_EQ(decode("--B:M\r\nZm9v", MailTextMode::FromStart), bytes_of("foo"));
  // A second marker in the middle is skipped, not read as "B" and "M".
  EXPECT_EQ(decode("--B:M\r\nZm9v\r\n--B:M\r\nYmFy", MailTextMode::AfterMarker), bytes_of("foobar"));
}

TEST(MailTextDecode, LeftoverCharactersGiveTheBytesTheyHold) {
  // "Zg" holds 12 bits: one byte. "Zm8" holds 18: two bytes. A single leftover
  // character holds less than a byte and gives nothing.
  EXPECT_EQ(decode("Zg", MailTextMode::FromStart), bytes_of("f"));
  EXPECT_EQ(decode("Zm8", MailTextMode::FromStart), bytes_of("fo"));
  EXPECT_EQ(decode("Zm9vY", MailTextMode::FromStart), bytes_of("foo"));
}

TEST(MailTextRoundTrip, RandomBytesOfEveryLengthUpTo200) {
  std::mt19937 rng(4660);
  for (std::size_t n = 0; n <= 200; ++n) {
    Bytes original(n);
    for (auto& b : original) b = static_cast<uint8_t>(rng());
    Bytes text = encode_mail_text(ByteView(original));
    EXPECT_EQ(decode_mail_text(ByteView(text), MailTextMode::AfterMarker), original) << n;
    EXPECT_EQ(decode_mail_text(ByteView(text), MailTextMode::FromStart), original) << n;
  }
}

TEST(MailTextDetect, DecidesWhichHeldInputsAreMailText) {
  Bytes binary_mfi = bytes_of("melo\x01");
  Bytes mfi_mail = bytes_of("--B:M\r\nbWVsbw==");
  Bytes dat_mail_a = bytes_of("AwQBAv8=");
  Bytes dat_mail_b = bytes_of("BQ==");
  Bytes dat_binary = {0x03, 0x84, 0x01, 0x02, 0xFF};

  EXPECT_FALSE(needs_mail_decoding(kInputMfi, ByteView(binary_mfi)));
  EXPECT_TRUE(needs_mail_decoding(kInputMfi, ByteView(mfi_mail)));
  EXPECT_TRUE(needs_mail_decoding(kInputPmail, ByteView(dat_mail_a)));
  EXPECT_TRUE(needs_mail_decoding(kInputPmail, ByteView(dat_mail_b)));
  EXPECT_FALSE(needs_mail_decoding(kInputPmail, ByteView(dat_binary)));
  EXPECT_FALSE(needs_mail_decoding(kInputPmail, ByteView()));
  // Other formats are never decoded, even when they look like mail text.
  EXPECT_FALSE(needs_mail_decoding(kInputCmx, ByteView(mfi_mail)));
  EXPECT_FALSE(needs_mail_decoding(kInputKanjiMld, ByteView(dat_mail_a)));

  EXPECT_EQ(mail_text_mode_for(kInputMfi), MailTextMode::AfterMarker);
  EXPECT_EQ(mail_text_mode_for(kInputPmail), MailTextMode::FromStart);
}

}  // namespace
}  // namespace mel
