#include "score/length_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace mel {
namespace {

struct ConversionCase {
  int wholeTicks;
  std::vector<int64_t> ticks;
  std::vector<int64_t> units;   // in 960 per whole note
  std::vector<int64_t> carries;
};

class LengthConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(LengthConversion, RoundsToNearestAndCarriesTheError) {
  const ConversionCase& c = GetParam();
  int64_t carry = 0;
  int64_t total = 0;
  for (std::size_t i = 0; i < c.ticks.size(); ++i) {
    EXPECT_EQ(convert_length(c.ticks[i], carry, 960, c.wholeTicks), c.units[i]) << "event " << i;
    EXPECT_EQ(carry, c.carries[i]) << "event " << i;
    total += c.units[i];
  }
  // The sum never drifts from the exact length by more than half a unit.
  int64_t exactTicks = 0;
  for (int64_t t : c.ticks) exactTicks += t;
  int64_t w = std::max(1, c.wholeTicks);
  EXPECT_LE(std::abs(total * w - exactTicks * 960), w / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LengthConversion,
    ::testing::Values(
        // 48 ticks per quarter: 50 ticks are exactly 250 units.
        ConversionCase{192, {50, 50, 50}, {250, 250, 250}, {0, 0, 0}},
        // 56 ticks per quarter: 960 / 224 = 4.29; the carry of 64 surfaces in the second event.
        ConversionCase{224, {1, 1, 1, 1}, {4, 5, 4, 4}, {64, -96, -32, 32}},
        // A whole-note tick length of 0 is read as 1 (no division by zero).
        ConversionCase{0, {3}, {2880}, {0}}));

struct RestMergeCase {
  int64_t note, rest;
  int64_t noteAfter, taken;
};

class RestMerge : public ::testing::TestWithParam<RestMergeCase> {};

TEST_P(RestMerge, TakesWhatTheGridNeeds) {
  const RestMergeCase& c = GetParam();
  int64_t note = c.note;
  EXPECT_EQ(merge_rest_into_note(note, c.rest, 60, 40), c.taken);
  EXPECT_EQ(note, c.noteAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, RestMerge,
                         ::testing::Values(RestMergeCase{50, 100, 60, 10},   // need 10, left 90: only 10
                                           RestMergeCase{50, 5, 55, 5},      // rest shorter than need: all
                                           RestMergeCase{80, 100, 80, 0},    // 80 = 40 x 2: nothing
                                           RestMergeCase{120, 30, 120, 0},   // on the grid: nothing
                                           RestMergeCase{50, 50, 100, 50},   // left 40 = triplet grid: all
                                           RestMergeCase{70, 50, 120, 50})); // joined 120 is on the grid

TEST(RangeCut, StartCounterIsOneBased) {
  RangeCutSettings s;
  s.startCounter = 17;  // the second bar: time 16 x 60 on
  s.wholeTicks = 192;
  RangeCut cut(s, 60);
  int64_t d = 960;
  EXPECT_FALSE(cut.keep(900, d)) << "ends before the start";
  d = 960;
  ASSERT_TRUE(cut.keep(1200, d));
  EXPECT_EQ(d, 240) << "a note crossing the start keeps its part from the start on";
  d = 60;
  EXPECT_TRUE(cut.keep(1020, d)) << "the first sixteenth of the range is kept";
  EXPECT_EQ(d, 60);
}

TEST(RangeCut, EndCounterCutsAndDrops) {
  RangeCutSettings s;
  s.endCounter = 4;  // up to time 240
  RangeCut cut(s, 60);
  int64_t d = 120;
  ASSERT_TRUE(cut.keep(300, d));
  EXPECT_EQ(d, 60);
  d = 60;
  EXPECT_FALSE(cut.keep(360, d));
}

TEST(RangeCut, LeadingSilenceIsRemovedOncePerTrackWithoutWrapping) {
  RangeCutSettings s;
  s.restcut = true;
  s.leadIn = 96;  // half a whole note at 192 ticks per whole
  s.wholeTicks = 192;
  RangeCut cut(s, 60);  // the lead is 480 units
  int64_t d = 0;
  EXPECT_TRUE(cut.keep(0, d));  // a zero-length first event does not use it up
  d = 300;
  ASSERT_TRUE(cut.keep(300, d));
  EXPECT_EQ(d, 0) << "a first event shorter than the lead becomes 0, not a huge length";
  d = 300;
  ASSERT_TRUE(cut.keep(300, d));
  EXPECT_EQ(d, 300) << "only once per track";
  cut.begin_track();
  d = 600;
  ASSERT_TRUE(cut.keep(600, d));
  EXPECT_EQ(d, 120);
}

}  // namespace
}  // namespace mel
