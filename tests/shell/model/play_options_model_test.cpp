// The play options of the Settings menu and the track panel.
#include "shell/model/play_options_model.h"

#include <gtest/gtest.h>

#include "shell/model/command_ids.h"

namespace mel {
namespace {

constexpr int track(int n) { return cmd::kTrackFirst + n - 1; }
constexpr uint32_t bits(std::initializer_list<int> tracks) {
  uint32_t mask = 0;
  for (int n : tracks) mask |= 1u << (n - 1);
  return mask;
}

PlaybackOptions single_select() {
  PlaybackOptions play;
  play.MultiTrackSelect = 0;
  return play;
}

TEST(TrackClicks, PlainClickSelectsOneTrackAndAllClearsTheMask) {
  PlaybackOptions play = single_select();
  click_track(play, track(3), false, false);
  EXPECT_EQ(play.TrackSelection, 3);
  EXPECT_EQ(play.TrackMask, bits({3}));
  click_track(play, cmd::kAllTracks, true, true);  // "全" ignores Ctrl and Shift
  EXPECT_EQ(play.TrackSelection, 0);
  EXPECT_EQ(play.TrackMask, 0u);
}

TEST(TrackClicks, CtrlTogglesATrackAndFromAllTracksLeavesOnlyThatOneOut) {
  PlaybackOptions play = single_select();
  click_track(play, track(3), true, false);
  EXPECT_EQ(play.TrackMask, ~bits({3}));
  EXPECT_EQ(play.TrackSelection, 1);
  click_track(play, track(1), true, false);
  EXPECT_EQ(play.TrackSelection, 2);
  // With MultiTrackSelect a plain click toggles and Ctrl picks one track.
  PlaybackOptions multi;
  click_track(multi, track(1), false, false);
  EXPECT_EQ(multi.TrackSelection, 2);
  click_track(multi, track(6), true, false);
  EXPECT_EQ(multi.TrackMask, bits({6}));
  // Toggling the last selected track off selects all of them again.
  PlaybackOptions one = single_select();
  click_track(one, track(4), false, false);
  click_track(one, track(4), true, false);
  EXPECT_EQ(one.TrackMask, 0u);
  EXPECT_EQ(one.TrackSelection, 0);
}

TEST(TrackClicks, ShiftRunsDownToTheFirstTrackAlreadyInTheNewState) {
  PlaybackOptions play = single_select();
  click_track(play, track(1), false, false);
  click_track(play, track(5), false, true);
  EXPECT_EQ(play.TrackMask, bits({1, 2, 3, 4, 5}));
  EXPECT_EQ(play.TrackSelection, 1);
  // On a selected track the run clears downwards while tracks are selected.
  PlaybackOptions gap = single_select();
  gap.TrackSelection = 1;
  gap.TrackMask = bits({1, 3, 4, 5});
  click_track(gap, track(5), false, true);
  EXPECT_EQ(gap.TrackMask, bits({1}));
}

TEST(PlayOptions, InstrumentChoicesDropTheStandardAndPerTrackChoices) {
  PlaybackOptions play;
  play.PerTrackProgram[3] = 41;
  choose_instrument(play, true, 24);
  EXPECT_EQ(play.melody, 24);
  EXPECT_EQ(play.KeepFileInstruments, 0);
  EXPECT_EQ(play.PerTrackProgram[3], 0);
  play.PerTrackProgram[0] = 5;
  toggle_standard_instrument(play, true);
  EXPECT_EQ(play.KeepFileInstruments, 1);
  EXPECT_EQ(play.PerTrackProgram[0], 0);
  // A file without instruments of its own (261 greyed) never keeps them.
  toggle_standard_instrument(play, false);
  toggle_standard_instrument(play, false);
  EXPECT_EQ(play.KeepFileInstruments, 0);
}

TEST(PlayOptions, ChordModesExcludeEachOther) {
  Settings settings;
  settings.conv.giziwaon = 3;
  toggle_pseudo_chord(settings);
  EXPECT_TRUE(settings.conv.pseudo_chord_mode());
  EXPECT_EQ(settings.play.MidiStandard, 0);

  settings.play.TrackSplit = 1;
  settings.conv.accompanimentLevel = 2;
  EXPECT_TRUE(toggle_midi_standard(settings));
  EXPECT_EQ(settings.play.MidiStandard, 1);
  EXPECT_FALSE(settings.conv.pseudo_chord_mode());
  EXPECT_EQ(settings.conv.giziwaon, 3);  // the level stays
  EXPECT_EQ(settings.conv.accompanimentLevel, 0);
  EXPECT_EQ(settings.play.TrackSplit, 0);

  toggle_track_split(settings.play);
  EXPECT_EQ(settings.play.TrackSplit, 1);
  EXPECT_EQ(settings.play.MidiStandard, 0);
}

TEST(PlayOptions, ResetWithEverythingKeepsThePerTrackVolumes) {
  Settings settings;
  PlaybackOptions& play = settings.play;
  play.KeyOffset = 5;
  play.TrackSelection = 2;
  play.TrackMask = bits({2});
  play.PerTrackProgram[0] = 9;
  play.PerTrackVolume[0] = 9;
  reset_play_options(settings, -2, 20, false, true);
  EXPECT_EQ(play.KeyOffset, -2);
  EXPECT_EQ(play.SpeedFactor, 20);
  EXPECT_EQ(play.TrackSelection, 2);  // key and speed alone
  reset_play_options(settings, 0, 16, true, true);
  EXPECT_EQ(play.TrackMask, 0u);
  EXPECT_EQ(play.PerTrackProgram[0], 0);
  EXPECT_EQ(play.PerTrackVolume[0], 9);
}

}  // namespace
}  // namespace mel
