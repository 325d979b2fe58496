// The main window's layout arithmetic: positions of the button row, counter
// and track panel, the relayout width, heights and the menu-bar fit.
#include "shell/model/layout_model.h"

#include <gtest/gtest.h>

#include "app/settings_model.h"

namespace mel {
namespace {

// The flags a missing settings file gives: scroll bar, counter, key, tempo,
// menu, previous/next, open and small buttons; no save button.
constexpr unsigned kDefaultFlags = kFlagScroll | kFlagDisplay | kFlagKeyButtons | kFlagTempoButtons | kFlagMenu |
                                   kFlagBackNext | kFlagOpenButton | kFlagSmallButtons;
constexpr int kDefaultScroll = 250;

ViewState default_view() { return ViewState{kDefaultFlags, true, false}; }

// Small buttons: cell 30, button 25. Client width by hand:
//   scroll 250 + 5                     = 255
//   play/stop/pause 3 x 25 + 10        =  85
//   open 25 + 5                        =  30
//   key, tempo, previous/next 3 x 55   = 165
//   save: hidden                       =   0
//                                        535
constexpr int kDefaultClientWidth = 535;

TEST(LayoutModel, DefaultFlagsRelayoutWidthAndRowPositions) {
  const ViewState view = default_view();
  EXPECT_EQ(relayout_client_width(view, kDefaultScroll), kDefaultClientWidth);

  // The relayout's width gives the scroll bar back exactly its stored width.
  const ControlLayout layout = layout_controls(view, kDefaultClientWidth, 0, false);
  EXPECT_EQ(layout.scrollWidth, kDefaultScroll);
  EXPECT_EQ(layout.rememberedScrollWidth, kDefaultScroll);

  EXPECT_EQ(layout.pause, (ControlRect{55, 1, 25, 22, true}));
  EXPECT_EQ(layout.scroll, (ControlRect{85, 1, 250, 22, true}));
  EXPECT_EQ(layout.open, (ControlRect{340, 1, 25, 22, true}));
  const ControlRect* row[] = {&layout.keyDown,   &layout.keyUp,    &layout.tempoDown,
                              &layout.tempoUp,   &layout.previous, &layout.next};
  const int xs[] = {370, 395, 425, 450, 480, 505};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(*row[i], (ControlRect{xs[i], 1, 25, 22, true})) << i;
  // The save button is hidden but sits where it would go: the right edge.
  EXPECT_EQ(layout.save, (ControlRect{535, 1, 25, 22, false}));
  EXPECT_EQ(layout.counter, (ControlRect{6, 27, kDefaultClientWidth - 12, 20, true}));

  // Normal buttons (30 wide, cells of 35) with the save button:
  // 255 + (90 + 10) + 35 + 3 x 65 + 35 = 620, save at 620 - 35.
  const ViewState normal{(kDefaultFlags & ~kFlagSmallButtons) | kFlagSaveButton, true, false};
  EXPECT_EQ(relayout_client_width(normal, kDefaultScroll), 620);
  EXPECT_EQ(layout_controls(normal, 620, 0, false).save, (ControlRect{585, 1, 30, 22, true}));
}

TEST(LayoutModel, CompactViewHidesOptionalButtonsButStillMovesThem) {
  ViewState view = default_view();
  view.fullView = false;
  view.trackPanel = true;
  // Only the scroll bar, the play buttons and the open button count: 255 + 85 + 30.
  EXPECT_EQ(relayout_client_width(view, kDefaultScroll), 370);
  const ControlLayout layout = layout_controls(view, 370, 0, false);
  EXPECT_TRUE(layout.open.visible);  // the open button shows in either view
  for (const ControlRect* hidden : {&layout.keyDown, &layout.tempoDown, &layout.previous, &layout.save}) {
    EXPECT_FALSE(hidden->visible);
    EXPECT_EQ(hidden->x, 370);
  }
  EXPECT_FALSE(layout.counter.visible);
  // The panel follows its own switch; without the counter it starts at 26.
  EXPECT_TRUE(layout.tracks[0].visible);
  EXPECT_EQ(layout.tracks[0].y, 26);
  // Only the first row counts in the compact view.
  EXPECT_EQ(content_height(view), 25);
}

TEST(LayoutModel, TrackPanelGridAndModeButtons) {
  ViewState view = default_view();
  view.trackPanel = true;
  const ControlLayout below = layout_controls(view, kDefaultClientWidth, 0, false);
  // Below the counter the panel starts at 51; eight buttons a row, four rows.
  EXPECT_EQ(below.tracks[7], (ControlRect{264, 51, 37, 22, true}));
  EXPECT_EQ(below.tracks[8], (ControlRect{5, 76, 37, 22, true}));
  EXPECT_EQ(below.allTracks, (ControlRect{311, 51, 48, 22, true}));
  EXPECT_EQ(below.split, (ControlRect{311, 126, 50, 22, true}));
  EXPECT_EQ(content_height(view), 25 + 100 + 25);

  view.controlFlags &= ~kFlagDisplay;
  EXPECT_EQ(layout_controls(view, kDefaultClientWidth, 0, false).split.y, 26 + 75);
  EXPECT_EQ(content_height(view), 100 + 25);
}

TEST(LayoutModel, ScrollWidthFollowsTheWindowWithinTheSettingsRange) {
  const ViewState view = default_view();
  // Dragging the edge: the bar absorbs the change.
  EXPECT_EQ(layout_controls(view, kDefaultClientWidth + 40, kDefaultScroll, false).rememberedScrollWidth, 290);

  // Wider than 500: laid out in full, remembered as 500 so the settings file
  // reads it back instead of falling back to its default.
  ControlLayout huge = layout_controls(view, kDefaultClientWidth + 600, kDefaultScroll, false);
  EXPECT_EQ(huge.scrollWidth, 850);
  EXPECT_EQ(huge.rememberedScrollWidth, 500);
  EXPECT_EQ(huge.open.x, 85 + 850 + 5);

  // A minimised (zero-width) client: never a negative width, and the width
  // the user chose is kept.
  ControlLayout minimised = layout_controls(view, 0, 321, false);
  EXPECT_EQ(minimised.scrollWidth, 50);
  EXPECT_EQ(minimised.rememberedScrollWidth, 321);

  // During a relayout the stored width is used whatever the client says.
  ControlLayout relayout = layout_controls(view, 900, 123, true);
  EXPECT_EQ(relayout.scrollWidth, 123);
  EXPECT_EQ(relayout.rememberedScrollWidth, 123);
  EXPECT_EQ(relayout.counter.width, 888);
}

TEST(LayoutModel, MinimumWidthAndHeights) {
  const ViewState view = default_view();
  // 535 with a 50-pixel bar instead of 250, plus two 4-pixel frames.
  EXPECT_EQ(minimum_window_width(view, 4), kDefaultClientWidth - 200 + 8);

  const FrameMetrics metrics;  // 4, 4, 18, 1, 19
  // N = 25 (counter) + 25; height = (N + 1) + 18 + 1 + 2 x 4.
  EXPECT_EQ(content_height(view), 50);
  EXPECT_EQ(window_height_without_menu(50, metrics), 78);
  // After painting, only a client outside N..N + 10 asks for a new layout.
  EXPECT_TRUE(needs_height_fix(49, 50));
  EXPECT_FALSE(needs_height_fix(60, 50));
  EXPECT_TRUE(needs_height_fix(61, 50));
}

TEST(LayoutModel, MenuFitFollowsTheMenuBarsLinesForFourRoundsAtMost) {
  const int n = 50;
  const FrameMetrics metrics;
  const int base = window_height_without_menu(n, metrics);
  const int line = metrics.cyMenu + metrics.cyBorder;
  // A menu bar on `lines` lines (0: no bar after all, the client is too high).
  for (int lines = 0; lines <= 3; ++lines) {
    const auto client = [&](int h) { return h - (base - n - 1) - lines * line; };
    EXPECT_EQ(fit_height_to_menu(n, base, metrics, client), base + lines * line) << lines;
  }
  // A client that never fits: four rounds, each adding a line.
  int calls = 0;
  const int height = fit_height_to_menu(n, base, metrics, [&](int) {
    ++calls;
    return 0;
  });
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(height, base + 5 * line);
}

}  // namespace
}  // namespace mel
