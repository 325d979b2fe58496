// Where the main window's controls go and how big the window is: the layout
// of WM_SIZE, the relayout of a caption double-click (full and compact view),
// the content height and the minimum width. Pure arithmetic over the control
// flags; the window code only moves controls and sets sizes.
#pragma once

#include <array>
#include <functional>

#include "shell/model/command_ids.h"

namespace mel {

struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool operator==(const ControlRect& other) const {
    return x == other.x && y == other.y && width == other.width && height == other.height &&
           visible == other.visible;
  }
};

// What the layout depends on.
struct ViewState {
  unsigned controlFlags = 0;  // kFlag* bits of settings_model.h
  bool fullView = true;
  bool trackPanel = false;
};

constexpr int kButtonHeight = 22;
constexpr int kMinimumScrollWidth = 50;
constexpr int kMaximumScrollWidth = 500;

// 30, or 35 without the small-buttons bit.
int cell_width(const ViewState& view);
// cell - 5: 25 or 30.
int button_width(const ViewState& view);

struct ControlLayout {
  // First row.
  ControlRect play, stop, pause, scroll, open, keyDown, keyUp, tempoDown, tempoUp, previous, next, save;
  ControlRect counter;
  // Track panel.
  std::array<ControlRect, cmd::kTrackButtonCount> tracks;
  ControlRect allTracks, standard, split;
  // The width the scroll bar is laid out with (never below 50).
  int scrollWidth = 0;
  // The value to keep as `scrollsizex` (50..500): the new scroll width unless
  // a relayout is running. A client too narrow for a 50-pixel bar (a minimised
  // window, the zero-size window before the first relayout, a hidden bar)
  // keeps the previous value; a bar wider than 500 pixels is remembered as 500.
  int rememberedScrollWidth = 0;
};

// The layout of WM_SIZE for client width clientWidth. While a relayout runs
// (relayoutRunning), the scroll bar keeps scrollWidth; otherwise it takes the
// rest of the width.
ControlLayout layout_controls(const ViewState& view, int clientWidth, int scrollWidth, bool relayoutRunning);

// The client width a relayout gives (recompute or caption double-click).
int relayout_client_width(const ViewState& view, int scrollWidth);
// Content height N: ((counter ? 25 : 0) + (panel ? 100 : 0)) x full + 25.
int content_height(const ViewState& view);
// The minimum tracking width: the client width with a 50-pixel scroll bar,
// plus the two frames.
int minimum_window_width(const ViewState& view, int cxFrame);

struct FrameMetrics {
  int cxFrame = 4;   // SM_CXFRAME
  int cyFrame = 4;   // SM_CYFRAME
  int cySize = 18;   // SM_CYSIZE
  int cyBorder = 1;  // SM_CYBORDER
  int cyMenu = 19;   // SM_CYMENU
};

// The window height without a menu bar for content height N.
int window_height_without_menu(int contentHeight, const FrameMetrics& metrics);

// Fits the window height to an attached menu bar: adds one menu line, then
// while the client height (asked from clientHeightFor with a window height)
// is not strictly between N and N + 10 takes a line off (too high) or adds
// one (the bar wrapped), at most four rounds. Returns the final height.
int fit_height_to_menu(int contentHeight, int heightWithoutMenu, const FrameMetrics& metrics,
                       const std::function<int(int windowHeight)>& clientHeightFor);

// True when the window must be laid out again after painting: the menu bar
// should be attached and the client height is below N or above N + 10.
bool needs_height_fix(int clientHeight, int contentHeight);

}  // namespace mel
