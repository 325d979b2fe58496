#include "midi/midi_timing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/midi_builder.h"

namespace mel {
namespace {

using test::Bytes;
using test::MidiFileBuilder;
using test::TrackBuilder;

constexpr int kQuarter = 480;

MidiTimeline parse(const Bytes& file) { return MidiTimeline::parse(ByteView(file)); }

// 120 per minute for four quarters (2000 ms), then 60 per minute for two more
// (2000 ms): the tempo lives in a conductor chunk, the notes in two others.
Bytes tempo_change_song() {
  TrackBuilder conductor, melody, bass;
  conductor.tempo_bpm(0, 120).tempo_bpm(4 * kQuarter, 60).end();
  melody.note_on(0, 0, 72).note_off(4 * kQuarter, 0, 72).note_on(0, 0, 74).note_off(2 * kQuarter, 0, 74).end();
  bass.note_on(kQuarter, 1, 36).note_off(kQuarter, 1, 36).end();
  return MidiFileBuilder(1, kQuarter).track(conductor).track(melody).track(bass).bytes();
}

TEST(MidiTiming, TempoChangeMidSongFollowsTheTempoMap) {
  MidiTimeline timeline = parse(tempo_change_song());
  ASSERT_TRUE(timeline.timed());
  EXPECT_EQ(timeline.track_count(), 3u);
  EXPECT_EQ(timeline.length_ticks(), 6u * kQuarter);
  EXPECT_EQ(timeline.tick_to_ms(4 * kQuarter), 2000);
  EXPECT_EQ(timeline.tick_to_ms(5 * kQuarter), 3000);  // one quarter at 60 per minute
  EXPECT_EQ(timeline.ms_to_tick(1000), 2u * kQuarter);
  EXPECT_EQ(timeline.ms_to_tick(3500), 5u * kQuarter + kQuarter / 2);
  EXPECT_EQ(timeline.ms_to_tick(1), 1u);  // the first tick at or after 1 ms
  EXPECT_EQ(timeline.tick_to_sixteenths(5 * kQuarter), 20);
  EXPECT_EQ(timeline.sixteenths_to_tick(20), 5u * kQuarter);

  MidiLength length = measure_midi_length(ByteView(tempo_change_song()));
  EXPECT_EQ(length.milliseconds, 4000);
  EXPECT_EQ(length.sixteenths, 24);
}

TEST(MidiTiming, EventsOfAllTracksMergeInTimeOrder) {
  MidiTimeline timeline = parse(tempo_change_song());
  std::vector<std::string> seen;
  for (const TimedMidiEvent& e : timeline.events()) {
    ByteView b = timeline.bytes_of(e);
    seen.push_back(std::to_string(e.tick) + ":" + std::to_string(e.track) + ":" + std::to_string(b.at(0)) + "/" +
                   std::to_string(b.at(1)));
  }
  // At one tick, earlier tracks come first; meta events show FF and their type.
  std::vector<std::string> expected = {
      "0:0:255/81",  "0:1:144/72",  "480:2:145/36",  "960:2:129/36",  "960:2:255/47",
      "1920:0:255/81", "1920:0:255/47", "1920:1:128/72", "1920:1:144/74", "2880:1:128/74", "2880:1:255/47",
  };
  EXPECT_EQ(seen, expected);
}

TEST(MidiTiming, RunningStatusIsResolvedAndSysExKeepsItsData) {
  TrackBuilder t;
  t.running_status(true).note_on(0, 2, 60).note_on(10, 2, 60, 0).sysex(5, {0x7E, 0xF7}).end();
  MidiTimeline timeline = parse(MidiFileBuilder(0, 96).track(t).bytes());
  ASSERT_EQ(timeline.events().size(), 4u);
  ByteView second = timeline.bytes_of(timeline.events()[1]);
  EXPECT_EQ(std::vector<uint8_t>(second.data, second.data + second.size), (std::vector<uint8_t>{0x92, 60, 0}));
  ByteView sysex = timeline.bytes_of(timeline.events()[2]);
  EXPECT_EQ(std::vector<uint8_t>(sysex.data, sysex.data + sysex.size), (std::vector<uint8_t>{0xF0, 0x7E, 0xF7}));
  EXPECT_EQ(timeline.events()[2].tick, 15u);
}

TEST(MidiTiming, FormatZeroWithoutTempoUsesTheDefault) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(3 * 96, 0, 60).end();
  MidiLength length = measure_midi_length(ByteView(MidiFileBuilder(0, 96).track(t).bytes()));
  EXPECT_EQ(length.milliseconds, 1500);  // three quarters at 500000 µs
  EXPECT_EQ(length.sixteenths, 12);
}

TEST(MidiTiming, TwoTemposAtOneTickTheLaterWins) {
  TrackBuilder t;
  t.tempo_bpm(0, 60).tempo_bpm(0, 240).note_on(0, 0, 60).note_off(kQuarter, 0, 60).end();
  MidiTimeline timeline = parse(MidiFileBuilder(0, kQuarter).track(t).bytes());
  EXPECT_EQ(timeline.tempo_map().size(), 1u);
  EXPECT_EQ(timeline.length().milliseconds, 250);
}

TEST(MidiTiming, FormatTwoPatternsPlayOneAfterAnother) {
  // Four quarters at 120, one at 60, then two with no tempo of their own: the
  // 60 carries on into the third pattern.
  TrackBuilder first, second, third;
  first.tempo_bpm(0, 120).note_on(0, 0, 60).note_off(4 * kQuarter, 0, 60).end();
  second.tempo_bpm(0, 60).note_on(0, 0, 62).note_off(kQuarter, 0, 62).end();
  third.note_on(0, 0, 64).note_off(2 * kQuarter, 0, 64).end();
  MidiTimeline patterns = parse(MidiFileBuilder(2, kQuarter).track(first).track(second).track(third).bytes());
  EXPECT_EQ(patterns.format(), 2);
  EXPECT_EQ(patterns.length_ticks(), 7u * kQuarter);
  EXPECT_EQ(patterns.length().milliseconds, 2000 + 1000 + 2000);
  EXPECT_EQ(patterns.length().sixteenths, 28);
  std::vector<uint64_t> noteOns;
  for (const TimedMidiEvent& e : patterns.events()) {
    if (patterns.bytes_of(e).at(0) == 0x90) noteOns.push_back(e.tick);
  }
  EXPECT_EQ(noteOns, (std::vector<uint64_t>{0, 4 * kQuarter, 5 * kQuarter}));

  // As format 1 the same tracks play together, and of the two tempi at tick 0
  // the later track's wins.
  MidiTimeline together = parse(MidiFileBuilder(1, kQuarter).track(first).track(second).track(third).bytes());
  EXPECT_EQ(together.length_ticks(), 4u * kQuarter);
  EXPECT_EQ(together.length().milliseconds, 4000);
}

TEST(MidiTiming, EmptyAndUntimedFilesMeasureZero) {
  EXPECT_EQ(measure_midi_length(ByteView()).milliseconds, 0);
  Bytes headerOnly = MidiFileBuilder(1, kQuarter).bytes();
  MidiTimeline empty = parse(headerOnly);
  EXPECT_TRUE(empty.has_header());
  EXPECT_EQ(empty.track_count(), 0u);
  EXPECT_EQ(empty.length().milliseconds, 0);
  EXPECT_EQ(empty.length().sixteenths, 0);

  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(kQuarter, 0, 60).end();
  MidiTimeline zeroDivision = parse(MidiFileBuilder(0, 0).track(t).bytes());
  EXPECT_FALSE(zeroDivision.timed());
  EXPECT_EQ(zeroDivision.length_ticks(), static_cast<uint64_t>(kQuarter));
  EXPECT_EQ(zeroDivision.length().milliseconds, 0);
  EXPECT_EQ(zeroDivision.length().sixteenths, 0);
  EXPECT_EQ(zeroDivision.ms_to_tick(1000), 0u);
  EXPECT_EQ(zeroDivision.sixteenths_to_tick(4), 0u);

  // Time code with 0 ticks per frame cannot be timed either.
  EXPECT_FALSE(parse(MidiFileBuilder(0, 0xE700).track(t).bytes()).timed());
}

TEST(MidiTiming, TimeCodeDivisionCountsFramesAndIgnoresTempo) {
  TrackBuilder t;
  t.tempo_bpm(0, 30).note_on(0, 0, 60).note_off(1000, 0, 60).end();
  // 25 frames per second, 40 ticks per frame: 1000 ticks a second.
  MidiTimeline timeline = parse(MidiFileBuilder(0, 0xE728).track(t).bytes());
  ASSERT_TRUE(timeline.time_code());
  EXPECT_EQ(timeline.length().milliseconds, 1000);
  EXPECT_EQ(timeline.length().sixteenths, 8);  // 125 ms sixteenths at the default tempo
  EXPECT_EQ(timeline.ms_to_tick(500), 500u);
  // 29.97 frames per second (drop frame), 1 tick per frame.
  MidiTimeline dropFrame = parse(MidiFileBuilder(0, 0xE301).track(t).bytes());
  EXPECT_EQ(dropFrame.length().milliseconds, 33366);  // 1000 frames of 33.3667 ms
}

TEST(MidiTiming, WrappedFileAndForeignChunksAreRead) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(2 * kQuarter, 0, 60).end();
  Bytes file = MidiFileBuilder(1, kQuarter)
                   .prefix({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a', 0, 0, 0, 0})
                   .raw({'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAA, 0xBB})
                   .track(t)
                   .bytes();
  EXPECT_EQ(measure_midi_length(ByteView(file)).milliseconds, 1000);
}

TEST(MidiTiming, TruncatedAndHostileInputStaysWithinBounds) {
  Bytes song = tempo_change_song();
  long long previous = 0;
  for (std::size_t n = 0; n <= song.size(); ++n) {
    Bytes cut(song.begin(), song.begin() + static_cast<long>(n));
    MidiLength length = measure_midi_length(ByteView(cut));
    EXPECT_GE(length.milliseconds, previous) << n;  // more bytes never shorten the song
    previous = length.milliseconds;
  }
  EXPECT_EQ(previous, 4000);

  // Huge deltas, a chunk length past the end and a tempo of 1 µs: times are
  // held, never wrapped.
  TrackBuilder t;
  for (int i = 0; i < 300; ++i) t.note_on(0x0FFFFFFF, 0, 60);
  t.tempo_usec(0, 0xFFFFFF).tempo_usec(0, 1).end();
  MidiTimeline timeline = parse(MidiFileBuilder(0, 1).track(t, 0x7FFFFFFF).bytes());
  EXPECT_EQ(timeline.length_ticks(), kMaxMidiTick);
  EXPECT_GT(timeline.length().milliseconds, 0);
  EXPECT_EQ(timeline.ms_to_tick(timeline.length().milliseconds + 1000), kMaxMidiTick);
}

}  // namespace
}  // namespace mel
