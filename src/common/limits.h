// Fixed capacities that shape MELVARINO's output. They are part of the file
// formats' behaviour (writers stop at these positions), so they are kept exactly.
#pragma once

#include <cstddef>

namespace mel {

// The score buffer and every writer's output buffer hold this many bytes.
constexpr std::size_t kScoreCapacity = 0x40000;   // 262144
constexpr std::size_t kOutputCapacity = 0x40000;  // 262144

// Per-track song data is kept for this many tracks.
constexpr int kMaxTracks = 32;

// Paths, titles and names are at most this many bytes including the NUL.
constexpr std::size_t kNameCapacity = 256;
constexpr std::size_t kMaxTextLength = kNameCapacity - 1;

// Song length in whole-note units: 960 units to a whole note.
constexpr int kWholeNoteUnits = 960;

}  // namespace mel
