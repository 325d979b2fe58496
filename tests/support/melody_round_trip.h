// Shared by the tests of the small handset formats (ALS, pana): the sounding
// notes of a score track as text, and generated scores whose notes a writer
// can express exactly, with the notes they must read back as.
#pragma once

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/read_score.h"
#include "support/score_builder.h"
#include "support/smaf_score_text.h"

namespace mel::test {

// The sounding notes of the track whose events begin at pos, as
// "start:key/length" joined by spaces (rests only move the start).
inline std::string sounding_notes(const Score& score, std::size_t pos) {
  std::string out;
  long long time = 0;
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore || ev.kind == ScoreEvent::EndOfTrack) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::Note) {
      if (!out.empty()) out += ' ';
      out += std::to_string(time) + ":" + std::to_string(ev.code) + "/" + std::to_string(ev.value);
    }
    if (ev.kind != ScoreEvent::Control) time += ev.value;
  }
  return out;
}

// A song of 240 ticks per quarter note (the formats' 960 to the whole note),
// its lengths multiples of a sixteenth, its keys chosen so that key +
// keyOffset lies in [lowKey, highKey]; every track holds a sounding note.
// expected[t] is track t + 1 as sounding_notes gives it after the writer
// moved it by keyOffset.
struct GeneratedMelody {
  ScoreBuilder builder{120, 240};
  std::vector<std::string> expected;
};

inline GeneratedMelody generate_melody(unsigned seed, int tracks, int keyOffset, int lowKey, int highKey) {
  std::mt19937 rng(seed);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  GeneratedMelody g;
  for (int t = 0; t < tracks; ++t) {
    g.builder.track(t + 1);
    if (pick(0, 5) == 0) g.builder.rhythm();
    std::string notes;
    long long time = 0;
    int events = pick(1, 20);
    for (int e = 0; e < events; ++e) {
      int length = 60 * pick(1, 40);
      bool rest = e > 0 && pick(0, 3) == 0;
      if (pick(0, 6) == 0) g.builder.velocity(pick(0, 127));  // controls are not written
      if (rest) {
        g.builder.rest(length);
      } else {
        int key = pick(std::max(lowKey, 1 + keyOffset), std::min(highKey, 127 + keyOffset)) - keyOffset;
        g.builder.note(key, length);
        if (!notes.empty()) notes += ' ';
        notes += std::to_string(time) + ":" + std::to_string(key + keyOffset) + "/" + std::to_string(length);
      }
      time += length;
    }
    g.expected.push_back(notes);
  }
  return g;
}

// Every truncation of a valid file, and random byte strings (a quarter of
// their bytes small, as tags and codes often are), read to a well-formed score.
inline void expect_reads_any_bytes(ScoreReader reader, const std::vector<uint8_t>& file, unsigned seed) {
  for (std::size_t n = 0; n <= file.size(); ++n) {
    expect_well_formed(read_with(reader, std::vector<uint8_t>(file.begin(), file.begin() + n)));
  }
  std::mt19937 rng(seed);
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> noise(rng() % 600);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 10 : rng());
    expect_well_formed(read_with(reader, noise));
  }
}

}  // namespace mel::test
