// The format settings dialogs as models: start values, what OK clamps and
// stores, what an unconfirmed dialog leaves alone, and that an untouched
// dialog writes exactly what the format table's writer (and so `convert`) writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_test_song.h"
#include "app/dialogs/dxm_dialog.h"
#include "app/dialogs/format_dialog.h"
#include "app/dialogs/mfi_dialog.h"
#include "convert/format_table.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using test::three_track_song;

bool has_control(const DialogModel& model, int id) {
  const auto& c = model.controls();
  return std::any_of(c.begin(), c.end(), [id](const ControlBinding& s) { return s.id == id; });
}

struct UntouchedCase {
  int kind;
  int inputType;
};

class UntouchedDialogTest : public ::testing::TestWithParam<UntouchedCase> {};

TEST_P(UntouchedDialogTest, WritesWhatTheTableWriterWrites) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.KeyOffset = -5;
  settings.play.SpeedFactor = 24;
  const OutputFormat* format = find_output_format(GetParam().kind);
  ASSERT_NE(format, nullptr);
  const std::vector<uint8_t> expected = format->writer(b.score(), b.song(), settings);

  Settings dialogSettings = settings;
  auto dialog = make_format_dialog(GetParam().kind, {b.song(), dialogSettings, GetParam().inputType, 0});
  ASSERT_NE(dialog, nullptr);
  dialog->ok();
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), dialogSettings), expected);
}

INSTANTIATE_TEST_SUITE_P(FormatDialogs, UntouchedDialogTest,
                         ::testing::Values(UntouchedCase{kOutputMfi, kInputMfi}, UntouchedCase{kOutputCmx, kInputMfi},
                                           UntouchedCase{kOutputDxm, kInputMfi}));

TEST(MfiDialogTest, StartsFromTheSongAndTheSettingsAndClearsOctaveShifts) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.SpeedFactor = 8;  // 96 * 8 / 16 = 48
  settings.conv.octaveShift[0] = 2;
  settings.writers.mldbyte = 3000;
  MfiDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.text(IDC_TITLE), "さくら");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "48");
  EXPECT_EQ(dialog.text(IDC_SIZE_LIMIT), "3000");
  EXPECT_EQ(dialog.text(IDC_VELOCITY), "");  // 0 shows empty
  EXPECT_EQ(dialog.text(IDC_OUTPUT_VOICE), "");
  EXPECT_EQ(dialog.state(IDC_LAYOUT), kMfiLayoutStandard);
  EXPECT_EQ(settings.conv.octaveShift[0], 0);
  EXPECT_EQ(dialog.title(), "MLDファイル設定(4和音モード)");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 56～107)");
  // Keys 36..74 (the rhythm track counts in the 4-chord layout) fitted up
  // two octaves: below 44 with room above, then below 56 with room above.
  EXPECT_EQ(dialog.text(IDC_KEY), "24");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "60");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "98");
  EXPECT_FALSE(dialog.enabled(IDC_EXTENDED_SCALE));
  EXPECT_FALSE(dialog.enabled(IDC_VELOCITY));
}

TEST(MfiDialogTest, LayoutSwitchesModeTitleAndEnabledControls) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MfiDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  dialog.set_state(IDC_LAYOUT, kMfiLayout503i);
  EXPECT_EQ(dialog.title(), "MLDファイル設定(16和音モード)");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 45～107)");
  EXPECT_TRUE(dialog.enabled(IDC_EXTENDED_SCALE));
  EXPECT_FALSE(dialog.enabled(IDC_VELOCITY));
  dialog.set_state(IDC_EXTENDED_SCALE, 1);
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 21～107)");
  EXPECT_TRUE(dialog.enabled(IDC_VELOCITY));
}

TEST(MfiDialogTest, OkClampsTypedValuesAndStoresTheSettings) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  MfiDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  dialog.set_state(IDC_LAYOUT, kMfiLayout503i);
  dialog.set_state(IDC_EXTENDED_SCALE, 1);
  dialog.set_text(IDC_KEY, "99");
  dialog.set_text(IDC_TEMPO, "10");
  dialog.set_text(IDC_VELOCITY, "300");
  dialog.set_text(IDC_SIZE_LIMIT, "999999");
  dialog.set_text(IDC_OUTPUT_VOICE, "B2(ギター風)");
  dialog.set_state(IDC_MAIL_BASE64, 1);
  dialog.set_text(IDC_TITLE, std::string(300, 'a'));
  const Settings before = settings;
  EXPECT_EQ(before.writers.mldLayout, kMfiLayoutStandard);  // nothing stored before OK
  dialog.ok();
  const MfiWriterSettings m = dialog.writer_settings();
  EXPECT_EQ(m.key, 36);
  EXPECT_EQ(m.tempo, 30);
  EXPECT_EQ(m.outputVelocity, 127);
  EXPECT_EQ(m.outputVoice, 4);
  EXPECT_EQ(m.title.size(), 255u);
  EXPECT_EQ(settings.writers.mldbyte, 0x2D000);
  EXPECT_EQ(settings.writers.mldLayout, kMfiLayout503i);
  EXPECT_EQ(settings.writers.extendedScale, 1);
  EXPECT_EQ(settings.writers.outputVoice, 4);
  EXPECT_EQ(settings.writers.mailBase64, 1);
  EXPECT_EQ(dialog.extension(".mld"), ".txt");
}

TEST(MfiDialogTest, VoiceBoxTextBecomesTheOutputVoice) {
  EXPECT_EQ(MfiDialog::voice_value("B1(ピアノ風)"), 1);
  EXPECT_EQ(MfiDialog::voice_value("A2(リード風)"), 6);
  EXPECT_EQ(MfiDialog::voice_value("音色/音量なし"), kNoVoiceOrVolume);
  EXPECT_EQ(MfiDialog::voice_value("5"), 6);
  EXPECT_EQ(MfiDialog::voice_value("300"), 256);
  EXPECT_EQ(MfiDialog::voice_value("-5"), 0);  // a sign is not a voice number
  EXPECT_EQ(MfiDialog::voice_value("ピアノ"), 0);
  EXPECT_EQ(MfiDialog::voice_value(""), 0);
  EXPECT_EQ(MfiDialog::voice_text(4), "B2(ギター風)");
  EXPECT_EQ(MfiDialog::voice_text(20), "19");
}

TEST(MfiDialogTest, CmxDialogHasNoHandsetChoicesAndFollowsItsPolyphony) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.writers.ezpmdhmn = 4;
  MfiDialog four(true, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(four.title(), "PMDファイル設定(4和音モード)");
  EXPECT_FALSE(has_control(four, IDC_LAYOUT));
  EXPECT_FALSE(has_control(four, IDC_MAIL_BASE64));
  settings.writers.ezpmdhmn = 16;
  MfiDialog sixteen(true, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(sixteen.title(), "PMDファイル設定(16和音モード)");
  sixteen.set_text(IDC_SIZE_LIMIT, "2048");
  sixteen.ok();
  EXPECT_EQ(settings.writers.ezpmdbyte, 2048);
  EXPECT_EQ(sixteen.extension(".pmd"), ".pmd");
}

TEST(DxmDialogTest, OkClampsAndStoresTheSettings) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.KeyOffset = 3;
  DxmDialog dialog(false, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.title(), "DXMファイル設定");
  EXPECT_EQ(dialog.text(IDC_KEY), "3");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 32～83)");
  // Melodic tracks only: 40..74 plus the key.
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "43");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "77");
  dialog.set_text(IDC_KEY, "-50");
  dialog.set_text(IDC_VELOCITY, "200");
  dialog.set_text(IDC_SIZE_LIMIT, "500000");
  dialog.set_state(IDC_DXM_RHYTHM_REPLACE, 1);
  dialog.set_state(IDC_DXM_CHORD_LIMIT, 1);
  EXPECT_EQ(settings.writers.dxmRhythmReplace, 0);
  dialog.ok();
  EXPECT_EQ(dialog.values().key, -36);
  EXPECT_EQ(dialog.values().velocity, 127);
  EXPECT_EQ(settings.writers.dxmbyte, 184320);
  EXPECT_EQ(settings.writers.dxmVelocity, 127);
  EXPECT_EQ(settings.writers.dxmRhythmReplace, 1);
  EXPECT_EQ(settings.writers.dxmChordLimit, 1);
}

TEST(DxmDialogTest, DirectDialogKeepsPitchBendsInsteadOfTempoAndExplains) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  auto dialog = make_format_dialog(kOutputDxm, {b.song(), settings, kInputMidi, 40});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->title(), "MIDI > DXMファイル設定");
  EXPECT_FALSE(has_control(*dialog, IDC_TEMPO));
  EXPECT_FALSE(has_control(*dialog, IDC_DXM_RHYTHM_REPLACE));
  EXPECT_EQ(dialog->command(IDC_EXPLAIN).caption, "簡単な説明");
  dialog->set_state(IDC_DXM_PITCH_BEND, 1);
  dialog->ok();
  EXPECT_EQ(settings.writers.dxmPitchBend, 1);
  // Played from the score, MIDI input gets the score dialog.
  settings.play.MidiStandard = 0;
  EXPECT_EQ(make_format_dialog(kOutputDxm, {b.song(), settings, kInputMidi, 40})->title(), "DXMファイル設定");
}

TEST(FormatDialogsTest, KindsWithoutADialogWriteWithTheirStartValues) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  for (int kind : {kOutputMidi, kOutputPlaylist, kOutputRawCopy}) {
    EXPECT_EQ(make_format_dialog(kind, {b.song(), settings, kInputMfi, 0}), nullptr) << kind;
  }
}

}  // namespace
}  // namespace mel
