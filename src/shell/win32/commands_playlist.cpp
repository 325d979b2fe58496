#include "shell/win32/commands_playlist.h"

#include "shell/model/shell_rules_model.h"
#include "shell/win32/commands_play.h"

namespace mel {

// Previous, next, first and the popup lists' jumps. Playback goes on with the
// new entry only if it was running. Shuffle (304) and playing the clipboard
// (305) are not handled yet.
void on_playlist_command(ShellState& state, int id, LPARAM) {
  const int target = playlist_move_target(id, state.playlist.currentIndex, state.playlist.count());
  if (target < 0) return;
  state.playlist.currentIndex = target;
  load_entry(state, state.playback.player->state() != PlayerState::Playing);
}

}  // namespace mel
