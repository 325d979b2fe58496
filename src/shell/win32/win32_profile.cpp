#include "shell/win32/win32_profile.h"

#include <windows.h>

#include <shlobj.h>

#include <system_error>
#include <utility>
#include <vector>

namespace mel {

// Which code page the values go through.
//
// The profile functions read a file without a byte-order mark as text in the
// system's ANSI code page: they decode its bytes with CP_ACP into UTF-16 and
// encode what they write with CP_ACP. The settings file holds CP932 bytes
// (names of instruments and programs), and the window hands those bytes on
// unchanged. So the values are converted here with CP_ACP as well, the exact
// inverse of what the profile functions did: the bytes come back as they are
// in the file on a Japanese system (ANSI code page 932) and on every system
// whose ANSI code page maps each byte to one character and back (the
// single-byte Windows code pages). Converting with 932 instead would garble
// them wherever the ANSI code page is not 932, because the profile functions
// decoded them with the other code page first. Only an ANSI code page that
// cannot hold the bytes at all (another double-byte code page, or UTF-8) loses
// them, as the narrow profile functions would.
//
// The wide functions take the path, so a settings file in any folder works,
// also one whose name the ANSI code page cannot spell.

namespace {

constexpr UINT kProfileCodePage = CP_ACP;

// What the profile functions give for a missing key: a line of the file can
// never hold a line feed, so no value read from it equals this.
constexpr wchar_t kMissingMark[] = L"\n";

// Values longer than this are cut; names and paths keep 255 bytes anyway.
constexpr DWORD kMaxValueChars = 0x8000;
constexpr DWORD kFirstBufferChars = 512;

std::wstring to_wide(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int n = MultiByteToWideChar(kProfileCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kProfileCodePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return wide;
}

std::string to_bytes(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(kProfileCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                              nullptr);
  if (n <= 0) return std::string();
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kProfileCodePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, nullptr,
                      nullptr);
  return bytes;
}

}  // namespace

Win32Profile::Win32Profile(std::wstring fileName) : fileName_(std::move(fileName)) {}

bool Win32Profile::read_value(const char* section, const char* key, std::string& value) const {
  const std::wstring wideSection = to_wide(section);
  const std::wstring wideKey = to_wide(key);
  std::vector<wchar_t> buffer(kFirstBufferChars);
  for (;;) {
    DWORD n = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), kMissingMark, buffer.data(),
                                       static_cast<DWORD>(buffer.size()), fileName_.c_str());
    // A full buffer (size - 1 characters) may mean the value was cut.
    if (n + 1 < buffer.size() || buffer.size() >= kMaxValueChars) {
      std::wstring text(buffer.data(), n < buffer.size() ? n : buffer.size() - 1);
      if (text == kMissingMark) return false;
      value = to_bytes(text);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

int Win32Profile::get_int(const char* section, const char* key, int defaultValue) const {
  // Read as text and parsed here rather than with GetPrivateProfileIntW, so
  // that the window and the command-line tool (IniProfile) give the same
  // number for the same text.
  std::string value;
  return read_value(section, key, value) ? parse_profile_int(value, defaultValue) : defaultValue;
}

std::string Win32Profile::get_string(const char* section, const char* key, const std::string& defaultValue) const {
  std::string value;
  return read_value(section, key, value) ? value : defaultValue;
}

void Win32Profile::write_string(const char* section, const char* key, const std::string& value) {
  // A value is one line of the file.
  const std::string line = value.substr(0, value.find_first_of("\r\n"));
  if (!WritePrivateProfileStringW(to_wide(section).c_str(), to_wide(key).c_str(), to_wide(line).c_str(),
                                  fileName_.c_str())) {
    writeFailed_ = true;
  }
}

namespace {

std::filesystem::path windows_folder_file() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return kSettingsFileName;  // the profile functions place it there
  return std::filesystem::path(folder) / kSettingsFileName;
}

std::filesystem::path application_data_folder() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return folder;
}

}  // namespace

SettingsLocation settings_location(const std::wstring& explicitFile) {
  return choose_settings_location(explicitFile, application_data_folder(), windows_folder_file(), regular_file_exists);
}

bool write_settings_file(const ShellSettings& settings, const SettingsLocation& location) {
  std::error_code error;
  const std::filesystem::path folder = location.writeTo.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    std::filesystem::create_directories(folder, error);
    if (error) return false;
  }
  if (!location.copyBeforeSave.empty() && !regular_file_exists(location.writeTo) &&
      !CopyFileW(location.copyBeforeSave.c_str(), location.writeTo.c_str(), TRUE)) {
    return false;
  }
  Win32Profile profile(location.writeTo.wstring());
  save_settings(settings, profile);
  return !profile.write_failed();
}

}  // namespace mel
