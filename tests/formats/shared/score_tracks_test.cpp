#include "formats/shared/score_tracks.h"

#include <gtest/gtest.h>

#include <ostream>

namespace mel {
namespace {

struct GateCase {
  int64_t gate;
  int64_t elapsed;
  bool atEnd;
  int64_t sounding;
  int64_t after;
};

void PrintTo(const GateCase& c, std::ostream* os) {
  *os << "gate " << c.gate << ", elapsed " << c.elapsed << (c.atEnd ? ", at the end" : "");
}

class GatedLengthTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(GatedLengthTest, SoundsAndRests) {
  const GateCase& c = GetParam();
  GatedLength got = gated_length(c.gate, c.elapsed, c.atEnd);
  EXPECT_EQ(got.sounding, c.sounding);
  EXPECT_EQ(got.after, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    GateRule, GatedLengthTest,
    ::testing::Values(GateCase{10, 20, false, 11, 9},   // more than 2 ticks after the gate: gate + 1
                      GateCase{10, 13, false, 11, 2},   // 3 ticks: still gate + 1
                      GateCase{10, 12, false, 12, 0},   // 2 ticks: the note fills the time
                      GateCase{10, 6, false, 6, 0},     // cut short by the next event
                      GateCase{10, 20, true, 11, 9},    // the last note follows the same rule
                      GateCase{10, 12, true, 12, 0},
                      GateCase{10, 0, false, 0, 0},     // struck again at once
                      GateCase{10, 0, true, 10, 0}));   // at the end a longer gate sounds in full

}  // namespace
}  // namespace mel
