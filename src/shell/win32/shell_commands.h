// WM_COMMAND of the main window: every menu item, button, key and internal
// step arrives as a command id (command_ids.h) and goes to the handler of its
// feature area.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

// A command of the user (menu, button, key): ends the promise to close after
// playing where the command is one that does, then runs it.
void on_command(ShellState& state, int id, LPARAM lParam);
// A step the window takes by itself (a load, the automatic reset, the
// settings applied at start-up, intro play moving on): runs the command and
// leaves the close-after-playing promise alone.
void run_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
