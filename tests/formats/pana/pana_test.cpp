#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/midi/midi_writer.h"
#include "formats/pana/pana_reader.h"
#include "formats/pana/pana_writer.h"
#include "support/melody_round_trip.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/smaf_score_text.h"

namespace mel {
namespace {

using test::ReadResult;
using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

ReadResult read_pana(const Bytes& bytes) { return test::read_with(read_pana_file, bytes); }

std::string notes(const ReadResult& r, int track) {
  return test::sounding_notes(r.score, static_cast<std::size_t>(r.song.trackStart[track - 1]));
}

// "ML", the length of the rest, then the chunks.
Bytes pana_file(const Bytes& chunks) {
  Bytes file = {'M', 'L', static_cast<uint8_t>(chunks.size() & 0xFF), static_cast<uint8_t>(chunks.size() >> 8)};
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}

// ---- Reading ------------------------------------------------------------------

TEST(PanaReader, ReadsTheHandBuiltFileAsTheMidiWriterPlaysIt) {
  Bytes file = {0x4D, 0x4C, 0x0D, 0x00,        // "ML", 13 bytes follow
                0x00, 0x03, 0x64, 0x11, 0xF0,  // track 1: tempo 6 (126); 4 1 1: 240 ticks, C, octave 1 (key 60); end
                0x40, 0x03, 0x01, 0x03, 0x00,  // instrument of track 1: 0x130, program 2
                0x80, 0x01, 0x00};             // end chunk
  ReadResult r = read_pana(file);
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(test::track(r, 1), "prog2 n60/240");
  EXPECT_EQ(r.song.program[0], 3);

  Settings s;
  s.play.ForPlayback = 0;
  test::MidiCsv csv = test::run_midicsv(write_midi_file(r.score, r.song, s));
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{"2,0,Note_on_c,0,60,100", "2,240,Note_off_c,0,60,0"}));
}

TEST(PanaReader, NibbleRules) {
  // 4 1 1 then the tie 2 0 1: one note of 360; the low F ends the track.
  EXPECT_EQ(test::track(read_pana(pana_file({0x00, 0x04, 0x64, 0x11, 0x20, 0x1F})), 1), "ctl0 n60/360");
  // Octave 2 is the sharp of octave 1; letter 0 and 8-F read as C.
  EXPECT_EQ(test::track(read_pana(pana_file({0x00, 0x04, 0x64, 0x12, 0x48, 0x1F})), 1), "ctl0 n61/240 n60/240");
  // A tie first in its track continues a rest; 0xF high in a byte other than
  // 0xF0 is a 30-tick note (here F 1 3: key 72).
  EXPECT_EQ(test::track(read_pana(pana_file({0x00, 0x07, 0x64, 0x01, 0x41, 0x14, 0x11, 0xF1, 0x3F})), 1),
            "ctl0 r240 n60/240 n60/240 n72/30");
  // The end code is looked for only in length positions: the F0 here is a
  // letter F (read as C) and octave 0 (key 49).
  EXPECT_EQ(test::track(read_pana(pana_file({0x00, 0x04, 0x64, 0xF0, 0x11, 0x1F})), 1), "ctl0 n49/240 n60/60");
}

TEST(PanaReader, ChunkRules) {
  // A tempo nibble of 0xA or more begins a track without notes, skipped by
  // its length; the next chunk is read.
  ReadResult r =
      read_pana(pana_file({0x00, 0x02, 0xA4, 0x11, 0x01, 0x03, 0x34, 0x11, 0xF0, 0x41, 0x03, 0x03, 0x08, 0x00}));
  EXPECT_EQ(r.song.tempo, 120);
  EXPECT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(test::track(r, 1), "ctl0");
  EXPECT_EQ(test::track(r, 2), "prog9 n60/240");  // instrument 0x380
  // Unknown chunks are skipped; an instrument without a table entry leaves
  // the placeholder; a track chunk without its first data byte ends the data.
  r = read_pana(pana_file({0x55, 0x01, 0x00, 0x00, 0x03, 0x64, 0x11, 0xF0, 0x40, 0x03, 0x02, 0x01, 0x0C, 0x01, 0x01}));
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(test::track(r, 1), "ctl0 n60/240");
}

TEST(PanaReader, EndsAtTheThirtyThirdTrackChunk) {
  Bytes chunks;
  for (int t = 0; t < 40; ++t) chunks.insert(chunks.end(), {0x00, 0x03, 0x64, static_cast<uint8_t>(0x10 + t % 7), 0xF0});
  ReadResult r = read_pana(pana_file(chunks));
  test::expect_well_formed(r);
  EXPECT_EQ(r.song.trackCount, 32);
}

// ---- Writing ------------------------------------------------------------------

TEST(PanaWriter, WritesChunksNibblesAndTies) {
  ScoreBuilder b(120, 240);
  b.track().note(60, 1080);
  PanaWriterSettings pana;
  pana.tempo = 120;
  EXPECT_EQ(write_pana(b.score(), b.song(), Settings{}, pana),
            (Bytes{'M', 'L', 14, 0,                      // 18 bytes in all
                   0x00, 0x04, 0x60, 0x11, 0x20, 0x1F,   // tempo 6; 960 C 1; tie 120; end
                   0x40, 0x03, 0x01, 0x03, 0x00,         // instrument code 0 writes 1, 3, 0
                   0x80, 0x01, 0x00}));
  // A rest of 100 stays; the sharp C# 97 is letter 1, octave 8.
  b = ScoreBuilder(120, 240);
  b.track().rest(100).note(97, 160);
  pana.instrument = 9;
  Bytes out = write_pana(b.score(), b.song(), Settings{}, pana);
  EXPECT_EQ(Bytes(out.begin() + 4, out.end()),
            (Bytes{0x00, 0x06, 0x61, 0x00, 0xA0, 0x09, 0x18, 0xF0, 0x40, 0x03, 0x01, 0x04, 0x0C, 0x80, 0x01, 0x00}));
}

TEST(PanaWriter, WritesThreeTracksAtMostAndCutsAtTheNoteLimit) {
  ScoreBuilder b(120, 240);
  for (int t = 0; t < 4; ++t) {
    b.track();
    for (int i = 0; i < 200; ++i) b.note(60 + t, 60);
  }
  PanaWriterSettings pana;
  pana.noteLimit = 0;  // acts as 160
  ReadResult r = read_pana(write_pana(b.score(), b.song(), Settings{}, pana));
  ASSERT_EQ(r.song.trackCount, 3);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(r.song.noteCount[t], 160);
    EXPECT_EQ(r.song.program[t], 3);  // each track has its instrument chunk
  }
}

TEST(PanaWriter, DialogValues) {
  ScoreBuilder b(100, 240);
  b.track().note(50, 240);
  Settings s;
  PanaWriterSettings pana = pana_dialog_values(b.song(), s);
  EXPECT_EQ(pana.tempo, 108);
  EXPECT_EQ(pana.key, 24);
  EXPECT_EQ(pana.noteLimit, 128);
  EXPECT_EQ(pana.instrument, 0);
  s.play.SpeedFactor = 32;
  EXPECT_EQ(pana_dialog_values(b.song(), s).tempo, 168);
}

// ---- Round trips and hostile input ------------------------------------------------

TEST(PanaRoundTrip, GeneratedSongsReadBackAsWritten) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    int tracks = 1 + static_cast<int>(rng() % 34);
    int keyOffset = static_cast<int>(rng() % 49) - 24;
    test::GeneratedMelody g = test::generate_melody(seed, tracks, keyOffset, 60, 107);
    PanaWriterSettings pana;
    pana.key = keyOffset;
    pana.noteLimit = seed % 2 ? 0 : 160;
    pana.tempo = 60 + static_cast<int>(rng() % 109);
    ReadResult r = read_pana(write_pana(g.builder.score(), g.builder.song(), Settings{}, pana));
    int written = std::min(tracks, 3);
    ASSERT_EQ(r.song.trackCount, written) << "seed " << seed;
    for (int t = 1; t <= written; ++t) EXPECT_EQ(notes(r, t), g.expected[t - 1]) << "seed " << seed << " track " << t;
  }
}

TEST(PanaReader, SurvivesTruncationRandomBytesAndHugeLengths) {
  test::GeneratedMelody g = test::generate_melody(5, 3, 0, 60, 107);
  Bytes file = write_pana(g.builder.score(), g.builder.song(), Settings{}, PanaWriterSettings{});
  test::expect_reads_any_bytes(read_pana_file, file, 3);
  // One note tied on for a million ticks, then more notes than the score holds.
  Bytes huge = {0x00, 0xFF, 0x60, 0x11};
  for (int i = 0; i < 1100; ++i) huge.insert(huge.end(), {0x00, 0x10, 0x01});  // 0 0 1 / 0 0 1 ... ties of 960
  for (int i = 0; i < 200000; ++i) huge.insert(huge.end(), {0x01, 0x10, 0x11});
  ReadResult r = read_pana(huge);
  test::expect_well_formed(r);
  EXPECT_GT(r.score.length, kScoreCapacity - 16);
}

}  // namespace
}  // namespace mel
