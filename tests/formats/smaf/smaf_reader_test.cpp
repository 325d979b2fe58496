#include "formats/smaf/smaf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "support/read_score.h"
#include "support/smaf_builder.h"
#include "support/smaf_score_text.h"

namespace mel {
namespace {

using test::Bytes;
using test::SmafSequence;
using test::SmafTrack;
using test::smaf_contents;
using test::smaf_file;
using test::smaf_file_with_sequence;

using Result = test::ReadResult;

Result read(const Bytes& file, const Settings& settings = Settings{}) {
  return test::read_with(read_smaf_file, file, settings);
}

using test::events_from;
using test::expect_well_formed;
using test::score_fault;
using test::track;

// ---------------------------------------------------------------------------

TEST(SmafReader, FileWithoutScoreTrackGivesOnlyTheTempoBytes) {
  Result r = read(smaf_file({smaf_contents("ST:x,")}));
  EXPECT_EQ(r.score.length, 2u);
  EXPECT_EQ(r.song.trackCount, 0);
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_EQ(r.song.timebase, 24);
  EXPECT_EQ(r.score.tempo(), 126);
}

TEST(SmafReader, ContentsTextsFollowEscapes) {
  Result r = read(smaf_file({smaf_contents("ST:A\\,B,CR:C")}));
  EXPECT_EQ(r.song.title, "A,B");
  EXPECT_EQ(r.song.copyright, "C");

  // "\\" is a backslash, a backslash before anything else is dropped, and a
  // text without a comma runs to the end of the chunk.
  r = read(smaf_file({smaf_contents("CR:x\\\\y\\z,ST:end")}));
  EXPECT_EQ(r.song.copyright, "x\\yz");
  EXPECT_EQ(r.song.title, "end");

  // A Shift-JIS lead byte without a valid second byte does not swallow the
  // comma after it.
  r = read(smaf_file({smaf_contents("ST:A\x81,CR:C")}));
  EXPECT_EQ(r.song.title, "A\x81");
  EXPECT_EQ(r.song.copyright, "C");

  r = read(smaf_file({smaf_contents("ST:" + std::string(300, 'a'))}));
  EXPECT_EQ(r.song.title.size(), 255u);
}

TEST(SmafReader, ShiftJisTitleComesThroughUnchanged) {
  // "ソフト表": the second bytes of ソ and 表 are 0x5C, the backslash byte.
  const std::string title = "ソフト表";
  ASSERT_EQ(title, std::string("\x83\x5C\x83\x74\x83\x67\x95\x5C"));
  Result r = read(smaf_file({smaf_contents("ST:" + title + ",CR:\xB1\xB2")}));  // half-width ｱｲ
  EXPECT_EQ(r.song.title, title);
  EXPECT_EQ(r.song.copyright, "\xB1\xB2");
}

TEST(SmafReader, TimebaseCodeSetsTimebaseAndTempo) {
  struct Case {
    uint8_t code;
    int timebase;
    int tempo;
  };
  for (Case c : {Case{0x00, 500, 120}, Case{0x02, 125, 120}, Case{0x10, 50, 120}, Case{0x13, 6, 125},
                 Case{0x7F, 24, 126}}) {
    // A single note gives no beat estimate, so the table values stand.
    Result r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 4).end(), c.code));
    EXPECT_EQ(r.song.timebase, c.timebase) << int(c.code);
    EXPECT_EQ(r.song.tempo, c.tempo) << int(c.code);
    EXPECT_EQ(r.score.tempo(), c.tempo) << int(c.code);
  }
}

TEST(SmafReader, VariableLengthDurations) {
  // 81 00 is 256 ticks; 80 00 is 128.
  EXPECT_EQ(test::smaf_number(256), (Bytes{0x81, 0x00}));
  Bytes seq{0x81, 0x00, 0x10, 0x0A,   // 256 ticks, note ch0 oct1 C, gate 10
            0x80, 0x00, 0x12, 0x05};  // 128 ticks, note ch0 oct1 D, gate 5
  Result r = read(smaf_file_with_sequence(SmafSequence().raw(seq).end()));
  EXPECT_EQ(track(r, 1), "r256 n48/11 r117 n50/5");
  EXPECT_EQ(r.song.firstNoteTime[0], 257);
  EXPECT_EQ(r.song.leadIn, 256);
}

TEST(SmafReader, NoteLengthsFollowGateAndNextEvent) {
  // Gate 10, next note 20 ticks later: 11 ticks and a rest of 9. Gate 10, next
  // note 12 ticks later: the note lasts the 12 ticks.
  Result r = read(smaf_file_with_sequence(
      SmafSequence().note(0, 0, 1, 0, 10).note(20, 0, 1, 2, 10).note(12, 0, 1, 4, 10).end()));
  EXPECT_EQ(track(r, 1), "n48/11 r9 n50/12 n52/10");
  EXPECT_EQ(r.song.noteCount[0], 3);
  EXPECT_EQ(r.song.lowestPitch[0], 48);
  EXPECT_EQ(r.song.highestPitch[0], 52);
  EXPECT_EQ(r.song.lastNoteEnd[0], 43);

  // A strike of the same key inside the gate continues the note until the
  // later gate ends; a silent note (gate 0) is a rest.
  r = read(smaf_file_with_sequence(
      SmafSequence().note(0, 0, 1, 0, 30).note(10, 0, 1, 0, 30).note(30, 0, 1, 5, 0).note(8, 0, 1, 7, 6).end()));
  EXPECT_EQ(track(r, 1), "n48/40 r8 n55/6");
}

TEST(SmafReader, HowSequencesEnd) {
  // The end marker closes the note as a following rest would; no-ops and
  // exclusives only take their time.
  Result r = read(smaf_file_with_sequence(
      SmafSequence().note(0, 0, 1, 0, 50).end_marker(20).nop(10).exclusive(5, {1, 2, 3}).note(15, 0, 1, 2, 8).end()));
  EXPECT_EQ(track(r, 1), "n48/20 r30 n50/8");

  // At the end of sequence the last note sounds its full gate; later events
  // are not read.
  r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 50).note(10, 0, 1, 2, 50).end().note(0, 0, 1, 4, 9)));
  EXPECT_EQ(track(r, 1), "n48/10 n50/50");
  EXPECT_EQ(r.song.songLength, 60);

  // At the end of sequence the last note closes by the gate rule of every
  // other note: gate + 1 and a rest when more than 2 ticks are left after its
  // gate, else the whole time.
  r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 10).nop(20).end().note(0, 0, 1, 4, 9)));
  EXPECT_EQ(track(r, 1), "n48/11 r9");
  r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 10).nop(12).end()));
  EXPECT_EQ(track(r, 1), "n48/12");

  // A sequence without its end event keeps its last note, also when the data
  // stops inside the next event.
  r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 10).note(10, 0, 1, 2, 24)));
  EXPECT_EQ(track(r, 1), "n48/10 n50/24");
  r = read(smaf_file_with_sequence(SmafSequence().note(0, 0, 1, 0, 10).note(10, 0, 1, 2, 24).raw({0x05})));
  EXPECT_EQ(track(r, 1), "n48/10 n50/24");
}

TEST(SmafReader, OneTrackPerChannelUpToTheHighestThatPlays) {
  // Channels 0 and 2 play: three tracks, the middle one without notes, each
  // with the timing of the whole chunk.
  SmafTrack first;
  first.sequence = SmafSequence().note(0, 0, 1, 0, 10).note(10, 2, 2, 0, 20).note(20, 0, 1, 2, 10).end().bytes();
  SmafTrack second;
  second.number = 1;
  second.sequence = SmafSequence().note(5, 1, 0, 0, 5).end().bytes();
  Result r = read(smaf_file({smaf_contents(""), first.build(), second.build()}));
  expect_well_formed(r);
  ASSERT_EQ(r.song.trackCount, 5);
  EXPECT_EQ(track(r, 1), "n48/11 r19 n50/10");
  EXPECT_EQ(track(r, 2), "r30");
  EXPECT_EQ(track(r, 3), "r10 n60/20");
  EXPECT_EQ(track(r, 4), "r5");  // channel 0 of the second chunk
  EXPECT_EQ(track(r, 5), "r5 n36/5");
  EXPECT_EQ((std::vector<int>(r.song.part.begin(), r.song.part.begin() + 5)), (std::vector<int>{1, 2, 3, 5, 6}));
  EXPECT_EQ(r.song.firstNoteTime[2], 11);
  EXPECT_EQ(r.song.leadIn, 0);
  EXPECT_EQ(r.song.songLength, 40);
}

TEST(SmafReader, LastTrackWithoutNotesIsRemoved) {
  SmafTrack first;
  first.sequence = SmafSequence().note(0, 0, 1, 0, 10).end().bytes();
  SmafTrack silent;
  silent.number = 1;
  silent.sequence = SmafSequence().program(0, 0, 3).note(10, 0, 1, 0, 0).end().bytes();
  Result r = read(smaf_file({first.build(), silent.build()}));
  expect_well_formed(r);
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.score.length, 5u);  // tempo bytes and one note, no end of track
  EXPECT_EQ(r.song.trackStart[1], 0);
  EXPECT_EQ(r.song.part[1], 0);
}

TEST(SmafReader, OctaveShiftMovesMelodicKeys) {
  Result r = read(smaf_file_with_sequence(SmafSequence()
                                              .octave_shift(0, 0, 1)
                                              .note(0, 0, 1, 0, 4)
                                              .octave_shift(4, 0, 129)
                                              .note(0, 0, 1, 0, 4)
                                              .octave_shift(4, 0, 0)
                                              .note(0, 0, 3, 11, 4)
                                              .end()));
  EXPECT_EQ(track(r, 1), "n60/4 n36/4 n83/4");
}

TEST(SmafReader, ProgramChangesAndFmVoiceLookup) {
  // Without a recognised voice, program change 5 is Program 5.
  Result r = read(smaf_file_with_sequence(SmafSequence().program(0, 0, 5).note(0, 0, 1, 0, 4).end()));
  EXPECT_EQ(track(r, 1), "prog5 n48/4");
  EXPECT_EQ(r.song.program[0], 6);
  EXPECT_TRUE(r.song.programSet.test(5));
  EXPECT_EQ(r.song.programCount, 1);

  // Voice 9 defined with the parameters of the table's program 1 plays
  // program 1; voice 10 with unknown parameters keeps its own number.
  SmafTrack t;
  t.setup = test::smaf_voice(9, {0x11, 0x21, 0xce, 0x1d, 0xa0, 0x11, 0x62, 0xef, 0x10, 0xa0});
  test::append(t.setup, test::smaf_voice(10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  t.sequence = SmafSequence()
                   .program(0, 0, 9)
                   .note(0, 0, 1, 0, 4)
                   .program(4, 0, 10)
                   .note(0, 0, 1, 0, 4)
                   .program(4, 0, 200)  // above 128 without a voice: dropped
                   .note(0, 0, 1, 2, 4)
                   .end()
                   .bytes();
  r = read(smaf_file({t.build()}));
  EXPECT_EQ(track(r, 1), "prog1 n48/4 prog10 n48/4 n50/4");
  EXPECT_EQ(r.song.program[0], 129);
}

TEST(SmafReader, VolumeFollowsExpressionAndControlsStayDataBytes) {
  Result r = read(smaf_file_with_sequence(SmafSequence()
                                              .volume(0, 0, 100)
                                              .short_expression(0, 0, 2)
                                              .pan(0, 0, 20)
                                              .note(0, 0, 1, 0, 4)
                                              .expression(4, 0, 127)
                                              .note(0, 0, 1, 2, 4)
                                              .short_expression(4, 0, 13)
                                              .note(0, 0, 1, 4, 4)
                                              .volume(4, 1, 5)  // another channel's: not taken
                                              .note(0, 0, 1, 5, 4)
                                              .end()));
  // 100 x 16 / 127 = 12; then 100 x 127 / 127; then 100 x 120 / 127 = 94.
  EXPECT_EQ(track(r, 1), "vol12 pan20 n48/4 vol100 n50/4 vol94 n52/4 n53/4");

  // Values above 127 reach the score as 127 at most.
  r = read(smaf_file_with_sequence(
      SmafSequence().volume(0, 0, 255).expression(0, 0, 200).pan(0, 0, 255).note(0, 0, 1, 0, 4).end()));
  EXPECT_EQ(track(r, 1), "vol127 pan127 n48/4");
}

TEST(SmafReader, RhythmChannelsPlayTheirDrumKey) {
  SmafTrack t;
  t.rhythm_channel(1);
  t.sequence = SmafSequence()
                   .note(0, 0, 1, 0, 8)
                   .program(0, 1, 38)
                   .note(0, 1, 2, 5, 4)
                   .note(8, 1, 0, 0, 4)
                   .end()
                   .bytes();
  Result r = read(smaf_file({t.build()}));
  ASSERT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(track(r, 2), "n38/5 r3 n38/4");
  EXPECT_EQ(r.song.program[1], kRhythmProgram);
  EXPECT_TRUE(r.song.is_rhythm_track(2));
  EXPECT_FALSE(r.song.is_rhythm_track(1));
  EXPECT_TRUE(r.song.rhythmKeySet.test(38));
  EXPECT_EQ(r.song.rhythmKeyCount, 1);
  EXPECT_EQ(r.song.programCount, 0);
}

TEST(SmafReader, BankSelectTakesThePendingProgramChangeAsDrumKey) {
  // A program change followed by a bank select of 128: the drum key is the
  // program change's own value, the same as a program change on a channel
  // that is already a rhythm channel; it is not written as a program.
  Result r = read(smaf_file_with_sequence(SmafSequence()
                                              .program(0, 0, 35)
                                              .bank(0, 0, 128)
                                              .note(0, 0, 1, 0, 4)
                                              .program(4, 0, 42)
                                              .note(0, 0, 1, 0, 4)
                                              .bank(4, 0, 0)  // melodic again
                                              .note(0, 0, 1, 0, 4)
                                              .end()));
  EXPECT_EQ(track(r, 1), "n35/4 n42/4 n48/4");
  EXPECT_TRUE(r.song.rhythmKeySet.test(35));
  EXPECT_TRUE(r.song.rhythmKeySet.test(42));
}

SmafSequence legato(uint32_t step, int notes) {
  SmafSequence seq;
  for (int i = 0; i < notes; ++i) seq.note(i == 0 ? 0 : step, 0, 1, i % 2 == 0 ? 0 : 2, step);
  return seq.end();
}

TEST(SmafReader, BeatEstimateTakesTheStepAsQuarterNote) {
  // Timebase 125 at tempo 120, legato eighths of 75 ticks: the step is doubled
  // once to 150, so timebase 150 and tempo 120 x 125 / 150 = 100.
  Result r = read(smaf_file_with_sequence(legato(75, 6), 0x02));
  EXPECT_EQ(r.song.timebase, 150);
  EXPECT_EQ(r.song.tempo, 100);
  EXPECT_EQ(r.score.tempo(), 100);

  // Steps slightly longer than the reference pull it along: steps 100, 100,
  // 102, 102, 102 deviate by 0, 20, 20, 20 thousandths, 15 on average.
  SmafSequence seq;
  seq.note(0, 0, 1, 0, 100).note(100, 0, 1, 2, 100);
  for (int i = 0; i < 4; ++i) seq.note(i == 0 ? 100 : 102, 0, 1, i % 2 == 0 ? 0 : 2, 102);
  r = read(smaf_file_with_sequence(seq.end(), 0x02));
  EXPECT_EQ(r.song.timebase, 101);  // 100 x (15 + 1000) / 1000
  EXPECT_EQ(r.song.tempo, 148);     // 120 x 125 / 101

  // Rests of half a note or more do not count as steps.
  seq = SmafSequence();
  seq.note(0, 0, 1, 0, 40).note(80, 0, 1, 2, 40).note(80, 0, 1, 0, 40).end();
  r = read(smaf_file_with_sequence(seq, 0x02));
  EXPECT_EQ(r.song.timebase, 125);
  EXPECT_EQ(r.song.tempo, 120);
}

TEST(SmafReader, BeatEstimateKeepsTempoAndTimebaseValid) {
  // A step so long that tempo x timebase / step is 0: the tempo stays 1.
  Result r = read(smaf_file_with_sequence(legato(1000, 3), 0x13));
  EXPECT_EQ(r.song.timebase, 1000);
  EXPECT_EQ(r.song.tempo, 1);
  EXPECT_EQ(r.score.tempo(), 1);

  // A step above the largest MIDI division: the timebase stops at 32767 and
  // the tempo is scaled with it (120 x 500 / 32767).
  r = read(smaf_file_with_sequence(legato(40000, 3), 0x00));
  EXPECT_EQ(r.song.timebase, 32767);
  EXPECT_EQ(r.song.tempo, 1);
  r = read(smaf_file_with_sequence(legato(20000, 3), 0x00));
  EXPECT_EQ(r.song.timebase, 20000);
  EXPECT_EQ(r.song.tempo, 3);

  // Strikes of one key inside its gate make one note longer than 2^31 ticks:
  // such a step is no beat, and the timebase code's values stand.
  SmafSequence seq;
  seq.note(0, 0, 1, 0, 200000000);
  for (int i = 0; i < 15; ++i) seq.note(150000000, 0, 1, 0, 200000000);
  seq.note(200000000, 0, 1, 2, 10).end();
  r = read(smaf_file_with_sequence(seq, 0x02));
  EXPECT_EQ(r.song.noteCount[0], 17);
  EXPECT_EQ(r.song.timebase, 125);
  EXPECT_EQ(r.song.tempo, 120);
}

TEST(SmafReader, MobileStandardTracksBesideHandyPhoneTracksAndUnknownFormsAreSkippedWithANotice) {
  SmafTrack mobile;
  mobile.formatType = 1;
  mobile.timebaseCode = 0x00;
  mobile.sequence = SmafSequence().note(0, 0, 1, 0, 10).end().bytes();
  SmafTrack mobile2 = mobile;
  mobile2.formatType = 2;
  SmafTrack handy;
  handy.number = 2;
  handy.sequence = SmafSequence().note(0, 0, 1, 4, 10).end().bytes();
  Result r = read(smaf_file({mobile.build(), mobile2.build(), handy.build()}));
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(track(r, 1), "n52/10");
  EXPECT_EQ(r.song.timebase, 125);  // from the chunk that was read
  EXPECT_EQ(r.song.part[0], 1);
  ASSERT_EQ(r.song.notices.size(), 1u);
  EXPECT_NE(r.song.notices[0].find("mobile-standard"), std::string::npos);

  SmafTrack unknown = mobile;
  unknown.formatType = 4;
  r = read(smaf_file({unknown.build()}));
  EXPECT_EQ(r.song.trackCount, 0);
  EXPECT_EQ(r.score.length, 2u);
  ASSERT_EQ(r.song.notices.size(), 1u);
  EXPECT_NE(r.song.notices[0].find("not read yet"), std::string::npos);
}

TEST(SmafReader, ChunksAreSkippedByTheirFullSize) {
  // A chunk above 64 KiB before the score track, whose data spells tags.
  Bytes big(70000, 0);
  const std::string fake = "MTR";
  std::copy(fake.begin(), fake.end(), big.begin() + 4464);  // 70000 - 65536
  SmafTrack t;
  t.sequence = SmafSequence().note(0, 0, 1, 0, 3).end().bytes();
  Result r = read(smaf_file({test::smaf_chunk(std::string("ATR\0", 4), big), t.build()}));
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(track(r, 1), "n48/3");
}

TEST(SmafReader, StopsBeforeTheScoreBufferEnds) {
  // Long gaps between notes write many rest pieces; the score must stop below
  // its bound with every event complete.
  SmafSequence seq;
  for (int i = 0; i < 200; ++i) seq.note(i == 0 ? 0 : 200000000, 0, 1, i % 12, 3);
  Result r = read(smaf_file_with_sequence(seq.end()));
  EXPECT_LE(r.score.length, 0x3FFF8u + 8);
  EXPECT_GT(r.score.length, 0x3F000u);
  expect_well_formed(r);
}

// Channel 0 plays legato notes that fill the first track with exactly pieces
// score events of 65535 ticks (2 + 3 x pieces bytes); channel 1 plays one
// note that starts secondStart pieces in, during channel 0's first note.
Bytes score_filling_file(uint32_t pieces, uint32_t secondStart) {
  const uint32_t kPiece = 65535;
  const uint32_t kPiecesPerNote = 3000;  // a length that fits a four-byte SMAF number
  SmafSequence seq;
  uint32_t now = 0;    // time of the last event, in pieces
  uint32_t start = 0;  // start of the next channel 0 note, in pieces
  for (uint32_t left = pieces; left > 0;) {
    uint32_t n = std::min(left, kPiecesPerNote);
    seq.note((start - now) * kPiece, 0, 1, start % 2 == 0 ? 0 : 2, n * kPiece);
    now = start;
    if (start == 0) {
      seq.note(secondStart * kPiece, 1, 1, 0, 10);
      now = secondStart;
    }
    start += n;
    left -= n;
  }
  return smaf_file_with_sequence(seq.end());
}

TEST(SmafReader, ScoreFullEndsOnACompleteTrack) {
  // The first track ends exactly at the bound: its end of track would pass
  // it, so the score ends with that track instead of a dangling end of track.
  Result r = read(score_filling_file(87378, 0));
  expect_well_formed(r);
  EXPECT_EQ(r.score.length, 0x3FFF8u);
  EXPECT_EQ(r.song.trackCount, 1);

  // The second track's leading rest fills the score before its note: the
  // track has no note and goes, with its end of track and its fields.
  r = read(score_filling_file(87278, 200));
  expect_well_formed(r);
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.score.length, 2u + 3u * 87278u);
  EXPECT_EQ(r.song.firstNoteTime[1], 0);
  EXPECT_EQ(r.song.noteCount[1], 0);
  EXPECT_EQ(r.song.leadIn, 0);
}

// ---------------------------------------------------------------------------
// Hostile input: random bytes and every truncation of valid files must read
// without crashing, hanging or leaving a malformed score.

std::vector<Bytes> sample_files() {
  SmafTrack rich;
  rich.rhythm_channel(3);
  rich.setup = test::smaf_voice(3, {0x15, 0xe1, 0xb5, 0x3e, 0xa0, 0x11, 0xf1, 0xb8, 0x02, 0xa0});
  rich.sequence = SmafSequence()
                      .program(0, 0, 3)
                      .volume(0, 0, 90)
                      .short_expression(0, 1, 7)
                      .note(0, 0, 1, 0, 20)
                      .note(0, 1, 2, 3, 200)
                      .program(5, 3, 36)
                      .note(0, 3, 0, 0, 5)
                      .note(300, 2, 3, 11, 1)
                      .exclusive(1, {0x43, 0x79})
                      .end_marker(2)
                      .note(129, 0, 1, 0, 16511)
                      .end()
                      .bytes();
  SmafTrack second = rich;
  second.number = 1;
  return {smaf_file({smaf_contents("ST:\x83\x5C\\,x,CR:y"), rich.build(), second.build()}),
          smaf_file_with_sequence(legato(75, 8), 0x02)};
}

TEST(SmafReaderRobustness, EveryTruncationOfValidFiles) {
  for (const Bytes& file : sample_files()) {
    for (std::size_t n = 0; n <= file.size(); ++n) {
      Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
      ASSERT_EQ(score_fault(read(cut)), "") << "truncated at " << n << " of " << file.size();
    }
  }
}

TEST(SmafReaderRobustness, RandomBytes) {
  std::mt19937 rng(20240611);
  const Bytes header = smaf_file({SmafTrack{}.build()});
  for (int round = 0; round < 400; ++round) {
    std::size_t size = rng() % 600;
    Bytes noise(size);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
    // Alternately plain noise, and noise inside a valid score track's sequence
    // (where most of the reader's decisions are made).
    Bytes file;
    if (round % 2 == 0) {
      file = noise;
    } else {
      SmafTrack t;
      t.timebaseCode = static_cast<uint8_t>(rng() % 0x14);
      t.channelStatus[0] = static_cast<uint8_t>(rng());
      t.sequence = noise;
      file = smaf_file({t.build(), t.build()});
    }
    ASSERT_EQ(score_fault(read(file)), "") << "round " << round;
  }
}

}  // namespace
}  // namespace mel
