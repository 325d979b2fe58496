// The playlist commands: previous, next, first, the popup lists' jumps,
// shuffle and playing the clipboard.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_playlist_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
