#include "shell/win32/shell_commands.h"

#include "shell/model/command_ids.h"
#include "shell/model/shell_rules_model.h"
#include "shell/win32/commands_dialogs.h"
#include "shell/win32/commands_files.h"
#include "shell/win32/commands_play.h"
#include "shell/win32/commands_playlist.h"
#include "shell/win32/commands_tracks.h"
#include "shell/win32/commands_view.h"
#include "shell/win32/main_window.h"

namespace mel {

void on_command(ShellState& state, int id, LPARAM lParam) {
  if (clears_exit_after_play(id)) clear_exit_after_play(state);
  run_command(state, id, lParam);
}

void run_command(ShellState& state, int id, LPARAM lParam) {
  switch (cmd::command_area(id)) {
    case cmd::CommandArea::Play: on_play_command(state, id, lParam); return;
    case cmd::CommandArea::Files: on_files_command(state, id, lParam); return;
    case cmd::CommandArea::Tracks: on_tracks_command(state, id, lParam); return;
    case cmd::CommandArea::View: on_view_command(state, id, lParam); return;
    case cmd::CommandArea::Playlist: on_playlist_command(state, id, lParam); return;
    case cmd::CommandArea::Dialogs: on_dialogs_command(state, id, lParam); return;
    case cmd::CommandArea::None: return;  // not a command of the window
  }
}

}  // namespace mel
