// The MML and MML2MMF settings dialogs as models, and an untouched dialog of
// each text format writing what the format table's writer (and `convert`) writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_test_song.h"
#include "app/dialogs/format_dialog.h"
#include "app/dialogs/mml_dialog.h"
#include "convert/format_table.h"
#include "score/format_codes.h"

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
  const std::vector<uint8_t> expected = find_output_format(GetParam())->writer(b.score(), b.song(), settings);
  auto dialog = make_format_dialog(GetParam(), {b.song(), settings, kInputMfi, 0});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), settings), expected);  // as it opens
  dialog->ok();
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), settings), expected);
}

INSTANTIATE_TEST_SUITE_P(FormatDialogs, UntouchedTextDialogTest,
                         ::testing::Values(kOutputMml, kOutputMml2Mmf, kOutputSmd));

TEST(MmlDialogTest, MmlKeepsTheKeyAndShowsTheMelodicRange) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.SpeedFactor = 8;  // 96 * 8 / 16 = 48
  settings.play.KeyOffset = -20;
  settings.conv.octaveShift[1] = 2;
  MmlDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.title(), "MMLファイル設定");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "48");
  EXPECT_EQ(dialog.text(IDC_KEY), "-20");  // not fitted
  EXPECT_EQ(dialog.text(IDC_END), "");
  EXPECT_EQ(settings.conv.octaveShift[1], 0);
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 2～127)");
  // The melodic keys 40..74 plus the key; the rhythm track is left out.
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "20");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "54");
  // The key details shift the first output track an octave up.
  DialogAction detail = dialog.command(IDC_DETAIL);
  ASSERT_NE(detail.child, nullptr);
  detail.child->set_state(IDC_KEY_ROW_SHIFT_FIRST, 1);
  detail.child->ok();
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "32");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "66");
}

TEST(MmlDialogTest, Mml2MmfFitsTheKeyAndKeepsVoicesForTheDrums) {
  ScoreBuilder b = three_track_song();
  b.song().programCount = 3;
  b.song().rhythmKeyCount = 2;
  Settings settings;
  MmlDialog dialog(true, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.title(), "MML2MMFファイル設定");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 37～96)");
  EXPECT_EQ(dialog.text(IDC_MML_RHYTHM_VOICES), "2");  // P + D = 5: one voice per drum key
  EXPECT_TRUE(dialog.enabled(IDC_MML_RHYTHM_VOICES));
  dialog.spin(IDC_MML_RHYTHM_VOICES, -1, false);
  dialog.spin(IDC_MML_RHYTHM_VOICES, -1, false);
  EXPECT_EQ(dialog.text(IDC_MML_RHYTHM_VOICES), "1");  // the spin stops at 1

  ScoreBuilder melodic(96, 48);
  melodic.track().note(20, 48).note(30, 48);
  MmlDialog noDrums(true, {melodic.song(), settings, kInputMfi, 40});
  EXPECT_EQ(noDrums.text(IDC_KEY), "24");  // 20..30 raised two octaves towards 37
  EXPECT_EQ(noDrums.text(IDC_MML_RHYTHM_VOICES), "0");
  EXPECT_FALSE(noDrums.enabled(IDC_MML_RHYTHM_VOICES));
}

TEST(MmlDialogTest, OkClampsTypedValuesIntoTheWriterRanges) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MmlDialog dialog(true, {b.song(), settings, kInputMfi, 40});
  const int startTempo = dialog.stored().tempo;
  dialog.set_text(IDC_TITLE, std::string(300, 'a'));
  dialog.set_text(IDC_TEMPO, "5000");
  dialog.set_text(IDC_KEY, "-99");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "40");
  EXPECT_EQ(dialog.stored().tempo, startTempo);  // nothing taken before OK
  dialog.ok();
  EXPECT_EQ(dialog.stored().title, std::string(255, 'a'));
  EXPECT_EQ(dialog.stored().tempo, 1024);
  EXPECT_EQ(dialog.stored().key, -36);
  EXPECT_EQ(dialog.stored().rhythmVoices, 15);
  dialog.set_text(IDC_TEMPO, "1");
  dialog.set_text(IDC_MML_RHYTHM_VOICES, "-3");
  dialog.ok();
  EXPECT_EQ(dialog.stored().tempo, 4);
  EXPECT_EQ(dialog.stored().rhythmVoices, 0);
}

// MML looks at every written track, MML2MMF at the first 16.
TEST(MmlDialogTest, KeyRangeCoversTheTracksTheDialectLooksAt) {
  ScoreBuilder b(120, 48);
  for (int t = 0; t < 16; ++t) b.track().note(60, 48);
  b.track().note(100, 48);
  Settings settings;
  EXPECT_EQ(MmlDialog(false, {b.song(), settings, kInputMfi, 40}).text(IDC_KEY_HIGH), "100");
  EXPECT_EQ(MmlDialog(true, {b.song(), settings, kInputMfi, 40}).text(IDC_KEY_HIGH), "60");
}

}  // namespace
}  // namespace mel
