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

// A key or tempo button went down (WM_USER+101), or its repeat timer ticked
// (fromButton false): one step, the counter says the new value, and the next
// repeat is timed.
void on_key_tempo_pressed(ShellState& state, int id, bool fromButton);

// WM_HSCROLL of the position scroll bar.
void on_position_scroll(ShellState& state, int code, int thumbPosition);

}  // namespace mel
