#include "shell/model/play_options_model.h"

#include "shell/model/command_ids.h"

namespace mel {
namespace {

// 1 + the lowest selected track, or 0 (all tracks) for an empty mask.
int first_selected_track(uint32_t mask) {
  for (int n = 0; n < kMaxTracks; ++n) {
    if ((mask >> n) & 1u) return n + 1;
  }
  return 0;
}

// Shift: from track n downwards, every track in the same state as n flips,
// up to the first one that already has the new state.
uint32_t extend_run(uint32_t mask, int n) {
  const bool clear = (mask >> n) & 1u;
  for (int k = n; k >= 0 && (((mask >> k) & 1u) != 0) == clear; --k) mask ^= 1u << k;
  return mask;
}

}  // namespace

void click_track(PlaybackOptions& play, int id, bool ctrl, bool shift) {
  const bool toggle = ctrl != (play.MultiTrackSelect != 0);
  if (id == cmd::kAllTracks || (!toggle && !shift)) {
    play.TrackSelection = id - cmd::kAllTracks;
    play.TrackMask = id == cmd::kAllTracks ? 0 : 1u << (id - cmd::kTrackFirst);
    return;
  }
  const int n = id - cmd::kTrackFirst;
  const uint32_t bit = 1u << n;
  if (shift) {
    play.TrackMask = extend_run(play.TrackMask, n);
  } else if (play.TrackSelection != 0) {
    play.TrackMask ^= bit;
  } else {
    play.TrackMask = ~bit;
  }
  play.TrackSelection = first_selected_track(play.TrackMask);
}

void toggle_standard_instrument(PlaybackOptions& play, bool fileInstrumentsAllowed) {
  play.StandardInstrument = play.StandardInstrument ? 0 : 1;
  play.KeepFileInstruments = fileInstrumentsAllowed ? play.StandardInstrument : 0;
  if (play.StandardInstrument) play.PerTrackProgram.fill(0);
}

void choose_instrument(PlaybackOptions& play, bool fileInstrumentsAllowed, int program) {
  if (fileInstrumentsAllowed) {
    play.StandardInstrument = 0;
    play.KeepFileInstruments = 0;
  }
  play.melody = program;
  play.PerTrackProgram.fill(0);
}

void toggle_standard_volume(PlaybackOptions& play) {
  play.StandardVolume = play.StandardVolume ? 0 : 1;
  if (play.StandardVolume) play.PerTrackVolume.fill(0);
}

void choose_volume(PlaybackOptions& play, int value) {
  play.StandardVolume = 0;
  play.volume = value;
  play.PerTrackVolume.fill(0);
}

bool toggle_midi_standard(Settings& settings) {
  PlaybackOptions& play = settings.play;
  play.MidiStandard = play.MidiStandard ? 0 : 1;
  if (!play.MidiStandard) return false;
  settings.conv.giziwaon &= ~kPseudoChordModeBit;
  settings.conv.accompanimentLevel = 0;
  play.TrackSplit = 0;
  return true;
}

bool toggle_track_split(PlaybackOptions& play) {
  play.TrackSplit = play.TrackSplit ? 0 : 1;
  if (play.TrackSplit) play.MidiStandard = 0;
  return true;
}

void follow_chord_settings(Settings& settings) {
  if (settings.conv.pseudo_chord_mode() || settings.conv.accompanimentLevel != 0) settings.play.MidiStandard = 0;
}

void toggle_pseudo_chord(Settings& settings) {
  settings.conv.giziwaon ^= kPseudoChordModeBit;
  follow_chord_settings(settings);
}

void reset_play_options(Settings& settings, int key, int speed, bool everything, bool fileInstrumentsAllowed) {
  PlaybackOptions& play = settings.play;
  play.KeyOffset = key;
  play.SpeedFactor = speed;
  if (!everything) return;
  play.StandardInstrument = 1;
  if (fileInstrumentsAllowed) play.KeepFileInstruments = 1;
  play.StandardVolume = 1;
  play.MidiStandard = 1;
  play.TrackSplit = 0;
  settings.conv.giziwaon &= ~kPseudoChordModeBit;
  play.TrackSelection = 0;
  play.TrackMask = 0;
  play.PerTrackProgram.fill(0);
}

}  // namespace mel
