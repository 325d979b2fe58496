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

TEST(DotiDialogTest, StartsFromTheWritersValuesAndOkClampsAndStores) {
  ScoreBuilder b = song_with_rhythm();
  Settings settings;
  settings.writers.mmdnum = 192;
  DotiDialog dialog({b.song(), settings, kInputMfi, 8});
  const int key = doti_dialog_values(b.song(), settings).key;
  EXPECT_EQ(dialog.text(IDC_TEMPO), "108");  // the first code tempo at least 100
  EXPECT_EQ(dialog.text(IDC_KEY), std::to_string(key));
  EXPECT_EQ(dialog.text(IDC_DOTI_NOTE_LIMIT), "192");
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), std::to_string(36 + key));  // the rhythm track counts
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 72～108)");

  dialog.set_text(IDC_DOTI_NOTE_LIMIT, "40000");
  dialog.set_text(IDC_TEMPO, "500");
  dialog.set_state(IDC_DOTI_TRIPLETS, 1);
  EXPECT_EQ(settings.writers.mmdnum, 192);  // nothing stored before OK
  dialog.ok();
  EXPECT_EQ(dialog.values().tempo, 168);
  EXPECT_EQ(settings.writers.mmdnum, 32767);
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
  EXPECT_EQ(text(kOutputDotI).rfind("<MEL=0,a&cmmb,0,1", 0), 0u) << text(kOutputDotI);
  EXPECT_EQ(text(kOutputMozio).rfind("<MEL=0,a&cmmb,0,>\r\n<HMEL=0,0,0,", 0), 0u) << text(kOutputMozio);
}

}  // namespace
}  // namespace mel
