#include "score/score_passes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using Events = std::vector<std::pair<int, int>>;  // key (0 = rest), ticks

// The notes and rests of a score track, control events left out.
Events track_events(const Score& score, const SongInfo& song, int track) {
  Events out;
  std::size_t pos = static_cast<std::size_t>(song.trackStart[track - 1]);
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    if (ev.kind != ScoreEvent::Control) out.push_back({ev.kind == ScoreEvent::Note ? ev.code : 0, ev.value});
  }
  return out;
}

Settings accompaniment(int level) {
  Settings s;
  s.conv.accompanimentLevel = level;
  return s;
}

TEST(Accompaniment, WholeNoteBecomesRootThenRootLowFifthLowCycle) {
  ScoreBuilder b(120, 48);  // W = 192
  b.track().program(3).note(72, 192);
  run_score_passes(b.score(), b.song(), accompaniment(1));
  EXPECT_EQ(b.song().trackCount, 2);
  EXPECT_EQ(b.song().scoreTrackCount, 2);
  EXPECT_EQ(track_events(b.score(), b.song(), 2), (Events{{67, 96}, {67, 24}, {60, 24}, {72, 24}, {60, 24}}));
  EXPECT_EQ(track_events(b.score(), b.song(), 1), (Events{{72, 192}})) << "the melody is kept";
  EXPECT_EQ(b.song().lowestPitch[1], 60);
  EXPECT_EQ(b.song().highestPitch[1], 72);
  EXPECT_EQ(b.song().program[1], 0) << "the copied program is not recorded for track 2";
}

TEST(Accompaniment, LowMelodyKeepsKeysAboveZeroAndRestsFollowTheRoot) {
  ScoreBuilder b(120, 48);
  // A leading rest, then key 8 for a quarter (H = 240 at level 1: rest, root),
  // then a thirty-second rest (filled with the root).
  b.track().rest(48).note(8, 48).rest(6);
  run_score_passes(b.score(), b.song(), accompaniment(1));
  EXPECT_EQ(track_events(b.score(), b.song(), 2), (Events{{0, 48}, {0, 24}, {3, 24}, {3, 6}}));
}

TEST(Accompaniment, LevelTwoPlaysSixteenths) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 24);  // an eighth: H = 120, root in sixteenths
  run_score_passes(b.score(), b.song(), accompaniment(2));
  EXPECT_EQ(track_events(b.score(), b.song(), 2), (Events{{55, 12}, {55, 12}}));
}

TEST(Accompaniment, TinyTimebaseStillEndsAndKeepsTheLength) {
  // W = 1: the step would be 0 and the pattern would never end.
  ScoreBuilder b(120, 1);
  b.track().note(60, 7);
  run_score_passes(b.score(), b.song(), accompaniment(2));
  int total = 0;
  for (auto [key, ticks] : track_events(b.score(), b.song(), 2)) total += ticks;
  EXPECT_EQ(total, 7);
}

TEST(Accompaniment, LongNotesStopAtTheEndOfTheScoreBuffer) {
  // Whole notes in sixteenth steps make many events per input event.
  ScoreBuilder b(120, 480);
  for (int i = 0; i < 20000; ++i) b.note(72, 65535);
  run_score_passes(b.score(), b.song(), accompaniment(2));
  // Every event is begun with at least 6 bytes free; one event takes 3.
  EXPECT_LE(b.score().length + 3, kScoreCapacity);
  EXPECT_EQ(b.song().trackCount, 2);
}

Settings pseudo_chords(int level, int voices, bool highFirst) {
  Settings s;
  s.conv.giziwaon = kPseudoChordModeBit | level;
  s.conv.gizino = voices;
  s.conv.highmld = highFirst ? 1 : 0;
  return s;
}

TEST(PseudoChords, HighNoteWinsAtEveryStartWithHighPriority) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 96).note(62, 96);
  b.track().rest(48).note(67, 48).note(55, 96);
  run_score_passes(b.score(), b.song(), pseudo_chords(3, 1, true));
  EXPECT_EQ(b.song().scoreTrackCount, 1);
  EXPECT_EQ(b.song().trackCount, 2) << "the selector still counts source tracks";
  // 60 until 67 enters, 67 until 62 (the owner's next note) retakes at 96.
  EXPECT_EQ(track_events(b.score(), b.song(), 1), (Events{{60, 48}, {67, 48}, {62, 96}}));
}

TEST(PseudoChords, LowerTrackWinsWhileItSoundsWithoutHighPriority) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 96).rest(96);
  b.track().note(72, 48).note(74, 144);
  run_score_passes(b.score(), b.song(), pseudo_chords(1, 1, false));
  // At level 1 track 2 may only start a note while nothing sounds; both of
  // its notes start while track 1 sounds.
  EXPECT_EQ(track_events(b.score(), b.song(), 1), (Events{{60, 96}, {0, 96}}));
}

TEST(PseudoChords, LaterTrackTakesOverWhenTheOwnerTrackEnds) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().rest(96).note(64, 48);
  run_score_passes(b.score(), b.song(), pseudo_chords(1, 1, false));
  // Track 1 ends at 48 and leaves the line free: track 2's note at 96 sounds.
  EXPECT_EQ(track_events(b.score(), b.song(), 1), (Events{{60, 48}, {0, 48}, {64, 48}}));
}

TEST(PseudoChords, TracksAreDealtToVoicesInTurnAndRhythmIsLeftOut) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().note(62, 48);
  b.track().rhythm().note(36, 48);
  b.track().note(64, 48);
  run_score_passes(b.score(), b.song(), pseudo_chords(3, 2, false));
  EXPECT_EQ(b.song().scoreTrackCount, 2);
  EXPECT_EQ(track_events(b.score(), b.song(), 1), (Events{{60, 48}})) << "tracks 1 and 4; the lower wins";
  EXPECT_EQ(track_events(b.score(), b.song(), 2), (Events{{62, 48}}));
}

TEST(PseudoChords, VoiceCountBelowOneCountsAsOne) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().note(62, 48);
  run_score_passes(b.score(), b.song(), pseudo_chords(3, 0, false));
  EXPECT_EQ(b.song().scoreTrackCount, 1);
}

TEST(PseudoChords, LastNoteOfAFullScoreIsKept) {
  // A score without control events close to the buffer's size: the last
  // voice's last note must still be written.
  ScoreBuilder b(120, 48);
  b.track();
  for (int i = 0; i < 43000; ++i) b.note(60 + i % 2, 48);
  b.track().note(50, 48);
  std::size_t notes = 43000;
  run_score_passes(b.score(), b.song(), pseudo_chords(3, 2, false));
  ASSERT_EQ(b.song().scoreTrackCount, 2);
  EXPECT_EQ(track_events(b.score(), b.song(), 1).size(), notes);
  EXPECT_EQ(track_events(b.score(), b.song(), 2), (Events{{50, 48}}));
}

}  // namespace
}  // namespace mel
