// The commands that open a dialog or a box of their own: the property
// report, the conversion detail and per-track dialogs, help, the settings
// program and the about box.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_dialogs_command(ShellState& state, int id, LPARAM lParam);

// The open property report (command 101), or nullptr.
HWND property_report_window();

}  // namespace mel
