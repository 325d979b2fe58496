// The MML and MML2MMF settings dialogs as models, and an untouched dialog of
// each text format writing what the format table's writer (and so `convert`)
// writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/format_dialog.h"
#include "app/dialogs/mml_dialog.h"
#include "convert/format_table.h"
#include "score/format_codes.h"
#include "app/dialogs/dialog_test_song.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using test::three_track_song;

class UntouchedTextDialogTest : public ::testing::TestWithParam<int> {};

TEST_P(UntouchedTextDialogTest, WritesWhatTheTableWriterWrites) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.KeyOffset = -5;
  settings.play.SpeedFactor = 24;
  const OutputFormat* format = find_output_format(GetParam());
  ASSERT_NE(format, nullptr);
  const std::vector<uint8_t> expected = format->writer(b.score(), b.song(), settings);

  Settings dialogSettings = settings;
  auto dialog = make_format_dialog(GetParam(), {b.song(), dialogSettings, kInputMfi, 0});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), dialogSettings), expected);  // as it opens
  dialog->ok();
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), dialogSettings), expected);
}

INSTANTIATE_TEST_SUITE_P(FormatDialogs, UntouchedTextDialogTest,
                         ::testing::Values(kOutputMml, kOutputMml2Mmf, kOutputSmd));

TEST(MmlDialogTest, StartsFromTheSongWithTheKeyAsSetAndEmptyCounters) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.SpeedFactor = 8;  // 96 * 8 / 16 = 48
  settings.play.KeyOffset = -20;
  settings.conv.octaveShift[1] = 2;
  MmlDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.template_id(), IDD_MML_SETTINGS);
  EXPECT_EQ(dialog.title(), "MMLファイル設定");
  EXPECT_EQ(dialog.text(IDC_TITLE), "さくら");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "48");
  EXPECT_EQ(dialog.text(IDC_KEY), "-20");  // not fitted
  EXPECT_EQ(dialog.text(IDC_START), "");
  EXPECT_EQ(dialog.text(IDC_END), "");
  EXPECT_EQ(settings.conv.octaveShift[1], 0);
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 2～127)");
  // The melodic keys 40..74 plus the key; the rhythm track is left out.
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "20");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "54");
  dialog.spin(IDC_KEY, 1, true);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "32");
}

TEST(MmlDialogTest, Mml2MmfFitsTheKeyAndKeepsVoicesForTheDrums) {
  ScoreBuilder b = three_track_song();
  b.song().programCount = 3;
  b.song().rhythmKeyCount = 2;
  Settings settings;
  MmlDialog dialog(true, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.template_id(), IDD_MML2MMF_SETTINGS);
  EXPECT_EQ(dialog.title(), "MML2MMFファイル設定");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 37～96)");
  // 40..74 fits 37..96 as it is.
  EXPECT_EQ(dialog.text(IDC_KEY), "0");
  EXPECT_EQ(dialog.text(IDC_MML_RHYTHM_VOICES), "2");  // P + D = 5: one voice per drum key
  EXPECT_TRUE(dialog.enabled(IDC_MML_RHYTHM_VOICES));

  ScoreBuilder melodic(96, 48);
  melodic.track().note(20, 48).note(30, 48);
  MmlDialog noDrums(true, {melodic.song(), settings, kInputMfi, 40});
  EXPECT_EQ(noDrums.text(IDC_KEY), "24");  // 20..30 raised two octaves towards 37
  EXPECT_EQ(noDrums.text(IDC_MML_RHYTHM_VOICES), "0");
  EXPECT_FALSE(noDrums.enabled(IDC_MML_RHYTHM_VOICES));
}

TEST(MmlDialogTest, SpinsStayWithinTheirRanges) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MmlDialog dialog(true, {b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_TEMPO, "1024");
  dialog.spin(IDC_TEMPO, 1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "1024");
  dialog.set_text(IDC_TEMPO, "4");
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "4");
  dialog.set_text(IDC_KEY, "30");
  dialog.spin(IDC_KEY, 1, true);
  EXPECT_EQ(dialog.text(IDC_KEY), "36");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "0");
  dialog.spin(IDC_MML_RHYTHM_VOICES, -1, false);
  EXPECT_EQ(dialog.text(IDC_MML_RHYTHM_VOICES), "1");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "15");
  dialog.spin(IDC_MML_RHYTHM_VOICES, 1, false);
  EXPECT_EQ(dialog.text(IDC_MML_RHYTHM_VOICES), "15");
  // Counters move bar by bar within the song's 40 steps; an end of 0 shows empty.
  dialog.spin(IDC_START, 1, false);
  dialog.spin(IDC_START, 1, false);
  EXPECT_EQ(dialog.text(IDC_START), "17");
  dialog.spin(IDC_END, 1, false);
  EXPECT_EQ(dialog.text(IDC_END), "16");
  dialog.spin(IDC_END, -1, false);
  EXPECT_EQ(dialog.text(IDC_END), "");
}

TEST(MmlDialogTest, OkClampsTypedValuesAndCancelKeepsTheStartValues) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MmlDialog dialog(true, {b.song(), settings, kInputMfi, 40});
  const MmlWriterSettings start = dialog.stored();
  dialog.set_text(IDC_TITLE, std::string(300, 'a'));
  dialog.set_text(IDC_TEMPO, "5000");
  dialog.set_text(IDC_KEY, "-99");
  dialog.set_text(IDC_START, "99999");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "40");
  // Not confirmed yet: the writer still has the start values.
  EXPECT_EQ(dialog.stored().tempo, start.tempo);
  EXPECT_EQ(dialog.stored().title, start.title);
  const Settings before = settings;
  dialog.ok();
  const MmlWriterSettings& m = dialog.stored();
  EXPECT_TRUE(m.mml2mmf);
  EXPECT_EQ(m.title, std::string(255, 'a'));
  EXPECT_EQ(m.tempo, 1024);
  EXPECT_EQ(m.key, -36);
  EXPECT_EQ(m.startCounter, 0x7FFF);
  EXPECT_EQ(m.rhythmVoices, 15);
  EXPECT_EQ(settings.writers.smdnum, before.writers.smdnum);  // the text dialogs store no settings key
  dialog.set_text(IDC_TEMPO, "1");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "-3");
  dialog.ok();
  EXPECT_EQ(dialog.stored().tempo, 4);
  EXPECT_EQ(dialog.stored().rhythmVoices, 0);
}

// MML looks at up to 32 written tracks, MML2MMF at 16: a 17th track's keys
// count only in MML.
TEST(MmlDialogTest, KeyRangeCoversTheTracksTheDialectLooksAt) {
  ScoreBuilder b(120, 48);
  for (int t = 0; t < 16; ++t) b.track().note(60, 48);
  b.track().note(100, 48);
  Settings settings;
  MmlDialog mml(false, {b.song(), settings, kInputMfi, 40});
  MmlDialog mml2mmf(true, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(mml.text(IDC_KEY_HIGH), "100");
  EXPECT_EQ(mml2mmf.text(IDC_KEY_HIGH), "60");
}

TEST(MmlDialogTest, KeyDetailsShiftAnOutputTrackAndTheRangeFollows) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MmlDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  DialogAction action = dialog.command(IDC_DETAIL);
  ASSERT_NE(action.child, nullptr);
  EXPECT_TRUE(action.refresh);
  EXPECT_EQ(action.child->text(IDC_KEY_HINT), "(キー有効値 2～127)");
  action.child->set_state(IDC_KEY_ROW_SHIFT_FIRST, 1);  // the first track (40..74) an octave up
  action.child->ok();
  EXPECT_EQ(settings.conv.octaveShift[0], 1);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "52");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "86");
}

}  // namespace
}  // namespace mel
