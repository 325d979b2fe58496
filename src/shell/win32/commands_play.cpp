#include "shell/win32/commands_play.h"

#include <algorithm>

#include "playback/play_modes_model.h"
#include "shell/model/command_ids.h"
#include "shell/win32/load_flow.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/win_text.h"
#include "shell/win32/window_messages.h"

namespace mel {
namespace {

// The key and tempo buttons repeat after this first delay, then at the period.
constexpr UINT kRepeatDelayMs = 500;
constexpr UINT kRepeatPeriodMs = 100;
// The scroll bar's page steps, in sixteenths.
constexpr long kScrollPage = 10;

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
    if (state.playlist.entries.empty()) run_command(state, cmd::kOpen, 0);
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

void toggle_three_times(ShellState& state) {
  int& threeTimes = state.engine.settings.play.ThreeTimes;
  threeTimes = threeTimes ? 0 : 1;
  set_item_checked(state, cmd::kThreeTimes, threeTimes == 1);
  reconvert(state);
}

std::string counter_text(HWND counter) {
  wchar_t text[256] = {};
  GetWindowTextW(counter, text, 256);
  return narrow(text);
}

bool is_key_button(int id) { return id == cmd::kKeyDown || id == cmd::kKeyUp; }

// The button was let go: the file is converted again with the new key or
// tempo, and playback goes on if the press interrupted it.
void key_tempo_released(ShellState& state, int id) {
  KillTimer(state.hwnd, static_cast<UINT_PTR>(id) + kRepeatTimerOffset);
  const std::string kept = counter_text(state.controls.counter);
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Stopped) {
    load_current_file(state);
  } else if (player.state() == PlayerState::Paused) {
    const bool resume = state.playback.hold == HoldFlag::Interrupted;
    load_current_file(state);
    if (resume) {
      player.resume();
      state.display.counterHold = kCounterHoldTicks;
    } else {
      player.set_state(PlayerState::Paused);
    }
  }
  state.playback.hold = HoldFlag::None;
  set_counter_text(state, kept);
  set_scroll_range_to_length(state.controls.scroll, player);
}

}  // namespace

void load_entry(ShellState& state, bool doNotStart) {
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) player.stop();
  SetScrollPos(state.controls.scroll, SB_CTL, 0, TRUE);
  state.engine.ReloadRequest = kReloadReadFile;
  state.playlist.currentFile = state.playlist.current_entry();
  if (state.settings.autoreset == 1) run_command(state, cmd::kResetKeySpeed, 1);
  load_current_file(state);
  show_title_on_counter(state);
  if (!doNotStart && !state.playlist.entries.empty()) {
    post_command(state, cmd::kPlay);
    if (!state.engine.song.title.empty()) state.display.counterHold = kCounterHoldTicks;
  }
}

void on_key_tempo_pressed(ShellState& state, int id, bool fromButton) {
  clear_exit_after_play(state);
  PlaybackOptions& play = state.engine.settings.play;
  const bool ctrl = key_is_down(VK_CONTROL);
  const bool up = id == cmd::kKeyUp || id == cmd::kTempoUp;
  const bool key = is_key_button(id);
  const std::optional<int> next = key ? stepped_key(play.KeyOffset, up, ctrl) : stepped_speed(play.SpeedFactor, up, ctrl);
  if (!next) return;
  (key ? play.KeyOffset : play.SpeedFactor) = *next;
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) {
    state.playback.hold = HoldFlag::Interrupted;
    player.pause(true);
    state.display.counterHold = kCounterHoldTicks;
  } else {
    state.playback.hold = hold_on_press(player.state(), state.playback.hold);
  }
  set_counter_text(state, key ? key_text(play.KeyOffset) : speed_text(play.SpeedFactor));
  SetTimer(state.hwnd, static_cast<UINT_PTR>(id) + kRepeatTimerOffset, fromButton ? kRepeatDelayMs : kRepeatPeriodMs,
           nullptr);
}

void on_position_scroll(ShellState& state, int code, int thumbPosition) {
  clear_exit_after_play(state);
  if (!state.playlist.index_inside()) return;
  SequencerPlayer& player = player_of(state);
  if (code == SB_ENDSCROLL) {
    if (player.state() == PlayerState::Paused && state.playback.hold == HoldFlag::Interrupted) player.resume();
    state.playback.hold = HoldFlag::None;
    return;
  }
  if (code != SB_LINELEFT && code != SB_LINERIGHT && code != SB_PAGELEFT && code != SB_PAGERIGHT &&
      code != SB_THUMBTRACK) {
    return;
  }
  if (player.state() == PlayerState::Stopped) {
    state.playback.hold = HoldFlag::FromIdle;
    player.probe_length();
    player.set_state(PlayerState::Paused);
    set_scroll_range_to_length(state.controls.scroll, player);
  } else if (player.state() == PlayerState::Playing) {
    state.playback.hold = HoldFlag::Interrupted;
    player.pause(false);
  } else {
    state.playback.hold = hold_on_press(player.state(), state.playback.hold);
  }
  long position = player.position();
  switch (code) {
    case SB_LINELEFT: position -= 1; break;
    case SB_LINERIGHT: position += 1; break;
    case SB_PAGELEFT: position -= kScrollPage; break;
    case SB_PAGERIGHT: position += kScrollPage; break;
    default: position = thumbPosition; break;
  }
  player.set_position(std::max(0L, std::min(position, player.length() - 1)));
  SendMessageW(state.hwnd, WM_TIMER, 0, 0);
}

void on_play_command(ShellState& state, int id, LPARAM lParam) {
  switch (id) {
    case cmd::kKeyDown:
    case cmd::kKeyUp:
    case cmd::kTempoDown:
    case cmd::kTempoUp: key_tempo_released(state, id); return;
    case cmd::kThreeTimes: toggle_three_times(state); return;
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
