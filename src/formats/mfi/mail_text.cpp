#include "formats/mfi/mail_text.h"

#include "score/format_codes.h"

namespace mel {

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kFill = '=';
constexpr uint8_t kCr = '\r';
constexpr uint8_t kLf = '\n';
constexpr int kBitsPerChar = 6;
constexpr uint32_t kCharMask = 0x3F;
constexpr std::size_t kCharsPerGroup = 4;
constexpr int kNotBase64 = -1;

// The first byte of a binary MFi file ("melo"); anything else is mail text.
constexpr uint8_t kMfiFirstByte = 'm';
// X-PmailDX data sent as mail text begins with one of these Base64 letters.
constexpr uint8_t kPmailMailFirstBytes[] = {'A', 'B'};

int base64_index(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return kNotBase64;
}

// Appends Base64 characters and breaks the line after every 72nd.
class MailLineWriter {
 public:
  explicit MailLineWriter(std::vector<uint8_t>& out) : out_(out) {}

  void put(char c) {
    out_.push_back(static_cast<uint8_t>(c));
    if (++column_ == kMailLineLength) {
      out_.push_back(kCr);
      out_.push_back(kLf);
      column_ = 0;
    }
  }

  // Fills the last group of four with "=".
  void fill_group() {
    while (column_ % kCharsPerGroup != 0) put(kFill);
  }

 private:
  std::vector<uint8_t>& out_;
  std::size_t column_ = 0;
};

}  // namespace

std::vector<uint8_t> encode_mail_text(ByteView bytes) {
  std::vector<uint8_t> out;
  out.reserve(kMailMarkerLength + 2 + bytes.size * 2 + 8);
  // Byte by byte: a range insert of the marker trips a false overflow warning in GCC 12.
  for (std::size_t i = 0; i < kMailMarkerLength; ++i) out.push_back(static_cast<uint8_t>(kMailMarker[i]));
  out.push_back(kCr);
  out.push_back(kLf);

  MailLineWriter line(out);
  uint32_t bits = 0;
  int bitCount = 0;
  for (std::size_t i = 0; i < bytes.size; ++i) {
    bits = (bits << 8) | bytes.data[i];
    bitCount += 8;
    while (bitCount >= kBitsPerChar) {
      bitCount -= kBitsPerChar;
      line.put(kBase64Alphabet[(bits >> bitCount) & kCharMask]);
    }
    bits &= (1u << bitCount) - 1;  // keep only the bits not yet encoded
  }
  if (bitCount > 0) {
    line.put(kBase64Alphabet[(bits << (kBitsPerChar - bitCount)) & kCharMask]);
    line.fill_group();
  }
  return out;
}

std::vector<uint8_t> decode_mail_text(ByteView text, MailTextMode mode) {
  std::vector<uint8_t> out;
  out.reserve(text.size);
  bool decoding = mode == MailTextMode::FromStart;
  uint32_t group = 0;
  std::size_t groupChars = 0;

  std::size_t i = 0;
  while (i < text.size) {
    if (text.matches(i, kMailMarker, kMailMarkerLength)) {
      decoding = true;
      i += kMailMarkerLength;
      continue;
    }
    int index = decoding ? base64_index(text.data[i]) : kNotBase64;
    ++i;
    if (index == kNotBase64) continue;
    group = (group << kBitsPerChar) | static_cast<uint32_t>(index);
    if (++groupChars == kCharsPerGroup) {
      out.push_back(static_cast<uint8_t>(group >> 16));
      out.push_back(static_cast<uint8_t>(group >> 8));
      out.push_back(static_cast<uint8_t>(group));
      group = 0;
      groupChars = 0;
    }
  }
  // Two leftover characters carry one byte, three carry two; one carries none.
  if (groupChars == 2) {
    out.push_back(static_cast<uint8_t>(group >> 4));
  } else if (groupChars == 3) {
    out.push_back(static_cast<uint8_t>(group >> 10));
    out.push_back(static_cast<uint8_t>(group >> 2));
  }
  return out;
}

bool needs_mail_decoding(int inputType, ByteView held) {
  switch (inputType) {
    case kInputMfi: return held.at(0) != kMfiFirstByte;
    case kInputPmail:
      return held.size > 0 && (held.data[0] == kPmailMailFirstBytes[0] || held.data[0] == kPmailMailFirstBytes[1]);
    default: return false;
  }
}

MailTextMode mail_text_mode_for(int inputType) {
  return inputType == kInputPmail ? MailTextMode::FromStart : MailTextMode::AfterMarker;
}

}  // namespace mel
