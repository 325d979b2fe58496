#include "shell/win32/commands_playlist.h"

#include <cstdlib>

#include "common/path_util.h"
#include "shell/model/command_ids.h"
#include "shell/model/playlist_model.h"
#include "shell/model/shell_rules_model.h"
#include "shell/win32/commands_play.h"

namespace mel {
namespace {

bool playing(const ShellState& state) { return state.playback.player->state() == PlayerState::Playing; }

// Previous, next, first and the popup lists' jumps. Playback goes on with
// the new entry only if it was running.
void move(ShellState& state, int id) {
  const int target = playlist_move_target(id, state.playlist.currentIndex, state.playlist.count());
  if (target < 0) return;
  state.playlist.currentIndex = target;
  load_entry(state, !playing(state));
}

void shuffle(ShellState& state) {
  shuffle_entries(state.playlist.entries, [] { return std::rand(); }, GetTickCount());
  state.playlist.currentIndex = 0;
  state.engine.ReloadRequest = kReloadReadFile;
  load_entry(state, !playing(state));
}

bool clipboard_has_text() {
  return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
}

// The clipboard's text becomes the one entry of the playlist, and plays.
void play_clipboard(ShellState& state) {
  if (!clipboard_has_text()) return;
  state.playlist.entries.assign(1, std::filesystem::path(kClipboardFileName));
  state.playlist.currentIndex = 0;
  state.engine.ReloadRequest = kReloadReadFile;
  load_entry(state, false);
}

}  // namespace

void on_playlist_command(ShellState& state, int id, LPARAM) {
  if (id == cmd::kShuffle) {
    shuffle(state);
  } else if (id == cmd::kClipboardPlay) {
    play_clipboard(state);
  } else {
    move(state, id);
  }
}

}  // namespace mel
