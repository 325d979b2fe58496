#include "shell/win32/commands_play.h"

#include "shell/model/command_ids.h"
#include "shell/win32/load_flow.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/shell_menu.h"

namespace mel {
namespace {

// Ticks the counter keeps a title or message before it shows the position.
constexpr int kCounterHoldTicks = 5;

SequencerPlayer& player_of(ShellState& state) { return *state.playback.player; }

void set_scroll_range_to_length(HWND scroll, const SequencerPlayer& player) {
  SetScrollRange(scroll, SB_CTL, 0, static_cast<int>(player.length() - 1), TRUE);
}

void play(ShellState& state) {
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) return;
  if (key_is_down(VK_CONTROL) && state.playlist.index_inside()) {
    const bool paused = player.state() == PlayerState::Paused;
    state.engine.ReloadRequest = kReloadReadFile;
    load_current_file(state);
    if (paused) player.set_state(PlayerState::Paused);
  }
  if (player.state() == PlayerState::Paused) {
    player.resume();
  } else {
    if (state.playlist.entries.empty()) on_command(state, cmd::kOpen, 0);
    if (state.playlist.entries.empty()) return;
    player.play_from_start();
  }
  set_scroll_range_to_length(state.controls.scroll, player);
}

void stop(ShellState& state) {
  player_of(state).stop();
  SetScrollPos(state.controls.scroll, SB_CTL, 0, TRUE);
  show_title_on_counter(state);
}

// Converts the current file again and goes on in the same play state.
void reconvert(ShellState& state) {
  SequencerPlayer& player = player_of(state);
  switch (player.state()) {
    case PlayerState::Stopped: load_current_file(state); break;
    case PlayerState::Playing:
      player.pause(true);
      load_current_file(state);
      player.resume();
      break;
    case PlayerState::Paused:
      load_current_file(state);
      player.set_state(PlayerState::Paused);
      break;
  }
  set_scroll_range_to_length(state.controls.scroll, player);
}

void toggle_loop(ShellState& state) {
  state.settings.loop = state.settings.loop ? 0 : 1;
  set_item_checked(state, cmd::kLoop, state.settings.loop == 1);
}

void toggle_intro(ShellState& state) {
  state.playback.intro = !state.playback.intro;
  set_item_checked(state, cmd::kIntro, state.playback.intro);
}

}  // namespace

void load_entry(ShellState& state, bool doNotStart) {
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) player.stop();
  SetScrollPos(state.controls.scroll, SB_CTL, 0, TRUE);
  state.engine.ReloadRequest = kReloadReadFile;
  state.playlist.currentFile = state.playlist.current_entry();
  if (state.settings.autoreset == 1) on_command(state, cmd::kResetKeySpeed, 1);
  load_current_file(state);
  show_title_on_counter(state);
  if (!doNotStart && !state.playlist.entries.empty()) {
    post_command(state, cmd::kPlay);
    if (!state.engine.song.title.empty()) state.display.counterHold = kCounterHoldTicks;
  }
}

// The key and tempo steps (15..18) and three times (207) are not handled yet.
void on_play_command(ShellState& state, int id, LPARAM lParam) {
  switch (id) {
    case cmd::kPlay: play(state); return;
    case cmd::kStop: stop(state); return;
    case cmd::kPause: player_of(state).pause(true); return;
    case cmd::kLoadEntry: load_entry(state, lParam != 0); return;
    case cmd::kReconvert: reconvert(state); return;
    case cmd::kLoop: toggle_loop(state); return;
    case cmd::kIntro: toggle_intro(state); return;
    default: return;
  }
}

}  // namespace mel
