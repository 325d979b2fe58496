// Narrowing that holds a value at the limit instead of wrapping: times and
// lengths are summed in 64 bits and stored in the score's int fields.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

namespace mel {

constexpr int clamp_to_int(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// The remainder that is never negative (divisor > 0), for folding keys that a
// transposition pushed below 0 back into an octave.
constexpr int floor_mod(int64_t value, int divisor) {
  int64_t r = value % divisor;
  return static_cast<int>(r < 0 ? r + divisor : r);
}

}  // namespace mel
