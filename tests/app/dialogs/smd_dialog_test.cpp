// The SMD settings dialog as a model: start values, the tempo choices and
// note limit spins, what OK clamps and stores into `smdnum`.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/smd_dialog.h"
#include "score/format_codes.h"
#include "app/dialogs/dialog_test_song.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using test::three_track_song;

TEST(SmdDialogTest, StartsFromTheSongAndTheSettings) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.play.SpeedFactor = 20;  // 96 * 20 / 16 = 120: the choice 126
  settings.writers.smdnum = 64;
  settings.conv.octaveShift[0] = -1;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.template_id(), IDD_SMD_SETTINGS);
  EXPECT_EQ(dialog.title(), "SMDファイル設定");
  EXPECT_EQ(dialog.text(IDC_TITLE), "さくら");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "126");
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "64");
  EXPECT_EQ(dialog.text(IDC_END), "");
  EXPECT_EQ(settings.conv.octaveShift[0], 0);
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 57～102)");
  // Keys 36..74, rhythm included, fitted two octaves up: below 45 with room
  // above 78, then below 57 with room above 90.
  EXPECT_EQ(dialog.text(IDC_KEY), "24");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), "60");
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), "98");

  // Only the first `smdhmn` written tracks count.
  settings.writers.smdhmn = 1;
  SmdDialog first({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(first.text(IDC_KEY_LOW), std::to_string(40 + first.values().key));
}

TEST(SmdDialogTest, TempoSpinsThroughTheFourChoices) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_TEMPO, "96");
  for (const char* expected : {"108", "126", "150", "150"}) {
    dialog.spin(IDC_TEMPO, 1, false);
    EXPECT_EQ(dialog.text(IDC_TEMPO), expected);
  }
  dialog.set_text(IDC_TEMPO, "100");  // typed between two choices
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");
  dialog.spin(IDC_TEMPO, -1, false);
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");
}

TEST(SmdDialogTest, NoteLimitSpinsInStepsUpTo1024) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "1000");
  dialog.spin(IDC_SMD_NOTE_LIMIT, 1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "1024");
  dialog.spin(IDC_SMD_NOTE_LIMIT, -1, true);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "896");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "5000");  // typed above the spin's top
  dialog.spin(IDC_SMD_NOTE_LIMIT, 1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "5000");
  dialog.spin(IDC_SMD_NOTE_LIMIT, -1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "992");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "20");
  dialog.spin(IDC_SMD_NOTE_LIMIT, -1, false);
  EXPECT_EQ(dialog.text(IDC_SMD_NOTE_LIMIT), "0");
}

TEST(SmdDialogTest, OkClampsTypedValuesAndStoresTheNoteLimit) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.writers.smdnum = 256;
  SmdDialog dialog({b.song(), settings, kInputMfi, 40});
  // 23 single bytes and a double-byte character that would end at byte 25,
  // with a control byte that the file cannot hold.
  dialog.set_text(IDC_TITLE, "\x1B" + std::string(23, 'a') + "あ");
  dialog.set_text(IDC_TEMPO, "100");
  dialog.set_text(IDC_KEY, "50");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "99999");
  EXPECT_EQ(settings.writers.smdnum, 256);  // nothing stored before OK
  dialog.ok();
  const SmdWriterSettings& s = dialog.stored();
  EXPECT_EQ(s.title, std::string(23, 'a'));
  EXPECT_EQ(s.tempo, 108);
  EXPECT_EQ(s.key, 36);
  EXPECT_EQ(s.noteLimit, 0x7FFF);
  EXPECT_EQ(settings.writers.smdnum, 0x7FFF);
  dialog.set_text(IDC_TEMPO, "400");
  dialog.set_text(IDC_SMD_NOTE_LIMIT, "-4");
  dialog.ok();
  EXPECT_EQ(dialog.stored().tempo, 150);
  EXPECT_EQ(settings.writers.smdnum, 0);
}

}  // namespace
}  // namespace mel
