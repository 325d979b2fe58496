#include "score/score_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "score/options.h"

namespace mel {
namespace {

std::vector<uint8_t> written(const uint8_t* buf, std::size_t n) { return std::vector<uint8_t>(buf, buf + n); }

TEST(EventWriter, SplitsLongNoteIntoNoteThenRest) {
  SongInfo song;
  uint8_t buf[16] = {};
  std::size_t n = write_event(song, buf, buf + sizeof buf, 1, 60, 65535 + 100);
  EXPECT_EQ(written(buf, n), (std::vector<uint8_t>{60, 255, 255, 0, 0, 100}));
  EXPECT_EQ(song.lowestPitch[0], 60);
  EXPECT_EQ(song.highestPitch[0], 60);
}

TEST(EventWriter, ZeroDurationWritesNothingButKeepsPitchRange) {
  SongInfo song;
  uint8_t buf[8] = {};
  EXPECT_EQ(write_event(song, buf, buf + sizeof buf, 2, 70, 0), 0u);
  EXPECT_EQ(write_event(song, buf, buf + sizeof buf, 2, 50, 0), 0u);
  EXPECT_EQ(write_event(song, buf, buf + sizeof buf, 2, kRest, 0), 0u);
  EXPECT_EQ(song.lowestPitch[1], 50);
  EXPECT_EQ(song.highestPitch[1], 70);
}

TEST(EventWriter, TrackNumbersOutsideOneToThirtyTwoRecordNothing) {
  SongInfo song;
  SongInfo before = song;
  uint8_t buf[8] = {};
  for (int track : {0, 33}) {
    EXPECT_EQ(write_event(song, buf, buf + sizeof buf, track, 60, 10), 3u);
    EXPECT_EQ(write_event(song, buf, buf + sizeof buf, track, kProgramEvent, 5), 2u);
    EXPECT_EQ(write_event(song, buf, buf + sizeof buf, track, kVolumeEvent, 90), 2u);
  }
  EXPECT_EQ(song.lowestPitch, before.lowestPitch);
  EXPECT_EQ(song.highestPitch, before.highestPitch);
  EXPECT_EQ(song.program, before.program);
  EXPECT_EQ(song.volume, before.volume);
}

TEST(EventWriter, ProgramStatisticBecomesMixedOnSecondValue) {
  SongInfo song;
  uint8_t buf[4];
  write_event(song, buf, buf + 4, 1, kProgramEvent, 5);
  write_event(song, buf, buf + 4, 1, kProgramEvent, 5);
  EXPECT_EQ(song.program[0], 6);
  write_event(song, buf, buf + 4, 1, kProgramEvent, 7);
  EXPECT_EQ(song.program[0], kMixedValue);

  // A native voice and a program with the same number are different values.
  write_event(song, buf, buf + 4, 2, kNativeVoiceEvent, 5);
  EXPECT_EQ(song.program[1], 518);
  write_event(song, buf, buf + 4, 2, kProgramEvent, 5);
  EXPECT_EQ(song.program[1], kMixedValue);

  // A later program on a rhythm track turns its rhythm mark into "mixed".
  song.program[2] = kRhythmProgram;
  write_event(song, buf, buf + 4, 3, kProgramEvent, 0);
  EXPECT_EQ(song.program[2], kMixedValue);
}

TEST(EventWriter, ControlWritesCodeAndLowByte) {
  SongInfo song;
  uint8_t buf[4] = {};
  ASSERT_EQ(write_event(song, buf, buf + 4, 1, kVolumeEvent, 0x17F), 2u);
  EXPECT_EQ(buf[0], kVolumeEvent);
  EXPECT_EQ(buf[1], 0x7F);
  EXPECT_EQ(song.volume[0], 0x180);  // candidate is the value + 1, as given
  EXPECT_EQ(write_event(song, buf, buf + 4, 1, kPanEvent, 64), 2u);
  EXPECT_EQ(song.program[0], 0);  // pan records nothing
}

// A reader that accumulates an enormous rest must not write past the score
// buffer: the writer stops at the end it is given.
TEST(EventWriter, StopsAtTheBufferEnd) {
  SongInfo song;
  std::vector<uint8_t> buf(20, 0xEE);
  std::size_t n = write_event(song, buf.data(), buf.data() + 10, 1, 60, 65535 * 50);
  EXPECT_EQ(n, 9u);  // three whole pieces fit in 10 bytes
  for (std::size_t i = 10; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xEE) << i;
  EXPECT_EQ(write_event(song, buf.data() + 15, buf.data() + 16, 1, kProgramEvent, 3), 0u);
  EXPECT_EQ(buf[15], 0xEE);
}

TEST(NoteFilter, OnlyClampsWithNeutralOptions) {
  SongInfo song;  // timebase 240: a whole note is 960 ticks, one unit = 1 tick
  ConversionOptions opt;
  EXPECT_EQ(filter_note(song, opt, 60, 240, false), 60);
  EXPECT_EQ(filter_note(song, opt, 1, 240, false), 2);
  EXPECT_EQ(filter_note(song, opt, 140, 240, false), 127);
  EXPECT_EQ(filter_note(song, opt, 60, 0, false), 0);  // shorter than a unit
}

TEST(NoteFilter, FoldsLowNotesIntoTheOctaveAtTheFoldLevel) {
  SongInfo song;
  ConversionOptions opt;
  opt.lowNoteFoldLevel = 48;
  EXPECT_EQ(filter_note(song, opt, 30, 240, false), 54);
  EXPECT_EQ(filter_note(song, opt, 47, 240, false), 59);
  EXPECT_EQ(filter_note(song, opt, 48, 240, false), 48);
  EXPECT_EQ(filter_note(song, opt, 30, 240, true), 30);  // rhythm keys are never folded
}

TEST(NoteFilter, CutsShortAndLowNotes) {
  SongInfo song;
  song.timebase = 48;  // W = 192 ticks
  ConversionOptions opt;
  opt.shortNoteCutLevel = 60;  // a sixteenth note (12 ticks = 60 units) is cut
  EXPECT_EQ(filter_note(song, opt, 60, 12, false), 0);
  EXPECT_EQ(filter_note(song, opt, 60, 13, false), 60);
  opt.shortNoteCutLevel = 0;
  opt.lowNoteCutLevel = 40;
  EXPECT_EQ(filter_note(song, opt, 40, 48, false), 0);
  EXPECT_EQ(filter_note(song, opt, 41, 48, false), 41);
}

// A division of 0 must not make the whole-note length 0 (a division by zero).
TEST(NoteFilter, ZeroTimebaseDoesNotDivideByZero) {
  SongInfo song;
  song.timebase = 0;
  ConversionOptions opt;
  EXPECT_EQ(whole_note_ticks(0, 16), 1);
  EXPECT_EQ(whole_note_ticks(-5, 16), 1);
  EXPECT_EQ(filter_note(song, opt, 60, 10, false), 60);
  EXPECT_EQ(whole_note_ticks(48, 32), 384);
  // Large timebases stay in range on platforms whose long is 32 bits.
  EXPECT_EQ(whole_note_ticks(0x7FFFFFFF, 64), 0x7FFFFFFF);
  EXPECT_EQ(whole_note_ticks(40000000, 64), 640000000);
}

TEST(SongHeader, ResetRestoresDefaultsButKeepsScoreTrackCount) {
  SongInfo song;
  song.tempo = 90;
  song.timebase = 48;
  song.title = "x";
  song.trackCount = 5;
  song.scoreTrackCount = 7;
  song.program[31] = 130;
  song.programSet.set(5);
  song.programCount = 1;
  song.tempoMap.push_back({90, 0});
  song.notices.push_back("n");
  reset_song_header(song);
  EXPECT_EQ(song.tempo, 120);
  EXPECT_EQ(song.timebase, 240);
  EXPECT_TRUE(song.title.empty());
  EXPECT_EQ(song.trackCount, 1);
  EXPECT_EQ(song.scoreTrackCount, 7);
  EXPECT_EQ(song.program[31], 0);
  EXPECT_EQ(song.programSet.count(), 0);
  EXPECT_EQ(song.programCount, 0);
  EXPECT_TRUE(song.tempoMap.empty());
  EXPECT_TRUE(song.notices.empty());
}

TEST(SongHeader, TextsStopAtNulAnd255Bytes) {
  std::string field;
  std::vector<uint8_t> long_text(300, 'a');
  set_song_text(field, long_text.data(), long_text.size());
  EXPECT_EQ(field.size(), 255u);
  const uint8_t with_nul[] = {0x82, 0xA0, 0, 'x'};
  set_song_text(field, with_nul, sizeof with_nul);
  EXPECT_EQ(field, std::string("\x82\xA0"));
}

TEST(ScoreEvents, DecodeStopsAtTruncatedEvents) {
  const uint8_t score[] = {0, 120, 60, 0, 240, kPanEvent, 64, kEndOfTrack, 0, 1};
  std::size_t len = sizeof score;
  ScoreEvent e = decode_score_event(score, len, 2);
  EXPECT_EQ(e.kind, ScoreEvent::Note);
  EXPECT_EQ(e.value, 240);
  e = decode_score_event(score, len, 5);
  EXPECT_EQ(e.kind, ScoreEvent::Control);
  EXPECT_EQ(e.value, 64);
  EXPECT_EQ(decode_score_event(score, len, 7).kind, ScoreEvent::EndOfTrack);
  EXPECT_EQ(decode_score_event(score, len, 8).kind, ScoreEvent::EndOfScore);  // 2 of 3 bytes
  EXPECT_EQ(decode_score_event(score, len, len).kind, ScoreEvent::EndOfScore);
}

TEST(BitSet128, CountsAndBounds) {
  BitSet128 set;
  set.set(0);
  set.set(127);
  set.set(200);  // ignored
  set.set(-1);   // ignored
  EXPECT_EQ(set.count(), 2);
  EXPECT_EQ(set.lowest(), 0);
  EXPECT_EQ(set.highest(), 127);
  set.clear(0);
  EXPECT_EQ(set.lowest(), 127);
  EXPECT_FALSE(set.test(128));
}

}  // namespace
}  // namespace mel
