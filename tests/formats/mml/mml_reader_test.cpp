#include "formats/mml/mml_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/midi/midi_writer.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/single_voice_score.h"

namespace mel {
namespace {

using test::Events;

test::ReadResult read(const std::string& text, const Settings& settings = Settings{}) {
  return test::read_with(read_mml_file, std::vector<uint8_t>(text.begin(), text.end()), settings);
}

// The score's events split at each EndOfTrack: (code, value) pairs, controls
// included.
std::vector<Events> track_events(const Score& score) {
  std::vector<Events> tracks(1);
  for (std::size_t pos = kFirstTrackOffset;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::EndOfTrack) {
      tracks.emplace_back();
    } else {
      tracks.back().emplace_back(ev.code, ev.value);
    }
  }
  return tracks;
}

// The notes midicsv finds in the MIDI file written from the text, as
// "track start key length" with tracks counted from 1 (the conductor track
// left out) and times in the MIDI file's ticks (240 per quarter note).
std::vector<std::string> notes_through_midi(const std::string& text, bool& available) {
  test::ReadResult r = read(text);
  test::MidiCsv csv = test::run_midicsv(write_midi_file(r.score, r.song, Settings{}));
  available = csv.available;
  std::vector<std::string> notes;
  if (!csv.available) return notes;
  EXPECT_TRUE(csv.ok) << csv.error;
  std::map<std::pair<int, int>, std::pair<int, std::size_t>> sounding;  // (track, key) -> start, index
  for (const std::string& row : test::csv_note_rows(csv)) {
    std::vector<std::string> f = test::csv_fields(row);
    int track = std::stoi(f[0]) - 1;
    int time = std::stoi(f[1]);
    int key = std::stoi(f[4]);
    bool on = f[2] == "Note_on_c" && f[5] != "0";
    if (on) {
      sounding[{track, key}] = {time, notes.size()};
      notes.push_back("");
    } else if (auto it = sounding.find({track, key}); it != sounding.end()) {
      notes[it->second.second] = std::to_string(track) + " " + std::to_string(it->second.first) + " " +
                                 std::to_string(key) + " " + std::to_string(time - it->second.first);
      sounding.erase(it);
    }
  }
  return notes;
}

struct TextCase {
  const char* name;
  std::string text;
  std::vector<std::string> notes;  // "track start key length", worked out by hand
};

class MmlReaderNotes : public testing::TestWithParam<TextCase> {};

// Octave 6 is the start: c is key 72. 960 ticks to a whole note.
TEST_P(MmlReaderNotes, GiveTheNotesWorkedOutByHand) {
  bool available = false;
  std::vector<std::string> notes = notes_through_midi(GetParam().text, available);
  if (!available) GTEST_SKIP() << "midicsv is not available";
  EXPECT_EQ(notes, GetParam().notes) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MmlReaderNotes,
    testing::Values(
        TextCase{"BlocksAreTracks", "T150 {cde} {g4.a8}",
                 {"1 0 72 240", "1 240 74 240", "1 480 76 240", "2 0 79 360", "2 360 81 120"}},
        TextCase{"TiesDotsAndMultipliers", "c4&8 c4^16. c*3 L8 c& d",
                 {"1 0 72 360", "1 360 72 330", "1 690 72 720", "1 1410 72 240", "1 1650 74 120"}},
        TextCase{"GateCutsEveryNote", "Q6 c4 d4", {"1 0 72 180", "1 240 74 180"}},
        TextCase{"ChordPlaysItsHighestMemberAndIgnoresTheDigits", "c=e=g4 d", {"1 0 79 240", "1 240 74 240"}},
        TextCase{"TransposeOutsideABlockIsEveryTracksStart", "K2 {c} {K5 c} {c}",
                 {"1 0 74 240", "2 0 77 240", "3 0 74 240"}},
        TextCase{"OctaveSignsAfterANoteAreAccidentals", "c>d c >d",
                 {"1 0 84 240", "1 240 74 240", "1 480 72 240", "1 720 86 240"}},
        TextCase{"AccidentalsAndLengthInAnyOrder", "c4# c#4 c+ d- e< c4.8#",
                 {"1 0 73 240", "1 240 73 240", "1 480 73 240", "1 720 73 240", "1 960 64 240", "1 1200 73 360"}},
        TextCase{"FullWidthNotesDigitsAndRests", "ド４　ファ８ c全６ 休4 ソ▲ レ＃ ミ．",
                 {"1 0 72 240", "1 240 77 120", "1 360 72 60", "1 660 91 240", "1 900 75 240", "1 1140 76 360"}},
        // Octave 10 wraps A and B in the signed-byte key (dropped as too low),
        // as do N0 and O0 C; "<" stops at octave 0.
        TextCase{"OctaveLimitsAndKeyNumbers", "o10 g a n0 n127 o0 d < d o1 c n60+",
                 {"1 0 127 240", "1 720 127 240", "1 960 2 240", "1 1200 2 240", "1 1440 12 240", "1 1680 61 240"}},
        TextCase{"SignedLengthsAndDefaultLengths", "l16 c c8. r c R-4 c L4. c",
                 {"1 0 72 60", "1 60 72 180", "1 300 72 60", "1 1320 72 60", "1 1380 72 360"}},
        TextCase{"CommentsStringsAndUnknownBytes", "c /* d */ e // f\n g ; a\r b 'c d' x`y1 {c",
                 {"1 0 72 240", "1 240 76 240", "1 480 79 240", "1 720 83 240", "2 0 72 240"}},
        // A lead byte takes the next byte with it: 0x88 'c' is skipped whole,
        // and "ソ" (0x83 0x5C) is G although its second byte is a backslash.
        TextCase{"DoubleByteCharactersAreSkippedWhole", "\x88" "c d \x83\x5C",
                 {"1 0 74 240", "1 240 79 240"}},
        // A first block of rests is a track of its own: the notes of the next
        // block start at 0.
        TextCase{"FirstBlockOfRestsIsATrack", "{r1}{c}", {"2 0 72 240"}}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(MmlReader, TempoControlsAndTrackHeaderFields) {
  test::ReadResult r = read("T90 T150 {!3 @5 V100 P64 r c @MLD2 v50 @7 d !3} {!1 @mld4 e !2 o10 a}");
  EXPECT_EQ(r.song.tempo, 150);
  EXPECT_EQ(r.score.tempo(), 150);
  std::vector<Events> tracks = track_events(r.score);
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0], (Events{{kProgramEvent, 5}, {kVolumeEvent, 100}, {kPanEvent, 64}, {kRest, 240}, {72, 240},
                               {kProgramEvent, 7}, {kVolumeEvent, 50}, {74, 240}}));
  // "@MLD"n: the handset voice, then its stand-in program (not recorded).
  EXPECT_EQ(tracks[1], (Events{{kNativeVoiceEvent, 4}, {kProgramEvent, 13}, {76, 240}, {kRest, 240}}));
  EXPECT_EQ(r.song.part[0], 3);
  EXPECT_EQ(r.song.part[1], kMixedChannelPart);
  EXPECT_EQ(r.song.program[0], kMixedValue);
  EXPECT_EQ(r.song.program[1], 4 + kNativeVoiceBase);
  EXPECT_EQ(r.song.programCount, 2);
  EXPECT_EQ(r.song.noteCount[0], 3);
  EXPECT_EQ(r.song.leadIn, 0);  // track 2 starts at once
  EXPECT_EQ(r.song.firstNoteTime[0], 241);
  EXPECT_EQ(r.song.lastNoteEnd[0], 721);
  EXPECT_EQ(r.song.songLength, 720);
  EXPECT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(r.score.bytes[r.score.length - 3], kRest);  // the last track carries no EndOfTrack
}

TEST(MmlReader, RhythmTracksRecordTheirKeysUntilAProgramChange) {
  test::ReadResult r = read("{@128 n36 n38 n36 c k-100 n10 o10 a}{@5 c}{@128 n40 @9 n42 n44}");
  std::vector<Events> tracks = track_events(r.score);
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(tracks[0].front(), (test::Event{36, 240}));  // "@128" writes no event
  EXPECT_EQ(r.song.program[0], kRhythmProgram);
  // The first note makes the track a rhythm track and is not recorded; the
  // keys below 0 of "k-100" and of the octave-10 wrap are not recorded.
  EXPECT_EQ(r.song.rhythmKeyCount, 4);
  for (int key : {36, 38, 72, 42}) EXPECT_TRUE(r.song.rhythmKeySet.test(key)) << key;
  // The program change written before n42 ends the rhythm track: n44 is no
  // drum key, and program 9 was not a melodic program when it was written.
  EXPECT_EQ(r.song.program[2], kMixedValue);
  EXPECT_FALSE(r.song.rhythmKeySet.test(44));
  EXPECT_EQ(r.song.programCount, 1);
  EXPECT_TRUE(r.song.programSet.test(5));
}

TEST(MmlReader, QuotedStringsAreReadByteWise) {
  // The writer's escaping of "ソ's": every 0x5C and 0x27 byte escaped.
  EXPECT_EQ(read("'\x83\x5C\x5C\\'s' c").song.title, "\x83\x5C's");
  // A backslash before any other byte is itself; an empty string leaves the
  // title to the next one; later strings are skipped with the same escapes.
  EXPECT_EQ(read("'' '\\q\\\\' '\\'c' d").song.title, "\\q\\");
  test::ReadResult r = read("'t' 'x\\'c' d");
  EXPECT_EQ(r.song.title, "t");
  EXPECT_EQ(track_events(r.score)[0], (Events{{74, 240}}));
  EXPECT_EQ(read("'" + std::string(300, 'x') + "'").song.title.size(), 255u);
}

TEST(MmlReader, EmptyLastBlockIsRemovedAndTrack33EndsTheReading) {
  test::ReadResult empty = read("{c}{ }");
  EXPECT_EQ(empty.song.trackCount, 1);
  EXPECT_EQ(track_events(empty.score).size(), 1u);
  EXPECT_EQ(empty.score.length, 5u);

  std::string text;
  for (int i = 0; i < 40; ++i) text += "{c}";
  test::ReadResult many = read(text);
  EXPECT_EQ(many.song.trackCount, 32);
  EXPECT_EQ(track_events(many.score).size(), 32u);

  test::ReadResult rests = read("{c}{r}");
  EXPECT_EQ(rests.song.trackCount, 1);
  EXPECT_EQ(rests.score.length, 5u);  // the rest-only track and the EndOfTrack before it are gone
}

TEST(MmlReader, TextWithoutNotesIsNotMml) {
  for (const std::string text : {"", "123 {} ;comment", "\x01\x02\xFF", "/* c d e"}) {
    test::ReadResult r = read(text);
    EXPECT_EQ(r.song.noteCount[0], 0) << text;
    EXPECT_EQ(r.song.notices, std::vector<std::string>{kNotMmlNotice}) << text;
  }
  EXPECT_TRUE(read("r").song.notices.empty());
}

// 7 x length overflows 32 bits; the gate cut is computed in 64 bits and every
// tick of the note is in the score.
TEST(MmlReader, GateCutOfAHugeLengthKeepsEveryTick) {
  std::string text = "Q1 c1*127";
  for (int i = 0; i < 2600; ++i) text += "&1*127";
  test::ReadResult r = read(text);
  long long length = 2601LL * 960 * 127;
  // The sounding part is the note and its full-length rest pieces up to the
  // first shorter piece; the cut follows as a rest of its own.
  long long sounding = 0;
  long long total = 0;
  bool inNote = true;
  std::vector<Events> tracks = track_events(r.score);
  for (const test::Event& e : tracks[0]) {
    total += e.second;
    if (inNote) sounding += e.second;
    inNote = inNote && e.second == kMaxEventDuration;
  }
  EXPECT_EQ(tracks[0].front().first, 72);
  EXPECT_EQ(sounding, length - 7 * length / 8);
  EXPECT_EQ(total, length);
  EXPECT_EQ(r.song.songLength, length);
}

TEST(MmlReader, HostileTextNeverPassesTheScoreBuffer) {
  std::mt19937 rng(10);
  std::vector<std::string> texts = {
      "}}}{{{c}}{", "T99999999999999999999999 o-99999999999 c", std::string(5000, '9') + " T" + std::string(5000, '9'),
      "l0 c l99999 d l-5 e", "'abc", "/* c d", "c=", "c=x=", "@", "@ML", "@MLD", "N", "\x83", "c\x81",
      "Q1 " + std::string(100000, 'c'), std::string(262144, 'c'), "ファ", "\x83\x74",
  };
  std::string overrun = "l64 " + std::string(87000, 'c');
  for (int i = 0; i < 1000; ++i) overrun += "r1.*127";
  texts.push_back(overrun);
  std::string longTie = "c";
  std::string longRests;
  for (int i = 0; i < 20000; ++i) {
    longTie += "&1*127";
    longRests += "r1*127";
  }
  texts.push_back(longTie);
  texts.push_back(longRests + "c");
  std::string braces;
  for (int i = 0; i < 3000; ++i) braces += "{r}";
  texts.push_back(braces);
  for (int i = 0; i < 50; ++i) {
    std::vector<uint8_t> garbage = test::random_bytes(rng, 1 + rng() % 4000);
    texts.emplace_back(garbage.begin(), garbage.end());
  }
  // Every cut of a text that uses each construct.
  const std::string full = "T120 'ti\\'tle' {@5 V9 P3 K-2 Q7 L8 c4.&8=e d#> r2 /* x */ ド４ N60 @MLD3} {@128 n36}";
  for (std::size_t n = 0; n <= full.size(); ++n) texts.push_back(full.substr(0, n));

  for (const std::string& text : texts) {
    test::ReadResult r = read(text);
    ASSERT_LE(r.score.length, kScoreCapacity);
    ASSERT_GE(r.score.length, kFirstTrackOffset);
    EXPECT_GE(r.song.trackCount, 0);
    EXPECT_LE(r.song.trackCount, kMaxTracks);
    EXPECT_GE(r.song.tempo, 4);
    EXPECT_LE(r.song.tempo, 1024);
    EXPECT_GE(r.song.songLength, 0);
    EXPECT_LE(track_events(r.score).size(), static_cast<std::size_t>(kMaxTracks));
    EXPECT_FALSE(write_midi_file(r.score, r.song, Settings{}).empty());
  }
}

}  // namespace
}  // namespace mel
