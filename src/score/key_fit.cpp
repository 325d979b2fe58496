#include "score/key_fit.h"

#include "midi/midi_bytes.h"

namespace mel {

namespace {

// The fit tries moves of three octaves' reach, largest first.
constexpr int kFitOctaves = 3;

}  // namespace

int fit_key_by_octaves(int key, int lowest, int highest, const OctaveFitRange& range) {
  using midi::kSemitonesPerOctave;
  for (int n = kFitOctaves; n >= 0; --n) {
    const int o = kSemitonesPerOctave * n;
    if (lowest + key < range.riseBelow - o && highest + key <= range.riseTop - o) {
      key += kSemitonesPerOctave;
    } else if (lowest + key >= range.fallFrom + o && highest + key > range.fallAbove + o) {
      key -= kSemitonesPerOctave;
    }
  }
  return key;
}

}  // namespace mel
