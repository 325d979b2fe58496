#include "formats/smd/smd_reader.h"

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
using test::score_events;

constexpr int kEot = kEndOfTrack;

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

test::ReadResult read(const Bytes& data) { return test::read_with(read_smd_file, data); }

// Two tracks covering every command: the notes are worked out by hand from
// the character formula key = ((c + 48) mod 88) div 4 + 69 + 12 x octave.
const Bytes kTwoTracks = bytes_of(
    "AB"                  // title, single bytes
    "\x1B$B\x24\x22"      // two-byte JIS 0x2422 (hiragana a): Shift-JIS 82 A0
    "\x1B(B"              // back to single bytes
    "\x0E\x31\x0F"        // SO: half-width katakana 0x31 + 0x80 = B1; SI
    "\x1B$D"              // track 1
    "!*"                  // tempo 108
    "("                   // key 69, index 0: 60
    "#"                   // rest, index 0: 60
    "+"                   // key 69, index 3: 480
    "!&222"               // triplet: key 71, index 2, three of 160
    "!%5"                 // key 72, index 1 played three times, each 80
    "<\">"                // key 74, 60 tied to key 74, 240: one note of 300
    "!#5"                 // octave down: key 60, index 1: 120
    "\x0F"                // SI ends the section
    "((("                 // ignored up to the next track
    "\x1B$D"              // track 2
    "!\"["                // octave up: key 93, index 3: 480
    "\x0F");

TEST(SmdReader, ReadsTitleNotesTiesTripletsAndOctaves) {
  test::ReadResult r = read(kTwoTracks);
  EXPECT_EQ(r.song.title, "AB\x82\xA0\xB1");
  EXPECT_EQ(r.song.tempo, 108);
  EXPECT_EQ(r.score.tempo(), 108);
  EXPECT_EQ(r.song.timebase, 240);
  EXPECT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(score_events(r.score), (Events{{69, 60}, {0, 60}, {69, 480}, {71, 160}, {71, 160}, {71, 160},
                                            {72, 80}, {72, 80}, {72, 80}, {74, 300}, {60, 120}, {kEot, 0},
                                            {93, 480}}));
  // Every note and rest character counts, tied ones included.
  EXPECT_EQ(r.song.noteCount[0], 10);
  EXPECT_EQ(r.song.songLength, 1740);

  // The MIDI rendering, parsed by an independent tool, sounds the same keys.
  Settings s;
  s.play.ForPlayback = 0;
  test::MidiCsv csv = test::run_midicsv(write_midi_file(r.score, r.song, s));
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  std::vector<int> keys;
  for (const auto& row : test::csv_rows(csv, "Note_on_c")) {
    if (row[5] != "0") keys.push_back(std::stoi(row[4]));
  }
  EXPECT_EQ(keys, (std::vector<int>{69, 69, 71, 71, 71, 72, 72, 72, 74, 60, 93}));
}

struct ReaderCase {
  const char* name;
  std::string data;
  Events events;
  int trackCount;
};

class SmdReaderCase : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(SmdReaderCase, GivesTheNotes) {
  test::ReadResult r = read(bytes_of(GetParam().data));
  EXPECT_EQ(score_events(r.score), GetParam().events);
  EXPECT_EQ(r.song.trackCount, GetParam().trackCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmdReaderCase,
    ::testing::Values(
        // A note tied at a section's end is not carried into the next track.
        ReaderCase{"TieEndsWithTheSection", "\x1B$D(\"\x0F\x1B$D+", {{kEot, 0}, {69, 480}}, 2},
        // A rest tied with nothing after the quote keeps its own length.
        ReaderCase{"RestTieAtTheEndDoesNotCarry", "\x1B$D+#\"", {{69, 480}, {0, 60}}, 1},
        // A rest tie carries only when a control byte follows the quote.
        ReaderCase{"RestTieBeforeControlByteCarries", "\x1B$D#\"\x01(", {{69, 120}}, 1},
        // "!" before a byte that starts no command leaves that byte a note.
        ReaderCase{"LoneCommandByteIsIgnored", "\x1B$D!+!'", {{90, 480}}, 1},
        // "!%" passes over a tied note to the note that ends the tie.
        ReaderCase{"RepeatWaitsForTheTieEnd", "\x1B$D!%(\"(", {{69, 80}, {69, 80}, {69, 80}}, 1},
        // A last track without a sounding note goes with the EndOfTrack before it.
        ReaderCase{"SilentLastTrackIsRemoved", "\x1B$D(\x0F\x1B$D#&", {{69, 60}}, 1},
        ReaderCase{"NoTrackSection", "title only", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Truncations, random bytes, 40 tracks and millions of rests: the score stays
// within its buffer and 32 tracks, and times saturate instead of wrapping.
TEST(SmdReader, HostileInputStaysInsideTheScore) {
  auto check = [](const Bytes& data) {
    test::ReadResult r = read(data);
    ASSERT_LE(r.score.length, kScoreCapacity);
    ASSERT_LE(r.song.trackCount, kMaxTracks);
    ASSERT_GE(r.song.songLength, 0);
  };
  for (std::size_t n = 0; n <= kTwoTracks.size(); ++n) check(Bytes(kTwoTracks.begin(), kTwoTracks.begin() + n));
  std::mt19937 rng(5);
  for (int i = 0; i < 300; ++i) {
    Bytes data = test::random_bytes(rng, 1 + rng() % 600);
    if (i % 2 == 0) data.insert(data.begin(), {0x1B, '$', 'D'});
    check(data);
  }

  std::string tracks;
  for (int t = 0; t < 40; ++t) tracks += "\x1B$D(\x0F";
  EXPECT_EQ(read(bytes_of(tracks)).song.trackCount, 32);

  Bytes rests = bytes_of("\x1B$D");
  rests.insert(rests.end(), 4500000, '&');  // 4.5 million half rests pass 2^31 ticks
  rests.push_back('(');
  test::ReadResult r = read(rests);
  EXPECT_EQ(r.song.songLength, INT_MAX);
  EXPECT_EQ(r.song.lastNoteEnd[0], INT_MAX);
}

}  // namespace
}  // namespace mel
