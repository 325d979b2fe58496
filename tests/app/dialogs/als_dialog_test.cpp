// The "ALSファイル設定" dialog as a model: the chord option and what OK stores
// into alsnum and alshmn.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/als_dialog.h"
#include "app/dialogs/dialog_ids.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

// Track 1 keys 40..74, track 2 keys 52..55, track 3 rhythm keys 36..38.
ScoreBuilder three_track_song() {
  ScoreBuilder b(97, 48);
  b.track().note(40, 48).note(74, 96);
  b.track().note(52, 192).note(55, 24);
  b.track(3).rhythm().note(36, 48).note(38, 48);
  return b;
}

TEST(AlsDialogTest, ChordOptionSwitchesThePartsAndTheKeyRangeAndOkStoresThem) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.writers.alsnum = 300;
  AlsDialog dialog({b.song(), settings, kInputMfi, 40});
  const int key = dialog.values().key;
  EXPECT_EQ(dialog.text(IDC_TEMPO), "96");  // made even
  EXPECT_EQ(dialog.text(IDC_ALS_NOTE_LIMIT), "300");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 62～108)");
  EXPECT_EQ(dialog.state(IDC_ALS_CHORDS), 0);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), std::to_string(40 + key));  // track 1 only
  dialog.set_state(IDC_ALS_CHORDS, 1);
  EXPECT_EQ(dialog.text(IDC_KEY_LOW), std::to_string(36 + key));  // three parts: the rhythm track counts
  EXPECT_EQ(settings.writers.alshmn, 1);  // nothing stored before OK

  dialog.set_text(IDC_ALS_NOTE_LIMIT, "40000");
  dialog.set_text(IDC_TEMPO, "131");
  dialog.set_state(IDC_ALS_TIES_AS_RESTS, 1);
  dialog.ok();
  EXPECT_EQ(dialog.values().tempo, 130);
  EXPECT_EQ(settings.writers.alshmn, 3);
  EXPECT_EQ(settings.writers.alsnum, 32767);

  AlsDialog again({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(again.state(IDC_ALS_TIES_AS_RESTS), 1);  // the last choice
  again.set_state(IDC_ALS_CHORDS, 0);
  again.ok();
  EXPECT_EQ(settings.writers.alshmn, 1);
}

TEST(AlsDialogTest, ATickedBoxKeepsTheConfiguredPartCount) {
  ScoreBuilder b = three_track_song();
  Settings settings;
  settings.writers.alshmn = 5;
  AlsDialog dialog({b.song(), settings, kInputMfi, 40});
  EXPECT_EQ(dialog.state(IDC_ALS_CHORDS), 1);
  dialog.set_state(IDC_ALS_CHORDS, 1);  // the window reads every control back
  dialog.ok();
  EXPECT_EQ(settings.writers.alshmn, 5);
}

}  // namespace
}  // namespace mel
