// Runs one reader over bytes built in a test and keeps what it produced.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/format_registry.h"

namespace mel::test {

struct ReadResult {
  Score score;
  SongInfo song;
};

inline ReadResult read_with(ScoreReader reader, const std::vector<uint8_t>& bytes,
                            const Settings& settings = Settings{}) {
  ReadResult r;
  reader(ByteView(bytes), r.score, r.song, settings);
  return r;
}

// The events of score track `track` (1-based, from its trackStart) as
// decoded score events, up to its EndOfTrack or the end of the score.
inline std::vector<ScoreEvent> track_events(const ReadResult& r, int track) {
  std::vector<ScoreEvent> events;
  std::size_t pos = static_cast<std::size_t>(r.song.trackStart[track - 1]);
  for (;;) {
    ScoreEvent ev = decode_score_event(r.score.bytes.data(), r.score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore || ev.kind == ScoreEvent::EndOfTrack) break;
    events.push_back(ev);
    pos += ev.size;
  }
  return events;
}

}  // namespace mel::test
