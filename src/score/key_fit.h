// The octave fit the settings dialogs of the handset writers start from: the
// key the main window gives is moved by whole octaves until the notes to be
// written lie in the range the handset plays.
#pragma once

#include "midi/midi_bytes.h"

namespace mel {

// The four bounds of one format's fit. For n = 3, 2, 1, 0 in turn the key
// rises an octave when lowest + key < riseBelow - 12n and highest + key <=
// riseTop - 12n, and falls one when lowest + key >= fallFrom + 12n and
// highest + key > fallAbove + 12n.
struct OctaveFitRange {
  int riseBelow;
  int riseTop;
  int fallFrom;
  int fallAbove;
};

// The fit whose falling bounds are its rising bounds an octave higher.
constexpr OctaveFitRange octave_fit_from(int riseBelow, int riseTop) {
  return {riseBelow, riseTop, riseBelow + midi::kSemitonesPerOctave, riseTop + midi::kSemitonesPerOctave};
}

// The key after the fit, for notes from lowest to highest (the caller leaves
// the key alone when there are no notes).
int fit_key_by_octaves(int key, int lowest, int highest, const OctaveFitRange& range);

}  // namespace mel
