#include "cli/text_encoding.h"

#include "common/cp932.h"
#include "common/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace mel::cli {

namespace {

constexpr char kReplacement = '?';

#ifdef _WIN32
constexpr unsigned kCodePageCp932 = 932;


// One character at a time, so that a byte that is not CP932 becomes the same
// replacement as on other systems instead of Windows' own default character.
std::string convert_with_windows(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t length = is_cp932_lead_byte(text[pos]) ? 2 : 1;
    if (pos + length > text.size()) length = text.size() - pos;
    wchar_t wide[2];
    int wideLength = MultiByteToWideChar(kCodePageCp932, MB_ERR_INVALID_CHARS, text.data() + pos,
                                         static_cast<int>(length), wide, 2);
    char utf8[8];
    int utf8Length =
        wideLength > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, sizeof utf8, nullptr, nullptr) : 0;
    if (utf8Length > 0) {
      out.append(utf8, static_cast<std::size_t>(utf8Length));
    } else {
      out += kReplacement;
      length = 1;
    }
    pos += length;
  }
  return out;
}
#endif

#ifndef _WIN32
// Byte-wise conversion with iconv; a byte that starts no valid character is
// replaced and skipped, so one bad byte does not lose the rest of the text.
std::string convert_with_iconv(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  std::string input = text;
  char* in = input.data();
  std::size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a lead byte at the very end).
      out += kReplacement;
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}
#endif

}  // namespace

std::string cp932_to_utf8(const std::string& cp932) {
  if (cp932.empty()) return {};
#ifdef _WIN32
  return convert_with_windows(cp932);
#else
  return convert_with_iconv(cp932);
#endif
}

std::string argument_to_cp932(const std::string& argument) {
#ifdef _WIN32
  // Windows hands the arguments over in the system's code page.
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, argument.data(), static_cast<int>(argument.size()), nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, argument.data(), static_cast<int>(argument.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(kCodePageCp932, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kCodePageCp932, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
  return out;
#else
  return to_cp932(reinterpret_cast<const uint8_t*>(argument.data()), argument.size(), TextEncoding::Utf8);
#endif
}

std::string to_terminal_text(const std::string& cp932) {
  std::string utf8 = cp932_to_utf8(cp932);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}

}  // namespace mel::cli
