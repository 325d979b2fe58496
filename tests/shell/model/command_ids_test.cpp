// Which feature area's handler each command reaches: every item the menus,
// buttons and popups can send must reach one, and neighbouring ids that are
// no command must reach none.
#include "shell/model/command_ids.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/model/menu_model.h"

namespace mel {
namespace {

using cmd::CommandArea;

struct AreaCase {
  int id;
  CommandArea area;
};

class CommandAreaTest : public ::testing::TestWithParam<AreaCase> {};

TEST_P(CommandAreaTest, RoutesTheIdToItsArea) { EXPECT_EQ(cmd::command_area(GetParam().id), GetParam().area); }

INSTANTIATE_TEST_SUITE_P(
    Boundaries, CommandAreaTest,
    ::testing::Values(
        AreaCase{cmd::kPlay, CommandArea::Play}, AreaCase{cmd::kOpen, CommandArea::Files},
        AreaCase{cmd::kTempoUp, CommandArea::Play}, AreaCase{cmd::kSaveButton, CommandArea::Files},
        AreaCase{cmd::kLoadEntry, CommandArea::Play}, AreaCase{cmd::kSaveSettings, CommandArea::View},
        AreaCase{cmd::kHandOver, CommandArea::None},  // arrives as WM_COPYDATA
        AreaCase{cmd::kProperties, CommandArea::Dialogs}, AreaCase{105, CommandArea::None},
        AreaCase{cmd::kCreateFirst, CommandArea::Files}, AreaCase{cmd::kExternalSeparator, CommandArea::None},
        AreaCase{cmd::kExternalLast, CommandArea::Files}, AreaCase{cmd::kResetKeySpeed, CommandArea::Tracks},
        AreaCase{cmd::kConversionDetail, CommandArea::Dialogs}, AreaCase{cmd::kThreeTimes, CommandArea::Play},
        AreaCase{cmd::kTrackLast, CommandArea::Tracks}, AreaCase{cmd::kTrackLast + 1, CommandArea::None},
        AreaCase{cmd::kPerTrackInstrument, CommandArea::Dialogs}, AreaCase{cmd::kInstrumentLast, CommandArea::Tracks},
        AreaCase{cmd::kPerTrackVolume, CommandArea::Dialogs}, AreaCase{cmd::kClipboardPlay, CommandArea::Playlist},
        AreaCase{cmd::kIntro, CommandArea::Play}, AreaCase{cmd::kShowSaveButton, CommandArea::View},
        AreaCase{cmd::kAbout, CommandArea::Dialogs},
        AreaCase{cmd::kPreviousPopupFirst + cmd::kPopupLength - 1, CommandArea::Playlist},
        AreaCase{cmd::kPreviousPopupFirst + cmd::kPopupLength, CommandArea::None},
        AreaCase{cmd::kNextPopupFirst, CommandArea::Playlist}, AreaCase{cmd::kRecentLast, CommandArea::Files},
        AreaCase{cmd::kColourRandom, CommandArea::View}, AreaCase{cmd::kColourRandom + 1, CommandArea::None}));

// Collects the command ids of the menu bar as the window builds it.
class IdSink : public MenuSink {
 public:
  intptr_t create_popup() override { return ++popups_; }
  void append(intptr_t, int flags, int id, intptr_t, const char*) override {
    if (flags == kMenuItemString) ids.push_back(id);
  }
  std::vector<int> ids;

 private:
  intptr_t popups_ = 0;
};

TEST(CommandAreaTest, EveryMenuItemAndAddedItemReachesAHandler) {
  IdSink sink;
  build_main_menu(sink, sink.create_popup());
  std::vector<int> ids = sink.ids;
  ASSERT_GT(ids.size(), 50u);
  for (const CreateItem& item : create_items()) ids.push_back(item.id);
  for (int id = cmd::kInstrumentExtraFirst; id <= cmd::kInstrumentLast; ++id) ids.push_back(id);
  for (int id = cmd::kExternalFirst; id <= cmd::kExternalLast; ++id) ids.push_back(id);
  for (int id = cmd::kAllTracks; id <= cmd::kTrackLast; ++id) ids.push_back(id);
  for (int id : ids) EXPECT_NE(cmd::command_area(id), CommandArea::None) << id;
}

}  // namespace
}  // namespace mel
