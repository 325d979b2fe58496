// Where the bitmap button draws its bitmap, the display-size message and the
// hint length.
#include "controls/button_geometry_model.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mel::CgPlacement;
using mel::CgSize;

void expect_placement(const CgPlacement& p, int x, int y, int drawn_w, int drawn_h, int source_w, int source_h) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
  EXPECT_EQ(p.drawn_width, drawn_w);
  EXPECT_EQ(p.drawn_height, drawn_h);
  EXPECT_EQ(p.source_width, source_w);
  EXPECT_EQ(p.source_height, source_h);
}

TEST(ButtonGeometry, FittingBitmapIsCentredAndMovesTwoPixelsWhenPressed) {
  const CgSize client{40, 40}, bitmap{32, 24};
  expect_placement(mel::place_raised_bitmap(client, bitmap, bitmap, 0), 4, 8, 32, 24, 32, 24);
  expect_placement(mel::place_pressed_bitmap(client, bitmap, bitmap, 0), 6, 10, 32, 24, 32, 24);
  // Odd leftovers round towards the top left.
  expect_placement(mel::place_raised_bitmap({25, 22}, {20, 16}, {20, 16}, 0), 2, 3, 20, 16, 20, 16);
  expect_placement(mel::place_pressed_bitmap({25, 22}, {20, 16}, {20, 16}, 0), 4, 5, 20, 16, 20, 16);
}

TEST(ButtonGeometry, TopLeftStyleAndTheSmallestOffsets) {
  const CgSize client{40, 40}, bitmap{32, 24};
  expect_placement(mel::place_raised_bitmap(client, bitmap, bitmap, mel::kCgGeomTopLeft), 2, 2, 32, 24, 32, 24);
  expect_placement(mel::place_pressed_bitmap(client, bitmap, bitmap, mel::kCgGeomTopLeft), 4, 4, 32, 24, 32, 24);
  // A bitmap that just fits the room inside the frame: centring would give 1
  // for a 37-wide one, but the frame keeps it at 2 (pressed: 4).
  const CgSize tall{36, 36};
  expect_placement(mel::place_raised_bitmap({39, 39}, tall, tall, 0), 2, 2, 35, 35, 36 * 35 / 36, 36 * 35 / 36);
  EXPECT_EQ(mel::place_pressed_bitmap({39, 39}, {35, 35}, {35, 35}, 0).x, 4);
}

TEST(ButtonGeometry, TooWideBitmapIsCutOffOrShrunk) {
  const CgSize client{40, 30}, bitmap{64, 24};
  // Cut off: the left 36 source columns at full scale; the height fits.
  expect_placement(mel::place_raised_bitmap(client, bitmap, bitmap, 0), 2, 3, 36, 24, 36, 24);
  // Shrunk: the whole width squeezed into the 36 pixels.
  expect_placement(mel::place_raised_bitmap(client, bitmap, bitmap, mel::kCgGeomShrink), 2, 3, 36, 24, 64, 24);
  // Pressed, the room is the same, only the offsets move.
  expect_placement(mel::place_pressed_bitmap(client, bitmap, bitmap, 0), 4, 5, 36, 24, 36, 24);
}

TEST(ButtonGeometry, ShrinkStyleNeverEnlargesABitmapThatFits) {
  const CgSize bitmap{20, 16};
  expect_placement(mel::place_raised_bitmap({40, 40}, bitmap, bitmap, mel::kCgGeomShrink), 10, 12, 20, 16, 20, 16);
}

TEST(ButtonGeometry, EnlargedDisplayCutsOffAtTheDisplayScale) {
  // Shown at twice its size in a face with room for 36 x 36: 18 source
  // columns and rows fill it.
  expect_placement(mel::place_raised_bitmap({40, 40}, {64, 48}, {32, 24}, 0), 2, 2, 36, 36, 18, 18);
}

TEST(ButtonGeometry, DegenerateSizesDrawNothing) {
  // Buttons are created with zero size and laid out later.
  const CgPlacement zero_client = mel::place_raised_bitmap({0, 0}, {20, 16}, {20, 16}, 0);
  EXPECT_FALSE(zero_client.draws_anything());
  EXPECT_GE(zero_client.drawn_width, 0);
  EXPECT_GE(zero_client.source_width, 0);
  EXPECT_FALSE(mel::place_pressed_bitmap({3, 3}, {20, 16}, {20, 16}, 0).draws_anything());
  // A display size of 0 (set by message) divides nothing by zero.
  EXPECT_FALSE(mel::place_raised_bitmap({2, 2}, {0, 0}, {20, 16}, 0).draws_anything());
  EXPECT_FALSE(mel::place_raised_bitmap({40, 40}, {0, 16}, {20, 16}, 0).draws_anything());
  EXPECT_TRUE(mel::place_raised_bitmap({40, 40}, {20, 16}, {20, 16}, 0).draws_anything());
}

TEST(ButtonGeometry, DisplaySizeMessageTakesPixelsOrPercent) {
  const CgSize bitmap{32, 24};
  const CgSize pixels = mel::display_size_from_message(0, 50u | (40u << 16), bitmap);
  EXPECT_EQ(pixels.width, 50);
  EXPECT_EQ(pixels.height, 40);
  const CgSize half = mel::display_size_from_message(1, 50u | (50u << 16), bitmap);
  EXPECT_EQ(half.width, 16);
  EXPECT_EQ(half.height, 12);
  // Any non-zero mode means percent; the words are unsigned.
  const CgSize wide = mel::display_size_from_message(7, 200u | (65535u << 16), bitmap);
  EXPECT_EQ(wide.width, 64);
  EXPECT_EQ(wide.height, 24 * 65535 / 100);
}

TEST(ButtonGeometry, HintKeepsSixteenCharactersWithoutSplittingAPair) {
  EXPECT_EQ(mel::kept_hint_length(u"12345678901234567890"), 16u);
  EXPECT_EQ(mel::kept_hint_length(u"1234567890123456"), 16u);
  EXPECT_EQ(mel::kept_hint_length(u"再生"), 2u);
  EXPECT_EQ(mel::kept_hint_length(u""), 0u);
  EXPECT_EQ(mel::kept_hint_length(static_cast<const char16_t*>(nullptr)), 0u);
  // A character outside the basic plane straddling the limit is dropped whole.
  const std::u16string straddling = u"123456789012345\U0001D11E";
  EXPECT_EQ(mel::kept_hint_length(straddling.c_str()), 15u);
  const std::u16string inside = u"12345678901234\U0001D11E7";
  EXPECT_EQ(mel::kept_hint_length(inside.c_str()), 16u);
}

}  // namespace
