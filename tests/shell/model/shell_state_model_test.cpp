// The window state's portable rules: a close that waits for the window's open
// dialogs, and the playlist's current entry.
#include "shell/model/shell_state_model.h"

#include <gtest/gtest.h>

namespace mel {
namespace {

TEST(ModalStateTest, ACloseWaitsUntilTheLastOpenDialogHasReturned) {
  ModalState modal;
  EXPECT_FALSE(modal.defer_close());  // nothing open: the close goes ahead
  modal.opened();
  modal.opened();  // a message box over a dialog
  EXPECT_TRUE(modal.defer_close());
  EXPECT_FALSE(modal.closed());  // the dialog is still open
  EXPECT_TRUE(modal.closed());   // now the waiting close is carried out
  modal.opened();
  EXPECT_FALSE(modal.closed());  // no close waited this time
}

TEST(PlaylistStateTest, CurrentEntryIsEmptyOutsideTheList) {
  PlaylistState playlist;
  playlist.capacity = 2;
  EXPECT_TRUE(playlist.current_entry().empty());
  playlist.entries = {"a.mld", "b.mld"};
  playlist.currentIndex = 1;
  EXPECT_EQ(playlist.current_entry(), "b.mld");
  EXPECT_TRUE(playlist.full());
  playlist.currentIndex = 2;  // an open that added nothing
  EXPECT_TRUE(playlist.current_entry().empty());
  playlist.currentIndex = -1;
  EXPECT_TRUE(playlist.current_entry().empty());
}

}  // namespace
}  // namespace mel
