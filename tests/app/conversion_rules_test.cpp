// When a conversion counts as something to play (the window) or to write
// (the tool).
#include "app/conversion_rules.h"

#include <gtest/gtest.h>

namespace mel {
namespace {

TEST(ConversionRules, APlayableConversionHasBytesAndANote) {
  SongInfo song;
  EXPECT_FALSE(conversion_is_playable(song, 100));
  song.noteCount[31] = 1;
  EXPECT_TRUE(conversion_is_playable(song, 100));
  EXPECT_FALSE(conversion_is_playable(song, 0));
  // Every track removed for sounding nothing: no song, whatever was counted.
  song.trackCount = 0;
  EXPECT_FALSE(conversion_is_playable(song, 100));
}

}  // namespace
}  // namespace mel
