#include "shell/win32/commands_files.h"

#include "shell/model/command_ids.h"
#include "shell/model/key_map_model.h"
#include "shell/model/load_flow_model.h"
#include "shell/model/menu_model.h"
#include "shell/model/shell_rules_model.h"
#include "shell/win32/load_flow.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/shell_sources.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// The name an open command opens: the open dialog's choice, the last created
// file or a recent entry; empty when there is nothing to open.
std::filesystem::path name_to_open(ShellState& state, int id) {
  if (id == cmd::kOpen) {
    std::filesystem::path name = state.playlist.currentFile;
    const ModalScope modal(state);
    const bool chosen =
        state.options.openDialog ? state.options.openDialog(state.hwnd, name) : open_file_dialog(state, name);
    return chosen ? name : std::filesystem::path();
  }
  if (id == cmd::kOpenLastCreated) return state.playlist.lastCreated;
  // The popup was filled when the current file was last set; it has not
  // changed since.
  const std::size_t entry = recent_entry_for_command(id, !state.playlist.currentFile.empty());
  return entry < state.playlist.recent.size() ? state.playlist.recent[entry] : std::filesystem::path();
}

// Open (14), open the last created file (103), a recent file (1201..1210):
// replaces the playlist, or adds to it with Ctrl held, and loads without
// playing.
void open_file(ShellState& state, int id, LPARAM lParam) {
  const bool ctrl = lParam != kFromShortcut && key_is_down(VK_CONTROL);
  const std::filesystem::path name = name_to_open(state, id);
  if (name.empty()) return;
  if (ctrl && state.playlist.full()) return;
  if (!ctrl) state.playlist.entries.clear();
  state.playlist.currentIndex = state.playlist.count();
  const int type = state.engine.detect(name);
  accept_path(state, name, type);
  state.playlist.currentFile = state.playlist.current_entry();
  state.engine.ReloadRequest = kReloadReadFile;
  if (state.settings.autoreset == 1) run_command(state, cmd::kResetKeySpeed, 1);
  load_current_file(state);
  show_title_on_counter(state);
}

void create(ShellState& state, int id) {
  const int kind = output_kind_for_command(id);
  if (kind == 0 || !kind_can_be_created(kind)) return;
  create_file(state, kind);
  state.settings.recmode = recmode_after_create(state.settings.recmode, id);
}

// An external program (152..156) with the current file, or with the last
// created one while Ctrl is held, as its one quoted argument.
void run_external_program(ShellState& state, int id) {
  const std::size_t entry = static_cast<std::size_t>(id - cmd::kExternalFirst);
  if (entry >= state.menus.externalPrograms.size()) return;
  const std::filesystem::path& file =
      key_is_down(VK_CONTROL) ? state.playlist.lastCreated : state.playlist.currentFile;
  std::wstring commandLine = L"\"" + widen(state.menus.externalPrograms[entry].path) + L"\" \"" + file.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  // A program that cannot be started is not reported.
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

void save_button(ShellState& state) {
  if (const int command = save_button_command(state.settings.recmode); command != 0) on_command(state, command, 0);
}

}  // namespace

// The create items of formats without a writer do nothing.
void on_files_command(ShellState& state, int id, LPARAM lParam) {
  if (id == cmd::kOpen || id == cmd::kOpenLastCreated || (id >= cmd::kRecentFirst && id <= cmd::kRecentLast)) {
    open_file(state, id, lParam);
  } else if (id == cmd::kSaveButton) {
    save_button(state);
  } else if (id == cmd::kExit) {
    SendMessageW(state.hwnd, WM_CLOSE, 0, 0);
  } else if (id == cmd::kCreatePlaylist) {
    create_file(state, kOutputPlaylist);
  } else if (id >= cmd::kExternalFirst && id <= cmd::kExternalLast) {
    run_external_program(state, id);
  } else if (id == cmd::kCopyAs || id == cmd::kCreateMidi || id == cmd::kCreateMml ||
             (id >= cmd::kCreateFirst && id <= cmd::kCreateLast)) {
    create(state, id);
  }
}

}  // namespace mel
