#include "formats/dxm/dxm_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "formats/midi/midi_reader.h"
#include "support/midi_builder.h"
#include "support/read_score.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

uint32_t be32(const Bytes& b, std::size_t at) {
  return (uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) | (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}
uint32_t be24(const Bytes& b, std::size_t at) { return be32(b, at - 1) & 0xFFFFFF; }

// Directory entry i (1-based): its data offset and size.
std::pair<uint32_t, uint32_t> entry(const Bytes& file, int i) {
  std::size_t at = 4 + (i - 1) * 10;
  return {be32(file, at + 2), be32(file, at + 6)};
}

// One event of a DXM track: absolute time, status, data bytes.
struct Event {
  uint32_t time;
  int status;
  Bytes data;
};

// The events of every "CTrk" chunk of the MIDI part, running status resolved;
// note-offs carry only their key.
std::vector<std::vector<Event>> dxm_tracks(const Bytes& file) {
  std::vector<std::vector<Event>> tracks;
  std::size_t pos = entry(file, 17).first;
  pos += 8 + be32(file, pos + 4);  // CThd
  while (pos + 8 <= file.size() && std::string(file.begin() + pos, file.begin() + pos + 4) == "CTrk") {
    std::size_t end = pos + 8 + be32(file, pos + 4);
    std::size_t p = pos + 8;
    uint32_t time = 0;
    int running = 0;
    std::vector<Event> events;
    while (p < end) {
      uint32_t delta = 0;
      do delta = (delta << 7) | (file[p] & 0x7F);
      while (file[p++] & 0x80);
      time += delta;
      int status = file[p] & 0x80 ? file[p++] : running;
      std::size_t n = 0;
      if (status == 0xFF) {
        n = 2 + file[p + 1];
      } else {
        running = status;
        int kind = status & 0xF0;
        n = kind == 0x90 || kind == 0xB0 || kind == 0xA0 ? 2 : 1;
      }
      events.push_back({time, status, Bytes(file.begin() + p, file.begin() + p + n)});
      p += n;
    }
    tracks.push_back(events);
    pos = end;
  }
  return tracks;
}

int count_status(const std::vector<Event>& events, int status) {
  int n = 0;
  for (const Event& e : events) n += e.status == status;
  return n;
}

Settings no_limit() {
  Settings s;
  s.writers.dxmbyte = 0;
  return s;
}

TEST(DxmWriter, QuarterNoteInAnExactContainer) {
  ScoreBuilder b(120, 48);
  b.title("T");
  b.track().note(60, 48);
  Settings s = no_limit();
  Bytes file = write_dxm_file(b.score(), b.song(), s);
  ASSERT_GT(file.size(), 340u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "MCDF");
  EXPECT_EQ(entry(file, 1), (std::pair<uint32_t, uint32_t>{254, 4}));
  EXPECT_EQ(entry(file, 23), (std::pair<uint32_t, uint32_t>{339, 1})) << "the title";
  EXPECT_EQ(entry(file, 24), (std::pair<uint32_t, uint32_t>{340, 15})) << "the creator text";
  EXPECT_EQ(std::string(file.begin() + 339, file.begin() + 355), "TMELVARINO V8.00");
  uint32_t midiAt = entry(file, 17).first;
  EXPECT_EQ(midiAt, 355u);
  EXPECT_EQ(entry(file, 17).second, file.size() - midiAt);
  EXPECT_EQ(be24(file, entry(file, 5).first + 1), file.size()) << "entry 5 holds the file length";
  EXPECT_EQ(be24(file, entry(file, 18).first + 1), file.size() - midiAt) << "entry 18 the MIDI part's size";
  Bytes midi(file.begin() + midiAt, file.end());
  Bytes expected = {'C', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 24,  // format 0, one track, 24 per quarter
                    'C', 'T', 'r', 'k', 0, 0, 0, 18,
                    0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20,  // tempo 120
                    0, 0x90, 60, 100,                    // note on, the default velocity
                    24, 0x80, 60,                        // a quarter later: note off, no velocity byte
                    0, 0xFF, 0x2F, 0};
  EXPECT_EQ(midi, expected);
}

int note_ons(const std::vector<Event>& events) {
  int n = 0;
  for (const Event& e : events) n += (e.status & 0xF0) == 0x90;
  return n;
}

TEST(DxmWriter, FifthInstrumentIsDroppedUnlessChannelsAreShared) {
  ScoreBuilder b(120, 48);
  for (int t = 0; t < 5; ++t) b.track().program(t == 4 ? 0 : t).note(60 + t, 48);
  Settings s = no_limit();
  std::vector<Event> events = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  EXPECT_EQ(note_ons(events), 4) << "four channels, the fifth track is dropped";
  s.writers.dxmSharedChannels = 1;
  events = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  EXPECT_EQ(note_ons(events), 5) << "track 5 shares track 1's program and channel";
}

TEST(DxmWriter, GunshotTrackBecomesSnareHitsButMixedProgramsDoNot) {
  ScoreBuilder b(120, 48);
  b.track().program(127).note(60, 48).note(62, 48);
  b.track().program(1).program(2).note(64, 48);  // two programs: "mixed" (129), part 0
  Settings s = no_limit();
  s.writers.dxmRhythmReplace = 1;
  std::vector<Event> events = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  EXPECT_EQ(count_status(events, 0x99), 2);
  for (const Event& e : events) {
    if (e.status == 0x99) {
      EXPECT_EQ(e.data[0], 38);
    }
  }
  for (const Event& e : events) {
    // Only the track's closing pad (key 0) is a note-off on the rhythm channel.
    if (e.status == 0x89) {
      EXPECT_EQ(e.data[0], 0) << "drum notes have no note-off";
    }
  }
  EXPECT_EQ(count_status(events, 0x90), 1) << "the mixed-program track stays melodic";
}

TEST(DxmWriter, FinishingStageKeepsToTheSizeLimit) {
  ScoreBuilder b(120, 48);
  b.track();
  for (int i = 0; i < 500; ++i) b.note(60 + i % 12, 12);
  Settings s = no_limit();
  s.writers.dxmbyte = 1024;
  Bytes file = write_dxm_file(b.score(), b.song(), s);
  EXPECT_LT(file.size(), 1024u - 6 + 4);
  std::vector<Event> events = dxm_tracks(file)[0];
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().status, 0xFF);
  EXPECT_EQ(events.back().data, (Bytes{0x2F, 0}));
  EXPECT_EQ(be24(file, entry(file, 5).first + 1), file.size());
}

TEST(DxmWriter, ChordLimitDropsTheThirteenthNoteAndItsNoteOff) {
  ScoreBuilder b(120, 48);
  for (int t = 0; t < 13; ++t) b.track().note(50 + t, 48);
  Settings s = no_limit();
  s.writers.dxmSharedChannels = 1;  // one instrument: every track on channel 1
  s.writers.dxmChordLimit = 1;
  std::vector<Event> events = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  EXPECT_EQ(count_status(events, 0x90), 12);
  EXPECT_EQ(count_status(events, 0x80), 12);
}

TEST(DxmWriter, OverridesAndHostileValuesAreDataBytes) {
  ScoreBuilder b(120, 48);
  b.track().raw({kProgramEvent, 200, kVolumeEvent, 230, kVelocityEvent, 200}).note(60, 48);
  Settings s = no_limit();
  std::vector<Event> hostile = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  for (const Event& e : hostile) {
    for (uint8_t d : e.data) {
      if (e.status != 0xFF) {
        EXPECT_LE(d, 127) << "status " << e.status;
      }
    }
  }
  s.play.KeepFileInstruments = 0;
  s.play.StandardVolume = 0;
  s.play.melody = 5;
  std::vector<Event> events = dxm_tracks(write_dxm_file(b.score(), b.song(), s))[0];
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[1].status, 0xC0);
  EXPECT_EQ(events[1].data, Bytes{5}) << "no per-track program: the default instrument";
  EXPECT_EQ(events[2].data, (Bytes{7, 100})) << "and the default volume";
}

TEST(DxmWriter, TitleHoldingTheHeaderTagDoesNotMisleadTheFinishingStage) {
  ScoreBuilder b(120, 48);
  b.title("CThdCTrk");
  b.track().note(60, 48);
  Bytes file = write_dxm_file(b.score(), b.song(), no_limit());
  std::vector<std::vector<Event>> tracks = dxm_tracks(file);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(count_status(tracks[0], 0x90), 1);
  EXPECT_EQ(std::string(file.begin() + 339, file.begin() + 347), "CThdCTrk");
}

TEST(DxmWriter, ReadsBackThroughTheMidiReader) {
  ScoreBuilder b(96, 48);
  b.track().note(60, 48).rest(24).note(64, 96);
  b.track().note(48, 192);
  b.track().rhythm().note(36, 24).rest(24).note(38, 24);
  Bytes file = write_dxm_file(b.score(), b.song(), no_limit());
  test::ReadResult back = test::read_with(read_midi_file, file);
  EXPECT_EQ(back.song.tempo, 96);
  EXPECT_EQ(back.song.timebase, 24);
  // Key, start and length of the notes of each track.
  std::vector<std::vector<std::tuple<int, int, int>>> tracks;
  for (int t = 1; t <= back.song.trackCount; ++t) {
    std::vector<std::tuple<int, int, int>> n;
    std::size_t pos = static_cast<std::size_t>(back.song.trackStart[t - 1]);
    int time = 0;
    for (;;) {
      ScoreEvent ev = decode_score_event(back.score.bytes.data(), back.score.length, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Note) n.push_back({ev.code, time, ev.value});
      if (ev.kind != ScoreEvent::Control) time += ev.value;
    }
    tracks.push_back(n);
  }
  using N = std::tuple<int, int, int>;
  ASSERT_GE(tracks.size(), 2u);
  EXPECT_EQ(tracks[0], (std::vector<N>{{60, 0, 24}, {64, 36, 48}}));
  EXPECT_EQ(tracks[1], (std::vector<N>{{48, 0, 96}}));
}

}  // namespace
}  // namespace mel

namespace mel {
namespace {

using test::MidiFileBuilder;
using test::TrackBuilder;

// Reads the MIDI source as the dispatcher does, then writes DXM from it.
Bytes dxm_from_midi(const Bytes& midi, Settings s) {
  s.writers.dxmbyte = 0;
  test::ReadResult read = test::read_with(read_midi_file, midi, s);
  return write_dxm_file_from_midi(ByteView(midi), read.song, s);
}

TEST(DxmFromMidi, KeepsTheSourceTempoAndTimingAtTwentyFourTicks) {
  TrackBuilder conductor;
  conductor.tempo_bpm(0, 100).end();
  TrackBuilder melody;
  melody.program(0, 0, 5).note_on(0, 0, 60).note_off(480, 0, 60).note_on(0, 0, 64, 0).end();
  Settings s;
  std::vector<Event> events = dxm_tracks(dxm_from_midi(MidiFileBuilder(1, 480).track(conductor).track(melody).bytes(), s))[0];
  std::vector<std::tuple<uint32_t, int, Bytes>> got;
  for (const Event& e : events) got.push_back({e.time, e.status, e.data});
  EXPECT_EQ(got, (std::vector<std::tuple<uint32_t, int, Bytes>>{
                     {0, 0xFF, {0x51, 3, 0x09, 0x27, 0xC0}},  // 600000 microseconds per quarter
                     {0, 0xC0, {5}},
                     {0, 0x90, {60, 100}},
                     {24, 0x80, {60}},  // a quarter note later; a note-off keeps its key only
                     {24, 0x80, {64}},  // a note-on of velocity 0 is a note-off
                     {24, 0xFF, {0x2F, 0}},
                 }));
}

TEST(DxmFromMidi, FoldedNotesEndWithFoldedNoteOffs) {
  TrackBuilder melody;
  melody.note_on(0, 0, 40).note_off(480, 0, 40).end();
  Settings s;
  s.conv.lowNoteFoldLevel = 60;
  std::vector<Event> events = dxm_tracks(dxm_from_midi(MidiFileBuilder(0, 480).track(melody).bytes(), s))[0];
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0].data[0], 64);
  EXPECT_EQ(events[1].status, 0x80);
  EXPECT_EQ(events[1].data[0], 64) << "the note-off names the folded key";
}

TEST(DxmFromMidi, TempoStaysWithinItsThreeBytesAndDrumsHaveNoNoteOff) {
  TrackBuilder t;
  t.tempo_usec(0, 0xF00000).note_on(0, 9, 36).note_off(240, 9, 36).end();
  Settings s;
  s.play.SpeedFactor = 1;
  std::vector<Event> events = dxm_tracks(dxm_from_midi(MidiFileBuilder(0, 480).track(t).bytes(), s))[0];
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0].data, (Bytes{0x51, 3, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(count_status(events, 0x99), 1);
  EXPECT_EQ(count_status(events, 0x89), 0);
}

}  // namespace
}  // namespace mel
