// The dot-i / MOZiO, ALS and pana settings dialogs together: an untouched
// dialog writes what `convert` writes, and each spin rule over its field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/format_dialog.h"
#include "convert/format_table.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

// Four tracks, the second a rhythm track; the fourth lies beyond the three
// tracks dot-i and pana write, and its low keys must not move their key.
ScoreBuilder four_track_song() {
  ScoreBuilder b(90, 48);
  b.title("<さくら>");
  b.track().note(45, 48).rest(24).note(70, 96);
  b.track(10).rhythm().note(35, 48).note(40, 48);
  b.track().note(50, 24).note(81, 72);
  b.track().note(30, 192);
  return b;
}

struct UntouchedCase {
  int dialogKind;   // the create flow's kind
  int writtenKind;  // the kind the chosen file name gives
};

class UntouchedMelodyDialogTest : public ::testing::TestWithParam<UntouchedCase> {};

TEST_P(UntouchedMelodyDialogTest, WritesWhatTheTableWriterWrites) {
  ScoreBuilder b = four_track_song();
  Settings settings;
  settings.play.KeyOffset = -5;
  settings.play.SpeedFactor = 24;
  settings.writers.alshmn = 2;
  settings.conv.octaveShift[1] = 1;  // cleared as the dialog opens, and so by `convert`
  Settings convertSettings = settings;
  cleared_octave_shifts(convertSettings);
  const std::vector<uint8_t> expected =
      find_output_format(GetParam().writtenKind)->writer(b.score(), b.song(), convertSettings);

  auto dialog = make_format_dialog(GetParam().dialogKind, {b.song(), settings, kInputMfi, 0});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->text(IDC_START) + dialog->text(IDC_END), "");  // empty: nothing is cut
  dialog->ok();
  EXPECT_EQ(dialog->writer_for(GetParam().writtenKind)(b.score(), ByteView(), b.song(), settings), expected);
}

INSTANTIATE_TEST_SUITE_P(MelodyDialogs, UntouchedMelodyDialogTest,
                         ::testing::Values(UntouchedCase{kOutputDotI, kOutputDotI},
                                           UntouchedCase{kOutputDotI, kOutputMozio},
                                           UntouchedCase{kOutputAls, kOutputAls},
                                           UntouchedCase{kOutputPana, kOutputPana}));

struct SpinCase {
  int kind;
  int id;
  const char* typed;
  int direction;
  bool ctrl;
  const char* shown;
};

class MelodyDialogSpinTest : public ::testing::TestWithParam<SpinCase> {};

TEST_P(MelodyDialogSpinTest, StepsAsTheFormatSays) {
  ScoreBuilder b = four_track_song();
  Settings settings;
  const SpinCase& c = GetParam();
  auto dialog = make_format_dialog(c.kind, {b.song(), settings, kInputMfi, 40});
  dialog->set_text(c.id, c.typed);
  dialog->spin(c.id, c.direction, c.ctrl);
  EXPECT_EQ(dialog->text(c.id), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    MelodyDialogs, MelodyDialogSpinTest,
    ::testing::Values(
        // Tempo through the code table 60 72 84 96 108 114 126 138 150 168; ALS by 2 within 60..182.
        SpinCase{kOutputDotI, IDC_TEMPO, "100", -1, false, "96"}, SpinCase{kOutputDotI, IDC_TEMPO, "168", 1, false, "168"},
        SpinCase{kOutputPana, IDC_TEMPO, "110", 1, false, "114"}, SpinCase{kOutputPana, IDC_TEMPO, "60", -1, false, "60"},
        SpinCase{kOutputAls, IDC_TEMPO, "120", 1, false, "122"}, SpinCase{kOutputAls, IDC_TEMPO, "182", 1, false, "182"},
        // dot-i note limit: the multiples of 64 within 0..1024, Ctrl alike.
        SpinCase{kOutputDotI, IDC_DOTI_NOTE_LIMIT, "100", 1, false, "128"},
        SpinCase{kOutputDotI, IDC_DOTI_NOTE_LIMIT, "100", -1, true, "64"},
        SpinCase{kOutputDotI, IDC_DOTI_NOTE_LIMIT, "1000", 1, false, "1024"},
        // ALS note limit: steps of 32, 128 with Ctrl, within 0..1024; pana: 32 within 0..160.
        SpinCase{kOutputAls, IDC_ALS_NOTE_LIMIT, "100", 1, true, "228"},
        SpinCase{kOutputAls, IDC_ALS_NOTE_LIMIT, "10", -1, false, "0"},
        SpinCase{kOutputAls, IDC_ALS_NOTE_LIMIT, "5000", 1, false, "1024"},
        SpinCase{kOutputPana, IDC_PANA_NOTE_LIMIT, "128", 1, false, "160"},
        // Counters: starts of bars, ends of bars, within the song's 40 steps.
        SpinCase{kOutputAls, IDC_START, "33", 1, false, "33"}, SpinCase{kOutputPana, IDC_END, "20", -1, false, "16"}));

}  // namespace
}  // namespace mel
