#include "cli/text_encoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace mel::cli {

namespace {

constexpr char kReplacement = '?';
constexpr unsigned kCodePageCp932 = 932;

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
  int wideLength = MultiByteToWideChar(kCodePageCp932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  if (wideLength <= 0) return cp932;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(kCodePageCp932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(), wideLength);
  int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return cp932;
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
  return utf8;
#else
  (void)kCodePageCp932;
  return convert_with_iconv(cp932);
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
