#include "shell/model/layout_model.h"

#include <algorithm>

#include "app/settings_model.h"

namespace mel {

namespace {

constexpr int kCellWidthSmall = 30;
constexpr int kCellWidthNormal = 35;
constexpr int kButtonGap = 5;          // between a button and the next group
constexpr int kLeftMargin = 5;
constexpr int kFirstRowTop = 1;

constexpr int kCounterLeft = 6;
constexpr int kCounterTop = 27;
constexpr int kCounterSideMargins = 12;
constexpr int kCounterHeight = 20;
constexpr int kCounterRowHeight = 25;  // what the counter adds to the content height

constexpr int kPanelTopBelowRow = 26;
constexpr int kPanelTopBelowCounter = 51;
constexpr int kPanelHeight = 100;
constexpr int kTrackButtonWidth = 37;
constexpr int kTrackRowPitch = 25;
constexpr int kTracksPerRow = 8;
constexpr int kModeButtonLeft = 311;
constexpr int kAllTracksWidth = 48;
constexpr int kModeButtonWidth = 50;
constexpr int kStandardOffset = 50;
constexpr int kSplitOffset = 75;

constexpr int kFirstRowHeight = 25;    // the content height of the row alone
constexpr int kMaxMenuFitRounds = 4;
constexpr int kClientHeightSlack = 10;

bool has(const ViewState& view, unsigned flag) { return (view.controlFlags & flag) != 0; }
// The optional pairs and the save button show only in the full view.
bool shown_when_full(const ViewState& view, unsigned flag) { return view.fullView && has(view, flag); }
bool counter_shown(const ViewState& view) { return shown_when_full(view, kFlagDisplay); }

// The width of the row without the scroll bar: the three play buttons and
// their margins, then every shown optional group with its gap.
int row_width_without_scroll(const ViewState& view) {
  const int bw = button_width(view);
  const int pair = 2 * bw + kButtonGap;
  int width = 3 * bw + 2 * kButtonGap;
  if (has(view, kFlagOpenButton)) width += bw + kButtonGap;
  if (shown_when_full(view, kFlagKeyButtons)) width += pair;
  if (shown_when_full(view, kFlagTempoButtons)) width += pair;
  if (shown_when_full(view, kFlagBackNext)) width += pair;
  if (shown_when_full(view, kFlagSaveButton)) width += bw + kButtonGap;
  return width;
}

ControlRect button_at(int x, int width, bool visible) { return ControlRect{x, kFirstRowTop, width, kButtonHeight, visible}; }

// Places a pair of buttons at x and moves x past them when they show.
void place_pair(ControlRect& first, ControlRect& second, int& x, int bw, bool visible) {
  first = button_at(x, bw, visible);
  second = button_at(x + bw, bw, visible);
  if (visible) x += 2 * bw + kButtonGap;
}

void place_track_panel(ControlLayout& layout, const ViewState& view) {
  const int top = counter_shown(view) ? kPanelTopBelowCounter : kPanelTopBelowRow;
  const bool visible = view.trackPanel;
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    layout.tracks[static_cast<std::size_t>(k)] =
        ControlRect{kLeftMargin + kTrackButtonWidth * (k % kTracksPerRow), top + kTrackRowPitch * (k / kTracksPerRow),
                    kTrackButtonWidth, kButtonHeight, visible};
  }
  layout.allTracks = ControlRect{kModeButtonLeft, top, kAllTracksWidth, kButtonHeight, visible};
  layout.standard = ControlRect{kModeButtonLeft, top + kStandardOffset, kModeButtonWidth, kButtonHeight, visible};
  layout.split = ControlRect{kModeButtonLeft, top + kSplitOffset, kModeButtonWidth, kButtonHeight, visible};
}

}  // namespace

int cell_width(const ViewState& view) { return has(view, kFlagSmallButtons) ? kCellWidthSmall : kCellWidthNormal; }

int button_width(const ViewState& view) { return cell_width(view) - kButtonGap; }

ControlLayout layout_controls(const ViewState& view, int clientWidth, int scrollWidth, bool relayoutRunning) {
  ControlLayout layout;
  const int bw = button_width(view);

  // The scroll bar takes what the row leaves. The remembered width stays in
  // the range the settings file accepts, so what is saved is read back as is.
  int width = scrollWidth;
  int remembered = scrollWidth;
  if (!relayoutRunning) {
    width = clientWidth - row_width_without_scroll(view) - kButtonGap;
    if (width >= kMinimumScrollWidth) remembered = std::min(width, kMaximumScrollWidth);
  }
  layout.scrollWidth = std::max(width, kMinimumScrollWidth);
  layout.rememberedScrollWidth = std::clamp(remembered, kMinimumScrollWidth, kMaximumScrollWidth);

  int x = kLeftMargin;
  layout.play = button_at(x, bw, true);
  layout.stop = button_at(x + bw, bw, true);
  layout.pause = button_at(x + 2 * bw, bw, true);
  x += 3 * bw + kButtonGap;

  const bool scrollShown = has(view, kFlagScroll);
  layout.scroll = ControlRect{x, kFirstRowTop, layout.scrollWidth, kButtonHeight, scrollShown};
  if (scrollShown) x += layout.scrollWidth + kButtonGap;

  const bool openShown = has(view, kFlagOpenButton);
  layout.open = button_at(x, bw, openShown);
  if (openShown) x += bw + kButtonGap;

  place_pair(layout.keyDown, layout.keyUp, x, bw, shown_when_full(view, kFlagKeyButtons));
  place_pair(layout.tempoDown, layout.tempoUp, x, bw, shown_when_full(view, kFlagTempoButtons));
  place_pair(layout.previous, layout.next, x, bw, shown_when_full(view, kFlagBackNext));
  layout.save = button_at(x, bw, shown_when_full(view, kFlagSaveButton));

  layout.counter =
      ControlRect{kCounterLeft, kCounterTop, clientWidth - kCounterSideMargins, kCounterHeight, counter_shown(view)};
  place_track_panel(layout, view);
  return layout;
}

int relayout_client_width(const ViewState& view, int scrollWidth) {
  const int scroll = has(view, kFlagScroll) ? scrollWidth + kButtonGap : 0;
  return scroll + row_width_without_scroll(view);
}

int content_height(const ViewState& view) {
  const int counter = has(view, kFlagDisplay) ? kCounterRowHeight : 0;
  const int panel = view.trackPanel ? kPanelHeight : 0;
  return (view.fullView ? counter + panel : 0) + kFirstRowHeight;
}

int minimum_window_width(const ViewState& view, int cxFrame) {
  return relayout_client_width(view, kMinimumScrollWidth) + 2 * cxFrame;
}

int window_height_without_menu(int contentHeight, const FrameMetrics& metrics) {
  return contentHeight + 1 + metrics.cySize + metrics.cyBorder + 2 * metrics.cyFrame;
}

int fit_height_to_menu(int contentHeight, int heightWithoutMenu, const FrameMetrics& metrics,
                       const std::function<int(int windowHeight)>& clientHeightFor) {
  const int menuLine = metrics.cyMenu + metrics.cyBorder;
  int height = heightWithoutMenu + menuLine;
  for (int round = 0; round < kMaxMenuFitRounds; ++round) {
    const int client = clientHeightFor(height);
    if (client > contentHeight && client < contentHeight + kClientHeightSlack) break;
    // Too high: a line too many. Too low: the menu bar wrapped onto one more line.
    height += (client >= contentHeight + kClientHeightSlack) ? -menuLine : menuLine;
  }
  return height;
}

bool needs_height_fix(int clientHeight, int contentHeight) {
  return clientHeight < contentHeight || clientHeight > contentHeight + kClientHeightSlack;
}

}  // namespace mel
