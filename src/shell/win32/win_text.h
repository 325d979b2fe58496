// Text at the edge between the program and Windows: the program's texts are
// CP932 bytes; Windows gets UTF-16 through the wide functions, so menus,
// captions and messages read correctly whatever the system's code page.
#pragma once

#include <filesystem>
#include <string>

namespace mel {

constexpr unsigned kShiftJisCodePage = 932;

// CP932 bytes -> UTF-16; bytes that are not valid CP932 become Windows'
// replacement character.
std::wstring widen(const std::string& cp932);
// UTF-16 -> CP932 bytes; characters CP932 lacks become '?'.
std::string narrow(const std::wstring& text);
// A path's text as CP932 bytes (for the places the system stores names as
// CP932: the clipboard name, M3U lines, the external programs' arguments).
std::string path_to_cp932(const std::filesystem::path& path);
std::filesystem::path path_from_cp932(const std::string& cp932);

}  // namespace mel
