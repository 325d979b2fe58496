#include "score/score_stream.h"

#include <gtest/gtest.h>

#include "score/options.h"

namespace mel {
namespace {

TEST(EventWriter, SplitsLongNoteIntoNoteAndRest) {
  SongInfo song;
  uint8_t buf[16] = {};
  std::size_t n = write_event(song, buf, buf + sizeof buf, 1, 60, 65535 + 100);
  ASSERT_EQ(n, 6u);
  const uint8_t expected[] = {60, 255, 255, 0, 0, 100};
  EXPECT_EQ(0, memcmp(buf, expected, 6));
}

}  // namespace
}  // namespace mel
