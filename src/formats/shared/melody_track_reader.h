// The score bookkeeping shared by the readers of the small handset formats
// whose files hold a few monophonic tracks of notes and rests (ALS, pana):
// tracks begin one after another, rests and filtered notes gather until the
// next sounding note, at most 32 tracks are read, and a last track without a
// sounding note is taken back at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "formats/shared/score_tracks.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Such a reader stops taking notes once the write position passes this
// offset, so that the last rest, note and EndOfTrack still fit.
constexpr std::size_t kMelodyReaderBound = 0x3FFFA;

class MelodyTrackReader {
 public:
  // Resets the song header, starts the score with the reset tempo and no
  // track.
  MelodyTrackReader(Score& score, SongInfo& song, const ConversionOptions& options);

  // Stores the song tempo in the header and the score's first two bytes.
  void set_tempo(int tempo);

  // Begins the next track with the given part: the current track's gathered
  // rest is written and EndOfTrack closes it. Returns false, beginning
  // nothing, when that would be track 33: the reader then stops.
  bool begin_track(int part);

  // Begins the current track again at the write position (a header that
  // restarts a track with nothing counted yet).
  void restart_track(int part);

  int track() const { return track_; }
  bool full() const { return tracks_.full(); }
  std::size_t pos() const { return tracks_.pos(); }
  // Whether the current track has counted a note or rest.
  bool counted() const { return counted_; }

  // Counts one note or rest of the current track in its noteCount.
  void count_note();

  // Adds a note (key 1-127, before the note filter) or a rest (key 0) of the
  // given length in ticks to the current track.
  void add(int key, int64_t ticks);

  // Writes a control event into the current track; returns where it went,
  // or nothing when the score is full.
  std::optional<std::size_t> control(int code, int value);

  // Writes a control event of `track` over an earlier two-byte event at
  // `at` (a placeholder the reader kept for it).
  void rewrite_control(std::size_t at, int track, int code, int value);

  // Writes the gathered rest, takes back a last track without a sounding note
  // (with the EndOfTrack before it) and sets the score length and track count.
  void finish();

 private:
  void write_pending_rest();

  Score& score_;
  SongInfo& song_;
  const ConversionOptions& options_;
  ScoreTracks tracks_;
  int track_ = 0;                // 0 until the first track begins
  std::size_t trackBegin_ = 0;   // where the current track's bytes begin
  int64_t time_ = 0;             // running time of the track in ticks
  int64_t pendingRest_ = 0;      // rest gathered since the last sounding note
  bool counted_ = false;         // the track has counted a note or rest
  bool sounded_ = false;         // the track has written a sounding note
};

}  // namespace mel
