// The built-in sequencer's schedule: positions and due events against a fake
// millisecond clock, over MIDI files built in the tests.
#include "playback/builtin_sequencer_model.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "playback/player_model.h"
#include "support/midi_builder.h"

// Equality and printing for the checks (found by argument lookup).
namespace mel {
bool operator==(const ShortMidiMessage& a, const ShortMidiMessage& b) {
  return a.status == b.status && a.data1 == b.data1 && a.size == b.size && (a.size < 3 || a.data2 == b.data2);
}

void PrintTo(const ShortMidiMessage& m, std::ostream* os) {
  char text[32];
  std::snprintf(text, sizeof text, "%02X %02X %02X/%d", m.status, m.data1, m.data2, m.size);
  *os << text;
}

}  // namespace mel

namespace {

using mel::BuiltinSchedule;
using mel::ShortMidiMessage;
using mel::test::Bytes;
using mel::test::MidiFileBuilder;
using mel::test::TrackBuilder;

// Division 480: a sixteenth is 120 ticks. Quarter notes at 120 per minute
// (500 ms) until tick 960, then at 60 per minute (1000 ms); the song ends at
// tick 1920, that is at 3000 ms and 16 sixteenths.
//   tick 0    program 5, note 60 on
//   tick 480  note 60 off, volume 90, note 62 on
//   tick 960  note 62 off, note 64 on
//   tick 1920 note 64 off
Bytes tempo_change_song() {
  TrackBuilder conductor;
  conductor.tempo_bpm(0, 120).tempo_bpm(960, 60).end(960);
  TrackBuilder melody;
  melody.program(0, 0, 5)
      .note_on(0, 0, 60)
      .note_off(480, 0, 60)
      .volume(0, 0, 90)
      .note_on(0, 0, 62)
      .note_off(480, 0, 62)
      .note_on(0, 0, 64)
      .note_off(960, 0, 64)
      .end();
  return MidiFileBuilder(1, 480).track(conductor).track(melody).bytes();
}

ShortMidiMessage msg(uint8_t status, uint8_t data1, uint8_t data2 = 0) {
  bool twoBytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
  return {status, data1, data2, static_cast<uint8_t>(twoBytes ? 2 : 3)};
}

using Messages = std::vector<ShortMidiMessage>;

class BuiltinScheduleTest : public ::testing::Test {
 protected:
  BuiltinScheduleTest() : schedule([this] { return now; }) {}

  void load(const Bytes& file) { ASSERT_EQ(schedule.load(mel::ByteView(file)), mel::kDeviceOk); }

  long long now = 0;
  BuiltinSchedule schedule;
};

TEST_F(BuiltinScheduleTest, LengthAndPositionFollowTheTempoMap) {
  load(tempo_change_song());
  EXPECT_EQ(schedule.length(), 16);
  EXPECT_EQ(schedule.length_ms(), 3000);

  now = 40000;  // the clock's origin does not matter
  ASSERT_EQ(schedule.start(0), mel::kDeviceOk);
  const std::vector<std::pair<long long, long>> expected = {
      {0, 0}, {124, 0}, {125, 1}, {500, 4}, {1000, 8}, {1249, 8}, {1250, 9}, {2000, 12}, {3000, 16}, {9000, 16}};
  for (const auto& [elapsed, sixteenths] : expected) {
    now = 40000 + elapsed;
    EXPECT_EQ(schedule.position(), sixteenths) << elapsed << " ms in";
  }
}

TEST_F(BuiltinScheduleTest, DueEventsComeOnceAndInOrderUntilTheEnd) {
  load(tempo_change_song());
  ASSERT_EQ(schedule.start(0), mel::kDeviceOk);
  EXPECT_EQ(schedule.take_due(), (Messages{msg(0xC0, 5), msg(0x90, 60, 100)}));
  EXPECT_EQ(schedule.ms_until_next(), 500);
  now = 499;
  EXPECT_TRUE(schedule.take_due().empty());
  EXPECT_EQ(schedule.ms_until_next(), 1);
  now = 500;
  EXPECT_EQ(schedule.ms_until_next(), 0);
  EXPECT_EQ(schedule.take_due(), (Messages{msg(0x80, 60, 64), msg(0xB0, 7, 90), msg(0x90, 62, 100)}));
  EXPECT_FALSE(schedule.ended());

  now = 2999;
  EXPECT_EQ(schedule.take_due(), (Messages{msg(0x80, 62, 64), msg(0x90, 64, 100)}));
  EXPECT_FALSE(schedule.ended());
  now = 3000;
  EXPECT_EQ(schedule.take_due(), (Messages{msg(0x80, 64, 64)}));
  EXPECT_TRUE(schedule.ended());
  EXPECT_EQ(schedule.position(), schedule.length());
}

TEST_F(BuiltinScheduleTest, StartingInsideTheSongSetsTheChannelsUpAndCountsFromThere) {
  load(tempo_change_song());
  now = 5000;
  ASSERT_EQ(schedule.start(8), mel::kDeviceOk);  // tick 960, 1000 ms into the song
  EXPECT_EQ(schedule.position(), 8);
  // Program and volume from before the start, no notes from before it; then
  // what sounds at the start.
  EXPECT_EQ(schedule.take_due(),
            (Messages{msg(0xC0, 5), msg(0xB0, 7, 90), msg(0x80, 62, 64), msg(0x90, 64, 100)}));
  now = 6000;  // one quarter at 60 per minute
  EXPECT_EQ(schedule.position(), 12);
  now = 7000;
  schedule.take_due();
  EXPECT_TRUE(schedule.ended());
}

TEST_F(BuiltinScheduleTest, HaltKeepsThePositionAndPlayingOnContinuesFromIt) {
  load(tempo_change_song());
  ASSERT_EQ(schedule.start(0), mel::kDeviceOk);
  schedule.take_due();
  now = 1000;
  schedule.halt();
  EXPECT_FALSE(schedule.playing());
  now = 9000;
  EXPECT_EQ(schedule.position(), 8);
  EXPECT_EQ(schedule.ms_until_next(), -1);
  EXPECT_TRUE(schedule.take_due().empty());

  ASSERT_EQ(schedule.start_here(), mel::kDeviceOk);
  now = 10000;
  EXPECT_EQ(schedule.position(), 12);

  EXPECT_EQ(schedule.seek(2), mel::kDeviceOk);
  EXPECT_FALSE(schedule.playing());
  EXPECT_EQ(schedule.position(), 2);
}

TEST_F(BuiltinScheduleTest, NothingPlaysAtOrBeyondTheEnd) {
  load(tempo_change_song());
  EXPECT_EQ(schedule.start(16), mel::kDeviceErrorOutOfRange);
  EXPECT_EQ(schedule.start(1000), mel::kDeviceErrorOutOfRange);
  EXPECT_FALSE(schedule.playing());
  EXPECT_EQ(schedule.seek(17), mel::kDeviceErrorOutOfRange);
  EXPECT_EQ(schedule.seek(16), mel::kDeviceOk);
  EXPECT_EQ(schedule.start_here(), mel::kDeviceErrorOutOfRange);

  // A song played to its end stands at its end.
  ASSERT_EQ(schedule.start(15), mel::kDeviceOk);
  now = 100000;
  schedule.take_due();
  ASSERT_TRUE(schedule.ended());
  schedule.halt();
  EXPECT_EQ(schedule.position(), 16);
  EXPECT_EQ(schedule.start_here(), mel::kDeviceErrorOutOfRange);
}

// A song of less than a sixteenth (an empty conversion writes one) still
// plays from its start and ends, so the end notification moves a playlist on.
TEST_F(BuiltinScheduleTest, ASongShorterThanASixteenthPlaysFromItsStartAndEnds) {
  TrackBuilder empty;
  empty.end();
  TrackBuilder blip;
  blip.note_on(0, 0, 60).note_off(60, 0, 60).end();  // 60 of the 120 ticks of a sixteenth
  for (const TrackBuilder& track : {empty, blip}) {
    load(MidiFileBuilder(0, 480).track(track).bytes());
    ASSERT_EQ(schedule.length(), 0);
    now = 0;
    ASSERT_EQ(schedule.start_here(), mel::kDeviceOk);
    now = 1000;
    schedule.take_due();
    EXPECT_TRUE(schedule.ended());
    schedule.halt();
    EXPECT_EQ(schedule.position(), 0);
    EXPECT_EQ(schedule.start(1), mel::kDeviceErrorOutOfRange);
  }
}

TEST_F(BuiltinScheduleTest, SilenceReleasesTheSoundingNotesOnceAndResetsEveryChannel) {
  load(tempo_change_song());
  ASSERT_EQ(schedule.start(0), mel::kDeviceOk);
  schedule.take_due();  // note 60 sounds
  Messages silence = schedule.take_silence();
  ASSERT_EQ(silence.size(), 1u + 2 * 16);
  EXPECT_EQ(silence[0], msg(0x80, 60, 0));
  EXPECT_EQ(silence[1], msg(0xB0, 123, 0));
  EXPECT_EQ(silence[2], msg(0xB0, 121, 0));
  EXPECT_EQ(silence.back(), msg(0xBF, 121, 0));
  EXPECT_EQ(schedule.take_silence().size(), 2u * 16);
}

TEST_F(BuiltinScheduleTest, FilesThatAreNotMidiFilesDoNotOpen) {
  EXPECT_EQ(schedule.load(mel::ByteView()), mel::kDeviceErrorCannotOpen);
  Bytes text = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(schedule.load(mel::ByteView(text)), mel::kDeviceErrorCannotOpen);
  TrackBuilder t;
  t.note_on(0, 0, 60).end(480);
  EXPECT_EQ(schedule.load(mel::ByteView(MidiFileBuilder(1, 0).track(t).bytes())), mel::kDeviceErrorCannotOpen);
  EXPECT_FALSE(schedule.loaded());
  EXPECT_EQ(schedule.start(0), mel::kDeviceErrorCannotOpen);
  EXPECT_EQ(schedule.length(), 0);

  // A failed load forgets the song loaded before it.
  load(tempo_change_song());
  EXPECT_EQ(schedule.load(mel::ByteView(text)), mel::kDeviceErrorCannotOpen);
  EXPECT_EQ(schedule.start(0), mel::kDeviceErrorCannotOpen);
}

// Every cut of a real file and random bytes behind a real header: each either
// fails to open or plays to an end without running past its data.
TEST_F(BuiltinScheduleTest, TruncatedAndRandomFilesNeverCrashAndAlwaysEnd) {
  const Bytes song = tempo_change_song();
  std::vector<Bytes> inputs;
  for (std::size_t n = 0; n < song.size(); ++n) inputs.emplace_back(song.begin(), song.begin() + n);
  uint32_t seed = 12345;
  for (int i = 0; i < 200; ++i) {
    Bytes bytes = i % 2 ? Bytes(song.begin(), song.begin() + 22) : Bytes();  // header and a track tag
    for (int k = 0; k < 64; ++k) {
      seed = seed * 1103515245u + 12345u;
      bytes.push_back(static_cast<uint8_t>(seed >> 16));
    }
    inputs.push_back(bytes);
  }
  for (const Bytes& input : inputs) {
    if (schedule.load(mel::ByteView(input)) != mel::kDeviceOk) continue;
    now = 0;
    if (schedule.start(0) != mel::kDeviceOk) continue;
    for (int step = 0; step < 64 && !schedule.ended(); ++step) {
      schedule.take_due();
      now += 1LL << (step / 2);
    }
    schedule.take_due();
    EXPECT_TRUE(schedule.ended()) << "input of " << input.size() << " bytes";
    EXPECT_LE(schedule.position(), schedule.length());
  }
}

TEST_F(BuiltinScheduleTest, MissingAndEmptyFilesFailWithTheirOwnCodes) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "melvarino_builtin_schedule_test";
  fs::create_directories(dir);
  EXPECT_EQ(schedule.load_file(dir / "missing.mid"), mel::kDeviceErrorNoFile);
  { std::ofstream(dir / "empty.mid", std::ios::binary); }
  EXPECT_EQ(schedule.load_file(dir / "empty.mid"), mel::kDeviceErrorCannotOpen);
  {
    const Bytes song = tempo_change_song();
    std::ofstream out(dir / "song.mid", std::ios::binary);
    out.write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
  }
  EXPECT_EQ(schedule.load_file(dir / "song.mid"), mel::kDeviceOk);
  EXPECT_EQ(schedule.length(), 16);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
