#include "common/path_util.h"

namespace mel {

namespace {
char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string lower_extension(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  std::string::size_type dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  std::string ext = name.substr(dot);
  for (char& c : ext) c = ascii_lower(c);
  return ext;
}

bool equals_ignore_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

bool is_clipboard_path(const std::filesystem::path& path) {
  return equals_ignore_case(path.string(), kClipboardFileName);
}

}  // namespace mel
