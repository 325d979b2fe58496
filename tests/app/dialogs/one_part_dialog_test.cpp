// The chara and WAM settings dialogs as models: they open with the writers'
// start values, step and clamp their controls, write with what OK stored,
// and leave the settings alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/one_part_dialog.h"
#include "convert/format_table.h"
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

class OnePartDialogKindTest : public ::testing::TestWithParam<int> {};

// Untouched and confirmed at once, the dialog writes what the format table's
// writer (and so `convert`) writes, and OK stores nothing into the settings.
TEST_P(OnePartDialogKindTest, UntouchedDialogWritesWhatTheTableWriterWrites) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.play.KeyOffset = -5;
  settings.play.SpeedFactor = 24;
  const std::vector<uint8_t> expected = find_output_format(GetParam())->writer(b.score(), b.song(), settings);
  Settings dialogSettings = settings;
  OnePartDialog dialog(GetParam(), {b.song(), dialogSettings, kInputMfi, 0});
  EXPECT_EQ(dialog.text(IDC_START), "");  // empty: nothing is cut
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), "64");
  dialog.ok();
  EXPECT_EQ(dialog.writer()(b.score(), ByteView(), b.song(), dialogSettings), expected);
  EXPECT_EQ(dialogSettings.play.KeyOffset, -5);
}

// The tempo steps through the table within 60..168, the note limit by 32 up
// to the format's spin top, even from a saturated typed value.
TEST_P(OnePartDialogKindTest, SpinsStayInTheirRanges) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  OnePartDialog dialog(GetParam(), {b.song(), settings, kInputMfi, 40});
  const std::vector<std::pair<std::string, int>> tempoSpins = {{"100", +1}, {"100", -1}, {"60", -1}, {"500", +1}};
  std::vector<std::string> tempos;
  for (const auto& [typed, direction] : tempoSpins) {
    dialog.set_text(IDC_TEMPO, typed);
    dialog.spin(IDC_TEMPO, direction, false);
    tempos.push_back(dialog.text(IDC_TEMPO));
  }
  EXPECT_EQ(tempos, (std::vector<std::string>{"108", "96", "60", "168"}));

  const std::string spinTop = GetParam() == kOutputWam ? "64" : "1024";
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "10");
  dialog.spin(IDC_ONE_PART_NOTE_LIMIT, -1, false);
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), "0");
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "2147483647");
  dialog.spin(IDC_ONE_PART_NOTE_LIMIT, +1, false);
  EXPECT_EQ(dialog.text(IDC_ONE_PART_NOTE_LIMIT), spinTop);
}

INSTANTIATE_TEST_SUITE_P(OnePartDialogs, OnePartDialogKindTest, ::testing::Values(kOutputChara, kOutputWam));

TEST(CharaDialogTest, ShowsTheWrittenTrackRangeWithoutOctaveShiftsAndClampsOnOk) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.conv.octaveShift[0] = 2;  // not cleared, and not applied by chara
  OnePartDialog dialog(kOutputChara, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(settings.conv.octaveShift[0], 2);
  EXPECT_EQ(dialog.text(IDC_CHARA_HEADER_MARK), "]]");
  // Keys 40..74 moved up two octaves, towards the handset's 79..107.
  EXPECT_EQ(dialog.text(IDC_KEY), "24");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW) + "-" + dialog.text(IDC_KEY_HIGH), "64-98");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 79～107)");

  dialog.set_text(IDC_CHARA_HEADER_MARK, "*6*6");
  dialog.set_text(IDC_TEMPO, "20");  // 60: code "0"
  dialog.set_text(IDC_KEY, "-99");   // -36
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "99999");
  dialog.ok();
  EXPECT_EQ(dialog.stored().noteLimit, 32767);
  const std::vector<uint8_t> bytes = dialog.writer()(b.score(), ByteView(), b.song(), settings);
  // Title line, header mark, tempo digit, then key 40 - 36 = 4 folded to 64 (E: "3" "1").
  const std::string expected = "さくら\r\n*6*60431";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, expected.size()), expected);
}

TEST(WamDialogTest, ClearsOctaveShiftsAndOkKeepsWholeTitleCharactersAndAllSlotsForZero) {
  ScoreBuilder b = two_track_song();
  Settings settings;
  settings.conv.octaveShift[0] = 2;
  OnePartDialog dialog(kOutputWam, {b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(settings.conv.octaveShift[0], 0);
  EXPECT_EQ(dialog.text(IDC_TITLE), "さくら");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 72～107)");
  // 21 single bytes, then a two-byte character that does not fit in 22.
  dialog.set_text(IDC_TITLE, "abcdefghijklmnopqrstuあ");
  dialog.set_text(IDC_ONE_PART_NOTE_LIMIT, "0");
  dialog.ok();
  EXPECT_EQ(dialog.stored().title, "abcdefghijklmnopqrstu");
  EXPECT_EQ(dialog.stored().noteLimit, 64);
}

}  // namespace
}  // namespace mel
