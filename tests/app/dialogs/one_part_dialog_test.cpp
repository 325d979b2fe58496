// The chara and WAM settings dialogs as models: they open with the writers'
// start values, step and clamp their controls, write with what OK stored,
// and leave the settings alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/format_dialog.h"
#include "app/dialogs/one_part_dialog.h"
#include "convert/format_table.h"
#include "formats/chara/chara_writer.h"
#include "formats/wam/wam_writer.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

// Track 1 (the one written) spans keys 40..74; track 2 is higher, so a range
// taken from the wrong track shows.
ScoreBuilder two_track_song() {
  ScoreBuilder b(96, 48);
  b.title("さくら");
  b.track().note(40, 48).note(74, 96).rest(48).note(60, 48);
  b.track().note(90, 192);
  return b;
}

std::string text_of(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class OnePartDialogKindTest : public ::testing::TestWithParam<int> {};

// An untouched dialog, confirmed at once, writes what the format table's
// writer writes (and so `convert`), and OK stores nothing into the settings.
TEST_P(OnePartDialogKindTest, UntouchedDialogWritesWhatTheTableWriterWrites) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.play.KeyOffset = -5;
  settings.play.SpeedFactor = 24;
  const OutputFormat* format = find_output_format(GetParam());
  ASSERT_NE(format, nullptr);
  const std::vector<uint8_t> expected = format->writer(b.score(), b.song(), settings);

  Settings dialogSettings = settings;
  auto dialog = make_format_dialog(GetParam(), {b.song(), dialogSettings, kInputMfi, 0});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->text(IDC_START), "");  // empty: nothing is cut
  EXPECT_EQ(dialog->text(IDC_END), "");
  EXPECT_EQ(dialog->text(IDC_ONE_PART_NOTE_LIMIT), "64");
  dialog->ok();
  EXPECT_EQ(dialog->writer()(b.score(), ByteView(), b.song(), dialogSettings), expected);
  EXPECT_EQ(dialogSettings.writers.mldbyte, settings.writers.mldbyte);
  EXPECT_EQ(dialogSettings.play.KeyOffset, -5);
}

// Spins: the tempo through the table within 60..168, the key by 1 (12 with
// Ctrl) within -36..36, the note limit by 32 up to the format's spin top.
TEST_P(OnePartDialogKindTest, SpinsStayInTheirRanges) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  OnePartDialog dialog(GetParam(), {b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_TEMPO, "100");
  dialog.spin(IDC_TEMPO, +1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "108");
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");
  dialog.set_text(IDC_TEMPO, "60");
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "60");
  dialog.set_text(IDC_TEMPO, "500");
  dialog.spin(IDC_TEMPO, +1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "168");

  dialog.set_text(IDC_KEY, "30");
  dialog.spin(IDC_KEY, +1, true);
  EXPECT_EQ(dialog.text(IDC_KEY), "36");

  const int spinTop = GetParam() == kOutputWam ? 64 : 1024;
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "10");
  dialog.spin(IDC_ONE_PART_NOTE_LIMIT, -1, false);
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), "0");
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, std::to_string(spinTop - 10));
  dialog.spin(IDC_ONE_PART_NOTE_LIMIT, +1, false);
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), std::to_string(spinTop));
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "2147483647");  // saturated typing must not overflow the step
  dialog.spin(IDC_ONE_PART_NOTE_LIMIT, +1, false);
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), std::to_string(spinTop));

  dialog.spin(IDC_START, +1, false);
  EXPECT_EQ(dialog.text(IDC_START), "1");
  dialog.spin(IDC_END, +1, false);
  EXPECT_EQ(dialog.text(IDC_END), "16");
}

INSTANTIATE_TEST_SUITE_P(OnePartDialogs, OnePartDialogKindTest, ::testing::Values(kOutputChara, kOutputWam));

TEST(CharaDialogTest, OpensWithTheWriterStartValuesAndTheWrittenTrackRange) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.play.SpeedFactor = 20;        // 96 * 20 / 16 = 120: the table's 126
  settings.conv.octaveShift[0] = 2;      // not cleared, and not applied by chara
  OnePartDialog dialog(kOutputChara, {b.song(), settings, kInputMfi, 40});
  const CharaWriterSettings start = chara_dialog_values(b.song(), settings);
  EXPECT_EQ(dialog.title(), "きゃらメロディー設定");
  EXPECT_EQ(dialog.template_id(), IDD_CHARA_SETTINGS);
  EXPECT_EQ(dialog.choices(IDC_CHARA_HEADER_MARK), (std::vector<std::string>{"]]", "*6*6"}));
  EXPECT_EQ(dialog.text(IDC_CHARA_HEADER_MARK), "]]");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "126");
  EXPECT_EQ(dialog.text(IDC_KEY), std::to_string(start.key));
  EXPECT_EQ(settings.conv.octaveShift[0], 2);
  // Keys 40..74 moved up two octaves, towards the handset's 79..107.
  EXPECT_EQ(start.key, 24);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "64");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "98");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 79～107)");
  dialog.set_text(IDC_KEY, "0");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "74");
}

TEST(CharaDialogTest, OkClampsTypedValuesAndTheTextCarriesThem) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  OnePartDialog dialog(kOutputChara, {b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_CHARA_HEADER_MARK, "*6*6");
  dialog.set_text(IDC_TEMPO, "20");            // below the table: 60, code "0"
  dialog.set_text(IDC_KEY, "-99");             // -36
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "99999");
  dialog.set_text(IDC_START, "-4");
  dialog.ok();
  EXPECT_EQ(dialog.stored().tempo, 60);
  EXPECT_EQ(dialog.stored().key, -36);
  EXPECT_EQ(dialog.stored().noteLimit, 32767);
  EXPECT_EQ(dialog.stored().startCounter, 0);
  const std::string text = text_of(dialog.writer()(b.score(), ByteView(), b.song(), settings));
  // Title line, header mark, tempo digit; key 40 - 36 = 4 folds to 64 (E, "3" "1").
  const std::string expected = "さくら\r\n*6*60431";
  EXPECT_EQ(text.substr(0, expected.size()), expected);

  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "-3");
  dialog.ok();
  EXPECT_EQ(dialog.stored().noteLimit, 0);  // no limit
}

TEST(WamDialogTest, OpensWithTheWriterStartValuesAndClearsOctaveShifts) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.conv.octaveShift[0] = 2;
  OnePartDialog dialog(kOutputWam, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(settings.conv.octaveShift[0], 0);
  const WamWriterSettings start = wam_dialog_values(b.song(), settings);
  EXPECT_EQ(dialog.title(), "WAMファイル設定");
  EXPECT_EQ(dialog.template_id(), IDD_WAM_SETTINGS);
  EXPECT_EQ(dialog.text(IDC_TITLE), "さくら");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");
  EXPECT_EQ(dialog.text(IDC_KEY), std::to_string(start.key));
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 72～107)");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), std::to_string(40 + start.key));
}

TEST(WamDialogTest, OkKeepsWholeTitleCharactersAndAZeroNoteLimitMeansAllSlots) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  OnePartDialog dialog(kOutputWam, {b.song(), settings, kInputMfi, 40});
  // 21 single bytes then a two-byte character: only the 21 fit in 22 bytes.
  dialog.set_text(IDC_TITLE, "abcdefghijklmnopqrstuあ");
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "0");
  dialog.ok();
  EXPECT_EQ(dialog.stored().title, "abcdefghijklmnopqrstu");
  EXPECT_EQ(dialog.stored().noteLimit, 64);
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "65");
  dialog.ok();
  EXPECT_EQ(dialog.stored().noteLimit, 64);

  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "2");
  dialog.ok();
  const std::vector<uint8_t> file = dialog.writer()(b.score(), ByteView(), b.song(), settings);
  const std::size_t pitches = 18 + 21 + 1;  // header, title, tempo code
  ASSERT_GT(file.size(), pitches + 64);
  EXPECT_EQ(file[16], 21);             // character count
  EXPECT_NE(file[pitches + 1], 0);     // two slots written...
  EXPECT_EQ(file[pitches + 2], 0);     // ...and no third
}

}  // namespace
}  // namespace mel
