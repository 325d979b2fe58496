// The instrument name list beside the program.
#include "shell/model/instrument_names_model.h"

#include <gtest/gtest.h>

namespace mel {
namespace {

TEST(InstrumentNames, LineNNamesProgramNWithEmptyLinesCounted) {
  const InstrumentNames names = parse_instrument_names("Piano\r\nBright\r\n\r\nHonky\nEP\rLast");
  EXPECT_EQ(names[0], "Piano");
  EXPECT_EQ(names[1], "Bright");
  EXPECT_EQ(names[2], "");
  EXPECT_EQ(names[3], "Honky");
  EXPECT_EQ(names[4], "EP");
  EXPECT_EQ(names[5], "Last");
  EXPECT_EQ(names[6], "");
}

TEST(InstrumentNames, NamesKeep22BytesWithoutSplittingACharacter) {
  // 21 ASCII bytes and then a two-byte character: the character does not fit.
  const std::string twentyOne(21, 'a');
  const InstrumentNames names = parse_instrument_names(twentyOne + "ピ\n" + std::string(40, 'b'));
  EXPECT_EQ(names[0], twentyOne);
  EXPECT_EQ(names[1], std::string(22, 'b'));
}

TEST(InstrumentNames, AtMost128LinesAndAMissingFileGivesEmptyNames) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "n" + std::to_string(i) + "\n";
  const InstrumentNames names = parse_instrument_names(text);
  EXPECT_EQ(names[127], "n127");
  const InstrumentNames none = read_instrument_names("/nonexistent/data/mldname.dat");
  for (const std::string& name : none) EXPECT_TRUE(name.empty());
}

}  // namespace
}  // namespace mel
