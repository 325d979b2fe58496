#include "controls/button_geometry_model.h"

#include <cstdint>

namespace mel {

namespace {

constexpr uint32_t kLowWordMask = 0xFFFF;
constexpr int kWordBits = 16;
constexpr int64_t kPercent = 100;

// One axis of the placement: offset, drawn length and source length.
struct AxisPlacement {
  int offset = 0;
  int drawn = 0;
  int source = 0;
};

// space: the room inside the frame (client length minus 4); origin: where the
// bitmap starts with the top-left style, which is also the smallest offset;
// centred: the offset that centres it.
AxisPlacement place_axis(int space, int display, int bitmap, int origin, int centred, bool top_left,
                         bool shrink) {
  AxisPlacement axis;
  axis.offset = (top_left || centred < origin) ? origin : centred;
  if (space < display) {
    // Too long for the face: drawn across the whole room, either the whole
    // bitmap squeezed in or only the part that fits at the display scale.
    axis.drawn = space;
    if (shrink) {
      axis.source = bitmap;
    } else if (display > 0) {
      axis.source = static_cast<int>(static_cast<int64_t>(bitmap) * space / display);
    }
  } else {
    axis.drawn = display;
    axis.source = bitmap;
  }
  if (axis.drawn < 0) axis.drawn = 0;
  if (axis.source < 0) axis.source = 0;
  return axis;
}

CgPlacement combine(const AxisPlacement& horizontal, const AxisPlacement& vertical) {
  CgPlacement p;
  p.x = horizontal.offset;
  p.y = vertical.offset;
  p.drawn_width = horizontal.drawn;
  p.drawn_height = vertical.drawn;
  p.source_width = horizontal.source;
  p.source_height = vertical.source;
  return p;
}

int room_inside_frame(int client) { return client - 2 * kCgFrameInset; }

}  // namespace

CgPlacement place_raised_bitmap(CgSize client, CgSize display, CgSize bitmap, unsigned style) {
  const bool top_left = (style & kCgGeomTopLeft) != 0;
  const bool shrink = (style & kCgGeomShrink) != 0;
  const auto axis = [&](int client_len, int display_len, int bitmap_len) {
    return place_axis(room_inside_frame(client_len), display_len, bitmap_len, kCgFrameInset,
                      (client_len - display_len) / 2, top_left, shrink);
  };
  return combine(axis(client.width, display.width, bitmap.width),
                 axis(client.height, display.height, bitmap.height));
}

CgPlacement place_pressed_bitmap(CgSize client, CgSize display, CgSize bitmap, unsigned style) {
  const bool top_left = (style & kCgGeomTopLeft) != 0;
  const bool shrink = (style & kCgGeomShrink) != 0;
  constexpr int origin = kCgFrameInset + kCgPressedShift;
  const auto axis = [&](int client_len, int display_len, int bitmap_len) {
    const int room = room_inside_frame(client_len);
    return place_axis(room, display_len, bitmap_len, origin, (room - display_len) / 2 + origin, top_left,
                      shrink);
  };
  return combine(axis(client.width, display.width, bitmap.width),
                 axis(client.height, display.height, bitmap.height));
}

CgSize display_size_from_message(uintptr_t mode, uint32_t size_words, CgSize bitmap) {
  const int low = static_cast<int>(size_words & kLowWordMask);
  const int high = static_cast<int>((size_words >> kWordBits) & kLowWordMask);
  if (mode == 0) return CgSize{low, high};
  return CgSize{static_cast<int>(static_cast<int64_t>(bitmap.width) * low / kPercent),
                static_cast<int>(static_cast<int64_t>(bitmap.height) * high / kPercent)};
}

}  // namespace mel
