// Test helpers for the one-voice readers: the events of a score as (code,
// ticks) pairs, and the checks every such score must pass whatever its input.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "score/score_stream.h"

namespace mel::test {

using Bytes = std::vector<uint8_t>;
using Event = std::pair<int, int>;  // key (0 = rest), ticks
using Events = std::vector<Event>;

inline Events score_events(const Score& score) {
  Events events;
  std::size_t pos = kFirstTrackOffset;
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    events.emplace_back(ev.code, ev.value);
    pos += ev.size;
  }
  return events;
}

// A one-voice score holds only whole notes and rests within the buffer, its
// tempo bytes match the header, and the header's times agree with each other.
inline void expect_sane_single_voice_score(const Score& score, const SongInfo& song) {
  ASSERT_GE(score.length, kFirstTrackOffset);
  ASSERT_LE(score.length, kScoreCapacity);
  EXPECT_EQ((score.length - kFirstTrackOffset) % kNoteEventSize, 0u);
  EXPECT_EQ(score.tempo(), song.tempo);
  EXPECT_GT(song.tempo, 0);
  EXPECT_EQ(song.trackCount, 1);
  EXPECT_EQ(song.trackStart[0], static_cast<int>(kFirstTrackOffset));
  EXPECT_LE(song.firstNoteTime[0], song.lastNoteEnd[0]);
  EXPECT_LE(song.lastNoteEnd[0] - 1, song.songLength);
  for (const Event& e : score_events(score)) {
    EXPECT_LE(e.first, 127);
    EXPECT_GT(e.second, 0);
  }
}

inline Bytes random_bytes(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

}  // namespace mel::test
