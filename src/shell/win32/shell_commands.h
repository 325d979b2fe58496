// WM_COMMAND of the main window: every menu item, button, key and internal
// step arrives as a command id (command_ids.h) and goes to the handler of its
// feature area.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
