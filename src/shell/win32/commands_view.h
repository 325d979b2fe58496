// The view commands: what the window shows (topmost, the counter, the track
// panel, the optional buttons, the counter colour) and the settings file
// that remembers it.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_view_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
