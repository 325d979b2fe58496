// Which score tracks a text or small-format writer writes. These writers walk
// the score from byte 2, track by track, each track ending at its EndOfTrack
// or at the end of the score, and take a track when it is selected, when no
// selection is active, or in pseudo-chord mode; the last track is taken too
// when none was taken before it, so every song gives at least one track.
#pragma once

#include <cstddef>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// A score track's events: [begin, end), end at its EndOfTrack or the score's end.
struct TrackSpan {
  int track = 0;  // 1-based
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Tracks 1..32 of the score in order. A two-byte score is one empty track;
// when the score holds more tracks, track 32 is the last one walked.
std::vector<TrackSpan> score_track_spans(const Score& score);

// Whether track (1-based) is written: it is selected, no selection is active
// or pseudo-chord mode is on; the last track also when none was taken before it.
bool track_is_written(const Settings& settings, int track, bool last, bool noneTaken);

// The spans of the tracks to write, in order, at most `limit` of them.
std::vector<TrackSpan> written_track_spans(const Score& score, const Settings& settings, int limit);

// The same choice from the song header (tracks 1..scoreTrackCount, at most
// 32), for the settings dialogs that fit the key over the tracks to write.
std::vector<int> written_track_numbers(const SongInfo& song, const Settings& settings, int limit);

}  // namespace mel
