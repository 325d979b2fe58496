#include "shell/win32/win_text.h"

#include <windows.h>

namespace mel {

std::wstring widen(const std::string& cp932) {
  if (cp932.empty()) return {};
  const int length = static_cast<int>(cp932.size());
  const int needed = MultiByteToWideChar(kShiftJisCodePage, 0, cp932.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(kShiftJisCodePage, 0, cp932.data(), length, text.data(), needed);
  return text;
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(kShiftJisCodePage, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

std::string path_to_cp932(const std::filesystem::path& path) { return narrow(path.wstring()); }

std::filesystem::path path_from_cp932(const std::string& cp932) { return std::filesystem::path(widen(cp932)); }

}  // namespace mel
