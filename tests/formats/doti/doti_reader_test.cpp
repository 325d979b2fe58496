#include "formats/doti/doti_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "formats/midi/midi_writer.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/single_voice_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using Read = test::ReadResult;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Read read(const std::string& s, const Settings& settings = Settings{}) {
  return test::read_with(read_doti_file, text(s), settings);
}

// The events of score track `track` (1-based) as (key, ticks) pairs.
Events events_of(const Read& r, int track) {
  Events events;
  for (const ScoreEvent& ev : test::track_events(r, track)) events.emplace_back(ev.code, ev.value);
  return events;
}

// Every score the reader makes, whatever its input: within the buffer, the
// tempo bytes agree with the header, tracks 1..trackCount hold whole events.
void expect_sane_score(const Read& r) {
  ASSERT_GE(r.score.length, kFirstTrackOffset);
  ASSERT_LE(r.score.length, kScoreCapacity);
  EXPECT_EQ(r.score.tempo(), r.song.tempo);
  ASSERT_GE(r.song.trackCount, 0);
  ASSERT_LE(r.song.trackCount, kMaxTracks);
  std::size_t pos = kFirstTrackOffset;
  for (int t = 1; t <= r.song.trackCount; ++t) {
    EXPECT_EQ(r.song.trackStart[t - 1], static_cast<int>(pos));
    for (;;) {
      ScoreEvent ev = decode_score_event(r.score.bytes.data(), r.score.length, pos);
      if (ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::EndOfTrack) break;
      EXPECT_NE(ev.kind, ScoreEvent::Control);
      EXPECT_LE(ev.code, 127);
      EXPECT_GT(ev.value, 0);
    }
  }
  EXPECT_EQ(pos, r.song.trackCount == 0 ? kFirstTrackOffset : r.score.length);
}

TEST(DotiReader, MelodyTagReadsToTitleTempoAndNotes) {
  Read r = read(std::string("AN-X31 data\r\n")  // lead line: the copyright
                + "<MEL=0,"                      // melody tag, channel 0
                + "Test,"                        // title
                + "6,"                           // tempo code 6: 126
                + "154"                          // C, octave 5 (key 96), length 4 (240)
                + "2\r\n52"                      // D, octave 5 (key 98), length 2 (120), split by a line break
                + ">");
  EXPECT_EQ(r.song.copyright, "AN-X31 data");
  EXPECT_EQ(r.song.title, "Test");
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(events_of(r, 1), (Events{{96, 240}, {98, 120}}));
  EXPECT_EQ(r.song.noteCount[0], 2);
  EXPECT_EQ(r.song.songLength, 360);
  EXPECT_EQ(r.song.lastNoteEnd[0], 361);
  expect_sane_score(r);

  // An independent parser sees the same notes in the MIDI file made from it.
  Settings settings;
  settings.play.ForPlayback = 0;
  test::MidiCsv csv = test::run_midicsv(write_midi_file(r.score, r.song, settings));
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{
                                          "2,0,Note_on_c,0,96,100", "2,240,Note_off_c,0,96,0",
                                          "2,240,Note_on_c,0,98,100", "2,360,Note_off_c,0,98,0"}));
}

TEST(DotiReader, SymbolLettersOctavesAndLengthCodes) {
  Read r = read(std::string("<MEL=0,,9,")  // empty title, tempo code 9: 168
                + "710"                    // B, octave 1: 83, whole note 960
                + "727"                    // B, octave 2 (sharp): 84, 720
                + "389"                    // E, octave 8: 108 + 4 + 1 = 113, 160
                + "918"                    // letter 9 is taken as C: 72, 80
                + "01A"                    // letter 0 with octave 1 is C too: 72, 40
                + "00x"                    // rest of an unknown length code: 30
                + "3?5"                    // octave not a digit: a rest of 360
                + "603"                    // A, octave 0: 60 + 9 + 1 = 70, 180
                + ">");
  EXPECT_EQ(r.song.tempo, 168);
  EXPECT_EQ(events_of(r, 1), (Events{{83, 960}, {84, 720}, {113, 160}, {72, 80}, {72, 40}, {0, 390}, {70, 180}}));
  EXPECT_EQ(r.song.noteCount[0], 8);
}

TEST(DotiReader, TitleEscapesTempoAndTagsThatAreText) {
  // Escapes are turned back in both layouts, then the title is cut to 255.
  Read escaped = read("<MEL=0,a&lt&gt&cmm&amp&b,X,111>");
  EXPECT_EQ(escaped.song.title, "a<>,&&b");
  EXPECT_EQ(escaped.song.tempo, 120);  // a tempo character that is not a digit
  std::string longTitle(300, 'x');
  EXPECT_EQ(read("<MEL=0," + longTitle + ",3,111>").song.title, std::string(255, 'x'));

  // A second "<MEL" is text: its digits are symbols of the current tag.
  Read twice = read("<MEL=0,A,3,111<MEL=0,B,4,>");
  EXPECT_EQ(twice.song.title, "A");
  EXPECT_EQ(twice.song.tempo, 96);
  // "111", then "0,B" and "4,>": octaves that are not digits, rests of 30.
  EXPECT_EQ(events_of(twice, 1), (Events{{72, 60}, {0, 60}}));

  // A harmony tag before the melody tag is text outside any tag.
  Read early = read("<HMEL=1,0,0,111><MEL=0,,0,222>");
  EXPECT_EQ(early.song.trackCount, 1);
  EXPECT_EQ(events_of(early, 1), (Events{{75, 120}}));  // D, octave 2 (sharp)
}

TEST(DotiReader, HarmonyTagsBeginTracksAndEmptyLastTracksGo) {
  Read r = read(std::string("<MEL=0,,6,>\r\n")  // MOZiO: an empty melody tag
                + "<HMEL=0,0,0,004111>\r\n"     // still track 1: a rest of 240, then C 72
                + "<HMEL=1,0,0,002>\r\n"        // track 2 holds only a rest: kept, it is not last
                + "<HMEL=2,0,0,316>\r\n"        // track 3: E 76
                + "<HMEL=3,0,0,004>");          // track 4: a rest only, removed
  ASSERT_EQ(r.song.trackCount, 3);
  EXPECT_EQ(events_of(r, 1), (Events{{0, 240}, {72, 60}}));
  EXPECT_EQ(events_of(r, 2), (Events{{0, 120}}));
  EXPECT_EQ(events_of(r, 3), (Events{{76, 480}}));
  EXPECT_EQ(r.song.firstNoteTime[0], 241);
  EXPECT_EQ(r.song.leadIn, 0);  // track 3 starts at once
  expect_sane_score(r);

  // No melody tag, or a melody tag without a sounding note: no track.
  for (const char* s : {"154252>", "<MEL=0,T,1,004>", ""}) {
    Read none = read(s);
    EXPECT_EQ(none.song.trackCount, 0) << s;
    EXPECT_EQ(none.score.length, kFirstTrackOffset) << s;
    EXPECT_EQ(none.score.tempo(), s[0] == '<' ? 72 : 120) << s;
  }
}

TEST(DotiReader, ThirtyThirdTrackEndsTheReading) {
  std::string s = "<MEL=0,,6,111>";
  for (int t = 2; t <= 40; ++t) s += "<HMEL=" + std::to_string(t - 1) + ",0,0,111>";
  Read r = read(s);
  EXPECT_EQ(r.song.trackCount, kMaxTracks);
  EXPECT_EQ(events_of(r, kMaxTracks), (Events{{72, 60}}));
  expect_sane_score(r);
}

TEST(DotiReader, HostileTextStaysWithinTheScore) {
  const std::string valid = "lead\r\n<MEL=0,a&cmmb,5,1542\r\n5200A><HMEL=1,0,0,7809>x<HMEL=2,0,0,0>";
  for (std::size_t n = 0; n <= valid.size(); ++n) expect_sane_score(read(valid.substr(0, n)));

  std::mt19937 rng(1207);
  const std::string alphabet = "<>MELH=,0123456789A&\r\n";
  for (int round = 0; round < 300; ++round) {
    Bytes bytes = test::random_bytes(rng, rng() % 3000);
    // Half of the rounds from the format's own characters, so tags are met.
    if (round % 2 == 0) {
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(alphabet[b % alphabet.size()]);
    }
    expect_sane_score(test::read_with(read_doti_file, bytes));
  }

  // Far more symbols than the score holds: notes fill it to its bound, and
  // rests gathered past INT_MAX saturate.
  std::string many = "<MEL=0,,6,";
  for (int i = 0; i < 100000; ++i) many += "114";
  Read full = read(many);
  expect_sane_score(full);
  EXPECT_GT(full.score.length, kScoreCapacity - 8);
  std::string rests = "<MEL=0,,6,";
  for (int i = 0; i < 2300000; ++i) rests += "000";
  rests += "111";
  Read longRest = read(rests);
  expect_sane_score(longRest);
  EXPECT_EQ(longRest.song.songLength, INT_MAX);
}

}  // namespace
}  // namespace mel
