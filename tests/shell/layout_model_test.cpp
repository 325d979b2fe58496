// The main window's layout arithmetic: positions of the button row, counter
// and track panel, the relayout width, heights and the menu-bar fit.
#include "shell/layout_model.h"

#include <gtest/gtest.h>

#include "shell/settings_model.h"

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
  EXPECT_EQ(button_width(view), 25);
  EXPECT_EQ(relayout_client_width(view, kDefaultScroll), kDefaultClientWidth);

  // The relayout's width gives the scroll bar back exactly its stored width.
  const ControlLayout layout = layout_controls(view, kDefaultClientWidth, 0, false);
  EXPECT_EQ(layout.scrollWidth, kDefaultScroll);
  EXPECT_EQ(layout.rememberedScrollWidth, kDefaultScroll);

  EXPECT_EQ(layout.play, (ControlRect{5, 1, 25, 22, true}));
  EXPECT_EQ(layout.stop, (ControlRect{30, 1, 25, 22, true}));
  EXPECT_EQ(layout.pause, (ControlRect{55, 1, 25, 22, true}));
  EXPECT_EQ(layout.scroll, (ControlRect{85, 1, 250, 22, true}));
  EXPECT_EQ(layout.open, (ControlRect{340, 1, 25, 22, true}));
  EXPECT_EQ(layout.keyDown.x, 370);
  EXPECT_EQ(layout.keyUp.x, 395);
  EXPECT_EQ(layout.tempoDown.x, 425);
  EXPECT_EQ(layout.tempoUp.x, 450);
  EXPECT_EQ(layout.previous.x, 480);
  EXPECT_EQ(layout.next.x, 505);
  // The save button is hidden but sits where it would go: the right edge.
  EXPECT_EQ(layout.save, (ControlRect{535, 1, 25, 22, false}));
  EXPECT_EQ(layout.counter, (ControlRect{6, 27, kDefaultClientWidth - 12, 20, true}));
}

TEST(LayoutModel, NormalButtonsWithSaveButton) {
  ViewState view{(kDefaultFlags & ~kFlagSmallButtons) | kFlagSaveButton, true, false};
  // Cell 35, button 30: 255 + (90 + 10) + 35 + 3 x 65 + 35 = 620.
  EXPECT_EQ(relayout_client_width(view, kDefaultScroll), 620);
  const ControlLayout layout = layout_controls(view, 620, 0, false);
  EXPECT_EQ(layout.scrollWidth, kDefaultScroll);
  EXPECT_EQ(layout.save, (ControlRect{585, 1, 30, 22, true}));
}

TEST(LayoutModel, CompactViewHidesOptionalButtonsButStillMovesThem) {
  ViewState view = default_view();
  view.fullView = false;
  view.trackPanel = true;
  // Only the scroll bar, the play buttons and the open button count: 255 + 85 + 30.
  EXPECT_EQ(relayout_client_width(view, kDefaultScroll), 370);
  const ControlLayout layout = layout_controls(view, 370, 0, false);
  EXPECT_EQ(layout.scrollWidth, kDefaultScroll);
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
  EXPECT_EQ(below.tracks[0], (ControlRect{5, 51, 37, 22, true}));
  EXPECT_EQ(below.tracks[7], (ControlRect{264, 51, 37, 22, true}));
  EXPECT_EQ(below.tracks[8], (ControlRect{5, 76, 37, 22, true}));
  EXPECT_EQ(below.tracks[31], (ControlRect{264, 126, 37, 22, true}));
  EXPECT_EQ(below.allTracks, (ControlRect{311, 51, 48, 22, true}));
  EXPECT_EQ(below.standard, (ControlRect{311, 101, 50, 22, true}));
  EXPECT_EQ(below.split, (ControlRect{311, 126, 50, 22, true}));
  EXPECT_EQ(content_height(view), 25 + 100 + 25);

  view.controlFlags &= ~kFlagDisplay;
  const ControlLayout noCounter = layout_controls(view, kDefaultClientWidth, 0, false);
  EXPECT_EQ(noCounter.tracks[0].y, 26);
  EXPECT_EQ(noCounter.split.y, 26 + 75);
  EXPECT_EQ(content_height(view), 100 + 25);

  view.trackPanel = false;
  EXPECT_FALSE(layout_controls(view, kDefaultClientWidth, 0, false).tracks[5].visible);
}

TEST(LayoutModel, ScrollWidthFollowsTheWindowWithinTheSettingsRange) {
  const ViewState view = default_view();
  // Dragging the edge: the bar absorbs the change.
  ControlLayout wider = layout_controls(view, kDefaultClientWidth + 40, kDefaultScroll, false);
  EXPECT_EQ(wider.scrollWidth, 290);
  EXPECT_EQ(wider.rememberedScrollWidth, 290);

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
  ViewState noScroll = view;
  noScroll.controlFlags &= ~kFlagScroll;
  EXPECT_EQ(minimum_window_width(noScroll, 3), 85 + 30 + 165 + 6);

  const FrameMetrics metrics;  // 4, 4, 18, 1, 19
  // N = 25 (counter) + 25; height = (N + 1) + 18 + 1 + 2 x 4.
  EXPECT_EQ(content_height(view), 50);
  EXPECT_EQ(window_height_without_menu(50, metrics), 78);
}

// A window whose menu bar wraps onto `lines` lines.
struct FakeWindow {
  FrameMetrics metrics;
  int lines = 1;
  int calls = 0;
  int client_height(int windowHeight) {
    ++calls;
    const int frame = metrics.cySize + metrics.cyBorder + 2 * metrics.cyFrame;
    return windowHeight - frame - lines * (metrics.cyMenu + metrics.cyBorder);
  }
};

TEST(LayoutModel, MenuFitAddsALinePerWrappedMenuLine) {
  const int n = 50;
  const FrameMetrics metrics;
  const int base = window_height_without_menu(n, metrics);
  const int line = metrics.cyMenu + metrics.cyBorder;
  for (int lines = 1; lines <= 3; ++lines) {
    FakeWindow window{metrics, lines};
    const int height = fit_height_to_menu(n, base, metrics, [&](int h) { return window.client_height(h); });
    EXPECT_EQ(height, base + lines * line) << lines;
    EXPECT_EQ(window.calls, lines);
  }
}

TEST(LayoutModel, MenuFitTakesALineOffAndStopsAfterFourRounds) {
  const int n = 50;
  const FrameMetrics metrics;
  const int base = window_height_without_menu(n, metrics);
  const int line = metrics.cyMenu + metrics.cyBorder;
  // No menu bar after all (client too high): one line comes off again.
  FakeWindow noMenu{metrics, 0};
  EXPECT_EQ(fit_height_to_menu(n, base, metrics, [&](int h) { return noMenu.client_height(h); }), base);

  // A client that never fits: four rounds, each adding a line.
  int calls = 0;
  const int height = fit_height_to_menu(n, base, metrics, [&](int) {
    ++calls;
    return 0;
  });
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(height, base + 5 * line);
}

TEST(LayoutModel, HeightFixOnlyOutsideTheTenPixelBand) {
  EXPECT_TRUE(needs_height_fix(49, 50));
  EXPECT_FALSE(needs_height_fix(50, 50));
  EXPECT_FALSE(needs_height_fix(60, 50));
  EXPECT_TRUE(needs_height_fix(61, 50));
}

}  // namespace
}  // namespace mel
