#include "shell/win32/commands_tracks.h"

#include "shell/model/command_ids.h"
#include "shell/model/load_flow_model.h"
#include "shell/model/menu_model.h"
#include "shell/model/play_options_model.h"
#include "shell/win32/load_flow.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
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

// The file's own instruments can be kept only while item 261 is enabled.
bool file_instruments_allowed(const ShellState& state) { return item_enabled(state, cmd::kStandardInstrument); }

// The menu's and the panel's marks for the track selection.
void show_track_selection(ShellState& state) {
  const PlaybackOptions& play = state.engine.settings.play;
  const bool all = play.TrackSelection == 0;
  set_item_checked(state, cmd::kAllTracks, all);
  set_button_check(state.controls.allTracksButton, all);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    const bool selected = !all && ((play.TrackMask >> k) & 1u);
    set_item_checked(state, cmd::kTrackFirst + k, selected);
    set_button_check(state.controls.trackButtons[k], selected);
  }
}

// The marks of the chord modes, and "3回連続演奏" that depends on them.
void show_chord_modes(ShellState& state) {
  const Settings& settings = state.engine.settings;
  set_item_checked(state, cmd::kMidiStandard, settings.play.MidiStandard == 1);
  set_button_check(state.controls.standardButton, settings.play.MidiStandard == 1);
  set_item_checked(state, cmd::kTrackSplit, settings.play.TrackSplit == 1);
  set_button_check(state.controls.splitButton, settings.play.TrackSplit == 1);
  set_item_checked(state, cmd::kPseudoChord, settings.conv.pseudo_chord_mode());
  set_item_enabled(state, cmd::kThreeTimes,
                   three_times_enabled(state.load.songLoaded, state.load.inputType, settings.play.MidiStandard));
}

void show_instrument_choice(ShellState& state) {
  const PlaybackOptions& play = state.engine.settings.play;
  set_item_checked(state, cmd::kStandardInstrument, play.StandardInstrument == 1);
  for (const InstrumentEntry& entry : state.menus.instruments) {
    set_item_checked(state, entry.id, play.StandardInstrument == 0 &&
                                          entry.id == cmd::kInstrumentFirst + state.menus.instrumentIndex);
  }
}

void show_volume_choice(ShellState& state) {
  const PlaybackOptions& play = state.engine.settings.play;
  set_item_checked(state, cmd::kStandardVolume, play.StandardVolume == 1);
  for (int id = cmd::kVolumeFirst; id <= cmd::kVolumeLast; ++id) {
    set_item_checked(state, id, play.StandardVolume == 0 && id == cmd::kVolumeFirst + state.menus.volumeIndex);
  }
}

void choose_instrument_entry(ShellState& state, int id) {
  const int index = id - cmd::kInstrumentFirst;
  if (index < 0 || index >= static_cast<int>(state.menus.instruments.size())) return;
  state.menus.instrumentIndex = index;
  choose_instrument(state.engine.settings.play, file_instruments_allowed(state),
                    state.menus.instruments[static_cast<std::size_t>(index)].program);
  set_item_checked(state, cmd::kPerTrackInstrument, false);
}

void choose_volume_entry(ShellState& state, int id) {
  state.menus.volumeIndex = id - cmd::kVolumeFirst;
  choose_volume(state.engine.settings.play, volume_table()[static_cast<std::size_t>(state.menus.volumeIndex)]);
  set_item_checked(state, cmd::kPerTrackVolume, false);
}

// 202: key and speed back to the settings' values; with Ctrl, or as the
// automatic reset of a load (lParam 1), every play option too.
void reset(ShellState& state, LPARAM lParam) {
  const bool automatic = lParam == 1;
  const bool everything = automatic || key_is_down(VK_CONTROL);
  reset_play_options(state.engine.settings, state.settings.key, state.settings.speed, everything,
                     file_instruments_allowed(state));
  if (everything) {
    set_item_checked(state, cmd::kPerTrackInstrument, false);
    show_instrument_choice(state);
    show_volume_choice(state);
    show_chord_modes(state);
    show_track_selection(state);
  }
  if (automatic) return;  // the caller loads next
  if (everything) state.engine.ReloadRequest = kReloadDecodeHeld;
  if (state.playback.player->state() == PlayerState::Playing) state.display.counterHold = kCounterHoldTicks;
  run_command(state, cmd::kReconvert, 0);
  set_counter_text(state, "RESET");
}

// A play option changed from the menu, the panel or a digit key: the focus
// goes back to the window (a panel button took it) before the change.
void change_play_option(ShellState& state, int id) {
  Settings& settings = state.engine.settings;
  PlaybackOptions& play = settings.play;
  SetFocus(state.hwnd);
  if (id == cmd::kStandardInstrument) {
    toggle_standard_instrument(play, file_instruments_allowed(state));
    if (play.StandardInstrument) set_item_checked(state, cmd::kPerTrackInstrument, false);
    show_instrument_choice(state);
  } else if (id >= cmd::kInstrumentFirst && id <= cmd::kInstrumentLast) {
    choose_instrument_entry(state, id);
    show_instrument_choice(state);
  } else if (id == cmd::kStandardVolume) {
    toggle_standard_volume(play);
    if (play.StandardVolume) set_item_checked(state, cmd::kPerTrackVolume, false);
    show_volume_choice(state);
  } else if (id >= cmd::kVolumeFirst && id <= cmd::kVolumeLast) {
    choose_volume_entry(state, id);
    show_volume_choice(state);
  } else if (id == cmd::kMidiStandard) {
    if (toggle_midi_standard(settings)) state.engine.ReloadRequest = kReloadDecodeHeld;
    show_chord_modes(state);
  } else if (id == cmd::kTrackSplit) {
    if (toggle_track_split(play)) state.engine.ReloadRequest = kReloadDecodeHeld;
    show_chord_modes(state);
  } else if (id >= cmd::kAllTracks && id <= cmd::kTrackLast) {
    click_track(play, id, key_is_down(VK_CONTROL), key_is_down(VK_SHIFT));
    show_track_selection(state);
    if (settings.conv.pseudo_chord_mode()) state.engine.ReloadRequest = kReloadDecodeHeld;
  }
  run_command(state, cmd::kReconvert, 0);
}

void pseudo_chord(ShellState& state) {
  toggle_pseudo_chord(state.engine.settings);
  show_chord_modes(state);
  state.engine.ReloadRequest = kReloadDecodeHeld;
  run_command(state, cmd::kReconvert, 0);
}

}  // namespace

void on_tracks_command(ShellState& state, int id, LPARAM lParam) {
  switch (id) {
    case cmd::kMultiTrackSelect: toggle_multi_track_select(state); return;
    case cmd::kResetKeySpeed: reset(state, lParam); return;
    case cmd::kPseudoChord: pseudo_chord(state); return;
    default: change_play_option(state, id); return;
  }
}

}  // namespace mel
