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

}  // namespace mel::test
