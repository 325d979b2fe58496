// The track and instrument commands: the chord modes, the track selection,
// the instrument and volume choices and the reset of key and speed.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_tracks_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
