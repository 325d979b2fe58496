// The play options the Settings menu, the track panel and the digit keys
// change: track selection clicks, chord modes, instruments, volumes and the
// reset of command 202. Each rule changes the options only; the window then
// shows the new state (check marks, panel buttons) and converts again.
#pragma once

#include "score/options.h"

namespace mel {

// A click on track button id (221 "全", 222..253 tracks 1..32) with Ctrl and
// Shift as they are. Ctrl toggles a track when `MultiTrackSelect` is off and
// selects a single track when it is on; Shift extends a run of tracks
// downwards to the next track already in the state it takes.
void click_track(PlaybackOptions& play, int id, bool ctrl, bool shift);

// "標準" of the instrument menu (261). fileInstrumentsAllowed: item 261 is
// enabled (the loaded file has instruments of its own to keep).
void toggle_standard_instrument(PlaybackOptions& play, bool fileInstrumentsAllowed);
// One entry of the instrument menu with its program.
void choose_instrument(PlaybackOptions& play, bool fileInstrumentsAllowed, int program);
void toggle_standard_volume(PlaybackOptions& play);
// One entry of the volume menu with its value.
void choose_volume(PlaybackOptions& play, int value);

// "MIDI標準" (211) and "トラック分解" (214). True when the held input must be
// decoded again.
bool toggle_midi_standard(Settings& settings);
bool toggle_track_split(PlaybackOptions& play);
// "擬似和音" (212): flips the mode bit of `giziwaon`; turns "MIDI標準" off
// while pseudo chords or an accompaniment are on.
void toggle_pseudo_chord(Settings& settings);
// After the conversion detail dialog changed the chord settings.
void follow_chord_settings(Settings& settings);

// Command 202: key and speed back to the settings' values; with everything
// (Ctrl, or the automatic reset of a load) also the instruments, volumes,
// chord modes and track selection. The per-track volumes stay.
void reset_play_options(Settings& settings, int key, int speed, bool everything, bool fileInstrumentsAllowed);

}  // namespace mel
