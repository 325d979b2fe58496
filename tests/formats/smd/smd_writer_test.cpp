#include "formats/smd/smd_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "formats/smd/smd_reader.h"
#include "support/read_score.h"
#include "support/score_builder.h"
#include "support/single_voice_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using test::ScoreBuilder;

// A note as read back: key, start and length in ticks.
using Note = std::tuple<int, int, int>;

std::vector<Note> notes_of(const test::ReadResult& r, int track) {
  std::vector<Note> out;
  std::size_t pos = static_cast<std::size_t>(r.song.trackStart[track - 1]);
  int time = 0;
  for (;;) {
    ScoreEvent ev = decode_score_event(r.score.bytes.data(), r.score.length, pos);
    if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::Note) out.emplace_back(ev.code, time, ev.value);
    time += ev.value;
  }
  return out;
}

// Timebase 240: a whole note is 960 ticks, the writer's own unit.
SmdWriterSettings plain(int key = 0) {
  SmdWriterSettings s;
  s.noteLimit = 0;
  s.key = key;
  return s;
}

test::ReadResult write_and_read(ScoreBuilder& b, const SmdWriterSettings& smd, const Settings& settings = {}) {
  return test::read_with(read_smd_file, write_smd(b.score(), b.song(), settings, smd));
}

TEST(SmdWriter, WritesTitleTracksPiecesOctavesAndRoundedRests) {
  ScoreBuilder b(120, 240);
  b.title("ab\x1B$Dcd");
  b.track().note(69, 600).rest(40).note(93, 120);
  b.track().note(69, 60);
  Bytes out = write_smd_file(b.score(), b.song(), Settings{});
  std::string expected =
      "ab$Dcd"       // the ESC of the title is left out: it would start a track
      "\x1B$D!)"     // track 1, tempo 120 written as 126
      "+\")"         // key 69: 480 tied to 120
      "#"            // the rest of 40 rounded to 60
      "!\"Y"         // octave up, key 93 for 120
      "!$\x0F"       // back to the middle before SI
      "\x1B$D!)"     // track 2
      "("            // key 69 for 60
      "\x0F";        // the last track ends with SI alone
  EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST(SmdWriter, TitleDropsControlBytesAndKeepsDoubleByteCharactersWhole) {
  EXPECT_EQ(smd_title(std::string(30, 'x')), std::string(24, 'x'));
  EXPECT_EQ(smd_title(std::string(23, 'x') + "\x82\xA0"), std::string(23, 'x'));
  EXPECT_EQ(smd_title("\x0E\x0F" + std::string(22, 'x') + "\x82\xA0z"), std::string(22, 'x') + "\x82\xA0");
  EXPECT_EQ(smd_title(std::string(23, 'x') + "\x82"), std::string(23, 'x') + "\x82");
}

TEST(SmdWriter, DialogValuesPickTheTempoChoiceAndFitTheKey) {
  ScoreBuilder b(120, 240);
  b.track().note(40, 60).note(60, 60);
  b.track().note(100, 60);
  Settings s;
  s.play.TrackSelection = 1;
  s.play.TrackMask = 1;  // only track 1 is written, so only its keys are fitted
  SmdWriterSettings d = smd_dialog_values(b.song(), s);
  EXPECT_EQ(d.tempo, 126);
  EXPECT_EQ(d.key, 24);  // 40-60 moved into 64-84
  EXPECT_EQ(d.noteLimit, 256);
  s.play.SpeedFactor = 32;
  s.writers.smdnum = 0;
  d = smd_dialog_values(b.song(), s);
  EXPECT_EQ(d.tempo, 150);
  EXPECT_EQ(d.noteLimit, 0);
}

// Every score key from every octave state, at the extreme keys: the reader
// hears the key the writer meant (the key itself, or folded by octaves into
// 57-102 with a floor modulo, so negative keys fold too).
TEST(SmdWriter, EveryKeyFromEveryStateReadsBackInItsPitchClass) {
  for (int key : {-36, 0, 36}) {
    ScoreBuilder b(120, 240);
    b.track();
    for (int from = 1; from <= 127; ++from) {
      for (int to = 1; to <= 127; ++to) b.note(from, 60).note(to, 60);
    }
    std::vector<Note> back = notes_of(write_and_read(b, plain(key)), 1);
    ASSERT_EQ(back.size(), 2u * 127 * 127);
    for (std::size_t i = 0; i < back.size(); ++i) {
      int meant = static_cast<int>(i % 2 ? i / 2 % 127 : i / 2 / 127) + 1 + key;
      int heard = std::get<0>(back[i]);
      bool inRange = meant >= 57 && meant <= 102;
      ASSERT_TRUE(heard >= 57 && heard <= 102 && (heard - meant) % 12 == 0 && (heard == meant || !inRange))
          << "key " << key << " note " << i << " meant " << meant << " heard " << heard;
    }
  }
}

struct GroupCase {
  const char* name;
  std::vector<std::pair<int, int>> notes;  // key, length (960 per whole note)
  Events expected;                         // read back
  const char* contains;                    // in the output
};

class SmdTripletGroup : public ::testing::TestWithParam<GroupCase> {};

TEST_P(SmdTripletGroup, ReadsBack) {
  ScoreBuilder b(120, 240);
  b.track();
  for (auto [key, length] : GetParam().notes) b.note(key, length);
  Bytes out = write_smd(b.score(), b.song(), Settings{}, plain());
  EXPECT_NE(std::string(out.begin(), out.end()).find(GetParam().contains), std::string::npos);
  EXPECT_EQ(test::score_events(test::read_with(read_smd_file, out).score), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, SmdTripletGroup,
    ::testing::Values(
        GroupCase{"ThreeUnits", {{69, 160}, {71, 160}, {72, 160}}, {{69, 160}, {71, 160}, {72, 160}}, "!&"},
        GroupCase{"TwoUnitsThenOne", {{69, 320}, {71, 160}}, {{69, 160}, {0, 160}, {71, 160}}, "!&"},
        GroupCase{"OneUnitThenTwo", {{69, 80}, {71, 160}}, {{69, 80}, {71, 80}, {0, 80}}, "!&"},
        // The low state fits all three keys: its command goes before the group.
        GroupCase{"RetriedInTheLowState", {{60, 160}, {62, 160}, {64, 160}}, {{60, 160}, {62, 160}, {64, 160}},
                  "!#!&"},
        // No state fits 75, 60 and 85: after one retry the group is written as
        // ordinary notes on the 60 grid, the rounding carried.
        GroupCase{"RetryGivesUpOnce", {{75, 160}, {60, 160}, {85, 160}}, {{75, 180}, {60, 120}, {85, 180}}, "!#"},
        // u, u, 2u is no group: 80 and 80 become 120 and 60, and the 160 loses
        // the 40 the carry holds over.
        GroupCase{"UnitUnitDoubleIsNoGroup", {{69, 80}, {69, 80}, {70, 160}}, {{69, 120}, {69, 60}, {70, 120}},
                  "("}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SmdWriter, NoteLimitCutsTheFirstTrackAndLaterTracksAtItsLength) {
  ScoreBuilder b(120, 240);
  b.track().note(69, 60).note(70, 60).note(71, 60).note(72, 600).note(73, 60);
  b.track();
  for (int i = 0; i < 10; ++i) b.note(80, 480);
  SmdWriterSettings s = plain();
  s.noteLimit = 4;
  test::ReadResult r = write_and_read(b, s);
  // The note that crosses the limit is written whole (480 and 120): 5 characters.
  EXPECT_EQ(notes_of(r, 1), (std::vector<Note>{{69, 0, 60}, {70, 60, 60}, {71, 120, 60}, {72, 180, 600}}));
  // Track 2 stops at track 1's length, 780, before its own limit.
  EXPECT_EQ(notes_of(r, 2), (std::vector<Note>{{80, 0, 480}, {80, 480, 480}}));
}

// Notes of 15 million units each stop the output at its bound with SI alone,
// and no further track is begun; random score bytes at extreme keys, octave
// shifts and ranges give only the format's characters.
TEST(SmdWriter, HugeNotesAndHostileScoresStayInsideTheOutput) {
  ScoreBuilder b(120, 1);
  for (int t = 0; t < 5; ++t) {
    b.track();
    for (int i = 0; i < 10; ++i) b.note(60 + i, 65535).rest(65535);
  }
  Bytes out = write_smd(b.score(), b.song(), Settings{}, plain());
  EXPECT_GT(out.size(), 0x3FFF0u);
  EXPECT_LE(out.size(), 0x3FFF8u);
  EXPECT_EQ(out.back(), 0x0F);
  EXPECT_EQ(test::read_with(read_smd_file, out).song.trackCount, 1);

  std::mt19937 rng(3);
  for (int i = 0; i < 60; ++i) {
    ScoreBuilder h(120, i % 2 ? 1 : 960);
    for (int n = 0; n < 3000; ++n) h.raw({static_cast<uint8_t>(rng())});
    Settings s;
    s.conv.noteLengthScale = 4;
    s.conv.restcut = 1;
    s.conv.octaveShift.fill(i % 2 ? 3 : -3);
    SmdWriterSettings smd = plain(i % 2 ? 36 : -36);
    smd.noteLimit = i % 3;
    smd.startCounter = i % 5;
    smd.endCounter = i % 7 * 10;
    for (uint8_t c : write_smd(h.score(), h.song(), s, smd)) {
      ASSERT_TRUE(c == 0x1B || c == 0x0F || (c > 0x20 && c < 0x7F)) << "round " << i;
    }
  }
}

// Generated songs of up to 32 tracks (rhythm tracks among them), any track
// selection and count, key offsets -24..24, ties up to 3900, triplet groups,
// no note limit and the largest: each written track reads back with the same
// keys, starts and lengths.
TEST(SmdWriter, GeneratedSongsReadBackNoteForNote) {
  const int lengths[] = {60, 120, 180, 240, 360, 480, 600, 960, 1440, 1920, 3900};
  const int units[] = {40, 80, 160, 320};
  std::mt19937 rng(11);
  auto below = [&rng](int n) { return static_cast<int>(rng() % n); };
  for (int round = 0; round < 300; ++round) {
    int tracks = round % 10 == 0 ? 32 : 1 + below(32);
    int key = below(49) - 24;
    ScoreBuilder b(120, 240);
    std::vector<std::vector<Note>> expected(tracks);
    for (int t = 0; t < tracks; ++t) {
      b.track();
      if (t % 5 == 4) b.rhythm();
      int time = 0;
      auto add = [&](int heard, int length) {  // heard 0: a rest
        heard ? b.note(heard - key, length) : b.rest(length);
        if (heard) expected[t].emplace_back(heard, time, length);
        time += length;
      };
      add(57 + below(46), lengths[below(11)]);
      for (int items = below(30); items > 0; --items) {
        int kind = below(4);
        if (kind == 1) {
          // Keys 69-78 fit one octave state whatever the state before.
          int u = units[below(4)];
          for (int i = 0; i < 3; ++i) add(69 + below(10), u);
        } else {
          add(kind == 0 ? 0 : 57 + below(46), lengths[below(11)]);
        }
      }
    }
    Settings s;
    s.writers.smdhmn = 1 + below(16);
    if (round % 2) {
      s.play.TrackSelection = 1;
      s.play.TrackMask = static_cast<uint32_t>(rng());
    }
    SmdWriterSettings smd = plain(key);
    smd.noteLimit = round % 3 == 0 ? 0x7FFF : 0;
    test::ReadResult r = write_and_read(b, smd, s);

    std::vector<int> written;
    for (int t = 1; t <= tracks && static_cast<int>(written.size()) < s.writers.smdhmn; ++t) {
      if (s.play.track_selected(t) || (t == tracks && written.empty())) written.push_back(t);
    }
    ASSERT_EQ(r.song.trackCount, static_cast<int>(written.size())) << "round " << round;
    for (std::size_t i = 0; i < written.size(); ++i) {
      ASSERT_EQ(notes_of(r, static_cast<int>(i) + 1), expected[written[i] - 1]) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace mel
