// The SMD settings dialog as a model: start values, the tempo choices and
// note limit spins, what OK clamps and stores into `smdnum`.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_test_song.h"
#include "app/dialogs/smd_dialog.h"
#include "score/format_codes.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using test::three_track_song;

TEST(SmdDialogTest, StartsFromTheSongAndTheSettings) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.SpeedFactor = 20;  // 96 * 20 / 16 = 120: the choice 126
  settings.writers.smdnum = 64;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.title(), "SMDファイル設定");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "126");
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "64");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 57～102)");
  // Keys 36..74, rhythm included, fitted two octaves up.
  EXPECT_EQ(dialog.text(IDC_KEY), "24");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "60");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "98");
  // Only the first `smdhmn` written tracks count: the first one, 40..74.
  settings.writers.smdhmn = 1;
  SmdDialog first({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(first.text(IDC_KEY_LOW), std::to_string(40 + first.values().key));
}

TEST(SmdDialogTest, SpinsStepThroughTheTemposAndTheNoteLimit) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_TEMPO, "126");
  dialog.spin(IDC_TEMPO, 1, false);
  dialog.spin(IDC_TEMPO, 1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "150");  // the last choice holds
  dialog.set_text(IDC_TEMPO, "100");         // typed between two choices
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "1000");
  dialog.spin(IDC_SMD_NOTE_LIMIT, 1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "1024");
  dialog.spin(IDC_SMD_NOTE_LIMIT, -1, true);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "896");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "5000");  // typed above the spin's top stays up
  dialog.spin(IDC_SMD_NOTE_LIMIT, 1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "5000");
}

TEST(SmdDialogTest, OkClampsTypedValuesAndStoresTheNoteLimit) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  // A control byte the file cannot hold, 23 bytes, and a double-byte
  // character that would end at byte 25.
  dialog.set_text(IDC_TITLE, "\x1B" + std::string(23, 'a') + "あ");
  dialog.set_text(IDC_TEMPO, "100");
  dialog.set_text(IDC_KEY, "50");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "99999");
  EXPECT_EQ(settings.writers.smdnum, 256);  // nothing stored before OK
  dialog.ok();
  EXPECT_EQ(dialog.stored().title, std::string(23, 'a'));
  EXPECT_EQ(dialog.stored().tempo, 108);
  EXPECT_EQ(dialog.stored().key, 36);
  EXPECT_EQ(dialog.stored().noteLimit, 0x7FFF);
  EXPECT_EQ(settings.writers.smdnum, 0x7FFF);
}

}  // namespace
}  // namespace mel
