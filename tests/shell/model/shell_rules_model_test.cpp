// The save button's command, what a create does to it, the close after
// playing and the playlist moves.
#include "shell/model/shell_rules_model.h"

#include <gtest/gtest.h>

#include "shell/model/command_ids.h"

namespace mel {
namespace {

TEST(ShellRules, TheSaveButtonSendsRecmodeModulo1000ButNeverItself) {
  EXPECT_EQ(save_button_command(112), cmd::kCreateMml);
  EXPECT_EQ(save_button_command(1104), cmd::kCopyAs);
  // Its own id, plain or pinned, would make the button send itself forever.
  EXPECT_EQ(save_button_command(cmd::kSaveButton), 0);
  EXPECT_EQ(save_button_command(1000 + cmd::kSaveButton), 0);
}

TEST(ShellRules, ACreateTakesOverTheSaveButtonUnlessItIsPinned) {
  EXPECT_EQ(recmode_after_create(112, cmd::kCreateMidi), cmd::kCreateMidi);
  EXPECT_EQ(recmode_after_create(999, cmd::kCopyAs), cmd::kCopyAs);
  EXPECT_EQ(recmode_after_create(1000, cmd::kCreateMidi), 1000);
  EXPECT_EQ(recmode_after_create(1104, cmd::kCreateMidi), 1104);
}

TEST(ShellRules, OnlyTheUsersOwnActionsEndTheCloseAfterPlaying) {
  for (int id : {cmd::kPause, cmd::kOpen, cmd::kKeyUp, cmd::kCopyAs, cmd::kCreateFirst, cmd::kTrackLast,
                 cmd::kShowSaveButton, cmd::kRecentLast, cmd::kNextPopupFirst + 9}) {
    EXPECT_TRUE(clears_exit_after_play(id)) << id;
  }
  // Play and stop, the internal steps, the dialogs that change nothing by
  // themselves, shuffle and the clipboard leave it set.
  for (int id : {cmd::kPlay, cmd::kStop, cmd::kSaveButton, cmd::kLoadEntry, cmd::kReconvert, cmd::kLoadSettings,
                 cmd::kSaveSettings, cmd::kHandOver, cmd::kExit, cmd::kPerTrackInstrument, cmd::kPerTrackVolume,
                 cmd::kShuffle, cmd::kClipboardPlay, cmd::kHelp, cmd::kSettingsProgram, cmd::kColourFirst}) {
    EXPECT_FALSE(clears_exit_after_play(id)) << id;
  }
}


TEST(ShellRules, PlaylistMovesStopAtTheEndsOfTheList) {
  // Entry 1 of 3 (index 0): nothing before it.
  EXPECT_EQ(playlist_move_target(cmd::kPrevious, 0, 3), -1);
  EXPECT_EQ(playlist_move_target(cmd::kFirst, 0, 3), -1);
  EXPECT_EQ(playlist_move_target(cmd::kNext, 0, 3), 1);
  EXPECT_EQ(playlist_move_target(cmd::kNext, 2, 3), -1);
  EXPECT_EQ(playlist_move_target(cmd::kFirst, 2, 3), 0);
  // The popups jump several entries, held at the ends.
  EXPECT_EQ(playlist_move_target(cmd::kNextPopupFirst + 1, 0, 3), 2);
  EXPECT_EQ(playlist_move_target(cmd::kNextPopupFirst + 9, 0, 3), 2);
  EXPECT_EQ(playlist_move_target(cmd::kPreviousPopupFirst + 4, 2, 3), 0);
  EXPECT_EQ(playlist_move_target(cmd::kPreviousPopupFirst, 0, 3), -1);
  EXPECT_EQ(playlist_move_target(cmd::kPlay, 1, 3), -1);
  EXPECT_EQ(playlist_move_target(cmd::kNext, 0, 0), -1);  // empty list
}

}  // namespace
}  // namespace mel
