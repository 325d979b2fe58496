// The "ドットi/MOZiOファイル設定" dialog as a model.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/doti_dialog.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

// One track of keys 60..64 and a rhythm track of key 36, at 100 per minute.
ScoreBuilder song_with_rhythm() {
  ScoreBuilder b(100, 48);
  b.title("a,b");
  b.track().note(60, 48).note(64, 48);
  b.track(3).rhythm().note(36, 96);
  return b;
}

TEST(DotiDialogTest, StartsFromTheWritersValuesWithTheRhythmTrackInTheRange) {
  ScoreBuilder b = song_with_rhythm();
  Settings settings;
  settings.writers.mmdnum = 192;
  settings.conv.octaveShift[0] = 1;
  DotiDialog dialog({b.song(), settings, kInputMfi, 8});
  const DotiWriterSettings expected = doti_dialog_values(b.song(), settings);
  EXPECT_EQ(settings.conv.octaveShift[0], 0);
  EXPECT_EQ(dialog.text(IDC_TITLE), "a,b");
  EXPECT_EQ(dialog.text(IDC_TEMPO), "108");  // the first code tempo at least 100
  EXPECT_EQ(dialog.text(IDC_KEY), std::to_string(expected.key));
  EXPECT_EQ(dialog.text(IDC_DOTI_NOTE_LIMIT), "192");
  EXPECT_EQ(dialog.state(IDC_DOTI_TRIPLETS), 0);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), std::to_string(36 + expected.key));
  EXPECT_EQ(dialog.text(IDC_KEY_HIGH), std::to_string(64 + expected.key));
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 72～108)");
}

TEST(DotiDialogTest, OkClampsStoresAndCancelLeavesTheSettings) {
  ScoreBuilder b = song_with_rhythm();
  Settings settings;
  {
    DotiDialog cancelled({b.song(), settings, kInputMfi, 8});
    cancelled.set_text(IDC_DOTI_NOTE_LIMIT, "5");
    cancelled.set_state(IDC_DOTI_TRIPLETS, 1);
  }
  EXPECT_EQ(settings.writers.mmdnum, 64);
  EXPECT_EQ(settings.writers.dotiSixteenthTriplets, 0);

  DotiDialog dialog({b.song(), settings, kInputMfi, 8});
  dialog.set_text(IDC_DOTI_NOTE_LIMIT, "40000");
  dialog.set_text(IDC_TEMPO, "500");
  dialog.set_text(IDC_KEY, "-99");
  dialog.set_state(IDC_DOTI_TRIPLETS, 1);
  dialog.ok();
  EXPECT_EQ(dialog.values().noteLimit, 32767);
  EXPECT_EQ(dialog.values().tempo, 168);
  EXPECT_EQ(dialog.values().key, -36);
  EXPECT_EQ(settings.writers.mmdnum, 32767);
  EXPECT_EQ(settings.writers.dotiSixteenthTriplets, 1);
  // The triplet choice is remembered by the next dialog.
  EXPECT_EQ(DotiDialog({b.song(), settings, kInputMfi, 8}).state(IDC_DOTI_TRIPLETS), 1);
}

TEST(DotiDialogTest, AnotherExtensionThanMmdWritesTheMozioLayout) {
  ScoreBuilder b = song_with_rhythm();
  Settings settings;
  DotiDialog dialog({b.song(), settings, kInputMfi, 8});
  dialog.set_text(IDC_TEMPO, "60");
  dialog.ok();
  auto text = [&](int kind) {
    std::vector<uint8_t> bytes = dialog.writer_for(kind)(b.score(), ByteView(), b.song(), settings);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(text(kOutputDotI).rfind("<MEL=0,a&cmmb,0,", 0), 0u) << text(kOutputDotI);
  EXPECT_EQ(text(kOutputMozio).rfind("<MEL=0,a&cmmb,0,>\r\n<HMEL=0,0,0,", 0), 0u) << text(kOutputMozio);
}

}  // namespace
}  // namespace mel
