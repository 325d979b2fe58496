// The steps shared by the writers of the small handset formats (ALS, pana):
// the key span of the written tracks for the settings dialogs' key fit, and for each note or rest the note limit,
// the first-track cut, the length conversion with its carry, the rest merge,
// the range cut and the writer's rounding carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/shared/written_tracks.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The lowest and highest key (0, 0 when none) of the first `limit` tracks that
// would be written, rhythm tracks included and tracks without notes left out.
struct KeySpan {
  int lowest = 0;
  int highest = 0;
};
KeySpan written_key_span(const SongInfo& song, const Settings& settings, int limit);

// The settings dialogs' octave fit of key over span (an empty span leaves the
// key as it is).
int fit_key_over_span(int key, KeySpan span, const OctaveFitRange& range);

// The song tempo at the main window's speed: tempo x SpeedFactor / 16.
int tempo_at_speed(const SongInfo& song, const Settings& settings);

// The grids of the rest merge in target units (960 to the whole note).
struct MergeGrids {
  int grid = 60;
  int tripletGrid = 40;
};

// The per-track state of one writer, in the order of its steps: skip after
// the note limit, at the output bound and past a cut first track; convert the
// length with its carry; subtract what the previous note borrowed; merge the
// following rest into a note; advance the elapsed time; apply the range cut.
class MelodyTrackSteps {
 public:
  // noteLimit 0 = none; counters as in the settings dialogs.
  MelodyTrackSteps(const SongInfo& song, const Settings& settings, int startCounter, int endCounter, int noteLimit,
                   MergeGrids grids);

  // Starts a written track; the first one's note-limit cut bounds the others.
  void begin_track(bool firstWritten);

  // Runs the steps for a note or rest followed by `next`. Returns false when
  // the event is not written; otherwise units is its length in target units.
  bool take(const ScoreEvent& event, const ScoreEvent& next, int64_t& units);

  // What the last note borrowed from the rest after it (0: nothing).
  int64_t borrowed() const { return lengths_.borrowed(); }

  // Rounds units to `grid` with the track's rounding carry:
  // grid x ((offset + carry + units) / grid), never below 0; the difference
  // goes back into the carry.
  int64_t round(int64_t units, int64_t grid, int64_t offset);

  // Counts one written symbol; true when the track has now reached its note
  // limit, which ends the note being written.
  bool count_symbol();

  // The output has passed its bound: the track's later events are skipped.
  void stop() { stopped_ = true; }
  bool stopped() const { return stopped_; }

  // Whether the first written track was cut by the note limit.
  bool first_track_cut() const { return firstCut_; }

 private:
  bool limit_reached() const { return noteLimit_ > 0 && count_ >= noteLimit_; }

  const int noteLimit_;
  TrackLengths lengths_;
  // The first written track: whether it was cut by the note limit, and its
  // elapsed time then.
  bool firstTrack_ = false;
  bool firstCut_ = false;
  int64_t firstLength_ = 0;
  // The current track.
  int count_ = 0;
  int64_t roundCarry_ = 0;
  bool stopped_ = false;
};

}  // namespace mel
