#include "shell/win32/commands_dialogs.h"

#include <string>

#include "shell/model/command_ids.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/commands_help.h"
#include "shell/win32/main_window.h"

namespace mel {
namespace {

void about_box(ShellState& state) {
  show_message(state, std::string(kProductName) + " " + kVersionText, "このプログラムについて", MB_OK);
}

}  // namespace

// The property report (101), the conversion detail dialog (203), the
// per-track instrument and volume dialogs (262, 292) are not handled yet.
void on_dialogs_command(ShellState& state, int id, LPARAM) {
  switch (id) {
    case cmd::kAbout: about_box(state); return;
    case cmd::kHelp: open_help(state); return;
    case cmd::kSettingsProgram: start_settings_program(state); return;
    default: return;
  }
}

}  // namespace mel
