// The play commands: play, stop, pause, the key and tempo steps, the internal
// load and reconvert steps and the play modes (loop, three times, intro).
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_play_command(ShellState& state, int id, LPARAM lParam);

// Loads the playlist entry at the current index (command 30) and, unless
// doNotStart, starts playing it.
void load_entry(ShellState& state, bool doNotStart);

}  // namespace mel
