// Helpers the handset-format writers share to turn score ticks into their own
// length units: a length conversion whose rounding error is carried into the
// following events, the start/end range cut of the settings dialogs, and the
// rule that joins short rests to the note before them.
#pragma once

#include <cstdint>

namespace mel {

// Converts a duration of ticks to a target unit (unitsPerWhole per whole note,
// wholeTicks ticks per whole note) rounded to nearest. The rounding error stays
// in carry (0 at the start of each track) and corrects the following
// durations, so a track's total length never drifts.
int64_t convert_length(int64_t ticks, int64_t& carry, int unitsPerWhole, int wholeTicks);

// The start/end range of a settings dialog, in counter steps (sixteenths).
struct RangeCutSettings {
  int startCounter = 0;  // 1-based; 0 and 1 both mean "from the beginning"
  int endCounter = 0;    // 0 = to the end
  bool restcut = false;  // remove the song's common leading silence
  int leadIn = 0;        // that silence, in score ticks
  int wholeTicks = 1;    // score ticks per whole note
};

// Applies the range to one track's events. unitsPerStep is the target units in
// one counter step (a sixteenth).
class RangeCut {
 public:
  RangeCut(const RangeCutSettings& settings, int unitsPerStep);

  // Call at the start of every track: the leading silence is removed once per
  // track.
  void begin_track() { leadRemoved_ = false; }

  // elapsedEnd is the target-unit time at the end of the event (the event
  // included); duration is shortened in place. Returns false when the event
  // lies outside the range and is not written.
  bool keep(int64_t elapsedEnd, int64_t& duration);

 private:
  int64_t start_;  // (S - 1) x step
  int64_t end_;    // E x step, 0 = none
  int64_t lead_;   // the leading silence in target units, 0 when not removed
  bool leadRemoved_ = false;
};

// Joins (part of) the rest that follows a note to it, so the note ends on the
// grid (or the triplet grid) instead of leaving a tiny rest. note grows in
// place; returns the amount taken from the rest, which the caller subtracts
// when it writes the rest.
int64_t merge_rest_into_note(int64_t& note, int64_t rest, int64_t grid, int64_t tripletGrid);

}  // namespace mel
