#include "shell/win32/commands_tracks.h"

#include "shell/model/command_ids.h"
#include "shell/win32/shell_menu.h"

namespace mel {
namespace {

// Track selection by several clicks: the track buttons become check boxes.
void toggle_multi_track_select(ShellState& state) {
  int& multi = state.engine.settings.play.MultiTrackSelect;
  multi = multi ? 0 : 1;
  set_item_checked(state, cmd::kMultiTrackSelect, multi == 1);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    HWND button = state.controls.trackButtons[k];
    SendMessageW(button, BM_SETSTYLE, multi ? BS_CHECKBOX : BS_RADIOBUTTON, TRUE);
    EnableWindow(button, state.load.songLoaded && k < state.engine.song.trackCount);
    ShowWindow(button, state.settings.tracpanel ? SW_SHOW : SW_HIDE);
  }
}

}  // namespace

// The reset of key and speed (202), the chord modes (211, 212, 214), the
// track selection (221..253) and the instrument and volume choices
// (261, 271..286, 291, 293..297) are not handled yet.
void on_tracks_command(ShellState& state, int id, LPARAM) {
  switch (id) {
    case cmd::kMultiTrackSelect: toggle_multi_track_select(state); return;
    default: return;
  }
}

}  // namespace mel
