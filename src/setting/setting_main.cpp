// setting.exe: the settings editor. It edits the settings file the window
// program uses: the file named on its command line (the window names its
// file when it was given one), else MELVARINO_SETTINGS, else the per-user
// "korvani.ini" (read from the Windows folder until that exists).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "setting/settings_editor_window.h"
#include "shell/model/command_ids.h"
#include "shell/win32/shell_state.h"
#include "shell/win32/win32_profile.h"

namespace {

// The one path on the command line, with or without double quotes.
std::wstring path_argument(const wchar_t* commandLine) {
  std::wstring text = commandLine ? commandLine : L"";
  const std::size_t begin = text.find_first_not_of(L" \t");
  if (begin == std::wstring::npos) return {};
  if (text[begin] == L'"') {
    const std::size_t close = text.find(L'"', begin + 1);
    return text.substr(begin + 1, close == std::wstring::npos ? std::wstring::npos : close - begin - 1);
  }
  return text.substr(begin, text.find_last_not_of(L" \t") + 1 - begin);
}

// Open main windows read the settings again, so that a save of theirs (on
// closing) does not write their old values over the ones just saved.
void reload_open_windows() {
  for (HWND window = FindWindowExW(nullptr, nullptr, mel::kMainWindowClassName, nullptr); window;
       window = FindWindowExW(nullptr, window, mel::kMainWindowClassName, nullptr)) {
    PostMessageW(window, WM_COMMAND, mel::cmd::kLoadSettings, 0);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  std::wstring file = path_argument(commandLine);
  if (const wchar_t* settings = _wgetenv(L"MELVARINO_SETTINGS"); file.empty() && settings) file = settings;
  mel::run_settings_editor(nullptr, mel::settings_location(file), reload_open_windows);
  return 0;
}
