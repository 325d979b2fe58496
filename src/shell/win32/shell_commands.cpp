// The commands of the main window (WM_COMMAND): what each menu item, button,
// key and internal step does.
#include <windows.h>

#include "shell/model/shell_rules_model.h"
#include "shell/model/layout_model.h"
#include "shell/win32/load_flow.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/shell_sources.h"
#include "shell/win32/win32_profile.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// Ticks the counter keeps a title or message before it shows the position.
constexpr int kCounterHoldTicks = 5;
// The keyboard shortcuts send this lParam: Ctrl then counts as released.
constexpr LPARAM kFromShortcut = 1;

bool in_range(int id, int first, int last) { return id >= first && id <= last; }

SequencerPlayer& player_of(ShellState& state) { return *state.player; }

void set_scroll_range_to_length(ShellState& state) {
  SetScrollRange(state.scroll, SB_CTL, 0, static_cast<int>(player_of(state).length() - 1), TRUE);
}

bool index_inside_playlist(const ShellState& state) {
  return state.currentIndex >= 0 && state.currentIndex < static_cast<int>(state.playlist.size());
}

// ---------------------------------------------------------------------------
// Play, stop, pause.

void on_play(ShellState& state) {
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) return;
  if (key_is_down(VK_CONTROL) && index_inside_playlist(state)) {
    const bool paused = player.state() == PlayerState::Paused;
    state.engine.ReloadRequest = kReloadReadFile;
    load_current_file(state);
    if (paused) player.set_state(PlayerState::Paused);
  }
  if (player.state() == PlayerState::Paused) {
    player.resume();
  } else {
    if (state.playlist.empty()) on_command(state, cmd::kOpen, 0);
    if (state.playlist.empty()) return;
    player.play_from_start();
  }
  set_scroll_range_to_length(state);
}

void on_stop(ShellState& state) {
  player_of(state).stop();
  SetScrollPos(state.scroll, SB_CTL, 0, TRUE);
  show_title_on_counter(state);
}

void on_pause(ShellState& state) { player_of(state).pause(true); }

// ---------------------------------------------------------------------------
// Loading.

void load_entry(ShellState& state, bool doNotStart) {
  SequencerPlayer& player = player_of(state);
  if (player.state() == PlayerState::Playing) player.stop();
  SetScrollPos(state.scroll, SB_CTL, 0, TRUE);
  state.engine.ReloadRequest = kReloadReadFile;
  state.currentFile = index_inside_playlist(state) ? state.playlist[state.currentIndex] : std::filesystem::path();
  if (state.settings.autoreset == 1) on_command(state, cmd::kResetKeySpeed, 1);
  load_current_file(state);
  show_title_on_counter(state);
  if (!doNotStart && !state.playlist.empty()) {
    post_command(state, cmd::kPlay);
    if (!state.engine.song.title.empty()) state.counterHold = kCounterHoldTicks;
  }
}

void reconvert(ShellState& state) {
  SequencerPlayer& player = player_of(state);
  switch (player.state()) {
    case PlayerState::Stopped:
      load_current_file(state);
      break;
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
  set_scroll_range_to_length(state);
}

// Open (14), open the last created file (103), a recent file (1201..1210).
void open_command(ShellState& state, int id, LPARAM lParam) {
  const bool ctrl = lParam != kFromShortcut && key_is_down(VK_CONTROL);
  std::filesystem::path name;
  if (id == cmd::kOpen) {
    name = state.currentFile;
    bool chosen = false;
    {
      const ModalScope modal(state);
      chosen = state.options.openDialog ? state.options.openDialog(state.hwnd, name) : open_file_dialog(state, name);
    }
    if (!chosen) return;
  } else if (id == cmd::kOpenLastCreated) {
    name = state.lastCreated;
  } else {
    const std::size_t entry = static_cast<std::size_t>(id - cmd::kRecentFirst + 1);
    if (entry >= state.recent.size()) return;
    name = state.recent[entry];
  }
  if (name.empty()) return;
  if (ctrl && static_cast<int>(state.playlist.size()) >= state.files) return;
  if (!ctrl) state.playlist.clear();
  state.currentIndex = static_cast<int>(state.playlist.size());
  const int type = state.engine.detect(name);
  accept_path(state, name, type);
  state.currentFile = index_inside_playlist(state) ? state.playlist[state.currentIndex] : std::filesystem::path();
  state.engine.ReloadRequest = kReloadReadFile;
  if (state.settings.autoreset == 1) on_command(state, cmd::kResetKeySpeed, 1);
  load_current_file(state);
  show_title_on_counter(state);
}

// ---------------------------------------------------------------------------
// Creating files.

void create_command(ShellState& state, int id) {
  const int kind = output_kind_for_command(id);
  if (kind == 0) return;
  create_file(state, kind);
  state.settings.recmode = recmode_after_create(state.settings.recmode, id);
}

// ---------------------------------------------------------------------------
// Settings.

// The check mark of the colour popup sits on the `dispcolor` entry.
void check_colour_item(ShellState& state) {
  for (int id = cmd::kColourFirst; id <= cmd::kColourRandom; ++id) {
    CheckMenuItem(state.colourPopup, id,
                  MF_BYCOMMAND | (id - cmd::kColourFirst + 1 == state.settings.dispcolor ? MF_CHECKED : MF_UNCHECKED));
  }
}

void apply_control_checks(ShellState& state) {
  check_view_items(state);
  check_colour_item(state);
}

bool window_is_topmost(const ShellState& state) {
  return (GetWindowLongPtrW(state.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void load_settings_command(ShellState& state) {
  const Win32Profile profile(state.options.profilePath);
  const ShellSettings loaded = load_settings(profile, GetVersion());
  const int multiTrackSelect = state.engine.settings.play.MultiTrackSelect;
  state.settings = loaded;

  state.controlFlags = loaded.control_flags() | (state.controlFlags & kFlagExitAfterPlay);
  state.effectiveColour = effective_display_colour(loaded.dispcolor, std::rand(), GetTickCount());
  apply_control_checks(state);
  set_button_hints(state);
  relayout_now(state, kRelayoutRecompute);

  apply_settings_to_engine(loaded, state.engine.settings);
  set_item_checked(state, cmd::kLoop, loaded.loop == 1);
  // Topmost and the track-selection style follow the file through their
  // commands, which also set the window and the buttons.
  state.settings.topmost = window_is_topmost(state) ? 1 : 0;
  if (loaded.topmost != state.settings.topmost) on_command(state, cmd::kTopmost, 0);
  state.engine.settings.play.MultiTrackSelect = multiTrackSelect;
  if ((loaded.addtrac == 1) != (multiTrackSelect == 1)) on_command(state, cmd::kMultiTrackSelect, 0);
  install_settings_items(state);
}

void save_settings_command(ShellState& state) {
  state.settings.take_control_flags(state.controlFlags);
  state.settings.addtrac = state.engine.settings.play.MultiTrackSelect;
  take_settings_from_engine(state.engine.settings, state.settings);
  Win32Profile profile(state.options.profilePath);
  save_settings(state.settings, profile);
}

// ---------------------------------------------------------------------------
// View toggles.

void toggle_topmost(ShellState& state) {
  state.settings.topmost = state.settings.topmost ? 0 : 1;
  set_item_checked(state, cmd::kTopmost, state.settings.topmost == 1);
  SetWindowPos(state.hwnd, state.settings.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void toggle_control_flag(ShellState& state, int id, unsigned flag) {
  state.controlFlags ^= flag;
  set_item_checked(state, id, (state.controlFlags & flag) != 0);
  post_relayout(state, kRelayoutRecompute);
}

void toggle_track_panel(ShellState& state) {
  state.settings.tracpanel = state.settings.tracpanel ? 0 : 1;
  set_item_checked(state, cmd::kTrackPanel, state.settings.tracpanel == 1);
  post_relayout(state, kRelayoutRecompute);
}

void toggle_multi_track_select(ShellState& state) {
  int& multi = state.engine.settings.play.MultiTrackSelect;
  multi = multi ? 0 : 1;
  set_item_checked(state, cmd::kMultiTrackSelect, multi == 1);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    HWND button = state.trackButtons[k];
    SendMessageW(button, BM_SETSTYLE, multi ? BS_CHECKBOX : BS_RADIOBUTTON, TRUE);
    EnableWindow(button, state.songLoaded && k < state.engine.song.trackCount);
    ShowWindow(button, state.settings.tracpanel ? SW_SHOW : SW_HIDE);
  }
}

void toggle_loop(ShellState& state) {
  state.settings.loop = state.settings.loop ? 0 : 1;
  set_item_checked(state, cmd::kLoop, state.settings.loop == 1);
}

void toggle_intro(ShellState& state) {
  state.intro = !state.intro;
  set_item_checked(state, cmd::kIntro, state.intro);
}

void choose_display_colour(ShellState& state, int id) {
  state.settings.dispcolor = id - cmd::kColourFirst + 1;
  state.effectiveColour = effective_display_colour(state.settings.dispcolor, std::rand(), GetTickCount());
  check_colour_item(state);
  InvalidateRect(state.counter, nullptr, TRUE);
}

void about_box(ShellState& state) {
  show_message(state, std::string(kProductName) + " " + kVersionText, "このプログラムについて", MB_OK);
}

}  // namespace

void on_command(ShellState& state, int id, LPARAM lParam) {
  if (clears_exit_after_play(id)) clear_exit_after_play(state);
  switch (id) {
    case cmd::kPlay: on_play(state); return;
    case cmd::kStop: on_stop(state); return;
    case cmd::kPause: on_pause(state); return;
    case cmd::kOpen:
    case cmd::kOpenLastCreated: open_command(state, id, lParam); return;
    case cmd::kSaveButton:
      if (const int command = save_button_command(state.settings.recmode); command != 0) on_command(state, command, 0);
      return;
    case cmd::kLoadEntry: load_entry(state, lParam != 0); return;
    case cmd::kReconvert: reconvert(state); return;
    case cmd::kLoadSettings: load_settings_command(state); return;
    case cmd::kSaveSettings: save_settings_command(state); return;
    case cmd::kExit: SendMessageW(state.hwnd, WM_CLOSE, 0, 0); return;
    case cmd::kCopyAs:
    case cmd::kCreateMidi: create_command(state, id); return;
    case cmd::kLoop: toggle_loop(state); return;
    case cmd::kTopmost: toggle_topmost(state); return;
    case cmd::kTrackPanel: toggle_track_panel(state); return;
    case cmd::kCounterDisplay: toggle_control_flag(state, id, kFlagDisplay); return;
    case cmd::kMultiTrackSelect: toggle_multi_track_select(state); return;
    case cmd::kIntro: toggle_intro(state); return;
    case cmd::kShowOpenButton: toggle_control_flag(state, id, kFlagOpenButton); return;
    case cmd::kShowKeyButtons: toggle_control_flag(state, id, kFlagKeyButtons); return;
    case cmd::kShowTempoButtons: toggle_control_flag(state, id, kFlagTempoButtons); return;
    case cmd::kShowBackNextButtons: toggle_control_flag(state, id, kFlagBackNext); return;
    case cmd::kShowSaveButton: toggle_control_flag(state, id, kFlagSaveButton); return;
    case cmd::kAbout: about_box(state); return;
    default: break;
  }
  if (in_range(id, cmd::kRecentFirst, cmd::kRecentLast)) {
    open_command(state, id, lParam);
  } else if (in_range(id, cmd::kColourFirst, cmd::kColourRandom)) {
    choose_display_colour(state, id);
  } else if (const int target = playlist_move_target(id, state.currentIndex, static_cast<int>(state.playlist.size()));
             target >= 0) {
    // Playback goes on with the new entry only if it was running.
    state.currentIndex = target;
    load_entry(state, player_of(state).state() != PlayerState::Playing);
  }
  // The other commands (key and tempo, track selection, instruments and
  // volumes, the remaining create kinds, shuffle, the property report, help
  // and external programs) arrive here and do nothing yet.
}

}  // namespace mel
