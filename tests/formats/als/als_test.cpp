#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/als/als_reader.h"
#include "formats/als/als_writer.h"
#include "formats/midi/midi_writer.h"
#include "support/melody_round_trip.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/smaf_score_text.h"

namespace mel {
namespace {

using test::ReadResult;
using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

ReadResult read_als(const Bytes& bytes) { return test::read_with(read_als_file, bytes); }

std::string notes(const ReadResult& r, int track) {
  return test::sounding_notes(r.score, static_cast<std::size_t>(r.song.trackStart[track - 1]));
}

AlsWriterSettings plain_als() {
  AlsWriterSettings als;
  als.noteLimit = 0;
  return als;
}

// ---- Reading ------------------------------------------------------------------

TEST(AlsReader, ReadsTitleTempoNoteAndRestAsTheMidiWriterPlaysThem) {
  Bytes file = {0xE1,              // file start
                0xF0, 'A', 0xFD,   // title block "A"
                0xF1, 0x60,        // part 1, parameter 96: tempo (96 - 66) x 2 = 60
                0xC4, 0x27,        // 240 ticks (a quarter), key 0x27 + 21 = 60
                0xC6, 0x00,        // 120 ticks, rest
                0xFF};             // end
  ReadResult r = read_als(file);
  EXPECT_EQ(r.song.title, "A");
  EXPECT_EQ(r.song.tempo, 60);
  EXPECT_EQ(r.score.tempo(), 60);
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(r.song.noteCount[0], 2);
  EXPECT_EQ(test::track(r, 1), "n60/240 r120");
  EXPECT_EQ(r.song.songLength, 360);

  Settings s;
  s.play.ForPlayback = 0;
  test::MidiCsv csv = test::run_midicsv(write_midi_file(r.score, r.song, s));
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  // The closing rest ends the track 120 ticks after the note's end.
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{"2,0,Note_on_c,0,60,100", "2,240,Note_off_c,0,60,0",
                                                                "2,360,Note_off_c,0,0,0"}));
}

TEST(AlsReader, LengthCodesTieAndOddBytesEndANoteAsARest) {
  // C4 C6 27: 240 + 120 tied into one note of key 60.
  EXPECT_EQ(test::track(read_als({0xF1, 0x60, 0xC4, 0xC6, 0x27}), 1), "n60/360");
  // Codes without a length of their own (0xCA, 0xD5) are 30 ticks.
  EXPECT_EQ(test::track(read_als({0xF1, 0x60, 0xCA, 0xD5, 0x27}), 1), "n60/60");
  // A block mark after a length code ends it as a rest; the mark is ignored
  // and the next note reads as usual.
  EXPECT_EQ(test::track(read_als({0xF1, 0x60, 0xC4, 0xA1, 0xC4, 0x27}), 1), "r240 n60/240");
  // A length code at the end of the data is a rest, and the empty track goes.
  EXPECT_EQ(read_als({0xF1, 0x60, 0xC4}).song.trackCount, 0);
  // Length codes before the first part header and after 0xFE are not notes.
  ReadResult r = read_als({0xC4, 0x27, 0xF1, 0x60, 0xC6, 0x27, 0xFE, 0xC4, 0x27, 0xF2, 0x60, 0xC2, 0x28});
  EXPECT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(test::track(r, 1), "n60/120");
  EXPECT_EQ(test::track(r, 2), "n61/480");
  // A parameter of 66 or less leaves the tempo; a header without its
  // parameter ends the data.
  r = read_als({0xF3, 0x42, 0xC4, 0x27, 0xF4});
  EXPECT_EQ(r.song.tempo, 120);
  EXPECT_EQ(r.song.part[0], 3);
  EXPECT_EQ(test::track(r, 1), "n60/240");
  // A header after one that counted nothing restarts the same track.
  r = read_als({0xF1, 0x60, 0xF2, 0x60, 0xC4, 0x27});
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.part[0], 2);
}

TEST(AlsReader, EndsAtTheThirtyThirdPartAndDropsAnEmptyLastTrack) {
  Bytes file;
  for (int part = 0; part < 40; ++part) {
    file.insert(file.end(), {static_cast<uint8_t>(0xF1 + part % 12), 0x60, 0xC4, static_cast<uint8_t>(0x10 + part)});
  }
  ReadResult r = read_als(file);
  test::expect_well_formed(r);
  EXPECT_EQ(r.song.trackCount, 32);
  EXPECT_EQ(test::track(r, 32), "n68/240");  // 0x10 + 31 + 21
  // A last track of rests only is removed with the EndOfTrack before it.
  r = read_als({0xF1, 0x60, 0xC4, 0x27, 0xF2, 0x60, 0xC4, 0x00});
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.score.length, 5u);
}

TEST(AlsReader, TitleEndsAtTheFileEndByteToo) {
  ReadResult r = read_als({0xF0, 'T', 'u', 0xFF, 0xF1, 0x60, 0xC4, 0x27});
  EXPECT_EQ(r.song.title, "Tu");
  EXPECT_EQ(r.song.trackCount, 0);
}

// ---- Writing ------------------------------------------------------------------

TEST(AlsWriter, WritesHeaderPartsAndLengthCodes) {
  ScoreBuilder b(120, 240);
  b.title("Hi").track().note(60, 1080).rest(300).note(62, 80);
  Settings s;
  AlsWriterSettings als = plain_als();
  als.tempo = 100;
  als.title = "Hi";
  EXPECT_EQ(write_als(b.score(), b.song(), s, als),
            (Bytes{0xE1, 0xF0, 'H', 'i', 0xFD,  // title block
                   0xF1, 50 + 66,               // part 1, tempo 100
                   0xCF, 39,                    // 1080 in one code, key 60
                   0xD0, 0x00,                  // rest 300
                   0xC7, 41,                    // 80, key 62
                   0xFF}));
  als.tiesAsRests = true;  // no 1080 or 300: the tie sounds as a rest
  EXPECT_EQ(write_als(b.score(), b.song(), s, als),
            (Bytes{0xE1, 0xF0, 'H', 'i', 0xFD, 0xF1, 116, 0xC0, 39, 0xC6, 0x00, 0xC4, 0x00, 0xC9, 0x00, 0xC7, 41, 0xFF}));
}

TEST(AlsWriter, ShortRestsJoinTheNoteBeforeThem) {
  ScoreBuilder b(120, 240);
  b.track().note(60, 228).rest(12).note(60, 200).velocity(90).rest(40);
  Bytes out = write_als(b.score(), b.song(), Settings{}, plain_als());
  // 228 takes the whole rest of 12, which leaves no byte; a control between
  // a note and its rest keeps them apart: 200 is 180 and 20 rounded to 15,
  // and the rest stays 40.
  EXPECT_EQ(Bytes(out.begin() + 3, out.end()), (Bytes{0xF1, 126, 0xC4, 39, 0xC5, 0xCC, 39, 0xC8, 0x00, 0xFF}));
}

TEST(AlsWriter, RepeatedNotesGetARestAfterTheShortenedNote) {
  ScoreBuilder b(120, 240);
  b.track().note(60, 480).note(60, 240).note(62, 240);
  Settings s;
  AlsWriterSettings als = plain_als();
  als.restBetweenRepeats = true;
  Bytes out = write_als(b.score(), b.song(), s, als);
  // 480 = 360 sounding + 120 rest (480 / 4), then 240 and 240.
  EXPECT_EQ(Bytes(out.begin() + 3, out.end()), (Bytes{0xF1, 126, 0xC3, 39, 0xC6, 0x00, 0xC4, 39, 0xC4, 41, 0xFF}));
}

TEST(AlsWriter, TitleBytesThatEndTheBlockAreDropped) {
  ScoreBuilder b(120, 240);
  b.track().note(60, 240);
  AlsWriterSettings als = plain_als();
  als.title = "A\xFD\xFE" "B\xFF";
  ReadResult r = read_als(write_als(b.score(), b.song(), Settings{}, als));
  EXPECT_EQ(r.song.title, "AB");
  EXPECT_EQ(notes(r, 1), "0:60/240");
}

TEST(AlsWriter, PartsFollowSelectionAndAlshmn) {
  ScoreBuilder b(120, 240);
  for (int t = 0; t < 5; ++t) b.track().note(50 + t, 240);
  Settings s;
  AlsWriterSettings als = plain_als();
  als.parts = 3;
  EXPECT_EQ(read_als(write_als(b.score(), b.song(), s, als)).song.trackCount, 3);
  s.play.TrackSelection = 2;
  s.play.TrackMask = 1u << 3;  // only track 4
  ReadResult r = read_als(write_als(b.score(), b.song(), s, als));
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(notes(r, 1), "0:53/240");
}

TEST(AlsWriter, LongPartsCarryBlockMarksThatReadingIgnores) {
  ScoreBuilder b(120, 240);
  b.track();
  for (int i = 0; i < 300; ++i) b.note(40 + i % 30, 60);
  Bytes out = write_als(b.score(), b.song(), Settings{}, plain_als());
  int marks = 0;
  for (std::size_t i = 0; i + 1 < out.size(); ++i) marks += out[i] == 0xA1;
  EXPECT_EQ(marks, 2);  // 600 note bytes: one mark per 250
  EXPECT_EQ(read_als(out).song.noteCount[0], 300);
}

// With no note limit, a song long enough to fill the buffer stops at its
// bound and still ends with 0xFF inside the 262144 bytes; the short notes in
// front move where the bound falls.
TEST(AlsWriter, StopsAtTheOutputBoundWithoutANoteLimit) {
  for (int shortNotes = 0; shortNotes < 4; ++shortNotes) {
    ScoreBuilder b(120, 240);
    b.track();
    for (int i = 0; i < shortNotes; ++i) b.note(60, 60);
    for (int i = 0; i < 4000; ++i) b.note(60 + i % 12, 65535);
    AlsWriterSettings als = plain_als();
    als.tiesAsRests = shortNotes % 2 == 1;
    Bytes out = write_als(b.score(), b.song(), Settings{}, als);
    ASSERT_LE(out.size(), kOutputCapacity);
    EXPECT_GT(out.size(), kOutputCapacity - 8);
    EXPECT_EQ(out.back(), 0xFF) << shortNotes;
    if (shortNotes == 0) test::expect_well_formed(read_als(out));
  }
}

TEST(AlsWriter, DialogValuesFitTheKeyAndMakeTheTempoEven) {
  ScoreBuilder b(151, 240);
  b.track().note(40, 240).track().note(100, 240);
  Settings s;
  s.writers.alsnum = 64;
  AlsWriterSettings als = als_dialog_values(b.song(), s);
  EXPECT_EQ(als.tempo, 150);
  EXPECT_EQ(als.noteLimit, 64);
  EXPECT_EQ(als.key, 24);  // 40 lies two octaves below 62; track 2 is not written
  s.writers.alshmn = 2;    // with 100 in range the key cannot move up
  EXPECT_EQ(als_dialog_values(b.song(), s).key, 0);
  s.play.SpeedFactor = 255;
  EXPECT_EQ(als_dialog_values(b.song(), s).tempo, 182);
}

// ---- Round trips and hostile input ------------------------------------------------

TEST(AlsRoundTrip, GeneratedSongsReadBackAsWritten) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    int tracks = 1 + static_cast<int>(rng() % 36);
    int keyOffset = static_cast<int>(rng() % 49) - 24;
    test::GeneratedMelody g = test::generate_melody(seed, tracks, keyOffset, 23, 116);
    AlsWriterSettings als = plain_als();
    als.key = keyOffset;
    als.parts = 1 + static_cast<int>(rng() % 12);
    als.noteLimit = seed % 2 ? 0 : 32767;
    als.tempo = 60 + 2 * static_cast<int>(rng() % 62);
    ReadResult r = read_als(write_als(g.builder.score(), g.builder.song(), Settings{}, als));
    int written = std::min(tracks, als.parts);
    ASSERT_EQ(r.song.trackCount, written) << "seed " << seed;
    EXPECT_EQ(r.song.tempo, als.tempo) << "seed " << seed;
    for (int t = 1; t <= written; ++t) EXPECT_EQ(notes(r, t), g.expected[t - 1]) << "seed " << seed << " track " << t;
  }
}

TEST(AlsReader, SurvivesTruncationRandomBytesAndHugeLengths) {
  test::GeneratedMelody g = test::generate_melody(7, 4, 0, 40, 90);
  AlsWriterSettings als = plain_als();
  als.parts = 4;
  Bytes file = write_als(g.builder.score(), g.builder.song(), Settings{}, als);
  test::expect_reads_any_bytes(read_als_file, file, 11);
  // Two million ticks tied into one note, and a buffer's worth of notes.
  Bytes huge = {0xF1, 0x60};
  huge.insert(huge.end(), 3000, 0xCF);
  huge.push_back(0x27);
  for (int i = 0; i < 200000; ++i) huge.insert(huge.end(), {0xC0, static_cast<uint8_t>(1 + i % 100)});
  ReadResult r = read_als(huge);
  test::expect_well_formed(r);
  EXPECT_GT(r.score.length, kScoreCapacity - 16);
}

}  // namespace
}  // namespace mel
