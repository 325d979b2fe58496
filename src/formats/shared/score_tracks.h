// The score bookkeeping shared by the readers of multi-track handset formats
// (MFi / CMX, SMAF): each reader makes one score track per pass over a track
// chunk, writes its notes, rests and controls through the event writer, and
// keeps the per-track fields of the song header. What a note sounds when the
// next event closes it follows the gate rule common to these formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "score/score_stream.h"

namespace mel {

// How long a closed note sounds and the rest that follows it before the event
// that closed it.
struct GatedLength {
  int64_t sounding = 0;
  int64_t after = 0;
};

// A note with `gate` ticks to sound, closed `elapsed` ticks after it began.
// When its gate falls short of that time by more than 2 ticks it sounds
// gate + 1 ticks and the remainder is a rest; otherwise it fills the time.
// At the end of a track (atEnd) the same holds, except that a gate longer
// than the time left still sounds in full.
GatedLength gated_length(int64_t gate, int64_t elapsed, bool atEnd);

class ScoreTracks {
 public:
  // Where writing stands, for a reader that reads a chunk again.
  struct Mark {
    std::size_t pos = kFirstTrackOffset;
    bool leadInSet = false;
  };

  // Gives the score its full capacity and starts writing after the tempo
  // bytes. Once the write position passes `bound`, nothing more is written.
  ScoreTracks(Score& score, SongInfo& song, std::size_t bound);

  std::size_t pos() const { return pos_; }
  bool full() const { return pos_ > bound_; }
  Mark mark() const { return {pos_, leadInSet_}; }
  void restore(const Mark& m) {
    pos_ = m.pos;
    leadInSet_ = m.leadInSet;
  }

  // True for the score tracks whose fields the song header keeps (1-32).
  static bool records(int track) { return track >= 1 && track <= kMaxTracks; }

  // Records where `track` starts and the part (channel + 1) it plays.
  void start_track(int track, int part);

  // Writes a control event of `track`.
  void control(int track, int code, int value);

  // Writes a note (key) or rest (kRest) of any length, a long one as the
  // note followed by rests; returns the ticks written, short of `ticks` when
  // the score filled up.
  int64_t timed(int track, int code, int64_t ticks);

  // The song lasts at least until `time`.
  void raise_song_length(int64_t time);

  // The first sounding note of `track` begins after `leading` ticks of rest:
  // its firstNoteTime, and the song's leadIn when it is the earliest.
  void first_note(int track, int64_t leading);

  // The last note written to `track` ends at `time`.
  void note_end(int track, int64_t time);

  // Ends the current track with EndOfTrack.
  void end_track();

  // Writing goes on from `pos`, an earlier write position.
  void rewind(std::size_t pos) { pos_ = pos; }

  // Takes back a track: writing goes on from `start`, and its fields are
  // cleared.
  void discard_track(int track, std::size_t start);

  // Sets the score length and the song's track count.
  void finish(int trackCount);

 private:
  void clear_track_fields(int track);

  Score& score_;
  SongInfo& song_;
  std::size_t bound_;
  std::size_t pos_ = kFirstTrackOffset;
  bool leadInSet_ = false;
};

}  // namespace mel
