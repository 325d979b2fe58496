// Helpers the handset-format writers share to turn score ticks into their own
// length units: a length conversion whose rounding error is carried into the
// following events, the start/end range cut of the settings dialogs, and the
// rule that joins short rests to the note before them.
#pragma once

#include <cstdint>

#include "score/score_stream.h"

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

// The steps a writer takes with each note or rest of a track before its own
// rounding, in the order every writer shares: the length conversion with its
// carry, less what the note before borrowed; the rest merge (with restMerge,
// a note directly followed by a rest takes part of it, converted with a copy
// of the carry); the track's elapsed time; the range cut.
class TrackLengths {
 public:
  struct Units {
    int unitsPerWhole = 960;  // the writer's units in a whole note
    int wholeTicks = 1;       // score ticks in a whole note
    int unitsPerStep = 60;    // the writer's units in a counter step
  };
  struct Merge {
    bool on = false;          // relnflg
    int64_t grid = 0;
    int64_t tripletGrid = 0;
  };

  TrackLengths(const Units& units, const Merge& merge, const RangeCutSettings& range);

  // Call at the start of every track.
  void begin_track();

  // The duration of event (a note or rest; next is the event after it) in
  // the writer's units, in duration; false when the range cut drops it.
  bool take(const ScoreEvent& event, const ScoreEvent& next, int64_t& duration);

  int64_t elapsed() const { return elapsed_; }
  // What the last note borrowed from the rest after it (0: nothing).
  int64_t borrowed() const { return borrowed_; }

 private:
  Units units_;
  Merge merge_;
  RangeCut cut_;
  int64_t carry_ = 0;
  int64_t borrowed_ = 0;
  int64_t elapsed_ = 0;
};

// A writer's rounding of short lengths onto its grid, with the rounding error
// carried into the following lengths of the track. A length is rounded when
// it is off the grid, shorter than two grid steps, not a multiple of
// keptMultiple and not keptLength.
class ShortLengthRounding {
 public:
  ShortLengthRounding(int grid, int keptMultiple, int keptLength)
      : grid_(grid), keptMultiple_(keptMultiple), keptLength_(keptLength) {}

  void begin_track() { carry_ = 0; }
  int grid() const { return grid_; }
  bool needs(int64_t d) const {
    return d % grid_ != 0 && d < 2 * grid_ && d % keptMultiple_ != 0 && d != keptLength_;
  }
  // grid x ((bias + carry + d) / grid), never below 0; the difference goes
  // back into the carry.
  int64_t round(int64_t d, int64_t bias) {
    int64_t total = carry_ + d;
    int64_t r = bias + total < 0 ? 0 : grid_ * ((bias + total) / grid_);
    carry_ = total - r;
    return r;
  }

 private:
  int grid_;
  int keptMultiple_;
  int keptLength_;
  int64_t carry_ = 0;
};

}  // namespace mel
