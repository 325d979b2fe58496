#include "formats/doti/doti_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/doti/doti_reader.h"
#include "support/read_score.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

// Scores at 240 ticks per quarter note: a tick is one of the format's 960
// units of a whole note, so lengths pass the conversion unchanged.
constexpr int kTimebase = 240;

DotiWriterSettings plain(bool mozio = false, const std::string& title = "") {
  DotiWriterSettings d;
  d.mozio = mozio;
  d.title = title;
  d.tempo = 120;
  d.noteLimit = 0;
  return d;
}

std::string write(ScoreBuilder& b, const DotiWriterSettings& d, const Settings& settings = Settings{}) {
  Bytes out = write_doti(b.score(), b.song(), settings, d);
  return std::string(out.begin(), out.end());
}

TEST(DotiWriter, LayoutsHoldTheTracksInTheirTags) {
  ScoreBuilder b(120, kTimebase);
  const std::string title = "a<b>,c&d";
  b.track().note(72, 240).rest(120);  // C, octave 1, a quarter; an eighth rest
  b.track().note(74, 480);            // D, a half
  EXPECT_EQ(write(b, plain(false, title)),
            "<MEL=0,a&ltb&gt&cmmc&d,6,"  // "&" stays as it is in the dot-i layout
            "114002"                      // track 1 in the melody tag
            "><HMEL=1,0,0,216>");
  EXPECT_EQ(write(b, plain(true, title)),
            "<MEL=0,a&ltb&gt&cmmc&ampd,6,>\r\n"  // an empty melody tag
            "<HMEL=0,0,0,114002>\r\n"
            "<HMEL=1,0,0,216>");

  // The first tempo code at least the output tempo; 0 or less is 120.
  struct TempoCase {
    int tempo;
    char code;
  };
  for (TempoCase c : {TempoCase{0, '6'}, {-7, '6'}, {60, '0'}, {61, '1'}, {150, '8'}, {151, '9'}, {400, '9'}}) {
    ScoreBuilder untitled(120, kTimebase);
    untitled.track().note(72, 60);
    DotiWriterSettings d = plain();
    d.tempo = c.tempo;
    EXPECT_EQ(write(untitled, d), std::string("<MEL=0,,") + c.code + ",111>") << c.tempo;
  }
}

TEST(DotiWriter, LongNotesRestMergeAndRounding) {
  ScoreBuilder b(120, kTimebase);
  b.track()
      .note(72, 300)  // a quarter, then the remaining sixteenth as a rest
      .note(72, 50)   // takes 10 of the next rest to reach the grid
      .rest(100)      // 90 left, rounded to 60; 30 carried
      .note(74, 60)
      .note(72, 130)  // an eighth, 10 left + 30 carried rounds to a sixteenth rest
      .velocity(90)   // a control between note and rest: no merge
      .rest(10);      // with the carry of -20: nothing
  EXPECT_EQ(write(b, plain()),
            "<MEL=0,,6,"
            "114001"  // 300: 240 + 60
            "111"     // 50 + 10
            "001"     // 90 -> 60
            "211"     // 60
            "112001"  // 130: 120, then 10 + 30 -> 60
            ">");

  // The triplet lengths pass unrounded; 100 only with sixteenth triplets.
  ScoreBuilder t(120, kTimebase);
  t.track().note(72, 80).note(72, 160).note(72, 40).note(72, 100);
  DotiWriterSettings triplets = plain();
  triplets.sixteenthTriplets = true;
  EXPECT_EQ(write(t, triplets), "<MEL=0,,6,11811911A11100A>");  // 100: 60, then 40 as a rest
  EXPECT_EQ(write(t, plain()), "<MEL=0,,6,118119111112>");  // 40 -> 60 carrying -20; 80 -> 120
}

TEST(DotiWriter, KeysFoldIntoTheWrittenOctaves) {
  struct KeyCase {
    int outputKey;
    int octaveShift;
    int scoreKey;
    const char* pitch;
  };
  for (KeyCase c : {KeyCase{0, 0, 72, "11"},    // C, octave 1
                    {0, 0, 73, "12"},           // C sharp: the even octave
                    {0, 0, 119, "77"},          // B, octave 7
                    {0, 0, 127, "57"},          // above 119: G in the top octave
                    {-30, 0, 60, "42"},         // 30: F sharp in the lowest octave
                    {0, -2, 100, "31"},         // two octaves down: 76, E
                    {-200, 0, 1, "41"},         // far below: still F in the lowest octave
                    {5, 1, 100, "67"}}) {       // up a fourth and an octave: 117, A, octave 7
    ScoreBuilder b(120, kTimebase);
    b.track().note(c.scoreKey, 60);
    DotiWriterSettings d = plain();
    d.key = c.outputKey;
    Settings s;
    s.conv.octaveShift[0] = c.octaveShift;
    EXPECT_EQ(write(b, d, s), std::string("<MEL=0,,6,") + c.pitch + "1>") << c.outputKey << " " << c.scoreKey;
  }
}

TEST(DotiWriter, TrackLimitSelectionAndFirstTrackCut) {
  ScoreBuilder five(120, kTimebase);
  for (int key : {72, 74, 76, 77, 79}) five.track().note(key, 60);
  Settings s;
  s.writers.mmdhmn = 3;
  EXPECT_EQ(write(five, plain()), "<MEL=0,,6,111><HMEL=1,0,0,211><HMEL=2,0,0,311>");

  // Only track 2 selected: it stands in the melody tag, the last track
  // (not selected) leaves nothing behind, in either layout.
  ScoreBuilder three(120, kTimebase);
  for (int key : {72, 74, 76}) three.track().note(key, 60);
  Settings selected;
  selected.play.TrackSelection = 2;
  selected.play.TrackMask = 0x2;
  EXPECT_EQ(write(three, plain(false), selected), "<MEL=0,,6,211>");
  EXPECT_EQ(write(three, plain(true), selected), "<MEL=0,,6,>\r\n<HMEL=0,0,0,211>");
  // None selected: the last track is written.
  selected.play.TrackMask = 0;
  EXPECT_EQ(write(three, plain(false), selected), "<MEL=0,,6,311>");

  // A note limit of 3 cuts track 1 after 180 ticks; track 2 then stops once
  // its own time reaches 180, and a note begun before that is whole.
  ScoreBuilder cut(120, kTimebase);
  cut.track().note(72, 60).note(72, 60).note(72, 60).note(72, 60);
  cut.track().note(74, 120).note(74, 120).note(74, 120);
  cut.track().note(76, 960).note(76, 960).note(76, 960).note(76, 960);
  DotiWriterSettings limited = plain();
  limited.noteLimit = 3;
  EXPECT_EQ(write(cut, limited), "<MEL=0,,6,111111111><HMEL=1,0,0,212212><HMEL=2,0,0,310>");
  // Track 1 below its limit: later tracks are only held to their own limit.
  limited.noteLimit = 5;
  EXPECT_EQ(write(cut, limited), "<MEL=0,,6,111111111111><HMEL=1,0,0,212212212><HMEL=2,0,0,310310310310>");
}

TEST(DotiWriter, TitleLeadByteTakesOnlyARealTrailByte) {
  struct TitleCase {
    std::string title;
    bool mozio;
    std::string written;
  };
  const std::string a21(21, 'a');
  for (const TitleCase& c : {
           // E3 81 is a character; 82 is followed by ",", no trail byte.
           TitleCase{"\xE3\x81\x82,x", false, "\xE3\x81\x82&cmmx"},
           TitleCase{"\x90<", false, "\x90&lt"},
           TitleCase{"\xE0&", true, "\xE0&amp"},
           TitleCase{"ab\x82", false, "ab\x82"},               // a lead byte at the end stands alone
           TitleCase{a21 + "\x82\xA0", false, a21},          // the character would pass 22 bytes
           TitleCase{a21 + "&", true, a21},                   // so would the escape
           TitleCase{a21 + "bc", false, a21 + "b"},
       }) {
    ScoreBuilder b(120, kTimebase);
    b.track().note(72, 60);
    std::string out = write(b, plain(c.mozio, c.title));
    std::string head = "<MEL=0," + c.written + ",6,";
    EXPECT_EQ(out.substr(0, head.size()), head) << c.title;
    // The reader finds the title, the tempo and the one note again.
    Bytes bytes(out.begin(), out.end());
    test::ReadResult r = test::read_with(read_doti_file, bytes);
    EXPECT_EQ(r.song.title, c.written.size() < c.title.size() ? c.title.substr(0, r.song.title.size()) : c.title);
    EXPECT_EQ(r.song.tempo, 126) << c.title;
    EXPECT_EQ(r.song.noteCount[0], 1) << c.title;
  }
}

TEST(DotiWriter, NoLimitStillStopsAtTheOutputBound) {
  // 30,000 notes of three symbols each: far more than the 262144-byte text.
  ScoreBuilder one(120, kTimebase);
  for (int i = 0; i < 30000; ++i) one.note(72 + i % 12, 2000);
  for (bool mozio : {false, true}) {
    Bytes out = write_doti(one.score(), one.song(), Settings{}, plain(mozio));
    ASSERT_LE(out.size(), kOutputCapacity);
    EXPECT_GT(out.size(), kOutputCapacity - 8);
    EXPECT_EQ(out.back(), '>');
    test::ReadResult r = test::read_with(read_doti_file, out);
    EXPECT_EQ(r.song.trackCount, 1);
    EXPECT_EQ(r.song.noteCount[0] * 3 + 1, static_cast<int>(out.size()) - (mozio ? 25 : 10));  // the header
  }
}

// The dialog's start values: the code table's tempo, the key fitted over the
// first mmdhmn tracks to write (rhythm tracks too), the note limit mmdnum.
TEST(DotiDialog, StartValues) {
  ScoreBuilder b(100, kTimebase);
  b.title("song");
  b.track().note(50, 60).note(60, 60);  // 50..60: two octaves up fits 74..84
  b.track().rhythm().note(35, 60);      // a rhythm track counts
  b.track().note(100, 60);
  Settings s;
  s.writers.mmdnum = 640;
  s.writers.mmdhmn = 1;
  DotiWriterSettings d = doti_dialog_values(b.song(), s);
  EXPECT_EQ(d.title, "song");
  EXPECT_EQ(d.tempo, 108);
  EXPECT_EQ(d.key, 24);
  EXPECT_EQ(d.noteLimit, 640);

  s.writers.mmdhmn = 2;  // 35..60: three octaves up
  s.play.SpeedFactor = 32;
  d = doti_dialog_values(b.song(), s);
  EXPECT_EQ(d.key, 36);
  EXPECT_EQ(d.tempo, 168);  // 200 is above the table

  s.writers.mmdhmn = 3;  // 35..100: no octave fits both ends, the key stays
  s.play.KeyOffset = -3;
  EXPECT_EQ(doti_dialog_values(b.song(), s).key, -3);
}

// A sounding note of a read-back track, times in ticks.
struct Sounding {
  int key;
  int start;
  int length;
  bool operator==(const Sounding& o) const { return key == o.key && start == o.start && length == o.length; }
};
using Voice = std::vector<Sounding>;

std::vector<Voice> sounding_notes(const test::ReadResult& r) {
  std::vector<Voice> voices;
  for (int t = 1; t <= r.song.trackCount; ++t) {
    Voice v;
    int time = 0;
    for (const ScoreEvent& ev : test::track_events(r, t)) {
      if (ev.kind == ScoreEvent::Note) v.push_back({ev.code, time, ev.value});
      time += ev.value;
    }
    voices.push_back(v);
  }
  return voices;
}

// The format holds keys 72..119; others move by octaves into that range.
int written_key(int key) {
  while (key < 72) key += 12;
  while (key > 119) key -= 12;
  return key;
}

TEST(DotiRoundTrip, GeneratedScoresReadBackToTheSameNotes) {
  // Lengths the format writes without rounding, and how much of each the
  // note's own symbol holds (the rest of a long note follows as rests).
  struct LengthCase {
    int ticks;
    int sounding;
  };
  constexpr LengthCase kLengths[] = {{60, 60},   {80, 80},   {120, 120}, {160, 160},  {180, 180},  {240, 240},
                                     {360, 360}, {480, 480}, {720, 720}, {960, 960}, {1200, 960}, {1500, 960}};
  std::mt19937 rng(1208);
  for (int round = 0; round < 300; ++round) {
    const int tracks = 1 + static_cast<int>(rng() % 40);
    DotiWriterSettings d = plain(round % 2 == 1);
    d.key = static_cast<int>(rng() % 49) - 24;
    d.noteLimit = round % 4 < 2 ? 0 : 1024;
    d.sixteenthTriplets = rng() % 2 == 0;
    Settings s;
    s.writers.mmdhmn = 1 + static_cast<int>(rng() % 10);

    ScoreBuilder b(120, kTimebase);
    std::vector<Voice> expected;
    for (int t = 0; t < tracks; ++t) {
      b.track();
      if (rng() % 4 == 0) b.rhythm();
      Voice v;
      int time = 0;
      const int events = 1 + static_cast<int>(rng() % 30);
      for (int e = 0; e < events; ++e) {
        LengthCase length = kLengths[rng() % std::size(kLengths)];
        if (rng() % 3 != 0 || (e == events - 1 && v.empty())) {
          int key = 20 + static_cast<int>(rng() % 108);
          b.note(key, length.ticks);
          v.push_back({written_key(key + d.key), time, length.sounding});
        } else {
          b.rest(length.ticks);
        }
        time += length.ticks;
      }
      expected.push_back(v);
    }
    expected.resize(std::min<std::size_t>(expected.size(), s.writers.mmdhmn));

    Bytes out = write_doti(b.score(), b.song(), s, d);
    test::ReadResult r = test::read_with(read_doti_file, out);
    ASSERT_EQ(sounding_notes(r), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace mel
