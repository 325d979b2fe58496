#include "shell/win32/commands_help.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/program_files.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/main_window.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// ShellExecute answers with a value above 32 when it started something.
constexpr INT_PTR kShellExecuteFirstSuccess = 33;

bool shell_open(ShellState& state, const std::filesystem::path& file, const std::wstring& arguments = {}) {
  const std::wstring folder = file.parent_path().wstring();
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
      state.hwnd, L"open", file.c_str(), arguments.empty() ? nullptr : arguments.c_str(), folder.c_str(), SW_SHOWNORMAL));
  return result >= kShellExecuteFirstSuccess;
}

void say_missing(ShellState& state, const std::string& what, const std::filesystem::path& file) {
  show_message(state, what + "\n" + path_to_cp932(file), kProductName, MB_OK | MB_ICONWARNING);
}

}  // namespace

void open_help(ShellState& state) {
  const std::filesystem::path folder = program_folder();
  const HelpChoice help = choose_help(folder, regular_file_exists);
  switch (help.viewer) {
    case HelpViewer::WinHelp:
      // Kept for an installation that still has its old help file; the
      // viewer reports its own failures.
      WinHelpW(state.hwnd, help.file.c_str(), HELP_CONTENTS, 0);
      return;
    case HelpViewer::Browser:
      if (!shell_open(state, help.file)) say_missing(state, "ヘルプを開けませんでした。", help.file);
      return;
    case HelpViewer::None:
      say_missing(state, "ヘルプファイルが見つかりません。", folder / kHelpPageName);
      return;
  }
}

void start_settings_program(ShellState& state) {
  const std::filesystem::path folder = program_folder();
  const std::filesystem::path program = find_settings_program(folder, regular_file_exists);
  if (program.empty()) {
    say_missing(state, "設定ソフトが見つかりません。", folder / kSettingsProgramName);
    return;
  }
  // A settings file the window was told to use is handed on; otherwise the
  // settings program finds the same file the window finds.
  const std::wstring& file = state.options.profilePath;
  if (!shell_open(state, program, file.empty() ? std::wstring() : L"\"" + file + L"\"")) {
    say_missing(state, "設定ソフトを起動できませんでした。", program);
  }
}

}  // namespace mel
