// The window-free rules of the bitmap push button: where the bitmap sits on
// the face and how much of it is drawn, the display size set by message, and
// how much of a hint text is kept. The Win32 control calls these and draws.
#pragma once

#include <cstdint>
#include <cstddef>

namespace mel {

// Style bits the geometry depends on (the low 16 bits of the window style).
constexpr unsigned kCgGeomTopLeft = 0x01;  // bitmap 2 pixels in from the top left
constexpr unsigned kCgGeomShrink = 0x02;   // shrink a bitmap that does not fit

// The frame takes two pixels on each side of the face.
constexpr int kCgFrameInset = 2;
// Pressed, the bitmap moves this far right and down.
constexpr int kCgPressedShift = 2;

constexpr int kCgHintCharacters = 16;
constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kHighSurrogateLast = 0xDBFF;

// Where and how the bitmap is drawn on the face: the destination rectangle
// (x, y, drawn_width x drawn_height) and the part of the bitmap stretched into
// it (the left source_width columns and the top source_height rows).
// Nothing is drawn when a drawn or source size is 0.
struct CgPlacement {
  int x = 0;
  int y = 0;
  int drawn_width = 0;
  int drawn_height = 0;
  int source_width = 0;
  int source_height = 0;

  bool draws_anything() const {
    return drawn_width > 0 && drawn_height > 0 && source_width > 0 && source_height > 0;
  }
};

struct CgSize {
  int width = 0;
  int height = 0;
};

// The bitmap on the raised face: centred (at least 2 pixels in, or exactly 2
// with the top-left style); a bitmap wider or taller than the face inside the
// frame is cut off, or shrunk with the shrink style.
CgPlacement place_raised_bitmap(CgSize client, CgSize display, CgSize bitmap, unsigned style);

// The same bitmap while the button is held down: 2 pixels further right and down.
CgPlacement place_pressed_bitmap(CgSize client, CgSize display, CgSize bitmap, unsigned style);

// The display size asked for by the set-size message: with mode 0 the low and
// high words of the argument are the width and height in pixels, otherwise
// they are percentages of the bitmap size.
CgSize display_size_from_message(uintptr_t mode, uint32_t size_words, CgSize bitmap);

// How many code units of a hint are kept: at most 16, never half of a UTF-16
// surrogate pair. A null text keeps nothing. Unit is the text's code unit
// (wchar_t in the control).
template <class Unit>
std::size_t kept_hint_length(const Unit* text) {
  if (text == nullptr) return 0;
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(kCgHintCharacters) && text[n] != 0) ++n;
  if (n == static_cast<std::size_t>(kCgHintCharacters) && text[n] != 0) {
    const auto last = static_cast<uint32_t>(text[n - 1]);
    if (last >= kHighSurrogateFirst && last <= kHighSurrogateLast) --n;
  }
  return n;
}

}  // namespace mel
