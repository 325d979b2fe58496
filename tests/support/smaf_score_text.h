// Score checks shared by the SMAF reader tests: a compact text of a track's
// events and a structural check of the whole score.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/read_score.h"

namespace mel::test {

// The events of one track in a compact form: "r9" rest, "n60/11" note,
// "prog5" / "vol12" / "pan64" controls.
inline std::string events_from(const Score& score, std::size_t pos) {
  std::string out;
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore || ev.kind == ScoreEvent::EndOfTrack) break;
    if (!out.empty()) out += ' ';
    switch (ev.kind) {
      case ScoreEvent::Rest: out += "r" + std::to_string(ev.value); break;
      case ScoreEvent::Note: out += "n" + std::to_string(ev.code) + "/" + std::to_string(ev.value); break;
      default:
        out += ev.code == kProgramEvent    ? "prog"
               : ev.code == kVolumeEvent ? "vol"
               : ev.code == kPanEvent    ? "pan"
               : ev.code == kVelocityEvent ? "vel"
                                           : "ctl";
        out += std::to_string(ev.value);
        break;
    }
    pos += ev.size;
  }
  return out;
}

inline std::string track(const ReadResult& r, int number) { return events_from(r.score, r.song.trackStart[number - 1]); }

// Every event of the score is complete, keys and data bytes stay within
// 0..127, and each track starts right after the end of the one before.
// Returns the first fault found, or an empty text.
inline std::string score_fault(const ReadResult& r) {
  if (r.score.length < kFirstTrackOffset || r.score.length > kScoreCapacity) return "length out of range";
  if (r.score.tempo() < 1 || r.score.tempo() != r.song.tempo) return "tempo bytes";
  if (r.song.timebase < 1 || r.song.timebase > 32767) return "timebase";
  int tracks = r.song.trackCount > 0 ? 1 : 0;
  auto at = [](const char* what, std::size_t pos) { return std::string(what) + " at " + std::to_string(pos); };
  for (std::size_t pos = kFirstTrackOffset; pos < r.score.length;) {
    ScoreEvent ev = decode_score_event(r.score.bytes.data(), r.score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) return at("cut-off event", pos);
    if (ev.kind == ScoreEvent::Control && ev.value > 127) return at("control data byte", pos);
    if ((ev.kind == ScoreEvent::Note || ev.kind == ScoreEvent::Rest) && (ev.code > 127 || ev.value == 0)) {
      return at("note or rest", pos);
    }
    pos += ev.size;
    if (ev.kind == ScoreEvent::EndOfTrack && ++tracks <= kMaxTracks &&
        static_cast<std::size_t>(r.song.trackStart[tracks - 1]) != pos) {
      return at("track start", pos);
    }
  }
  if (tracks != r.song.trackCount) return "track count";
  return "";
}

inline void expect_well_formed(const ReadResult& r) { EXPECT_EQ(score_fault(r), ""); }

}  // namespace mel::test
