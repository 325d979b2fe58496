// The main window's keyboard: which command a key posts, by the key's scan
// code (bits 16..23 of the key message's lParam), and the Ctrl key the window
// follows itself so that Ctrl with a letter is a shortcut.
#pragma once

#include <cstdint>

#include "shell/model/shell_state_model.h"

namespace mel {

// The shortcuts send this lParam with the open commands: Ctrl then counts as
// released (the command adds nothing to the playlist because of it).
constexpr intptr_t kFromShortcut = 1;

struct KeyCommand {
  int id = 0;  // 0: the key posts nothing
  intptr_t lParam = 0;
};

// A key went down: the command to post. Digits select tracks ("0" all of
// them) and act before the Ctrl shortcuts, so Ctrl with a digit toggles that
// track; Space plays or, while playing, pauses; the period key stops.
KeyCommand key_down_command(KeyState& keys, int scanCode, bool playing);
void key_up(KeyState& keys, int scanCode);
// The window lost the keyboard: a Ctrl released elsewhere never reaches it,
// so the mark goes now rather than turning the next plain letter into a
// shortcut.
void keyboard_focus_lost(KeyState& keys);

}  // namespace mel
