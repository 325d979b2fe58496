#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "common/limits.h"
#include "formats/chara/chara_reader.h"
#include "formats/chara/chara_writer.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/score_builder.h"
#include "support/single_voice_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using test::score_events;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

test::ReadResult read(const std::string& s) { return test::read_with(read_chara_file, text(s)); }

TEST(CharaReader, TitleTempoAndNoteReadThroughTheMidiWriter) {
  test::ReadResult r = read(
      "Song\r\n"  // title line
      "]]"        // header mark
      "6"         // tempo code 6: 126
      "411"       // quarter (4), C (1), octave 1: key 60
      "2\r\n01"   // eighth tie, a line break inside: the note lasts 360
      "400");     // quarter rest
  EXPECT_EQ(r.song.title, "Song");
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_EQ(r.score.tempo(), 126);
  EXPECT_EQ(score_events(r.score), (Events{{60, 360}, {0, 240}}));
  EXPECT_EQ(r.song.noteCount[0], 3);
  test::expect_sane_single_voice_score(r.score, r.song);

  test::MidiCsv csv = test::run_midicsv_on_score(r.score, r.song);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{"2,0,Note_on_c,0,60,100", "2,360,Note_off_c,0,60,0",
                                                                "2,600,Note_off_c,0,0,0"}));
}

TEST(CharaReader, LettersOctavesAndOddCharacters) {
  EXPECT_EQ(score_events(read("]]0"
                              "412"    // even octave: C sharp, 61
                              "173"    // B, octave 3: 83
                              "458"    // G, octave 8: 48 + 48 + 7 + 1 = 104
                              "460"    // A, octave 0: 48 + 9 + 1 = 58
                              "491"    // a letter digit above 7 is C: 60
                              "41x"    // an octave that is not a digit: a rest
                              "911")   // triplet eighth: 160
                             .score),
            (Events{{61, 240}, {83, 60}, {104, 240}, {58, 240}, {60, 240}, {0, 240}, {60, 160}}));
  // A "*" that does not begin "*6*6" stops the notes until the next mark;
  // "*6*6" is a mark too. Digits before any mark are not notes.
  test::ReadResult r = read("12 ]]3411*411]]x4431*6*68521");
  EXPECT_EQ(r.song.title, "12 ");
  EXPECT_EQ(r.song.tempo, 150);
  EXPECT_EQ(score_events(r.score), (Events{{60, 240}, {64, 240}, {62, 360}}));
}

TEST(CharaReader, TiesNeedAWholeGroupAfterTheNote) {
  // A tie with no note before it continues a rest.
  EXPECT_EQ(score_events(read("]]4201411").score), (Events{{0, 120}, {60, 240}}));
  // A tie after a rest continues the rest; then a separate note follows.
  EXPECT_EQ(score_events(read("]]4400201411").score), (Events{{0, 360}, {60, 240}}));
  // An incomplete group after the note is not a tie, and ends the reading.
  EXPECT_EQ(score_events(read("]]441120").score), (Events{{60, 240}}));
  // The character after the note must be a length digit.
  EXPECT_EQ(score_events(read("]]4411x201").score), (Events{{60, 240}, {60, 120}}));
}

TEST(CharaReader, HostileTextStaysInsideTheScore) {
  const std::string valid = "Title\r\n]]5411201400*6*69735\r\n201000";
  for (std::size_t n = 0; n <= valid.size(); ++n) {
    test::ReadResult r = read(valid.substr(0, n));
    test::expect_sane_single_voice_score(r.score, r.song);
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 150; ++round) {
    Bytes b = test::random_bytes(rng, rng() % 400);
    for (uint8_t& c : b) c = "]]*6\r\n0123456789"[c % 16];
    test::ReadResult r = test::read_with(read_chara_file, b);
    test::expect_sane_single_voice_score(r.score, r.song);
  }
  // 2.5 million tied whole notes: the length saturates.
  std::string ties = "]]0011";
  for (int i = 0; i < 2500000; ++i) ties += "001";
  test::ReadResult r = read(ties);
  test::expect_sane_single_voice_score(r.score, r.song);
  EXPECT_EQ(r.song.songLength, INT_MAX);
  EXPECT_LE(r.score.length, kScoreCapacity);
}

Bytes write(test::ScoreBuilder& b, const Settings& s, const CharaWriterSettings& c) {
  return write_chara(b.score(), b.song(), s, c);
}

TEST(CharaWriter, PiecesTiesTitleAndHeader) {
  test::ScoreBuilder b(126, 240);
  b.title("ab]]cd");
  b.track().note(60, 1080).rest(240).note(73, 160).note(50, 80).note(120, 60);
  CharaWriterSettings c;
  c.tempo = 126;
  EXPECT_EQ(text_of(write(b, Settings{}, c)),
            "ab ]cd\r\n"  // "]]" in the title would read as the mark
            "]]6"
            "011201"      // 1080: a whole note C and a tied eighth
            "400"         // the rest
            "914"         // 160: C sharp of the lowest octave (73)
            "821"         // 80: key 50 folds up to 62, D
            "117");       // 60: key 120 folds down to 96, C of the top octave
}

TEST(CharaWriter, TitleKeepsWholeCharactersWithinFifteenBytes) {
  test::ScoreBuilder b;
  b.track().note(60, 240);
  CharaWriterSettings c;
  auto title_line = [&](const std::string& title) {
    b.title(title);
    std::string out = text_of(write(b, Settings{}, c));
    return out.substr(0, out.find("]]6"));
  };
  EXPECT_EQ(title_line("abcdefghijklmnopq"), "abcdefghijklmno\r\n");
  // A double-byte character is copied while at most 13 bytes are written.
  EXPECT_EQ(title_line("abcdefghijklm\x82\xA0z"), "abcdefghijklm\x82\xA0\r\n");
  EXPECT_EQ(title_line("abcdefghijklmn\x82\xA0z"), "abcdefghijklmn\r\n");
  // A lead byte that ends the title is a single byte.
  EXPECT_EQ(title_line("ab\x82"), "ab\x82\r\n");
  EXPECT_EQ(title_line(""), "");
}

TEST(CharaWriter, WritesTheFirstSelectedTrack) {
  test::ScoreBuilder b;
  b.track().note(60, 240);
  b.track().note(62, 240);
  b.track().note(64, 240);
  Settings s;
  s.play.TrackSelection = 3;
  s.play.TrackMask = 1u << 2;
  CharaWriterSettings c;
  EXPECT_EQ(text_of(write(b, s, c)), "]]6431");
  s.play.TrackMask = 0;  // a selection without a track: the last one
  EXPECT_EQ(text_of(write(b, s, c)), "]]6431");
  s.play.TrackMask = 1u << 1;
  EXPECT_EQ(text_of(write(b, s, c)), "]]6421");
}

// With no note limit, a long song stops at the output bound on a whole note
// instead of running past the buffer.
TEST(CharaWriter, WithoutNoteLimitStopsAtTheOutputBound) {
  test::ScoreBuilder b;
  b.track();
  for (int i = 0; i < 1500; ++i) b.note(60 + i % 12, 65520);  // 68 whole-note pieces each
  CharaWriterSettings c;
  c.noteLimit = 0;
  Bytes out = write(b, Settings{}, c);
  EXPECT_LE(out.size(), kOutputCapacity);
  EXPECT_GT(out.size(), kOutputCapacity - 6);
  EXPECT_EQ((out.size() - 3) % 3, 0u);  // "]]" and the tempo, then whole notes
}

TEST(CharaWriter, DialogStartValues) {
  test::ScoreBuilder b(100, 240);
  b.track().note(40, 240).note(55, 240);
  b.track().note(70, 240);
  Settings s;
  s.play.KeyOffset = -5;
  s.play.SpeedFactor = 24;  // tempo 150 -> 150
  CharaWriterSettings c = chara_dialog_values(b.song(), s);
  EXPECT_EQ(c.headerMark, "]]");
  EXPECT_EQ(c.tempo, 150);
  EXPECT_EQ(c.noteLimit, 64);
  EXPECT_EQ(c.key, -5 + 48);  // 35..50 rises four octaves, to 83..98
  s.play.SpeedFactor = 64;    // 400: above the table
  EXPECT_EQ(chara_dialog_values(b.song(), s).tempo, 168);
}

}  // namespace
}  // namespace mel
