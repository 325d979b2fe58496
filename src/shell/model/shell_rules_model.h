// Rules of the window's commands and flows that need no window.
#pragma once

namespace mel {

// True for the commands that end the "close after playing" promise of a
// start from the command line: the user has taken over.
bool clears_exit_after_play(int id);

// The command the save button sends for a `recmode` value (modulo 1000);
// 0 (nothing) when that is the save button's own command.
int save_button_command(int recmode);
// The `recmode` after a create command ran: that command, unless the value
// is 1000 or more (pinned by the user).
int recmode_after_create(int recmode, int createCommand);

// The playlist entry a move command goes to (previous 301, next 302, first
// 303, back 1001..1010 and forward 1101..1110 entries from the popups), or -1
// when it does not move (at the ends of the list, or not a move command).
int playlist_move_target(int id, int currentIndex, int fileCount);

}  // namespace mel
