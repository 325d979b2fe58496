// The main window's own messages and timers, named once. Commands (WM_COMMAND
// ids, including the steps the window sends itself) are in command_ids.h; the
// bitmap buttons' messages and notifications are in controls/cg_button.h.
#pragma once

#include <windows.h>

namespace mel {

// The player stopped (sent by the player's window side, so the window has
// handled it when the player's call returns).
constexpr UINT kMsgEndOfPlayback = WM_USER;

// A command the window posted to itself (wParam the id): run as its own
// step, not as the user's.
constexpr UINT kMsgOwnCommand = WM_APP + 1;

// The position poll: runs while the player plays.
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickPeriodMs = 100;

// The auto-repeat timers of the key and tempo buttons: the button's id plus
// this offset, 96..99 for the buttons 15..18.
constexpr UINT_PTR kRepeatTimerOffset = 81;

}  // namespace mel
