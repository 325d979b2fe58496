#include "formats/midi/midi_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "support/midi_builder.h"

namespace mel {
namespace {

using test::Bytes;
using test::Flavour;
using test::MidiFileBuilder;
using test::TrackBuilder;

constexpr int kC = 60, kE = 64, kG = 67;
constexpr int kQuarter = 480;  // the division of most inputs below

// One score event as (code, value): notes and rests carry their duration,
// controls their data byte.
using Event = std::pair<int, int>;
using Track = std::vector<Event>;

struct Result {
  Score score;
  SongInfo song;

  std::vector<Track> tracks() const {
    std::vector<Track> out(1);
    std::size_t pos = kFirstTrackOffset;
    for (;;) {
      ScoreEvent e = decode_score_event(score.bytes.data(), score.length, pos);
      if (e.kind == ScoreEvent::EndOfScore) break;
      if (e.kind == ScoreEvent::EndOfTrack) {
        out.emplace_back();
      } else {
        out.back().push_back({e.code, e.value});
      }
      pos += e.size;
    }
    return out;
  }

  // The keys and rests of one track, controls left out.
  static Track notes(const Track& t) {
    Track out;
    for (const Event& e : t) {
      if (e.first < kFirstControlCode) out.push_back(e);
    }
    return out;
  }
};

int byte_size(const Track& t) {
  int n = 0;
  for (const Event& e : t) n += e.first >= kFirstControlCode ? 2 : 3;
  return n;
}

Result read(const Bytes& file, const Settings& settings = Settings{}) {
  Result r;
  read_midi_file(ByteView(file), r.score, r.song, settings);
  return r;
}

// A C major triad struck at one tick (in the given order) and held a quarter.
Bytes triad_file(std::initializer_list<int> order) {
  TrackBuilder t;
  for (int key : order) t.note_on(0, 0, key);
  bool first = true;
  for (int key : order) {
    t.note_off(first ? kQuarter : 0, 0, key);
    first = false;
  }
  t.end();
  return MidiFileBuilder(1, kQuarter).track(t).bytes();
}

TEST(MidiBuilder, BuildsHeaderAndTrackChunk) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(480, 0, 60).end();
  Bytes file = MidiFileBuilder(1, 480).track(t).bytes();
  Bytes expected{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0x01, 0xE0,  // format 1, 1 track, 480
                 'M', 'T', 'r', 'k', 0, 0, 0, 13,                          // 13 bytes of events
                 0x00, 0x90, 60, 100,                                      // note on
                 0x83, 0x60, 0x80, 60, 64,                                 // delta 480, note off
                 0x00, 0xFF, 0x2F, 0x00};                                  // end of track
  EXPECT_EQ(file, expected);
  EXPECT_EQ(test::vlq(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(MidiReader, ReadsOneMelodyWithItsControlsAndBookkeeping) {
  TrackBuilder t;
  t.track_name(0, "Song")
      .program(0, 2, 5)
      .volume(0, 2, 90)
      .pan(0, 2, 30)
      .note_on(240, 2, kC, 80)
      .note_off(480, 2, kC)
      .note_on(480, 2, kE, 80)
      .note_off(240, 2, kE)
      .end(999);  // the end-of-track delta adds no time
  Result r = read(MidiFileBuilder(1, kQuarter).track(t).bytes());

  EXPECT_EQ(r.song.timebase, kQuarter);
  EXPECT_EQ(r.song.title, "Song");
  EXPECT_EQ(r.song.trackCount, 1);
  std::vector<Track> tracks = r.tracks();
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0], (Track{{kProgramEvent, 5}, {kVolumeEvent, 90}, {kVelocityEvent, 80}, {kPanEvent, 30},
                              {kRest, 240}, {kC, 480}, {kRest, 480}, {kE, 240}}));
  EXPECT_EQ(r.song.part[0], 3);
  EXPECT_EQ(r.song.program[0], 6);
  EXPECT_EQ(r.song.volume[0], 91);
  EXPECT_EQ(r.song.noteCount[0], 2);
  EXPECT_EQ(r.song.leadIn, 240);
  EXPECT_EQ(r.song.firstNoteTime[0], 241);
  EXPECT_EQ(r.song.lastNoteEnd[0], 1441);
  EXPECT_EQ(r.song.songLength, 1440);
  EXPECT_EQ(r.song.lowestPitch[0], kC);
  EXPECT_EQ(r.song.highestPitch[0], kE);
  EXPECT_TRUE(r.song.programSet.test(5));
  EXPECT_EQ(r.song.programCount, 1);
  EXPECT_EQ(r.score.tempo(), 120);
  EXPECT_TRUE(r.song.notices.empty());
}

TEST(MidiReader, TriadKeepsOneVoiceWithoutChordSplit) {
  // Each later note-on replaces the sounding note; the replaced ones last 0
  // ticks and vanish in the note filter.
  Result last = read(triad_file({kC, kG, kE}));
  ASSERT_EQ(last.song.trackCount, 1);
  EXPECT_EQ(Result::notes(last.tracks()[0]), (Track{{kE, kQuarter}}));

  // With high-note priority the highest key stays, whatever the order.
  Settings high;
  high.conv.highmld = 1;
  for (auto order : {std::initializer_list<int>{kG, kC, kE}, std::initializer_list<int>{kC, kE, kG}}) {
    Result r = read(triad_file(order), high);
    ASSERT_EQ(r.song.trackCount, 1);
    EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kG, kQuarter}}));
  }
}

TEST(MidiReader, ChordSplitGivesOneTrackPerVoiceOnOneChannel) {
  Settings split;
  split.play.TrackSplit = 1;
  Result r = read(triad_file({kC, kE, kG}), split);
  ASSERT_EQ(r.song.trackCount, 3);
  std::vector<Track> tracks = r.tracks();
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(Result::notes(tracks[0]), (Track{{kC, kQuarter}}));
  EXPECT_EQ(Result::notes(tracks[1]), (Track{{kE, kQuarter}}));
  EXPECT_EQ(Result::notes(tracks[2]), (Track{{kG, kQuarter}}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r.song.part[i], 1) << i;
  EXPECT_EQ(r.song.trackStart[1], r.song.trackStart[0] + byte_size(tracks[0]) + 1);
  EXPECT_EQ(r.song.trackStart[2], r.song.trackStart[1] + byte_size(tracks[1]) + 1);

  // chsepcnt 2 keeps two voices; a channel outside chordSplitChannels keeps one.
  split.conv.chsepcnt = 2;
  EXPECT_EQ(read(triad_file({kC, kE, kG}), split).song.trackCount, 2);
  split.conv.chsepcnt = 4;
  split.conv.chordSplitChannels = 0x0002;  // channel 2 only
  EXPECT_EQ(read(triad_file({kC, kE, kG}), split).song.trackCount, 1);
}

// Regression: without a header chunk the chord window was measured with the
// whole note of an unscaled length, whatever the note length scale said, so
// a headerless file split its chords differently from one with a 240 header.
TEST(MidiReader, ChordWindowFollowsTheLengthScaleWithOrWithoutAHeader) {
  Settings s;
  s.play.TrackSplit = 1;
  s.conv.noteLengthScale = 32;    // whole note = 1920 ticks at 240 per quarter
  s.conv.shortNoteCutLevel = 30;  // chord window = 1920 * 30 / 960 = 60 ticks
  TrackBuilder t;
  t.note_on(0, 0, kC).note_on(45, 0, kE).note_off(960, 0, kC).note_off(0, 0, kE).end();
  Result headed = read(MidiFileBuilder(1, kResetTimebase).track(t).bytes(), s);
  Result headerless = read(t.chunk(), s);
  for (const Result* r : {&headed, &headerless}) {
    ASSERT_EQ(r->song.trackCount, 2);
    std::vector<Track> tracks = r->tracks();
    EXPECT_EQ(Result::notes(tracks[0]), (Track{{kC, 1005}}));
    EXPECT_EQ(Result::notes(tracks[1]), (Track{{kRest, 45}, {kE, 960}}));
  }
}

TEST(MidiReader, FormatZeroScansOncePerChannel) {
  TrackBuilder t;
  t.program(0, 1, 40)
      .note_on(0, 0, kC)
      .note_on(0, 1, kE)
      .note_on(0, 9, 36)
      .note_off(kQuarter, 0, kC)
      .note_off(0, 1, kE)
      .note_on(0, 9, 38)  // drum notes last until the next one
      .note_off(kQuarter, 9, 38)
      .end();
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  ASSERT_EQ(r.song.trackCount, 3);
  std::vector<Track> tracks = r.tracks();
  EXPECT_EQ(Result::notes(tracks[0]), (Track{{kC, kQuarter}, {kRest, kQuarter}}));
  EXPECT_EQ(tracks[1].front(), (Event{kProgramEvent, 40}));  // channel 2's program only
  EXPECT_EQ(Result::notes(tracks[1]), (Track{{kE, kQuarter}, {kRest, kQuarter}}));
  EXPECT_EQ(Result::notes(tracks[2]), (Track{{36, kQuarter}, {38, kQuarter}}));
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(r.song.part[1], 2);
  EXPECT_EQ(r.song.part[2], 10);
  EXPECT_EQ(r.song.program[0], 0);
  EXPECT_EQ(r.song.program[1], 41);
  EXPECT_EQ(r.song.program[2], kRhythmProgram);
  EXPECT_EQ(r.song.rhythmKeyCount, 2);
  EXPECT_TRUE(r.song.rhythmKeySet.test(36) && r.song.rhythmKeySet.test(38));
  EXPECT_EQ(r.song.sourceTrackSet.words[0], (1u << 0) | (1u << 1) | (1u << 9));
}

TEST(MidiReader, FormatZeroSkipsChannelsWithoutNotes) {
  // Channel 1 only carries a controller: its pass yields no track, and its
  // source mark is withdrawn when channel 3's pass takes the score track over.
  TrackBuilder t;
  t.volume(0, 0, 100).note_on(0, 2, kC).note_off(kQuarter, 2, kC).end();
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.part[0], 3);
  EXPECT_EQ(r.song.sourceTrackSet.words[0], 1u << 2);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, kQuarter}}));
}

// Regression: a pass whose notes all fell to the note filter still wrote
// their velocities, and the pass that took its score track over began after
// them: the track no longer started right after the previous end of track,
// its note count included the filtered notes, and a last track holding only
// such velocities was kept although it never sounds.
TEST(MidiReader, AnEmptyPassLeavesNothingBehind) {
  Settings cut;
  cut.conv.shortNoteCutLevel = 30;  // notes of 60 ticks or less at 480 fall
  TrackBuilder drums;               // two short drum notes: a rhythm pass that stays empty
  drums.note_on(0, 9, 36, 100).note_on(10, 9, 38, 40).end(10);
  TrackBuilder melody;
  melody.note_on(0, 0, kG, 90).note_off(kQuarter, 0, kG).end();
  TrackBuilder shortNotes;
  shortNotes.note_on(0, 0, kC, 100).note_off(10, 0, kC).end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(drums).track(melody).track(shortNotes).bytes(), cut);

  ASSERT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.trackStart[0], 2);
  EXPECT_EQ(r.tracks()[0], (Track{{kVelocityEvent, 90}, {kG, kQuarter}}));
  EXPECT_EQ(r.score.length, 2u + 2 + 3);
  EXPECT_EQ(r.song.noteCount[0], 1);
  EXPECT_EQ(r.song.program[0], 0);  // not a rhythm track: the drums never sounded
  EXPECT_EQ(r.song.trackStart[1], 0);
  EXPECT_EQ(r.song.sourceTrackSet.words[0], 1u << 1);

  // A song whose only pass stays empty is the two tempo bytes.
  Result none = read(MidiFileBuilder(1, kQuarter).track(shortNotes).bytes(), cut);
  EXPECT_EQ(none.score.length, 2u);
  EXPECT_EQ(none.song.noteCount[0], 0);
}

TEST(MidiReader, ConductorChunkGivesItsScoreTrackToTheNextChunk) {
  TrackBuilder conductor;
  conductor.tempo_bpm(0, 100).time_signature(0, 4, 2).end(1920);
  TrackBuilder melody;
  melody.note_on(0, 0, kC).note_off(kQuarter, 0, kC).end();
  TrackBuilder empty;
  empty.end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(conductor).track(melody).track(empty).bytes());
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.trackStart[0], 2);
  EXPECT_EQ(r.song.tempo, 100);
  // Only the melody chunk (number 2) produced a track; the empty last one is
  // dropped with the end mark in front of it.
  EXPECT_EQ(r.song.sourceTrackSet.words[0], 1u << 1);
  EXPECT_EQ(r.score.length, 2u + 3 + 2);  // velocity, note; no trailing 255
  EXPECT_NE(r.score.bytes[r.score.length - 1], kEndOfTrack);
}

TEST(MidiReader, TakesTheTempoInForceWhereTheMusicStarts) {
  TrackBuilder conductor;
  conductor.tempo_bpm(0, 120).tempo_bpm(960, 90).tempo_bpm(1920, 150).end();
  TrackBuilder melody;
  melody.note_on(1920, 0, kC).note_off(kQuarter, 0, kC).end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(conductor).track(melody).bytes());
  EXPECT_EQ(r.song.leadIn, 1920);
  EXPECT_EQ(r.song.tempo, 90);
  EXPECT_EQ(r.score.tempo(), 90);
}

// Regression: with more than 20 changes before the first note the later ones
// were lost and the file's first tempo was kept, although another one was in
// force when the music started.
TEST(MidiReader, TempoMapHasNoLimitOfTwenty) {
  TrackBuilder t;
  t.tempo_bpm(0, 33);
  for (int i = 1; i <= 24; ++i) t.tempo_bpm(10, 40 + i);
  t.tempo_bpm(10, 30).note_on(10, 0, kC).note_off(kQuarter, 0, kC).end();
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  EXPECT_EQ(r.song.tempoMap.size(), 26u);
  EXPECT_EQ(r.song.tempo, 30);
  EXPECT_EQ(r.score.tempo(), 30);
}

// Regression: every scan of a chunk while score track 1 stayed empty recorded
// the chunk's tempo changes again, so the map grew with the number of passes
// (up to 256 per chunk with chord splitting) instead of with the file.
TEST(MidiReader, RescannedChunkRecordsItsTempoChangesOnce) {
  TrackBuilder t;  // format 0: channel 1's pass finds no note, channel 2's does
  t.volume(0, 0, 100).tempo_bpm(0, 100).tempo_bpm(10, 90).note_on(10, 1, kC).note_off(kQuarter, 1, kC).end();
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  ASSERT_EQ(r.song.trackCount, 1);
  ASSERT_EQ(r.song.tempoMap.size(), 2u);
  EXPECT_EQ(r.song.tempoMap[1].tempo, 90);
  EXPECT_EQ(r.song.tempoMap[1].tick, 10);
  EXPECT_EQ(r.song.tempo, 90);
}

// The tempo map keeps absolute ticks: a change while the first note sounds
// comes after the lead-in, even though few ticks have passed since the note-on.
TEST(MidiReader, TempoChangeDuringTheFirstNoteIsNotInForceAtItsStart) {
  TrackBuilder t;
  t.tempo_bpm(0, 120).note_on(1920, 0, kC).tempo_bpm(60, 90).note_off(kQuarter, 0, kC).end();
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  EXPECT_EQ(r.song.leadIn, 1920);
  EXPECT_EQ(r.song.tempo, 120);
}

TEST(MidiReader, TitleAndCopyrightPrecedence) {
  TrackBuilder textFirst;
  textFirst.text(0, "text").track_name(0, "name").copyright(0, "first").copyright(0, "second").end();
  Result a = read(MidiFileBuilder(1, kQuarter).track(textFirst).bytes());
  EXPECT_EQ(a.song.title, "name");
  EXPECT_EQ(a.song.copyright, "first");

  TrackBuilder nameFirst;
  nameFirst.track_name(0, "name").text(0, "text").end();
  TrackBuilder laterName;
  laterName.track_name(0, "other").end();
  Result b = read(MidiFileBuilder(1, kQuarter).track(nameFirst).track(laterName).bytes());
  EXPECT_EQ(b.song.title, "name");

  // Texts keep CP932 bytes and stop at 255 bytes.
  TrackBuilder longName;
  longName.track_name(0, "曲" + std::string(300, 'x')).end();
  Result c = read(MidiFileBuilder(1, kQuarter).track(longName).bytes());
  EXPECT_EQ(c.song.title.size(), 255u);
  EXPECT_EQ(c.song.title.substr(0, 2), std::string("\x8B\xC8"));
}

TEST(MidiReader, TextRunningPastTheEndTakesOnlyTheBytesThatExist) {
  TrackBuilder t;
  t.raw({0x00, 0xFF, 0x03, 0x7F, 'a', 'b', 'c'});  // says 127 bytes, has 3
  Result r = read(MidiFileBuilder(1, kQuarter).track(t).bytes());
  EXPECT_EQ(r.song.title, "abc");
}

TEST(MidiReader, ShortNotesBecomeRestsBeforeTheNextNote) {
  Settings cut;
  cut.conv.shortNoteCutLevel = 30;  // 1/32 note = 60 ticks at 480 = 30 units
  TrackBuilder t;
  t.note_on(0, 0, kC).note_off(kQuarter, 0, kC)
      .note_on(0, 0, kE).note_off(60, 0, kE)    // cut
      .note_on(20, 0, kG).note_off(62, 0, kG)   // 62 ticks = 31 units: kept
      .end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(t).bytes(), cut);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, kQuarter}, {kRest, 80}, {kG, 62}}));
}

TEST(MidiReader, DxmNoteOffAndPitchBendCarryOneDataByte) {
  TrackBuilder t(Flavour::Dxm);
  t.note_on(0, 0, kC).pitch_bend(24, 0, 0x3000).note_off(24, 0, kC).note_on(0, 0, kE).note_off(48, 0, kE).end();
  Result dxm = read(MidiFileBuilder(0, 24, Flavour::Dxm).track(t).bytes());
  EXPECT_EQ(dxm.song.timebase, 24);
  EXPECT_EQ(Result::notes(dxm.tracks()[0]), (Track{{kC, 48}, {kE, 48}}));

  // The same note-off bytes read as MIDI take the next delta as velocity;
  // the rest of the track is misread and the second note never starts.
  TrackBuilder dxmNotes(Flavour::Dxm);
  dxmNotes.note_on(0, 0, kC).note_off(48, 0, kC).note_on(0, 0, kE).note_off(48, 0, kE).end();
  TrackBuilder asMidi;
  asMidi.raw(dxmNotes.events());
  Result midi = read(MidiFileBuilder(0, 24).track(asMidi).bytes());
  Track notes = Result::notes(midi.tracks()[0]);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0], (Event{kC, 48}));
  for (const Event& e : notes) EXPECT_NE(e.first, kE);
}

TEST(MidiReader, DxmTitleAndCopyrightFromTheDirectory) {
  // A directory in front of the MIDI part: a title entry with its length in
  // byte 6, a copyright entry with byte 6 = 0 and the length in bytes 8-9.
  const std::string title = "タイトル";
  const std::string author = std::string(300, 'c');
  Bytes prefix{'M', 'C', 'D', 'F'};
  std::size_t directorySize = 4 + 10 + 10;
  uint32_t titleAt = static_cast<uint32_t>(directorySize);
  uint32_t authorAt = titleAt + static_cast<uint32_t>(title.size());
  Bytes titleEntry{0x02, 0xC0, 0x00, 0x00, 0x00, static_cast<uint8_t>(titleAt),       // type, id, offset
                   static_cast<uint8_t>(title.size()), 0x00, 0x00, 0x00};             // length in byte 6
  test::append_bytes(prefix, titleEntry);
  test::append_bytes(prefix, test::dxm_text_entry(test::kDxmCopyrightEntry, authorAt, 300));
  test::append_text(prefix, title);
  test::append_text(prefix, author);

  TrackBuilder t(Flavour::Dxm);
  t.note_on(0, 0, kC).note_off(24, 0, kC).end();
  Result r = read(MidiFileBuilder(0, 24, Flavour::Dxm).prefix(prefix).track(t).bytes());
  EXPECT_EQ(r.song.title, std::string("\x83\x5E\x83\x43\x83\x67\x83\x8B"));
  EXPECT_EQ(r.song.copyright, std::string(255, 'c'));
  EXPECT_EQ(r.song.trackCount, 1);

  // In a MIDI file the same bytes are nothing but stray bytes.
  Result midi = read(MidiFileBuilder(0, 24).prefix(prefix).track(TrackBuilder().note_on(0, 0, kC).end()).bytes());
  EXPECT_TRUE(midi.song.title.empty());

  // An entry pointing past the end of the file takes nothing.
  Bytes bad{0x02, 0xC0, 0x00, 0x00, 0xFF, 0xFF, 0x05, 0, 0, 0};
  Result r2 = read(MidiFileBuilder(0, 24, Flavour::Dxm).prefix(bad).track(t).bytes());
  EXPECT_TRUE(r2.song.title.empty());
}

// Regression: a division of 0 or a time-code division made the whole-note
// length 0 or negative, and the note filter divided by it.
TEST(MidiReader, UnusableDivisionReadsAtTheResetTimebase) {
  for (int division : {0, 0xE728 /* -25 fps, 40 ticks */}) {
    TrackBuilder t;
    t.note_on(0, 0, kC).note_off(120, 0, kC).note_on(0, 0, kE).note_off(30, 0, kE).end();
    Settings cut;
    cut.conv.shortNoteCutLevel = 30;  // at 240 per quarter: 30 ticks = 30 units, cut
    Result r = read(MidiFileBuilder(1, division).track(t).bytes(), cut);
    EXPECT_EQ(r.song.timebase, kResetTimebase) << division;
    EXPECT_EQ(r.song.notices.size(), 1u) << division;
    EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, 120}, {kRest, 30}})) << division;
  }
}

TEST(MidiReader, EmptyOrHeaderlessInputGivesOneEmptyTrack) {
  for (const Bytes& file : {Bytes{}, Bytes{'M', 'T', 'h'}, MidiFileBuilder(1, 96).bytes()}) {
    Result r = read(file);
    EXPECT_EQ(r.score.length, 2u);
    EXPECT_EQ(r.song.trackCount, 1);
    EXPECT_EQ(r.song.trackStart[0], 2);
    EXPECT_EQ(r.score.tempo(), 120);
  }
  // Track chunks without a header are read at the reset timebase.
  TrackBuilder t;
  t.note_on(0, 0, kC).note_off(240, 0, kC).end();
  Result r = read(t.chunk());
  EXPECT_EQ(r.song.timebase, kResetTimebase);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, 240}}));
}

TEST(MidiReader, SkipsForeignChunksRunningStatusAndSystemExclusive) {
  TrackBuilder t;
  t.running_status(true)
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .note_on(0, 0, kC)
      .note_on(kQuarter, 0, kC, 0)  // running status, velocity 0 ends the note
      .note_on(0, 0, kE)
      .note_on(kQuarter, 0, kE, 0)
      .end();
  Bytes foreign{'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 0x4D, 0x54};  // a chunk of another kind
  Result r = read(MidiFileBuilder(1, kQuarter).raw(foreign).track(t).bytes());
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, kQuarter}, {kE, kQuarter}}));
}

// Truncated and hostile input never crashes, hangs or reads out of bounds
// (the sanitizer build checks the reads).
TEST(MidiReader, SurvivesTruncatedAndHostileInput) {
  TrackBuilder t;
  t.track_name(0, "x").tempo_bpm(0, 90).program(0, 0, 3).note_on(0, 0, kC).note_on(0, 0, kE)
      .note_off(100, 0, kC).note_off(10, 0, kE).note_on(0, 9, 36).end();
  Bytes whole = MidiFileBuilder(0, kQuarter).track(t).track(t).bytes();
  Settings split;
  split.play.TrackSplit = 1;
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
    for (const Settings& s : {Settings{}, split}) {
      Result r = read(cut, s);
      ASSERT_LE(r.score.length, kScoreCapacity);
      ASSERT_GE(r.song.trackCount, 1);
    }
  }

  // Data bytes with no status byte ever given, and lengths that run past the end.
  Bytes noStatus = MidiFileBuilder(1, kQuarter).raw({'M', 'T', 'r', 'k', 0, 0, 0, 0}).bytes();
  noStatus.insert(noStatus.end(), 5000, 0x40);
  EXPECT_EQ(read(noStatus).score.length, 2u);
  Bytes longMeta = MidiFileBuilder(1, kQuarter).raw({'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF,
                                                      0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'a'}).bytes();
  EXPECT_EQ(read(longMeta).song.title, "a");
  Bytes longHeader = MidiFileBuilder(1, kQuarter).header_length(0xFFFFFFF0).bytes();
  EXPECT_EQ(read(longHeader).score.length, 2u);
}

TEST(MidiReader, ChunkWithoutEndOfTrackEndsAtItsDeclaredLength) {
  TrackBuilder open, next;
  open.note_on(0, 0, kC).note_off(kQuarter, 0, kC);  // no end-of-track event
  next.note_on(0, 1, kE).note_off(kQuarter, 1, kE).end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(open).track(next).bytes());
  // The next chunk's tag and length are not read as events of the first.
  ASSERT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, kQuarter}}));
  EXPECT_EQ(Result::notes(r.tracks()[1]), (Track{{kE, kQuarter}}));
  EXPECT_EQ(r.song.songLength, kQuarter);
  EXPECT_TRUE(r.song.sourceTrackSet.test(0));
  EXPECT_TRUE(r.song.sourceTrackSet.test(1));
}

TEST(MidiReader, DeltaLongerThanFourBytesEndsTheTrackWithANotice) {
  TrackBuilder t;
  t.note_on(0, 0, kC).note_off(kQuarter, 0, kC);
  // Nine continuation bytes and two more before the end-of-track event.
  t.raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC, 0x00}).raw({0xFF, 0x2F, 0x00});
  Result r = read(MidiFileBuilder(0, kQuarter).track(t).bytes());
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(Result::notes(r.tracks()[0]), (Track{{kC, kQuarter}}));
  EXPECT_EQ(r.song.songLength, kQuarter);
  ASSERT_EQ(r.song.notices.size(), 1u);
  EXPECT_NE(r.song.notices[0].find("delta time longer than four bytes"), std::string::npos);
}

TEST(MidiReader, HugeDeltasAndTheScoreBoundStayInsideTheBuffer) {
  // Deltas of 2^28 - 1 ticks give long rests split into 65535-tick pieces.
  TrackBuilder gaps;
  for (int i = 0; i < 30; ++i) gaps.note_on(0x0FFFFFFF, 0, kC).note_off(10, 0, kC);
  gaps.end();
  Result r = read(MidiFileBuilder(1, kQuarter).track(gaps).bytes());
  EXPECT_LE(r.score.length, kScoreCapacity);
  EXPECT_GT(r.score.length, 0x3FF00u);  // filled up, then stopped

  // A lead-in beyond the range of the song header's integers is held at its top.
  TrackBuilder late;
  for (int i = 0; i < 9; ++i) late.text(0x0FFFFFFF, "");
  late.note_on(0, 0, kC).note_off(10, 0, kC).end();
  Result l = read(MidiFileBuilder(1, kQuarter).track(late).bytes());
  EXPECT_EQ(l.song.leadIn, INT_MAX);
  EXPECT_EQ(l.song.firstNoteTime[0], INT_MAX);

  // Many short notes: reading stops once the score passes its bound.
  TrackBuilder many;
  for (int i = 0; i < 50000; ++i) many.note_on(1, 0, 40 + i % 40).note_off(kQuarter, 0, 40 + i % 40);
  many.end();
  TrackBuilder more;
  more.note_on(0, 0, kC).note_off(kQuarter, 0, kC).end();
  Result m = read(MidiFileBuilder(1, kQuarter).track(many).track(more).bytes());
  EXPECT_LE(m.score.length, kScoreCapacity);
  EXPECT_GT(m.score.length, 0x3FF00u);
  EXPECT_EQ(m.song.trackCount, 1);  // the second chunk was never reached
}

}  // namespace
}  // namespace mel
