#include "score/options.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace mel {
namespace {

TEST(OptionTable, StartValuesMatchAFreshSettingsRecord) {
  Settings fresh;
  for (const OptionInfo& option : option_table()) {
    EXPECT_EQ(*option.field(fresh), option.startValue) << option.name;
    EXPECT_LE(option.minValue, option.startValue) << option.name;
    EXPECT_GE(option.maxValue, option.startValue) << option.name;
  }
}

TEST(OptionTable, NamesAndKeysAreUniqueAndFindable) {
  std::set<std::string> seen;
  for (const OptionInfo& option : option_table()) {
    EXPECT_TRUE(seen.insert(option.name).second) << option.name;
    EXPECT_EQ(find_option(option.name), &option);
    if (option.settingsKey) {
      EXPECT_EQ(find_option(option.settingsKey), &option) << option.settingsKey;
    }
  }
  EXPECT_EQ(find_option("HIGHMLD"), find_option("highmld"));
  EXPECT_EQ(find_option("nosuchoption"), nullptr);
  // The seven conversion options stored in the settings file are known by their keys.
  for (const char* key : {"giziwaon", "gizino", "chsepcnt", "relnflg", "l16nouse", "highmld", "restcut"}) {
    ASSERT_NE(find_option(key), nullptr) << key;
    EXPECT_STREQ(find_option(key)->settingsKey, key);
  }
}

TEST(OptionTable, SetOptionChecksTheRange) {
  Settings s;
  const OptionInfo* chsepcnt = find_option("chsepcnt");
  ASSERT_NE(chsepcnt, nullptr);
  EXPECT_TRUE(set_option(s, *chsepcnt, 6));
  EXPECT_EQ(s.conv.chsepcnt, 6);
  EXPECT_FALSE(set_option(s, *chsepcnt, 1));
  EXPECT_FALSE(set_option(s, *chsepcnt, 17));
  EXPECT_EQ(s.conv.chsepcnt, 6);

  const OptionInfo* key = find_option("key");
  EXPECT_TRUE(set_option(s, *key, -24));
  EXPECT_FALSE(set_option(s, *key, 25));
  EXPECT_EQ(s.play.KeyOffset, -24);
}

TEST(OptionTable, LengthScaleTakesOnlyItsFiveSteps) {
  Settings s;
  const OptionInfo* scale = find_option("noteLengthScale");
  ASSERT_NE(scale, nullptr);
  for (int v : {4, 8, 16, 32, 64}) EXPECT_TRUE(set_option(s, *scale, v)) << v;
  for (int v : {0, 5, 12, 48, 128}) EXPECT_FALSE(set_option(s, *scale, v)) << v;
  EXPECT_EQ(s.conv.noteLengthScale, 64);
}

TEST(PlaybackOptions, TrackSelection) {
  PlaybackOptions p;
  EXPECT_TRUE(p.track_selected(5));
  p.TrackSelection = 2;
  p.TrackMask = 0b10;
  EXPECT_TRUE(p.track_selected(2));
  EXPECT_FALSE(p.track_selected(1));
  EXPECT_FALSE(p.track_selected(33));
}

TEST(ConversionOptions, PseudoChordWord) {
  ConversionOptions c;
  EXPECT_FALSE(c.pseudo_chord_mode());
  c.giziwaon = 2 | kPseudoChordModeBit;
  EXPECT_TRUE(c.pseudo_chord_mode());
  EXPECT_EQ(c.pseudo_chord_level(), 2);
  c.giziwaon = 4;  // mode bit with level 0 is not above 4
  EXPECT_FALSE(c.pseudo_chord_mode());
}

}  // namespace
}  // namespace mel
