#include "formats/midi/midi_rewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "formats/midi/midi_reader.h"
#include "support/midi_builder.h"
#include "support/midicsv.h"

namespace mel {
namespace {

using test::Bytes;
using test::Flavour;
using test::MidiFileBuilder;
using test::TrackBuilder;

constexpr int kQuarter = 480;
constexpr int kDrums = 9;  // channel 10

// The rewrite of file, with the song header the MIDI reader finds in it (the
// dispatcher always reads the file before rewriting it).
Bytes rewrite(const Bytes& file, const Settings& settings = Settings{}) {
  Score score;
  SongInfo song;
  read_midi_file(ByteView(file), score, song, settings);
  return rewrite_midi_file(ByteView(file), song, settings);
}

// Walks a Standard MIDI File strictly: one header of length 6 whose track
// count matches the chunks, and chunks whose events end with exactly one
// end-of-track at their declared length, with every channel data byte 0-127.
// Returns "" or what is wrong.
std::string smf_fault(const Bytes& f) {
  auto be = [&](std::size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | f[at + i];
    return v;
  };
  if (f.size() < 14 || std::string(f.begin(), f.begin() + 4) != "MThd" || be(4, 4) < 6 || be(4, 4) > f.size() - 8) {
    return "bad header";
  }
  std::size_t pos = 8 + be(4, 4);
  uint32_t chunks = 0;
  while (pos < f.size()) {
    if (f.size() - pos < 8 || std::string(f.begin() + pos, f.begin() + pos + 4) != "MTrk") return "stray bytes";
    std::size_t end = pos + 8 + be(pos + 4, 4);
    if (end > f.size()) return "chunk length past the end";
    ++chunks;
    std::size_t p = pos + 8;
    uint8_t running = 0;
    bool ended = false;
    auto vlq = [&](uint32_t& v) {
      v = 0;
      for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        uint8_t b = f[p++];
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
      }
      return false;
    };
    while (p < end) {
      if (ended) return "events after end of track";
      uint32_t delta = 0;
      if (!vlq(delta) || p >= end) return "bad delta";
      uint8_t status = f[p];
      if (status < 0x80) {
        if (!running) return "data without status";
        status = running;
      } else {
        ++p;
      }
      if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        uint8_t type = status == 0xFF ? f[p++] : 0;
        uint32_t n = 0;
        if (!vlq(n) || n > end - p) return "bad meta or sysex length";
        ended = status == 0xFF && type == 0x2F;
        p += n;
      } else if (status >= 0xF0) {
        return "system status in file";
      } else {
        running = status;
        int n = (status & 0xE0) == 0xC0 ? 1 : 2;
        for (int i = 0; i < n; ++i) {
          if (p >= end || f[p] > 0x7F) return "bad data byte";
          ++p;
        }
      }
    }
    if (!ended) return "chunk without end of track";
    pos = end;
  }
  if (chunks != be(10, 2)) return "track count differs";
  return "";
}

void expect_midicsv_accepts(const Bytes& file) {
  test::MidiCsv csv = test::run_midicsv(file);
  if (!csv.available) return;
  EXPECT_TRUE(csv.ok) << csv.error;
}

// A conductor chunk and two note chunks that use most kinds of event.
struct ThreeChunkSong {
  TrackBuilder conductor, melody, bass;

  ThreeChunkSong() {
    conductor.tempo_bpm(0, 120).time_signature(0, 4, 2).track_name(0, "Song").tempo_bpm(4 * kQuarter, 90).end();
    melody.program(0, 0, 73)
        .volume(0, 0, 90)
        .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .note_on(0, 0, 72)
        .poly_pressure(10, 0, 72, 40)
        .pitch_bend(10, 0, 0x2100)
        .note_off(kQuarter - 20, 0, 72)
        .note_on(0, 0, 74)
        .note_off(kQuarter, 0, 74)
        .end();
    bass.running_status(true)
        .program(0, 1, 33)
        .note_on(0, 1, 36, 90)
        .note_on(kQuarter, 1, 36, 0)  // a note-on of velocity 0 ends it
        .note_on(0, 1, 43, 90)
        .note_on(kQuarter, 1, 43, 0)
        .channel_pressure(0, 1, 20)
        .end();
  }
  Bytes file() const { return MidiFileBuilder(1, kQuarter).track(conductor).track(melody).track(bass).bytes(); }
};

TEST(MidiRewriteNeutral, ReproducesTheSourceByteForByte) {
  Bytes source = ThreeChunkSong().file();
  Bytes out = rewrite(source);
  EXPECT_EQ(out, source);
  EXPECT_EQ(smf_fault(out), "");
  expect_midicsv_accepts(out);
}

TEST(MidiRewriteNeutral, OneTrackFileReproducedExceptKeyZeroNoteOns) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_on(0, 2, 0, 77).note_on(0, 1, 64).note_off(kQuarter, 0, 60).note_off(0, 1, 64)
      .note_off(0, 2, 0).note_on(0, kDrums, 38).note_off(60, kDrums, 38).end();
  Bytes source = MidiFileBuilder(0, kQuarter).track(t).bytes();

  TrackBuilder expected;
  expected.note_on(0, 0, 60).note_on(0, 2, 0, 0).note_on(0, 1, 64).note_off(kQuarter, 0, 60).note_off(0, 1, 64)
      .note_off(0, 2, 0).note_on(0, kDrums, 38).note_off(60, kDrums, 38).end();
  EXPECT_EQ(rewrite(source), MidiFileBuilder(0, kQuarter).track(expected).bytes());
}

TEST(MidiRewriteTracks, DeselectedChunkIsSilencedButKeepsItsEvents) {
  Bytes source = ThreeChunkSong().file();
  Settings settings;
  settings.play.TrackSelection = 2;  // only score track 2: the bass chunk
  settings.play.TrackMask = 0b10;
  Bytes out = rewrite(source, settings);

  ThreeChunkSong silent;
  silent.melody = TrackBuilder();
  silent.melody.program(0, 0, 73)
      .volume(0, 0, 90)
      .sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .note_on(0, 0, 72, 0)
      .poly_pressure(10, 0, 72, 40)
      .pitch_bend(10, 0, 0x2100)
      .note_off(kQuarter - 20, 0, 72)
      .note_on(0, 0, 74, 0)
      .note_off(kQuarter, 0, 74)
      .end();
  EXPECT_EQ(out.size(), source.size());
  EXPECT_EQ(out, silent.file());
}

TEST(MidiRewriteTracks, DeselectedChannelOfOneTrackFileIsSilenced) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_on(0, 3, 48).note_off(kQuarter, 0, 60).note_off(0, 3, 48).end();
  Settings settings;
  settings.play.TrackSelection = 1;  // score track 1 = channel 1 (index 0)
  settings.play.TrackMask = 0b01;
  Bytes out = rewrite(MidiFileBuilder(0, kQuarter).track(t).bytes(), settings);

  TrackBuilder expected;
  expected.note_on(0, 0, 60).note_on(0, 3, 48, 0).note_off(kQuarter, 0, 60).note_off(0, 3, 48).end();
  EXPECT_EQ(out, MidiFileBuilder(0, kQuarter).track(expected).bytes());
}

TEST(MidiRewriteTracks, EmptySelectionPlaysTheLastMappedTrack) {
  Bytes source = ThreeChunkSong().file();
  Settings settings;
  settings.play.TrackSelection = 5;  // a track the song does not have
  settings.play.TrackMask = 1u << 4;
  Bytes out = rewrite(source, settings);
  // The melody (score track 1) is silenced, the bass (score track 2) plays.
  test::MidiCsv csv = test::run_midicsv(out);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  std::vector<std::string> expected = {"2,0,Note_on_c,0,72,0",     "2,480,Note_off_c,0,72,64",
                                       "2,480,Note_on_c,0,74,0",   "2,960,Note_off_c,0,74,64",
                                       "3,0,Note_on_c,1,36,90",    "3,480,Note_on_c,1,36,0",
                                       "3,480,Note_on_c,1,43,90",  "3,960,Note_on_c,1,43,0"};
  EXPECT_EQ(test::csv_note_rows(csv), expected);
}

TEST(MidiRewriteDxm, DrumNoteGetsItsNoteOffBeforeTheNextEvent) {
  TrackBuilder t(Flavour::Dxm);
  t.note_on(0, kDrums, 36).note_on(96, 0, 60).note_off(48, 0, 60).end();
  Bytes source = MidiFileBuilder(0, 48, Flavour::Dxm).track(t).bytes();
  Bytes out = rewrite(source);

  TrackBuilder expected;
  expected.note_on(0, kDrums, 36)
      .running(96, {36, 0})  // the drum key ends under the running note-on status...
      .running(0, {})        // ...and delta 0 leads to the next event
      .raw({0x90, 60, 100})
      .note_off(48, 0, 60, 0)  // DXM note-offs have no velocity: 0 is added
      .end();
  EXPECT_EQ(out, MidiFileBuilder(0, 48).track(expected).bytes());
  expect_midicsv_accepts(out);
}

TEST(MidiRewriteDxm, DrumNoteStillSoundingWhenAChunkIsClosedGetsItsOwnDelta) {
  // The file ends right after the drum note-on: no event follows to lend its
  // delta time, so the note-off needs one before it.
  TrackBuilder cut(Flavour::Dxm);
  cut.note_on(0, kDrums, 36);
  Bytes out = rewrite(MidiFileBuilder(0, 48, Flavour::Dxm).track(cut).bytes());
  TrackBuilder expected;
  expected.note_on(0, kDrums, 36).running(0, {36, 0}).end();
  EXPECT_EQ(out, MidiFileBuilder(0, 48).track(expected).bytes());

  // The same where a chunk lacks its end of track and the next one follows
  // (a melody note gives that chunk a score track of its own, so it plays).
  TrackBuilder open(Flavour::Dxm), next(Flavour::Dxm);
  open.note_on(0, 2, 72).note_off(48, 2, 72).note_on(0, kDrums, 38);
  next.note_on(0, 1, 60).note_off(48, 1, 60).end();
  out = rewrite(MidiFileBuilder(1, 48, Flavour::Dxm).track(open).track(next).bytes());
  TrackBuilder first, second;
  first.note_on(0, 2, 72).note_off(48, 2, 72, 0).note_on(0, kDrums, 38).running(0, {38, 0}).end();
  second.note_on(0, 1, 60).note_off(48, 1, 60, 0).end();
  EXPECT_EQ(out, MidiFileBuilder(1, 48).track(first).track(second).bytes());
  test::MidiCsv csv = test::run_midicsv(out);
  if (!csv.available) return;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv)[3], "1,48,Note_on_c,9,38,0");  // the drum note ends
}

TEST(MidiRewriteDxm, PitchBendGetsALowByteAndTextsComeFirst) {
  TrackBuilder t(Flavour::Dxm);
  t.pitch_bend(0, 0, 0x2100).note_on(0, 0, 60).note_off(48, 0, 60).end();
  Bytes source = MidiFileBuilder(0, 48, Flavour::Dxm).track(t).bytes();
  Score score;
  SongInfo song;
  read_midi_file(ByteView(source), score, song, Settings{});
  song.title = "\x83\x65\x83\x58\x83\x67";  // CP932 text
  song.copyright = std::string(130, 'c');    // needs a two-byte length
  Bytes out = rewrite_midi_file(ByteView(source), song, Settings{});

  TrackBuilder expected;
  expected.track_name(0, song.title)
      .copyright(0, song.copyright)
      .raw({0x00, 0xE0, 0x00, 0x42})  // low byte 0, then the DXM byte
      .note_on(0, 0, 60)
      .note_off(48, 0, 60, 0)
      .end();
  EXPECT_EQ(out, MidiFileBuilder(0, 48).track(expected).bytes());
  EXPECT_EQ(smf_fault(out), "");
}

TEST(MidiRewriteTempo, SpeedFactorScalesEveryTempoValueWithinRange) {
  TrackBuilder t;
  t.tempo_usec(0, 500000).tempo_usec(kQuarter, 0xFFFFFF).tempo_usec(kQuarter, 0).end();
  Bytes source = MidiFileBuilder(0, kQuarter).track(t).bytes();
  struct Case {
    int speed;
    uint32_t first, second, third;
  };
  const Case cases[] = {
      {32, 250000, 0x7FFFFF, 1},  // twice as fast
      {8, 1000000, 0xFFFFFF, 1},  // half as fast; the largest value stays the largest
      {1, 8000000, 0xFFFFFF, 1},
      {0, 500000, 0xFFFFFF, 1},   // outside 1..255: as written
      {300, 500000, 0xFFFFFF, 1},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.play.SpeedFactor = c.speed;
    TrackBuilder expected;
    expected.tempo_usec(0, c.first).tempo_usec(kQuarter, c.second).tempo_usec(kQuarter, c.third).end();
    EXPECT_EQ(rewrite(source, settings), MidiFileBuilder(0, kQuarter).track(expected).bytes()) << c.speed;
  }
}

TEST(MidiRewriteTempo, DivisionFollowsNoteLengthScale) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(kQuarter, 0, 60).end();
  Bytes source = MidiFileBuilder(0, kQuarter).track(t).bytes();
  Settings settings;
  settings.conv.noteLengthScale = 32;
  EXPECT_EQ(rewrite(source, settings), MidiFileBuilder(0, 2 * kQuarter).track(t).bytes());
  settings.conv.noteLengthScale = 4;
  EXPECT_EQ(rewrite(source, settings), MidiFileBuilder(0, kQuarter / 4).track(t).bytes());
  // A time-code division has no quarter notes to scale.
  Bytes timeCode = MidiFileBuilder(0, 0xE728).track(t).bytes();
  EXPECT_EQ(rewrite(timeCode, settings), timeCode);
}

TEST(MidiRewriteKeys, OffsetFoldAndCutTreatNoteOnsAndNoteOffsAlike) {
  TrackBuilder t;
  t.note_on(0, 0, 30).note_off(kQuarter, 0, 30)     // folded up to the fold level
      .note_on(0, 0, 10).note_off(kQuarter, 0, 10)  // at or below the cut level
      .note_on(0, 0, 120).note_off(kQuarter, 0, 120)
      .note_on(0, kDrums, 30).note_off(60, kDrums, 30)  // drums: neither moved nor folded
      .end();
  Settings settings;
  settings.play.KeyOffset = 12;
  settings.conv.lowNoteFoldLevel = 48;
  settings.conv.lowNoteCutLevel = 10;
  Bytes out = rewrite(MidiFileBuilder(0, kQuarter).track(t).bytes(), settings);

  // 30 + 12 = 42, below 48: the octave from 48 with pitch class 6 gives 54.
  // 10 + 12 = 22 folds to 58 and is silenced by the cut. 120 + 12 = 132 is past
  // 127: the top octave keeps pitch class 0, key 120.
  TrackBuilder expected;
  expected.note_on(0, 0, 54).note_off(kQuarter, 0, 54)
      .note_on(0, 0, 58, 0).note_off(kQuarter, 0, 58)
      .note_on(0, 0, 120).note_off(kQuarter, 0, 120)
      .note_on(0, kDrums, 30).note_off(60, kDrums, 30)
      .end();
  EXPECT_EQ(out, MidiFileBuilder(0, kQuarter).track(expected).bytes());

  // Below key 0 the lowest octave keeps the pitch class: 5 - 24 gives 5.
  TrackBuilder low;
  low.note_on(0, 0, 5).note_off(kQuarter, 0, 5).end();
  settings = Settings{};
  settings.play.KeyOffset = -24;
  EXPECT_EQ(rewrite(MidiFileBuilder(0, kQuarter).track(low).bytes(), settings),
            MidiFileBuilder(0, kQuarter).track(low).bytes());
}

// A format-1 file with one note chunk per program, for the per-track choices:
// chunk n (from 0) plays program n on channel n mod 16 and sets volume 100.
Bytes many_chunk_file(int chunks) {
  MidiFileBuilder file(1, kQuarter);
  for (int n = 0; n < chunks; ++n) {
    TrackBuilder t;
    t.program(0, n % 16, n).volume(0, n % 16, 100).poly_pressure(0, n % 16, 7, 99);
    t.note_on(0, n % 16, 60).note_off(kQuarter, n % 16, 60).end();
    file.track(t);
  }
  return file.bytes();
}

std::vector<std::string> csv_values(const Bytes& out, const std::string& type, std::size_t field) {
  test::MidiCsv csv = test::run_midicsv(out);
  std::vector<std::string> values;
  for (const auto& row : test::csv_rows(csv, type)) values.push_back(row.size() > field ? row[field] : "?");
  return values;
}

TEST(MidiRewriteChoices, PerTrackProgramsApplyToTheFirstSixteenScoreTracks) {
  Bytes source = many_chunk_file(18);
  Settings settings;
  settings.play.KeepFileInstruments = 0;
  settings.play.melody = 5;
  settings.play.PerTrackProgram[0] = 41;           // program 40
  settings.play.PerTrackProgram[1] = kFollowScore;  // the file's program 1
  settings.play.PerTrackProgram[15] = 11;          // program 10
  settings.play.PerTrackProgram[16] = 21;          // track 17: no effect here
  settings.play.PerTrackProgram[17] = kFollowScore;
  Bytes out = rewrite(source, settings);
  if (!test::run_midicsv(out).available) GTEST_SKIP();
  std::vector<std::string> programs = csv_values(out, "Program_c", 4);
  ASSERT_EQ(programs.size(), 18u);
  EXPECT_EQ(programs[0], "40");
  EXPECT_EQ(programs[1], "1");
  EXPECT_EQ(programs[2], "5");  // no choice: melody
  EXPECT_EQ(programs[15], "10");
  EXPECT_EQ(programs[16], "5");
  EXPECT_EQ(programs[17], "5");
  // Keeping the file's instruments ignores every choice.
  settings.play.KeepFileInstruments = 1;
  EXPECT_EQ(rewrite(source, settings), source);
}

TEST(MidiRewriteChoices, PerTrackVolumesReplaceOnlyController7) {
  Bytes source = many_chunk_file(3);
  Settings settings;
  settings.play.StandardVolume = 0;
  settings.play.volume = 80;
  settings.play.PerTrackVolume[0] = 61;  // volume 60
  settings.play.PerTrackVolume[1] = kFollowScore;
  Bytes out = rewrite(source, settings);
  if (!test::run_midicsv(out).available) GTEST_SKIP();
  EXPECT_EQ(csv_values(out, "Control_c", 5), (std::vector<std::string>{"60", "100", "80"}));
  // Key pressure on key 7 is not a volume controller.
  EXPECT_EQ(csv_values(out, "Poly_aftertouch_c", 5), (std::vector<std::string>{"99", "99", "99"}));
}

TEST(MidiRewriteSysEx, ExcutplayReplacesSystemExclusiveByEmptyText) {
  TrackBuilder t;
  t.sysex(0, {0x41, 0x10, 0x42, 0x12, 0xF7}).note_on(0, 0, 60).sysex(5, {0x01, 0xF7}, 0xF7).note_off(kQuarter, 0, 60)
      .end();
  Bytes source = MidiFileBuilder(0, kQuarter).track(t).bytes();
  Settings settings;
  settings.play.excutplay = 1;
  TrackBuilder expected;
  expected.text(0, "").note_on(0, 0, 60).text(5, "").note_off(kQuarter, 0, 60).end();
  Bytes out = rewrite(source, settings);
  EXPECT_EQ(out, MidiFileBuilder(0, kQuarter).track(expected).bytes());
  expect_midicsv_accepts(out);
  settings.play.excutplay = 0;
  EXPECT_EQ(rewrite(source, settings), source);
}

TEST(MidiRewriteMalformed, EveryTruncationEndsWithAClosedChunk) {
  Bytes source = ThreeChunkSong().file();
  for (std::size_t n = 0; n <= source.size(); ++n) {
    Bytes cut(source.begin(), source.begin() + static_cast<long>(n));
    Bytes out = rewrite(cut);
    if (n < 14) {
      EXPECT_TRUE(out.empty()) << n;
      continue;
    }
    EXPECT_EQ(smf_fault(out), "") << "cut at " << n;
  }
}

TEST(MidiRewriteMalformed, CorruptedSourcesStillGiveValidFiles) {
  TrackBuilder drums(Flavour::Dxm);
  drums.note_on(0, kDrums, 36).pitch_bend(10, 0, 0x2100).note_on(20, 0, 60).note_off(48, 0, 60).end();
  const Bytes seeds[] = {ThreeChunkSong().file(), MidiFileBuilder(0, 48, Flavour::Dxm).track(drums).bytes()};
  std::mt19937 rng(2024);
  for (const Bytes& seed : seeds) {
    for (int round = 0; round < 400; ++round) {
      Bytes input = seed;
      for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) {
        std::size_t at = 4 + rng() % (input.size() - 4);  // the header tag stays
        input[at] = static_cast<uint8_t>(rng());
      }
      Settings settings;
      settings.play.KeyOffset = static_cast<int>(rng() % 49) - 24;
      settings.play.excutplay = round % 2;
      settings.conv.lowNoteFoldLevel = static_cast<int>(rng() % 128);
      Bytes out = rewrite(input, settings);
      ASSERT_EQ(smf_fault(out), "") << "round " << round;
    }
  }
}

TEST(MidiRewriteMalformed, ChunkWithoutEndOfTrackIsClosedBeforeTheNextChunk) {
  TrackBuilder first, second;
  first.note_on(0, 0, 60).note_off(kQuarter, 0, 60);  // no end of track
  second.note_on(0, 1, 64).note_off(kQuarter, 1, 64).end();
  Bytes source = MidiFileBuilder(1, kQuarter).track(first).track(second).bytes();
  Bytes out = rewrite(source);
  EXPECT_EQ(smf_fault(out), "");
  TrackBuilder closed = first;
  closed.end();
  EXPECT_EQ(out, MidiFileBuilder(1, kQuarter).track(closed).track(second).bytes());
}

TEST(MidiRewriteMalformed, ChunkAfterOneWithoutEndOfTrackFollowsItsOwnScoreTrack) {
  TrackBuilder first, second;
  first.note_on(0, 0, 60).note_off(kQuarter, 0, 60);  // no end of track
  second.note_on(0, 1, 64).note_off(kQuarter, 1, 64).end();
  Bytes source = MidiFileBuilder(1, kQuarter).track(first).track(second).bytes();
  Settings settings;
  settings.play.TrackSelection = 2;  // only score track 2: the second chunk
  settings.play.TrackMask = 0b10;
  Bytes out = rewrite(source, settings);
  TrackBuilder silenced, kept = second;
  silenced.note_on(0, 0, 60, 0).note_off(kQuarter, 0, 60).end();
  EXPECT_EQ(out, MidiFileBuilder(1, kQuarter).track(silenced).track(kept).bytes());
}

TEST(MidiRewriteMalformed, SourceWithoutAHeaderChunkGivesNothing) {
  TrackBuilder t(Flavour::Dxm);
  t.note_on(0, 0, 60).note_off(48, 0, 60).end();
  Bytes source = MidiFileBuilder(0, 48, Flavour::Dxm).track(t).bytes();
  Bytes destroyed = source;
  destroyed[1] = 'X';  // "CXhd": the header tag is gone
  EXPECT_TRUE(rewrite(destroyed).empty());
  // A header that comes only after the first track chunk does not help.
  Bytes late = t.chunk();
  Bytes header = MidiFileBuilder(0, 48, Flavour::Dxm).header();
  late.insert(late.end(), header.begin(), header.end());
  EXPECT_TRUE(rewrite(late).empty());
  EXPECT_FALSE(rewrite(source).empty());
}

TEST(MidiRewriteBounds, LargeSourceIsCopiedWhole) {
  // About 300000 bytes of notes: larger than the usual output buffer.
  TrackBuilder t;
  t.running_status(true);
  for (int i = 0; i < 50000; ++i) t.note_on(0, 0, 60 + i % 12).note_on(10, 0, 60 + i % 12, 0);
  t.end();
  Bytes source = MidiFileBuilder(0, kQuarter).track(t).bytes();
  ASSERT_GT(source.size(), kOutputCapacity);
  EXPECT_EQ(rewrite(source), source);
}

TEST(MidiRewriteBounds, ExpandingDxmSourceIsCutAndClosedBelowCapacity) {
  // DXM drum notes each gain three bytes; the output stops below its buffer.
  TrackBuilder t(Flavour::Dxm);
  t.running_status(true);
  for (int i = 0; i < 60000; ++i) t.note_on(1, kDrums, 36);
  t.end();
  Bytes source = MidiFileBuilder(0, 48, Flavour::Dxm).track(t).bytes();
  ASSERT_LT(source.size() + 256, kOutputCapacity);
  Bytes out = rewrite(source);
  EXPECT_LE(out.size(), kOutputCapacity);
  EXPECT_GT(out.size(), 261888u);
  EXPECT_EQ(smf_fault(out), "");
}

TEST(MidiRewriteBounds, SongTextsThatDoNotFitAreLeftOutWhole) {
  // A DXM header that claims nearly the whole buffer leaves room for the title
  // but not for the copyright as well; the copyright is dropped, not cut off.
  constexpr std::size_t kRoomAfterHeader = 300;
  TrackBuilder t(Flavour::Dxm);
  t.note_on(0, 0, 60).note_off(48, 0, 60).end();
  std::size_t padding = kOutputCapacity - kRoomAfterHeader - 14;
  Bytes source = MidiFileBuilder(0, 48, Flavour::Dxm)
                     .header_length(static_cast<uint32_t>(6 + padding), padding)
                     .track(t)
                     .bytes();
  Score score;
  SongInfo song;
  read_midi_file(ByteView(source), score, song, Settings{});
  song.title = std::string(255, 't');
  song.copyright = std::string(255, 'c');
  Bytes out = rewrite_midi_file(ByteView(source), song, Settings{});
  EXPECT_EQ(smf_fault(out), "");
  EXPECT_NE(std::search(out.begin(), out.end(), song.title.begin(), song.title.end()), out.end());
  EXPECT_EQ(std::find(out.begin(), out.end(), static_cast<uint8_t>('c')), out.end());
}

}  // namespace
}  // namespace mel
