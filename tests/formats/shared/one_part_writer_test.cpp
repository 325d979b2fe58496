#include "formats/shared/one_part_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "common/saturate.h"
#include "formats/chara/chara_reader.h"
#include "formats/chara/chara_writer.h"
#include "formats/wam/wam_reader.h"
#include "formats/wam/wam_writer.h"
#include "support/read_score.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using Bytes = std::vector<uint8_t>;
using Note = std::tuple<int, int, int>;  // key, start, length in ticks
using Event = std::pair<int, int>;       // key (0 = rest), ticks

std::vector<Note> notes_of(const Score& score) {
  std::vector<Note> out;
  int time = 0;
  for (std::size_t pos = kFirstTrackOffset;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore || ev.kind == ScoreEvent::EndOfTrack) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::Note) out.push_back({ev.code, time, ev.value});
    time += ev.value;
  }
  return out;
}

struct OnePartFormat {
  const char* name;
  ScoreReader reader;
  Bytes (*write)(const Score&, const SongInfo&, const Settings&, int noteLimit);  // with the dialog's values
  int (*dialogKey)(const SongInfo&, const Settings&);
  int lowestKey;         // keys outside fold into these octaves
  int highestKey;
  bool singleSlotLengths;  // only lengths one slot holds (a WAM note's later pieces are rests)
  std::vector<int> noteLimits;
  std::size_t slots;     // 0 = no fixed number
};

const OnePartFormat kChara = {
    "chara", read_chara_file,
    [](const Score& sc, const SongInfo& so, const Settings& se, int limit) {
      CharaWriterSettings c = chara_dialog_values(so, se);
      c.noteLimit = limit;
      return write_chara(sc, so, se, c);
    },
    [](const SongInfo& so, const Settings& se) { return chara_dialog_values(so, se).key; },
    60, 107, false, {0, 32767}, 0};

const OnePartFormat kWam = {
    "wam", read_wam_file,
    [](const Score& sc, const SongInfo& so, const Settings& se, int limit) {
      WamWriterSettings w = wam_dialog_values(so, se);
      w.noteLimit = limit;
      return write_wam(sc, so, se, w);
    },
    [](const SongInfo& so, const Settings& se) { return wam_dialog_values(so, se).key; },
    72, 107, true, {0, 64}, 64};

int fold(int v, const OnePartFormat& f) {
  if (v < f.lowestKey) return floor_mod(v, 12) + f.lowestKey;
  if (v > f.highestKey) return floor_mod(v, 12) + f.highestKey - 11;
  return v;
}

class OnePartRoundTrip : public ::testing::TestWithParam<const OnePartFormat*> {};

// Generated songs of up to 40 tracks (drum tracks, controls, long notes that
// need ties), any key offset and selection: the track read back holds the
// notes of the written track, keys folded into the format's range.
TEST_P(OnePartRoundTrip, ReadBackGivesTheWrittenTracksNotes) {
  const OnePartFormat& f = *GetParam();
  const std::vector<int> slotLengths = {60, 80, 120, 160, 180, 240, 360, 480, 720, 960};
  std::mt19937 rng(2024);
  for (int round = 0; round < 200; ++round) {
    test::ScoreBuilder b(60 + static_cast<int>(rng() % 150), kResetTimebase);
    int trackCount = 1 + static_cast<int>(rng() % 40);
    std::vector<std::vector<Event>> tracks(trackCount);
    for (int t = 0; t < trackCount; ++t) {
      b.track();
      if (rng() % 4 == 0) b.rhythm();
      for (int n = static_cast<int>(rng() % 90); n > 0; --n) {
        int ticks = f.singleSlotLengths || rng() % 2 ? slotLengths[rng() % slotLengths.size()]
                                                     : 60 * static_cast<int>(1 + rng() % 60);
        int key = rng() % 5 == 0 ? kRest : 1 + static_cast<int>(rng() % 127);
        if (rng() % 7 == 0) b.velocity(static_cast<int>(rng() % 128));
        key == kRest ? b.rest(ticks) : b.note(key, ticks);
        tracks[t].push_back({key, ticks});
      }
    }
    Settings s;
    s.play.KeyOffset = static_cast<int>(rng() % 49) - 24;
    if (rng() % 2) {
      s.play.TrackSelection = 1;
      s.play.TrackMask = rng() % 3 == 0 ? 0u : 1u << (rng() % 32);
    }
    int last = std::min(trackCount, kMaxTracks);
    int written = last;
    for (int t = 1; t < last && written == last; ++t) {
      if (s.play.track_selected(t)) written = t;
    }
    int key = f.dialogKey(b.song(), s);
    std::vector<Note> expected;
    int time = 0;
    std::size_t used = 0;
    for (const Event& e : tracks[written - 1]) {
      if (f.slots != 0 && used++ == f.slots) break;
      if (e.first != kRest) expected.push_back({fold(e.first + key, f), time, e.second});
      time += e.second;
    }
    for (int limit : f.noteLimits) {
      Bytes file = f.write(b.score(), b.song(), s, limit);
      test::ReadResult back = test::read_with(f.reader, file);
      ASSERT_EQ(notes_of(back.score), expected) << f.name << " round " << round << " limit " << limit;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, OnePartRoundTrip, ::testing::Values(&kChara, &kWam),
                         [](const auto& info) { return std::string(info.param->name); });

// The dialogs open on the first table tempo at least the song's, and move the
// key by octaves over the written track towards the handset's keys.
TEST(OnePartDialogs, StartTempoAndKey) {
  test::ScoreBuilder b(100, 240);
  b.track().note(40, 240).note(55, 240);
  b.track().note(100, 240).note(118, 240);
  Settings s;
  s.play.KeyOffset = -5;
  s.play.SpeedFactor = 24;  // 150
  CharaWriterSettings c = chara_dialog_values(b.song(), s);
  EXPECT_EQ(std::make_tuple(c.headerMark, c.tempo, c.key, c.noteLimit),
            std::make_tuple(std::string("]]"), 150, -5 + 48, 64));  // 35..50 rises four octaves, to 83..98
  s.play.SpeedFactor = 64;  // 400: above the table
  s.play.KeyOffset = 3;
  s.play.TrackSelection = 2;
  s.play.TrackMask = 1u << 1;
  WamWriterSettings w = wam_dialog_values(b.song(), s);
  EXPECT_EQ(std::make_tuple(w.tempo, w.key, w.noteLimit), std::make_tuple(168, 3 - 24, 64));  // 103..121 to 79..97
}

// The range cut and the rest merge shape the pieces before they are written.
TEST(OnePartWalk, RangeCutAndRestMerge) {
  struct Pieces : OnePartSink {
    std::vector<std::tuple<bool, int, int, bool>> got;
    bool room() const override { return true; }
    void put(bool note, int key, int units, bool continuation) override {
      got.push_back({note, key, units, continuation});
    }
  };
  test::ScoreBuilder b;
  b.track().note(60, 50).rest(100).note(62, 300).velocity(9).rest(50).note(64, 990);
  Pieces p;
  walk_one_part(b.score(), b.song(), Settings{}, one_part_track(b.score(), Settings{}), OnePartWalkSettings{}, p);
  // 50 takes 10 of the rest, which then lasts 90 (rounded to 60, carry 30);
  // after a control no rest is taken: 300 then the rest 50 rounds with the
  // carry to 60, leaving 20; 990 gives 960 and 30, which with the carry
  // rounds up to a tied 60.
  using P = std::tuple<bool, int, int, bool>;
  EXPECT_EQ(p.got, (std::vector<P>{{true, 60, 60, false}, {false, 0, 60, false}, {true, 62, 240, false},
                                   {true, 62, 60, true}, {false, 0, 60, false}, {true, 64, 960, false},
                                   {true, 64, 60, true}}));

  // Counters 2..3 keep the second and third sixteenth only.
  Pieces cut;
  OnePartWalkSettings range;
  range.startCounter = 2;
  range.endCounter = 3;
  test::ScoreBuilder c;
  c.track().note(60, 240).note(62, 240);
  walk_one_part(c.score(), c.song(), Settings{}, one_part_track(c.score(), Settings{}), range, cut);
  EXPECT_EQ(cut.got, (std::vector<P>{{true, 60, 120, false}}));
}

}  // namespace
}  // namespace mel
