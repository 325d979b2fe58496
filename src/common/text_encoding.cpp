#include "common/text_encoding.h"

namespace mel {
namespace {

constexpr int kReplacementCode = 0x8148;  // full-width question mark
constexpr char32_t kInvalid = 0xFFFFFFFF;

// UTF-8 lead bytes and the bits they keep.
constexpr uint8_t kContinuationMask = 0xC0;
constexpr uint8_t kContinuationTag = 0x80;
constexpr uint8_t kTwoByteLead = 0xC0;
constexpr uint8_t kThreeByteLead = 0xE0;
constexpr uint8_t kFourByteLead = 0xF0;
constexpr uint8_t kFiveByteLead = 0xF8;
constexpr char32_t kFirstTwoByte = 0x80;
constexpr char32_t kFirstThreeByte = 0x800;
constexpr char32_t kFirstFourByte = 0x10000;
constexpr char32_t kLastCodePoint = 0x10FFFF;

// UTF-16 surrogates and the byte-order mark.
constexpr char32_t kFirstHighSurrogate = 0xD800;
constexpr char32_t kFirstLowSurrogate = 0xDC00;
constexpr char32_t kLastLowSurrogate = 0xDFFF;
constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char32_t kSwappedByteOrderMark = 0xFFFE;

void append_code(std::string& out, int code) {
  if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

void append_character(std::string& out, char32_t c) {
  int code = c == kInvalid ? -1 : cp932_code_of(c);
  append_code(out, code < 0 ? kReplacementCode : code);
}

// Decodes one UTF-8 character at text[pos] and steps past it; an invalid or
// cut-off sequence gives kInvalid and steps over its first byte only.
char32_t next_utf8(const uint8_t* text, std::size_t length, std::size_t& pos) {
  uint8_t lead = text[pos++];
  if (lead < kContinuationTag) return lead;
  int extra = 0;
  char32_t c = 0;
  char32_t lowest = 0;
  if ((lead & 0xE0) == kTwoByteLead) {
    extra = 1, c = lead & 0x1F, lowest = kFirstTwoByte;
  } else if ((lead & 0xF0) == kThreeByteLead) {
    extra = 2, c = lead & 0x0F, lowest = kFirstThreeByte;
  } else if ((lead & kFiveByteLead) == kFourByteLead) {
    extra = 3, c = lead & 0x07, lowest = kFirstFourByte;
  } else {
    return kInvalid;
  }
  if (length - pos < static_cast<std::size_t>(extra)) return kInvalid;
  for (int i = 0; i < extra; ++i) {
    if ((text[pos + i] & kContinuationMask) != kContinuationTag) return kInvalid;
    c = (c << 6) | (text[pos + i] & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are no characters.
  if (c < lowest || c > kLastCodePoint || (c >= kFirstHighSurrogate && c <= kLastLowSurrogate)) return kInvalid;
  pos += static_cast<std::size_t>(extra);
  return c;
}

std::string from_utf8(const uint8_t* text, std::size_t length) {
  std::string out;
  for (std::size_t pos = 0; pos < length;) append_character(out, next_utf8(text, length, pos));
  return out;
}

std::string from_utf16(const uint8_t* text, std::size_t length, bool bigEndian) {
  auto unit = [&](std::size_t pos) -> char32_t {
    return bigEndian ? (text[pos] << 8) | text[pos + 1] : (text[pos + 1] << 8) | text[pos];
  };
  std::string out;
  std::size_t pos = 0;
  if (length >= 2 && (unit(0) == kByteOrderMark || unit(0) == kSwappedByteOrderMark)) {
    bigEndian = unit(0) == kByteOrderMark ? bigEndian : !bigEndian;
    pos = 2;
  }
  while (length - pos >= 2) {
    char32_t c = unit(pos);
    pos += 2;
    if (c >= kFirstHighSurrogate && c < kFirstLowSurrogate && length - pos >= 2) {
      char32_t low = unit(pos);
      if (low >= kFirstLowSurrogate && low <= kLastLowSurrogate) {
        pos += 2;
        c = kFirstFourByte + ((c - kFirstHighSurrogate) << 10) + (low - kFirstLowSurrogate);
      }
    }
    bool loneSurrogate = c >= kFirstHighSurrogate && c <= kLastLowSurrogate;
    append_character(out, loneSurrogate ? kInvalid : c);
  }
  return out;
}

std::string from_latin1(const uint8_t* text, std::size_t length) {
  std::string out;
  for (std::size_t i = 0; i < length; ++i) append_character(out, text[i]);
  return out;
}

}  // namespace

std::string to_cp932(const uint8_t* text, std::size_t length, TextEncoding encoding) {
  if (length == 0) return {};
  switch (encoding) {
    case TextEncoding::Latin1: return from_latin1(text, length);
    case TextEncoding::Utf8: return from_utf8(text, length);
    case TextEncoding::Utf16BigEndian: return from_utf16(text, length, true);
    case TextEncoding::Utf16LittleEndian: return from_utf16(text, length, false);
    case TextEncoding::ShiftJis: break;
  }
  return std::string(reinterpret_cast<const char*>(text), length);
}

}  // namespace mel
