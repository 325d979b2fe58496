// The keyboard map: scan codes to the commands the window posts.
#include "shell/model/key_map_model.h"

#include <gtest/gtest.h>

#include "shell/model/command_ids.h"

namespace mel {
namespace {

constexpr int kScanCtrl = 29;

struct KeyCase {
  int scanCode;
  bool ctrlDown;
  bool playing;
  int command;
  intptr_t lParam;
};

class KeyMapTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyMapTest, PostsTheCommandOfTheKey) {
  const KeyCase& c = GetParam();
  KeyState keys;
  if (c.ctrlDown) key_down_command(keys, kScanCtrl, false);
  const KeyCommand command = key_down_command(keys, c.scanCode, c.playing);
  EXPECT_EQ(command.id, c.command);
  EXPECT_EQ(command.lParam, c.lParam);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyMapTest,
                         ::testing::Values(KeyCase{2, false, false, cmd::kTrackFirst, 0},       // "1"
                                           KeyCase{10, false, false, cmd::kTrackFirst + 8, 0},  // "9"
                                           KeyCase{11, false, false, cmd::kAllTracks, 0},       // "0"
                                           KeyCase{3, true, false, cmd::kTrackFirst + 1,
                                                   0},                                // Ctrl+"2": the digit acts first
                                           KeyCase{57, false, false, cmd::kPlay, 0},  // Space
                                           KeyCase{57, false, true, cmd::kPause, 0},  // Space while playing
                                           KeyCase{52, false, true, cmd::kStop, 0},   // period
                                           KeyCase{24, true, false, cmd::kOpen, kFromShortcut},             // Ctrl+O
                                           KeyCase{19, true, false, cmd::kOpenLastCreated, kFromShortcut},  // Ctrl+R
                                           KeyCase{49, true, false, cmd::kNext, 0},                         // Ctrl+N
                                           KeyCase{49, false, false, 0, 0},                                 // N alone
                                           KeyCase{30, true, false, 0, 0}));  // Ctrl+A: no shortcut

TEST(KeyMapTest, CtrlCountsAsDownOnlyUntilItsKeyUp) {
  KeyState keys;
  EXPECT_EQ(key_down_command(keys, kScanCtrl, false).id, 0);
  EXPECT_EQ(key_down_command(keys, 48, false).id, cmd::kPrevious);  // Ctrl+B
  key_up(keys, 48);                                                 // B released: Ctrl still held
  EXPECT_EQ(key_down_command(keys, 20, false).id, cmd::kFirst);     // Ctrl+T
  key_up(keys, kScanCtrl);
  EXPECT_EQ(key_down_command(keys, 20, false).id, 0);
}

TEST(KeyMapTest, CtrlReleasedInAnotherWindowDoesNotStick) {
  KeyState keys;
  key_down_command(keys, kScanCtrl, false);
  keyboard_focus_lost(keys);  // its key-up went to the window that took the focus
  EXPECT_EQ(key_down_command(keys, 24, false).id, 0);  // a plain O opens nothing
}

}  // namespace
}  // namespace mel
