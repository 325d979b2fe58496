// Path and name helpers shared by detection, the shell and the command-line tool.
#pragma once

#include <filesystem>
#include <string>

namespace mel {

// The extension from the file name's last dot, in lower case ASCII ("" if none).
std::string lower_extension(const std::filesystem::path& path);

// ASCII case-insensitive equality (CP932 trail bytes are left alone).
bool equals_ignore_case(const std::string& a, const std::string& b);

// The pseudo-file name under which the clipboard text is opened.
constexpr const char* kClipboardFileName = "clip.txt";

// True when the path names the clipboard pseudo-file ("clip.txt", any case).
bool is_clipboard_path(const std::filesystem::path& path);

}  // namespace mel
