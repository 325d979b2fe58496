// The rules every dialog shares: typed numbers, cut titles, the spin steps of
// the format dialogs, and the key detail dialog's rows and shifts.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_model.h"
#include "app/dialogs/key_detail.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

TEST(DialogRulesTest, TypedNumbers) {
  EXPECT_EQ(parse_typed_number("-5"), -5);
  EXPECT_EQ(parse_typed_number(" 12 "), 12);
  EXPECT_EQ(parse_typed_number("+7"), 7);
  EXPECT_EQ(parse_typed_number("99999999999"), 2147483647);
  EXPECT_EQ(parse_typed_number("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(parse_typed_number("1a"), std::nullopt);
  EXPECT_EQ(parse_typed_number(""), std::nullopt);
  EXPECT_EQ(parse_typed_number("-"), std::nullopt);
  EXPECT_EQ(parse_typed_count("-5"), std::nullopt);
  EXPECT_EQ(parse_typed_count("200"), 200);
}

TEST(DialogRulesTest, CutTextKeepsDoubleByteCharactersWhole) {
  const std::string text = "ab" "\x82\xa0" "c";  // a, b, a two-byte kana, c
  EXPECT_EQ(cut_text(text, 3), "ab");
  EXPECT_EQ(cut_text(text, 4), "ab" "\x82\xa0");
  EXPECT_EQ(cut_text(text, 10), text);
}

struct SpinCase {
  const char* rule;
  int value;
  int direction;
  bool ctrl;
  int expected;
};

class SpinRuleTest : public ::testing::TestWithParam<SpinCase> {};

TEST_P(SpinRuleTest, Steps) {
  const SpinCase& c = GetParam();
  constexpr int kLength = 40;  // the song's length in counter steps
  const std::string rule = c.rule;
  int got = rule == "size"    ? spin_size_limit(c.value, c.direction, c.ctrl)
            : rule == "start" ? spin_start_counter(c.value, c.direction, kLength)
            : rule == "end"   ? spin_end_counter(c.value, c.direction, kLength)
                              : spin_velocity(c.value, c.direction);
  EXPECT_EQ(got, c.expected) << c.rule << " " << c.value << " " << c.direction;
}

INSTANTIATE_TEST_SUITE_P(
    DialogRules, SpinRuleTest,
    ::testing::Values(SpinCase{"size", 0, 1, false, 1024}, SpinCase{"size", 0, 1, true, 10240},
                      SpinCase{"size", 60000, 1, false, 61024}, SpinCase{"size", 61000, 1, false, 61440}, SpinCase{"size", 100000, 1, false, 100000},
                      SpinCase{"size", 100000, -1, false, 60416}, SpinCase{"size", 500, -1, false, 0},
                      SpinCase{"start", 0, 1, false, 1}, SpinCase{"start", 1, 1, false, 17},
                      SpinCase{"start", 20, -1, false, 17}, SpinCase{"start", 33, 1, false, 33},  // 49 > length
                      SpinCase{"end", 0, 1, false, 16}, SpinCase{"end", 20, -1, false, 16},
                      SpinCase{"end", 32, 1, false, 32},  // 48 > length
                      SpinCase{"velocity", 0, 1, false, 80}, SpinCase{"velocity", 80, 1, false, 100},
                      SpinCase{"velocity", 120, 1, false, 127}, SpinCase{"velocity", 127, 1, false, 127},
                      SpinCase{"velocity", 127, -1, false, 120}, SpinCase{"velocity", 90, -1, false, 80},
                      SpinCase{"velocity", 80, -1, false, 0}));

// Track 1 rhythm, track 2 keys 60..72, track 3 keys 50..55.
ScoreBuilder rhythm_first_song() {
  ScoreBuilder b(120, 48);
  b.track().rhythm().note(36, 48);
  b.track().note(60, 48).note(72, 48);
  b.track().note(50, 48).note(55, 48);
  return b;
}

TEST(KeyDetailTest, RowsShowKeysAfterTheOutputKeyAndTheirShifts) {
  ScoreBuilder b = rhythm_first_song();
  std::array<int, kMaxTracks> shifts{};
  // The rows a DXM dialog hands over: melodic tracks only.
  KeyDetailDialog dialog(b.song(), {{2, false}, {3, false}}, 12, 32, 83, shifts);
  EXPECT_EQ(dialog.text(IDC_KEY_ROW_LABEL_FIRST), "主旋律");
  EXPECT_EQ(dialog.text(IDC_KEY_ROW_LABEL_FIRST + 1), "副旋律1");
  EXPECT_EQ(dialog.text(IDC_KEY_HINT), "(キー有効値 32～83)");
  dialog.set_state(IDC_KEY_ROW_SHIFT_FIRST, 1);
  EXPECT_EQ(dialog.text(IDC_KEY_ROW_LOW_FIRST), "84");
  EXPECT_EQ(dialog.text(IDC_KEY_ROW_HIGH_FIRST), "96");
  EXPECT_TRUE(dialog.warns(IDC_KEY_ROW_HIGH_FIRST));
  EXPECT_FALSE(dialog.warns(IDC_KEY_ROW_LOW_FIRST + 1));
  EXPECT_TRUE(dialog.enabled(IDC_KEY_ROW_SHIFT_FIRST + 1));
  EXPECT_FALSE(dialog.enabled(IDC_KEY_ROW_SHIFT_FIRST + 2));
  dialog.set_state(IDC_KEY_ROW_SHIFT_FIRST + 1, -7);  // held within -2..2
  EXPECT_EQ(dialog.state(IDC_KEY_ROW_SHIFT_FIRST + 1), -2);
  EXPECT_EQ(shifts[0], 0);  // nothing stored before OK
  dialog.ok();
  EXPECT_EQ(shifts[0], 1);
  EXPECT_EQ(shifts[1], -2);
}

TEST(KeyDetailTest, UsedKeyRangeCountsRhythmRowsOnlyWhenAsked) {
  ScoreBuilder b = rhythm_first_song();
  std::array<int, kMaxTracks> shifts{};
  shifts[2] = -1;
  const std::vector<KeyRow> rows = {{1, true}, {2, false}, {3, false}};
  EXPECT_EQ(used_key_range(b.song(), rows, shifts, 0, false), std::make_pair(38, 72));
  EXPECT_EQ(used_key_range(b.song(), rows, shifts, 2, true), std::make_pair(38, 74));
  EXPECT_EQ(used_key_range(b.song(), {}, shifts, 0, true), std::nullopt);
}

}  // namespace
}  // namespace mel
