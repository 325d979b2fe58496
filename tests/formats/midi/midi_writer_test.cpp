#include "formats/midi/midi_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "support/midicsv.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

// A written file split into its chunks (bodies without tag and length).
struct MidiFile {
  bool ok = false;
  int format = -1;
  int trackCount = -1;
  int division = -1;
  Bytes conductor;
  std::vector<Bytes> tracks;  // every chunk after the conductor
};

MidiFile split_file(const Bytes& bytes) {
  MidiFile file;
  ByteReader in{ByteView(bytes)};
  if (!in.matches("MThd", 4)) return file;
  in.skip(4);
  if (in.u32be() != 6) return file;
  file.format = static_cast<int>(in.u16be());
  file.trackCount = static_cast<int>(in.u16be());
  file.division = static_cast<int>(in.u16be());
  bool first = true;
  while (!in.at_end()) {
    if (!in.matches("MTrk", 4)) return file;
    in.skip(4);
    uint32_t length = in.u32be();
    if (length > in.remaining()) return file;
    Bytes body(bytes.begin() + static_cast<long>(in.pos()), bytes.begin() + static_cast<long>(in.pos() + length));
    in.skip(length);
    if (first) {
      file.conductor = body;
    } else {
      file.tracks.push_back(body);
    }
    first = false;
  }
  file.ok = in.ok() && static_cast<int>(file.tracks.size()) + 1 == file.trackCount;
  return file;
}

// Checks a track body event by event: three-byte deltas at most, only the
// messages the writer uses, every data byte 0..127, and exactly one end of
// track as the last event.
::testing::AssertionResult well_formed_track(const Bytes& body) {
  ByteReader in(ByteView(body), 0);
  while (!in.at_end()) {
    int deltaBytes = 1;
    while (in.u8() & 0x80) {
      if (++deltaBytes > 3) return ::testing::AssertionFailure() << "delta too long at " << in.pos();
    }
    std::size_t at = in.pos();
    uint8_t status = in.u8();
    if (status == 0xFF) {
      uint8_t type = in.u8();
      uint32_t length = in.vlq();
      in.skip(length);
      if (type == 0x2F) {
        if (!in.at_end()) return ::testing::AssertionFailure() << "events after end of track at " << at;
        return in.ok() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "truncated end";
      }
      continue;
    }
    int dataBytes = 0;
    switch (status & 0xF0) {
      case 0x80: case 0x90: case 0xB0: dataBytes = 2; break;
      case 0xC0: dataBytes = 1; break;
      default: return ::testing::AssertionFailure() << "status " << int(status) << " at " << at;
    }
    for (int i = 0; i < dataBytes; ++i) {
      uint8_t data = in.u8();
      if (data > 127) return ::testing::AssertionFailure() << "data byte " << int(data) << " at " << at;
    }
  }
  return ::testing::AssertionFailure() << "no end of track";
}

::testing::AssertionResult well_formed(const Bytes& bytes) {
  MidiFile file = split_file(bytes);
  if (!file.ok) return ::testing::AssertionFailure() << "chunks do not parse";
  if (file.division < 1 || file.division > 0x7FFF) return ::testing::AssertionFailure() << "division";
  for (const Bytes& body : file.tracks) {
    ::testing::AssertionResult r = well_formed_track(body);
    if (!r) return r;
  }
  return well_formed_track(file.conductor);
}

Bytes with_end_of_track(Bytes events) {
  events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
  return events;
}

// The channel of a track body's first channel message.
int first_channel(const Bytes& body) {
  for (std::size_t i = 1; i < body.size(); ++i) {
    if (body[i] >= 0x80 && body[i] < 0xF0) return body[i] & 0x0F;
  }
  return -1;
}

std::vector<int> channels(const MidiFile& file) {
  std::vector<int> result;
  for (const Bytes& body : file.tracks) result.push_back(first_channel(body));
  return result;
}

Settings file_settings() {
  Settings s;
  s.play.ForPlayback = 0;
  return s;
}

#define EXPECT_MIDICSV_ACCEPTS(bytes)                        \
  do {                                                       \
    test::MidiCsv csv_ = test::run_midicsv(bytes);           \
    if (!csv_.available) GTEST_SKIP() << csv_.error;         \
    EXPECT_TRUE(csv_.ok) << csv_.error;                      \
  } while (0)

// The independent check must be able to fail, or the checks below prove nothing.
TEST(MidiWriterFile, MidiCsvCheckRejectsBrokenFiles) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  bytes[14 + 8 + file.conductor.size() + 3] = 'x';  // "MTrx": midicsv stops with an error
  test::MidiCsv csv = test::run_midicsv(bytes);
  if (!csv.available) GTEST_SKIP() << csv.error;
  EXPECT_FALSE(csv.ok);
  EXPECT_FALSE(csv.error.empty());

  // midicsv lists a cut-off track without complaint; the listing check notices.
  EXPECT_EQ(test::incomplete_listing({"0, 0, Header, 1, 2, 48", "1, 0, Start_track", "1, 0, End_track",
                                      "2, 0, Start_track", "2, 0, Note_on_c, 0, 60, 100", "0, 0, End_of_file"}),
            "a track has no end-of-track event");
  EXPECT_EQ(test::incomplete_listing({"0, 0, Header, 1, 3, 48", "1, 0, Start_track", "1, 0, End_track",
                                      "0, 0, End_of_file"}),
            "header declares 3 tracks, found 1");
}

// --- header, conductor and timing track ---------------------------------

TEST(MidiWriterFile, ForSavingWritesTitleCopyrightAndNoTimingTrack) {
  ScoreBuilder b(120, 48);
  b.title("テスト").copyright("(c)");
  b.track().note(60, 48);
  Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());

  const Bytes header = {'M', 'T', 'h', 'd', 0, 0, 0, 6,  //
                        0, 1,                            // format 1
                        0, 2,                            // conductor + one track
                        0, 48};                          // division
  ASSERT_GE(bytes.size(), header.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 14), header);

  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.conductor, with_end_of_track({
                                0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,                  // 4/4
                                0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,             // 500000 us
                                0x00, 0xFF, 0x03, 0x06, 0x83, 0x65, 0x83, 0x58, 0x83, 0x67,  // title, CP932
                                0x00, 0xFF, 0x02, 0x03, '(', 'c', ')',                // copyright
                            }));
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(file.tracks[0], with_end_of_track({
                                0x00, 0xC0, 0x01,        // melody: no program in the score
                                0x00, 0xB0, 0x07, 100,   // volume: none in the score
                                0x00, 0x90, 60, 100,     // note on, default velocity
                                0x30, 0x80, 60, 0x00,    // note off after 48 ticks
                            }));
  EXPECT_TRUE(well_formed(bytes));
  EXPECT_MIDICSV_ACCEPTS(bytes);
}

TEST(MidiWriterFile, LongTextsUseTwoByteLengthsAndStopAt255Bytes) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.song().title = std::string(200, 'T');
  b.song().copyright = std::string(300, 'C');  // longer than a song text may be
  Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  Bytes expected = {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  expected.insert(expected.end(), {0x00, 0xFF, 0x03, 0x81, 0x48});  // 200 = 1 * 128 + 72
  expected.insert(expected.end(), 200, 'T');
  expected.insert(expected.end(), {0x00, 0xFF, 0x02, 0x81, 0x7F});  // 255 = 1 * 128 + 127
  expected.insert(expected.end(), 255, 'C');
  EXPECT_EQ(file.conductor, with_end_of_track(expected));

  test::MidiCsv csv = test::run_midicsv(bytes);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  ASSERT_EQ(test::csv_rows(csv, "Title_t").size(), 1u);
  EXPECT_EQ(test::csv_rows(csv, "Title_t")[0][3], '"' + std::string(200, 'T') + '"');
}

TEST(MidiWriterFile, ForPlaybackDropsTextsAndAddsSilentSixteenthTrack) {
  ScoreBuilder b(120, 48);
  b.title("title");
  b.track().note(60, 48).rest(48).note(62, 48);
  Settings s;  // ForPlayback 1
  Bytes bytes = write_midi_file(b.score(), b.song(), s);

  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.trackCount, 3);
  EXPECT_EQ(file.conductor, with_end_of_track({0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,  //
                                               0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}));
  // The first track's notes last 96 ticks (rests do not count); a sixteenth is
  // 12 ticks, and steps are written while the next one ends before 96.
  Bytes timing;
  for (int i = 0; i < 7; ++i) timing.insert(timing.end(), {0x00, 0x90, 0, 0, 12, 0x80, 0, 0});
  EXPECT_EQ(file.tracks.back(), with_end_of_track(timing));
  EXPECT_TRUE(well_formed(bytes));
  EXPECT_MIDICSV_ACCEPTS(bytes);
}

TEST(MidiWriterFile, TempoFollowsScoreBytesAndSpeedFactor) {
  struct Case {
    int tempo;
    int speed;
    Bytes value;
  } cases[] = {
      {120, 16, {0x07, 0xA1, 0x20}},  // 500000
      {120, 0, {0x07, 0xA1, 0x20}},   // 0: not applied
      {120, 32, {0x03, 0xD0, 0x90}},  // twice as fast: 250000
      {120, 8, {0x0F, 0x42, 0x40}},   // half as fast: 1000000
      {1, 16, {0xFF, 0xFF, 0xFF}},    // 60 s a quarter does not fit: the slowest value
      {30, 1, {0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    ScoreBuilder b(c.tempo, 48);
    b.track().note(60, 48);
    Settings s = file_settings();
    s.play.SpeedFactor = c.speed;
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(Bytes(file.conductor.begin() + 12, file.conductor.begin() + 15), c.value)
        << "tempo " << c.tempo << " speed " << c.speed;
  }
}

TEST(MidiWriterFile, DivisionScalesWithNoteLengthAndStaysValid) {
  struct Case {
    int timebase;
    int scale;
    int division;
  } cases[] = {
      {48, 16, 48}, {48, 32, 96}, {48, 4, 12}, {240, 64, 960},
      {0, 16, 1},             // no timebase: one tick a quarter, not 0
      {3, 4, 1},              // rounds down to 0
      {10000, 64, 0x7FFF},    // would set the SMPTE bit
      {-48, 16, 1},
  };
  for (const Case& c : cases) {
    ScoreBuilder b(120, c.timebase);
    b.track().note(60, 100);
    Settings s;
    s.conv.noteLengthScale = c.scale;
    Bytes bytes = write_midi_file(b.score(), b.song(), s);
    MidiFile file = split_file(bytes);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(file.division, c.division) << c.timebase << " x " << c.scale;
    EXPECT_TRUE(well_formed(bytes));
    // The silent track's step never falls to 0 ticks: it stays a handful of
    // events instead of filling the output.
    EXPECT_LT(bytes.size(), 2000u);
  }
}

TEST(MidiWriterFile, ScoreWithoutTempoBytesUsesSongTempo) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.score().bytes[0] = 0;
  b.score().bytes[1] = 0;
  b.song().tempo = 60;
  MidiFile file = split_file(write_midi_file(b.score(), b.song(), file_settings()));
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(Bytes(file.conductor.begin() + 12, file.conductor.begin() + 15), (Bytes{0x0F, 0x42, 0x40}));
}

// --- channel assignment ---------------------------------------------------

TEST(MidiWriterChannels, SeventeenMelodicTracksSkipRhythmChannelAndDropTheRest) {
  ScoreBuilder b(120, 48);
  for (int i = 0; i < 17; ++i) b.track().note(40 + i, 48);
  Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.trackCount, 16);
  EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15}));
  // Track 15 carries its own note, not one of a dropped track.
  EXPECT_EQ(file.tracks.at(14).at(9), 40 + 14);
  EXPECT_TRUE(well_formed(bytes));
  EXPECT_MIDICSV_ACCEPTS(bytes);
}

TEST(MidiWriterChannels, TrackOfADroppedTracksPartIsDroppedToo) {
  // Tracks 16 and 17 form one part; track 16 finds no channel left. Track 17
  // must not land on track 15's channel (its initial program would change
  // track 15's instrument): it has no channel either.
  ScoreBuilder b(120, 48);
  for (int i = 0; i < 15; ++i) b.track(0).note(40 + i, 48);
  b.track(5).note(70, 48);
  b.track(5).note(72, 48);
  b.track(0).rhythm().note(36, 48);  // the rhythm channel is still free
  Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 9}));
  EXPECT_EQ(file.tracks.at(14).at(9), 40 + 14);
  EXPECT_MIDICSV_ACCEPTS(bytes);
}

TEST(MidiWriterChannels, RhythmTrackTakesChannelTenWithoutShiftingOthers) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().rhythm().note(36, 48);
  b.track().note(64, 48);
  Settings s = file_settings();
  s.play.KeyOffset = 5;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(channels(file), (std::vector<int>{0, 9, 1}));
  // The rhythm track has a program of its own (no initial program change) and
  // is never transposed.
  EXPECT_EQ(file.tracks[1], with_end_of_track({0x00, 0xB9, 0x07, 100,  //
                                               0x00, 0x99, 36, 100, 0x30, 0x89, 36, 0}));
  EXPECT_EQ(file.tracks.at(2).at(9), 64 + 5);
}

TEST(MidiWriterChannels, ConsecutiveTracksOfOnePartShareAChannel) {
  auto build = [](ScoreBuilder& b) {
    b.track(0).note(60, 48);
    b.track(3).note(64, 48);
    b.track(3).note(67, 48);
    b.track(0).note(72, 48);
  };
  {
    ScoreBuilder b(120, 48);
    build(b);
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), file_settings()));
    EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 1, 2}));
  }
  {
    // Different instruments chosen for the two tracks keep them apart...
    ScoreBuilder b(120, 48);
    build(b);
    Settings s = file_settings();
    s.play.KeepFileInstruments = 0;
    s.play.PerTrackProgram[1] = 5;
    s.play.PerTrackProgram[2] = 6;
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 2, 3}));
    // ...the same instrument does not.
    s.play.PerTrackProgram[2] = 5;
    file = split_file(write_midi_file(b.score(), b.song(), s));
    EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 1, 2}));
  }
  {
    // A deselected previous track is not joined.
    ScoreBuilder b(120, 48);
    build(b);
    Settings s = file_settings();
    s.play.TrackSelection = 1;
    s.play.TrackMask = 0b1101;
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    EXPECT_EQ(channels(file), (std::vector<int>{0, 1, 2}));
  }
}

TEST(MidiWriterChannels, MelodicTrackAfterRhythmTrackOfSamePartGetsOwnChannel) {
  {
    ScoreBuilder b(120, 48);
    b.track(2).rhythm().note(36, 48);
    b.track(2).note(60, 48);
    Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
    MidiFile file = split_file(bytes);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(channels(file), (std::vector<int>{9, 0}));
    EXPECT_TRUE(well_formed(bytes));
    EXPECT_MIDICSV_ACCEPTS(bytes);
  }
  {
    // Not the channel of the melodic track before the rhythm track either.
    ScoreBuilder b(120, 48);
    b.track(0).note(60, 48);
    b.track(2).rhythm().note(36, 48);
    b.track(2).note(60, 48);
    b.track(2).note(64, 48);  // joins the melodic track before it
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), file_settings()));
    EXPECT_EQ(channels(file), (std::vector<int>{0, 9, 1, 1}));
  }
}

// --- notes and controls ---------------------------------------------------

TEST(MidiWriterNotes, TransposedKeysFoldIntoRangeKeepingPitchClass) {
  ScoreBuilder b(120, 48);
  b.track().note(120, 48).note(100, 48);
  b.track().rhythm().note(120, 48);
  Settings s = file_settings();
  s.play.KeyOffset = 12;
  MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.tracks.at(0).at(9), 120);   // 132 -> (132 - 8) mod 12 + 116
  EXPECT_EQ(file.tracks.at(0).at(17), 112);
  EXPECT_EQ(file.tracks.at(1).at(6), 120);   // rhythm: not transposed

  ScoreBuilder low(120, 48);
  low.track().note(20, 48).note(25, 48);
  s.play.KeyOffset = -24;
  file = split_file(write_midi_file(low.score(), low.song(), s));
  EXPECT_EQ(file.tracks.at(0).at(9), 8);     // -4 -> (126 mod 12) + 2
  EXPECT_EQ(file.tracks.at(0).at(17), 13);   // 1 -> (131 mod 12) + 2

  // A byte above 127 in the score is read as key 127.
  ScoreBuilder odd(120, 48);
  odd.track().raw({200, 0, 48});
  s.play.KeyOffset = 0;
  file = split_file(write_midi_file(odd.score(), odd.song(), s));
  EXPECT_EQ(file.tracks.at(0).at(9), 127);
}

TEST(MidiWriterNotes, ControlAfterRestSoundsAtStartOfRest) {
  ScoreBuilder b(120, 240);
  b.track().note(60, 240).rest(240).pan(10).note(62, 240);
  MidiFile file = split_file(write_midi_file(b.score(), b.song(), file_settings()));
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.tracks[0], with_end_of_track({
                                0x00, 0xC0, 0x01, 0x00, 0xB0, 0x07, 100,  // initial program, volume
                                0x00, 0x90, 60, 100, 0x81, 0x70, 0x80, 60, 0,
                                0x00, 0xB0, 0x0A, 10,                     // pan as the first note ends
                                0x81, 0x70, 0x90, 62, 100,                // the rest delays the note
                                0x81, 0x70, 0x80, 62, 0,
                            }));
}

TEST(MidiWriterNotes, InstrumentsAndVolumesFollowTheChoices) {
  ScoreBuilder b(120, 48);
  b.track().program(3).volume(80).velocity(90).note(60, 48);
  b.track().note(62, 48);
  const Bytes scoreTrack = {0x00, 0xC0, 3, 0x00, 0xB0, 7, 80, 0x00, 0x90, 60, 90, 0x30, 0x80, 60, 0};

  Settings s = file_settings();
  s.play.melody = 40;
  s.play.volume = 90;
  s.play.velocity = 70;
  MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
  EXPECT_EQ(file.tracks[0], with_end_of_track(scoreTrack));
  EXPECT_EQ(file.tracks[1],
            with_end_of_track({0x00, 0xC1, 40, 0x00, 0xB1, 7, 90, 0x00, 0x91, 62, 70, 0x30, 0x81, 62, 0}));

  // The defaults replace the score's own programs and volumes.
  s.play.KeepFileInstruments = 0;
  s.play.StandardVolume = 0;
  file = split_file(write_midi_file(b.score(), b.song(), s));
  EXPECT_EQ(file.tracks[0], with_end_of_track({0x00, 0xC0, 40, 0x00, 0xB0, 7, 90,  //
                                               0x00, 0x90, 60, 90, 0x30, 0x80, 60, 0}));

  // Per-track choices hold value + 1.
  s.play.PerTrackProgram[0] = 6;
  s.play.PerTrackVolume[0] = 51;
  file = split_file(write_midi_file(b.score(), b.song(), s));
  EXPECT_EQ(file.tracks[0], with_end_of_track({0x00, 0xC0, 5, 0x00, 0xB0, 7, 50,  //
                                               0x00, 0x90, 60, 90, 0x30, 0x80, 60, 0}));

  // "Follow the score" plays the score's events; a track without any gets the
  // default instrument and volume (not the out-of-range value 128).
  s.play.PerTrackProgram = {};
  s.play.PerTrackVolume = {};
  s.play.PerTrackProgram[0] = s.play.PerTrackProgram[1] = kFollowScore;
  s.play.PerTrackVolume[0] = s.play.PerTrackVolume[1] = kFollowScore;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  file = split_file(bytes);
  EXPECT_EQ(file.tracks[0], with_end_of_track(scoreTrack));
  EXPECT_EQ(file.tracks[1],
            with_end_of_track({0x00, 0xC1, 40, 0x00, 0xB1, 7, 90, 0x00, 0x91, 62, 70, 0x30, 0x81, 62, 0}));
  EXPECT_TRUE(well_formed(bytes));
}

// --- song end, repeats and selection --------------------------------------

TEST(MidiWriterSong, ShortTracksArePaddedToSongEnd) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 96);
  b.track().note(62, 48).rest(24);
  MidiFile file = split_file(write_midi_file(b.score(), b.song(), file_settings()));
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.tracks[1], with_end_of_track({0x00, 0xC1, 1, 0x00, 0xB1, 7, 100,  //
                                               0x00, 0x91, 62, 100, 0x30, 0x81, 62, 0,
                                               0x30, 0x81, 0, 0}));  // trailing rest + padding
}

TEST(MidiWriterSong, ThreeTimesRepeatsEveryTrackInStep) {
  ScoreBuilder b(120, 48);
  b.title("x");
  b.track().note(60, 96);
  b.track().note(62, 48);
  Settings s = file_settings();
  s.play.ThreeTimes = 1;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  Bytes once = {0x00, 0xC0, 1, 0x00, 0xB0, 7, 100, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0};
  Bytes thrice;
  for (int i = 0; i < 3; ++i) thrice.insert(thrice.end(), once.begin(), once.end());
  EXPECT_EQ(file.tracks[0], with_end_of_track(thrice));

  test::MidiCsv csv = test::run_midicsv(bytes);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{
                                          "2,0,Note_on_c,0,60,100",    "2,96,Note_off_c,0,60,0",
                                          "2,96,Note_on_c,0,60,100",   "2,192,Note_off_c,0,60,0",
                                          "2,192,Note_on_c,0,60,100",  "2,288,Note_off_c,0,60,0",
                                          "3,0,Note_on_c,1,62,100",    "3,48,Note_off_c,1,62,0",
                                          "3,96,Note_off_c,1,0,0",     "3,96,Note_on_c,1,62,100",
                                          "3,144,Note_off_c,1,62,0",   "3,192,Note_off_c,1,0,0",
                                          "3,192,Note_on_c,1,62,100",  "3,240,Note_off_c,1,62,0",
                                          "3,288,Note_off_c,1,0,0",
                                      }));
  EXPECT_EQ(test::csv_rows(csv, "Title_t").size(), 1u);
}

TEST(MidiWriterSong, DeselectedTracksAreLeftOut) {
  auto three_tracks = [](ScoreBuilder& b) {
    b.track().note(60, 48);
    b.track().note(62, 48);
    b.track().note(64, 48);
  };
  Settings s = file_settings();
  s.play.TrackSelection = 1;
  {
    s.play.TrackMask = 0b101;  // the middle track is skipped
    ScoreBuilder b(120, 48);
    three_tracks(b);
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    ASSERT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.tracks.at(0).at(9), 60);
    EXPECT_EQ(file.tracks.at(1).at(9), 64);
    EXPECT_EQ(channels(file), (std::vector<int>{0, 1}));
  }
  {
    s.play.TrackMask = 0b011;  // the last track is read and discarded
    ScoreBuilder b(120, 48);
    three_tracks(b);
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.tracks.at(1).at(9), 62);
  }
  {
    s.play.TrackMask = 0;  // a song's only track is written all the same
    ScoreBuilder b(120, 48);
    b.track().note(60, 48);
    Bytes bytes = write_midi_file(b.score(), b.song(), s);
    MidiFile file = split_file(bytes);
    ASSERT_EQ(file.tracks.size(), 1u);
    EXPECT_EQ(file.tracks.at(0).at(9), 60);
  }
  {
    // Pseudo-chord mode: the selection was applied before, every track is written.
    s.play.TrackMask = 0b001;
    s.conv.giziwaon = 7;
    ScoreBuilder b(120, 48);
    three_tracks(b);
    EXPECT_EQ(split_file(write_midi_file(b.score(), b.song(), s)).tracks.size(), 3u);
  }
}

TEST(MidiWriterSong, DiscardedTrackGivesItsChannelBack) {
  // A stale track count makes the writer read the deselected first track (a
  // rhythm track) before discarding it; the next track still gets channel 0.
  ScoreBuilder b(120, 48);
  b.track().rhythm().note(36, 48);
  b.track().note(60, 48);
  b.song().scoreTrackCount = 1;
  Settings s;
  s.play.TrackSelection = 2;
  s.play.TrackMask = 0b10;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  ASSERT_EQ(file.tracks.size(), 2u);  // the track and the silent timing track
  EXPECT_EQ(first_channel(file.tracks[0]), 0);
  EXPECT_TRUE(well_formed(bytes));
  // The timing track measures the track that was kept (48 ticks = 3 sixteenths).
  EXPECT_EQ(file.tracks[1].size(), 3 * 8u + 4u);
}

TEST(MidiWriterSong, SkippedTrackWithoutRecordedStartContinuesAfterItsEnd) {
  {
    // Track 17 is dropped and track 18's start was never recorded: reading goes
    // on after track 17's end instead of replaying the score from offset 0.
    ScoreBuilder b(120, 48);
    for (int i = 0; i < 17; ++i) b.track().note(40 + i, 48);
    b.track().rhythm().note(36, 48);
    b.song().trackStart[17] = 0;
    Bytes bytes = write_midi_file(b.score(), b.song(), file_settings());
    MidiFile file = split_file(bytes);
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.tracks.size(), 16u);
    EXPECT_EQ(file.tracks.back(), with_end_of_track({0x00, 0xB9, 0x07, 100,  //
                                                     0x00, 0x99, 36, 100, 0x30, 0x89, 36, 0}));
  }
  {
    ScoreBuilder b(120, 48);
    b.track().note(60, 48);
    b.track().note(62, 48);
    b.track().note(64, 48);
    b.song().trackStart[2] = 0;
    Settings s = file_settings();
    s.play.TrackSelection = 1;
    s.play.TrackMask = 0b101;
    MidiFile file = split_file(write_midi_file(b.score(), b.song(), s));
    ASSERT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.tracks[1], with_end_of_track({0x00, 0xC1, 1, 0x00, 0xB1, 7, 100,  //
                                                 0x00, 0x91, 64, 100, 0x30, 0x81, 64, 0}));
  }
}

// --- output bounds and hostile input --------------------------------------

TEST(MidiWriterBounds, LongTrackIsCutBelowCapacityAndLaterTracksAreLeftOut) {
  ScoreBuilder b(120, 48);
  b.track();
  for (int i = 0; i < 40000; ++i) b.note(60 + i % 12, 20000);  // 3-byte deltas: 12 bytes a note
  b.track().note(60, 48);
  Settings s;
  s.play.ThreeTimes = 1;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  EXPECT_LE(bytes.size(), kOutputCapacity);
  EXPECT_GT(bytes.size(), 262119u);
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.tracks.size(), 1u);  // no second track, no timing track
  EXPECT_TRUE(well_formed(bytes));
  EXPECT_MIDICSV_ACCEPTS(bytes);
}

TEST(MidiWriterBounds, RepeatsStopWhereTheOutputEnds) {
  ScoreBuilder b(120, 48);
  b.track();
  for (int i = 0; i < 12000; ++i) b.note(60, 48);  // 8 bytes a note: the second copy does not fit
  Settings s = file_settings();
  s.play.ThreeTimes = 1;
  Bytes bytes = write_midi_file(b.score(), b.song(), s);
  MidiFile file = split_file(bytes);
  ASSERT_TRUE(file.ok);
  ASSERT_EQ(file.tracks.size(), 1u);
  EXPECT_EQ(file.tracks[0].size(), 2 * (7 + 12000 * 8u) + 4);
  EXPECT_TRUE(well_formed(bytes));
}

TEST(MidiWriterBounds, ArbitraryScoresAndOptionsGiveWellFormedFiles) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  for (int round = 0; round < 150; ++round) {
    ScoreBuilder b(static_cast<int>(next(300)), static_cast<int>(next(2000)) - 10);
    std::size_t length = next(600);
    for (std::size_t i = 0; i < length; ++i) b.raw({static_cast<uint8_t>(next(256))});
    SongInfo& song = b.song();
    song.scoreTrackCount = static_cast<int>(next(40));
    song.songLength = static_cast<int>(next(100000));
    for (int t = 0; t < kMaxTracks; ++t) {
      song.trackStart[t] = static_cast<int>(next(700));
      song.part[t] = static_cast<int>(next(4));
      song.program[t] = static_cast<int>(next(4)) == 0 ? kRhythmProgram : static_cast<int>(next(140));
      song.volume[t] = static_cast<int>(next(140));
    }
    song.title = std::string(next(300), 'T');
    Settings s;
    s.play.KeyOffset = static_cast<int>(next(49)) - 24;
    s.play.SpeedFactor = static_cast<int>(next(300));
    s.play.TrackSelection = static_cast<int>(next(2));
    s.play.TrackMask = seed;
    s.play.KeepFileInstruments = static_cast<int>(next(2));
    s.play.StandardVolume = static_cast<int>(next(2));
    s.play.ThreeTimes = static_cast<int>(next(2));
    s.play.ForPlayback = static_cast<int>(next(2));
    s.play.melody = static_cast<int>(next(200));
    s.play.velocity = static_cast<int>(next(200));
    s.play.volume = static_cast<int>(next(200));
    for (int t = 0; t < kMaxTracks; ++t) {
      s.play.PerTrackProgram[t] = static_cast<int>(next(131));
      s.play.PerTrackVolume[t] = static_cast<int>(next(131));
    }
    s.conv.noteLengthScale = 4 << next(5);
    s.conv.giziwaon = static_cast<int>(next(8));
    Bytes bytes = write_midi_file(b.score(), song, s);
    ASSERT_TRUE(well_formed(bytes)) << "round " << round;
    if (round % 25 == 0) EXPECT_MIDICSV_ACCEPTS(bytes);
  }
}

}  // namespace
}  // namespace mel
