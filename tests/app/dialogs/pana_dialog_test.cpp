// The "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定" dialog as a model: the note limit and instrument
// rules of OK, and the proposed file name.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/pana_dialog.h"
#include "support/score_builder.h"

namespace mel {
namespace {

TEST(PanaDialogTest, OkTurnsNoteLimitsOutsideTheHandsetsInto160AndWritesTheInstrument) {
  test::ScoreBuilder b(120, 48);
  b.track().note(72, 48);
  Settings settings;
  PanaDialog dialog({b.song(), settings, kInputMfi, 4});
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 72～107)");
  for (const char* typed : {"0", "-3", "500"}) {
    dialog.set_text(IDC_PANA_NOTE_LIMIT, typed);
    dialog.ok();
    EXPECT_EQ(dialog.values().noteLimit, 160) << typed;
  }
  dialog.set_text(IDC_PANA_INSTRUMENT, "9(口笛)");
  dialog.set_state(IDC_PANA_MELODY_NAME, 1);
  EXPECT_FALSE(dialog.proposes_melody_name());
  dialog.ok();
  EXPECT_TRUE(dialog.proposes_melody_name());
  EXPECT_EQ(settings.writers.panaMelodyFileName, 1);
  // A typed n gives code n + 1, at most 10; other text gives 0.
  EXPECT_EQ(PanaDialog::instrument_code("0"), 1);
  EXPECT_EQ(PanaDialog::instrument_code("99"), 10);
  EXPECT_EQ(PanaDialog::instrument_code("abc"), 0);
  std::vector<uint8_t> bytes = dialog.writer()(b.score(), ByteView(), b.song(), settings);
  const std::vector<uint8_t> whistle = {0x40, 0x03, 0x01, 0x04, 0x0C};  // tag, length, p g h of code 9
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), whistle.begin(), whistle.end()), bytes.end());
}

}  // namespace
}  // namespace mel
