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
  std::vector<std::string> inputs = {"]]0011"};
  for (int i = 0; i < 2500000; ++i) inputs[0] += "001";  // tied whole notes past 2^31 ticks
  for (std::size_t n = 0; n <= valid.size(); ++n) inputs.push_back(valid.substr(0, n));
  std::mt19937 rng(7);
  for (int round = 0; round < 150; ++round) {
    inputs.emplace_back(rng() % 400, ' ');
    for (char& c : inputs.back()) c = "]]*6\r\n0123456789"[rng() % 16];
  }
  for (const std::string& input : inputs) {
    test::ReadResult r = read(input);
    test::expect_sane_single_voice_score(r.score, r.song);
  }
  EXPECT_EQ(read(inputs[0]).song.songLength, INT_MAX);
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

}  // namespace
}  // namespace mel
