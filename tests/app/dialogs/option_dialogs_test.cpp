// The per-track instrument and volume dialog and the conversion detail dialog
// as models: what the rows and controls show, what OK and "適用" store, and
// what is left alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/conversion_detail_dialog.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/track_values_dialog.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

const std::vector<TrackValueEntry> kInstruments = {{"ピアノ", 0}, {"ギター", 24}, {"フルート", 73}};
const std::vector<TrackValueEntry> kVolumes = {{"特大(127)", 127}, {"大(120)", 120}, {"中(100)", 100}};

// Track 1 program 24 (stored + 1), track 2 program 40, track 3 rhythm.
struct TrackValuesFixture {
  TrackValuesFixture() {
    b.track().note(60, 48);
    b.track(5).note(62, 48);
    b.track().rhythm().note(36, 48);
    b.song().program[0] = 25;
    b.song().program[1] = 41;
    b.song().volume[0] = 101;
  }
  TrackValuesDialog dialog(TrackValueMode mode) {
    return TrackValuesDialog(mode, b.song(), settings, mode == TrackValueMode::Instrument ? kInstruments : kVolumes,
                             {"Piano", "Bright"}, true, [this] { ++applied; });
  }
  ScoreBuilder b{120, 48};
  Settings settings;
  int applied = 0;
};

TEST(TrackValuesDialogTest, RowsShowOverridesOwnValuesAndEntryTexts) {
  TrackValuesFixture f;
  f.settings.play.PerTrackProgram[1] = kFollowScore;
  TrackValuesDialog dialog = f.dialog(TrackValueMode::Instrument);
  EXPECT_EQ(dialog.title(), "音色設定");
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST), "ギター");  // own program 24
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST + 1), "*");
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST + 2), "");  // rhythm: no program
  EXPECT_EQ(dialog.text(IDC_TRACK_LABEL_FIRST), "1  ");
  EXPECT_EQ(dialog.text(IDC_TRACK_LABEL_FIRST + 1), "5  ");
  EXPECT_EQ(dialog.text(IDC_TRACK_LABEL_FIRST + 2), "R  ");
  EXPECT_TRUE(dialog.enabled(IDC_TRACK_VALUE_FIRST + 2));
  EXPECT_FALSE(dialog.enabled(IDC_TRACK_VALUE_FIRST + 3));
  EXPECT_EQ(dialog.choices(IDC_INSTRUMENT_LIST).at(1), "Bright(1)");
  EXPECT_EQ(dialog.choices(IDC_INSTRUMENT_LIST).at(127), "(127)");
  f.settings.conv.giziwaon = 7;  // pseudo-chord mode labels the voices
  EXPECT_EQ(dialog.text(IDC_TRACK_LABEL_FIRST + 1), "G2  ");
}

TEST(TrackValuesDialogTest, OkStoresEachRowAndLeavesTracksBeyondTheRowsAlone) {
  TrackValuesFixture f;
  f.settings.play.PerTrackProgram[30] = 7;
  TrackValuesDialog dialog = f.dialog(TrackValueMode::Instrument);
  dialog.set_text(IDC_TRACK_VALUE_FIRST, "200");
  dialog.set_text(IDC_TRACK_VALUE_FIRST + 1, "フルート");
  dialog.set_text(IDC_TRACK_VALUE_FIRST + 2, "-5");  // not a number: no override
  dialog.set_text(IDC_TRACK_VALUE_FIRST + 3, "*");
  dialog.ok();
  const auto& p = f.settings.play.PerTrackProgram;
  EXPECT_EQ(p[0], 128);
  EXPECT_EQ(p[1], 74);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[3], kFollowScore);
  EXPECT_EQ(p[30], 7);
  EXPECT_EQ(f.settings.play.StandardInstrument, 0);
  EXPECT_EQ(f.settings.play.KeepFileInstruments, 0);
  EXPECT_EQ(f.applied, 1);
}

TEST(TrackValuesDialogTest, ApplyThenCancelKeepsTheAppliedValuesAndResetStoresNothing) {
  TrackValuesFixture f;
  TrackValuesDialog dialog = f.dialog(TrackValueMode::Volume);
  EXPECT_EQ(dialog.title(), "音量設定");
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST), "中(100)");
  EXPECT_FALSE(dialog.enabled(IDC_INSTRUMENT_LIST));
  dialog.set_text(IDC_TRACK_VALUE_FIRST, "大(120)");
  dialog.command(IDC_APPLY);
  EXPECT_EQ(f.settings.play.PerTrackVolume[0], 121);
  EXPECT_EQ(f.settings.play.StandardVolume, 0);
  dialog.set_text(IDC_TRACK_VALUE_FIRST, "5");
  dialog.command(IDC_RESET);
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST), "中(100)");
  EXPECT_EQ(f.settings.play.PerTrackVolume[0], 121);  // cancel after this stores nothing more
  EXPECT_EQ(f.applied, 1);
}

TEST(TrackValuesDialogTest, ListLineFollowsTheFocusedRowAndADoubleClickFillsIt) {
  TrackValuesFixture f;
  TrackValuesDialog dialog = f.dialog(TrackValueMode::Instrument);
  dialog.set_text(IDC_TRACK_VALUE_FIRST + 1, "40");
  dialog.focused(IDC_TRACK_VALUE_FIRST + 1);
  EXPECT_EQ(dialog.state(IDC_INSTRUMENT_LIST), 40);
  dialog.set_state(IDC_INSTRUMENT_LIST, 73);
  dialog.command(IDC_INSTRUMENT_LIST);
  EXPECT_EQ(dialog.text(IDC_TRACK_VALUE_FIRST + 1), "73");
}

TEST(ConversionDetailDialogTest, ShowsTheOptionsAndStepsTheScale) {
  ConversionOptions options;
  options.noteLengthScale = 16;
  ConversionDetailDialog dialog(options);
  EXPECT_EQ(dialog.text(IDC_LENGTH_SCALE), "1.00");
  dialog.spin(IDC_LENGTH_SCALE, 1, false);
  dialog.spin(IDC_LENGTH_SCALE, 1, false);
  EXPECT_EQ(dialog.text(IDC_LENGTH_SCALE), "4.00");
  dialog.spin(IDC_LENGTH_SCALE, 1, false);
  EXPECT_EQ(dialog.text(IDC_LENGTH_SCALE), "4.00");
  for (int i = 0; i < 5; ++i) dialog.spin(IDC_LENGTH_SCALE, -1, false);
  EXPECT_EQ(dialog.text(IDC_LENGTH_SCALE), "0.25");
  dialog.spin(IDC_LOW_NOTE_CUT, 1, true);
  EXPECT_EQ(dialog.text(IDC_LOW_NOTE_CUT), "12");
  EXPECT_TRUE(dialog.enabled(IDC_SIXTEENTH_GRID));
  dialog.set_state(IDC_REST_MERGE, 0);
  EXPECT_FALSE(dialog.enabled(IDC_SIXTEENTH_GRID));
  EXPECT_EQ(options.noteLengthScale, 16);  // nothing stored before OK
}

TEST(ConversionDetailDialogTest, OkClampsTypedLevelsAndKeepsThePseudoChordMode) {
  ConversionOptions options;
  options.giziwaon = 7;  // mode on, level 3
  ConversionDetailDialog dialog(options);
  dialog.set_text(IDC_PSEUDO_CHORD_LEVEL, "2");
  dialog.set_text(IDC_PSEUDO_CHORD_VOICES, "0");
  dialog.set_text(IDC_ACCOMPANIMENT, "9");
  dialog.set_text(IDC_CHORD_SPLIT_COUNT, "-3");
  dialog.set_text(IDC_SHORT_NOTE_CUT, "abc");
  dialog.ok();
  EXPECT_EQ(options.giziwaon, 6);
  EXPECT_EQ(options.gizino, 1);
  EXPECT_EQ(options.accompanimentLevel, 2);
  EXPECT_EQ(options.chsepcnt, 2);
  EXPECT_EQ(options.shortNoteCutLevel, 0);
}

TEST(ConversionDetailDialogTest, ResetLeavesTheChannelsAndTurnsRestMergeOn) {
  ConversionOptions options;
  options.relnflg = 0;
  options.highmld = 1;
  options.chordSplitChannels = 0x00F0;
  ConversionDetailDialog dialog(options);
  dialog.command(IDC_RESET);
  dialog.ok();
  EXPECT_EQ(options.relnflg, 1);
  EXPECT_EQ(options.highmld, 0);
  EXPECT_EQ(options.chordSplitChannels, 0x00F0);
}

TEST(ConversionDetailDialogTest, ChannelClicksWithCtrlAndShift) {
  ConversionOptions options;
  options.chordSplitChannels = 0b0000'0000'0011'0110;  // channels 2, 3, 5, 6
  ConversionDetailDialog dialog(options);
  auto click = [&dialog](int channel, bool ctrl, bool shift) {
    const int id = IDC_SPLIT_CHANNEL_FIRST + channel - 1;
    dialog.set_state(id, !dialog.state(id));  // the box toggles itself
    dialog.clicked(id, ctrl, shift);
  };
  click(2, false, true);  // was checked: clears 2 and the run 3 below it
  dialog.ok();
  EXPECT_EQ(options.chordSplitChannels, 0b0000'0000'0011'0000);
  click(1, false, true);  // was unchecked: checks 1 and the unchecked run 2..4
  dialog.ok();
  EXPECT_EQ(options.chordSplitChannels, 0b0000'0000'0011'1111);
  click(9, true, false);  // only 9 stays
  dialog.ok();
  EXPECT_EQ(options.chordSplitChannels, 0b0000'0001'0000'0000);
}

}  // namespace
}  // namespace mel
