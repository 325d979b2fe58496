#include "formats/smaf/smaf_mobile_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "formats/smaf/smaf_reader.h"
#include "support/read_score.h"
#include "support/smaf_builder.h"
#include "support/smaf_score_text.h"

namespace mel {
namespace {

using test::append;
using test::Bytes;
using test::expect_well_formed;
using test::HuffmanEncoder;
using test::mobile_file;
using test::MobileSequence;
using test::MobileTrack;
using test::ReadResult;
using test::smaf_contents_coded;
using test::smaf_file;
using test::track;

ReadResult read(const Bytes& file, const Settings& settings = Settings{}) {
  return test::read_with(read_smaf_file, file, settings);
}

bool has_notice(const SongInfo& song, const std::string& part) {
  return std::any_of(song.notices.begin(), song.notices.end(),
                     [&](const std::string& n) { return n.find(part) != std::string::npos; });
}

// A plain file: contents information (Shift-JIS), optional data with title,
// artist and copyright, and a track with one program change and one note.
const Bytes kPlainExample = {
    0x4D, 0x4D, 0x4D, 0x44, 0x00, 0x00, 0x00, 0x64,  // "MMMD", 100 bytes
    0x43, 0x4E, 0x54, 0x49, 0x00, 0x00, 0x00, 0x05,  // "CNTI", 5 bytes
    0x00, 0x32, 0x00, 0x00, 0x00,                    // class, type, Shift-JIS, copy status, count
    0x4F, 0x50, 0x44, 0x41, 0x00, 0x00, 0x00, 0x1D,  // "OPDA", 29 bytes
    0x44, 0x63, 0x68, 0x00, 0x00, 0x00, 0x00, 0x15,  // "Dch" Shift-JIS, 21 bytes
    0x53, 0x54, 0x00, 0x04, 0x54, 0x65, 0x73, 0x74,  // ST 4 "Test"
    0x41, 0x4E, 0x00, 0x02, 0x4D, 0x65,              // AN 2 "Me"
    0x43, 0x52, 0x00, 0x03, 0x28, 0x63, 0x29,        // CR 3 "(c)"
    0x4D, 0x54, 0x52, 0x05, 0x00, 0x00, 0x00, 0x28,  // "MTR" 5, 40 bytes
    0x02, 0x00, 0x02, 0x02,                          // plain form, stream, 4 ms, 4 ms
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // channel status
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x4D, 0x74, 0x73, 0x71, 0x00, 0x00, 0x00, 0x0C,  // "Mtsq", 12 bytes
    0x00, 0xC0, 0x05,                                // program 5 on channel 0
    0x00, 0x90, 0x3C, 0x64, 0x7D,                    // key 60, velocity 100, gate 125
    0x7D, 0xFF, 0x2F, 0x00,                          // after 125: end of sequence
    0x31, 0x97,                                      // check bytes
};

// The same file with its sequence compressed by a hand-chosen code tree.
const Bytes kCompressedExample = {
    0x4D, 0x4D, 0x4D, 0x44, 0x00, 0x00, 0x00, 0x6C,  // "MMMD", 108 bytes
    0x43, 0x4E, 0x54, 0x49, 0x00, 0x00, 0x00, 0x05, 0x00, 0x32, 0x00, 0x00, 0x00,
    0x4F, 0x50, 0x44, 0x41, 0x00, 0x00, 0x00, 0x1D, 0x44, 0x63, 0x68, 0x00, 0x00, 0x00, 0x00, 0x15,
    0x53, 0x54, 0x00, 0x04, 0x54, 0x65, 0x73, 0x74, 0x41, 0x4E, 0x00, 0x02, 0x4D, 0x65,
    0x43, 0x52, 0x00, 0x03, 0x28, 0x63, 0x29,
    0x4D, 0x54, 0x52, 0x05, 0x00, 0x00, 0x00, 0x30,  // "MTR" 5, 48 bytes
    0x01, 0x00, 0x02, 0x02,                          // compressed form
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x4D, 0x74, 0x73, 0x71, 0x00, 0x00, 0x00, 0x14,  // "Mtsq", 20 bytes
    0x00, 0x00, 0x00, 0x0C,                          // 12 bytes when expanded
    0xE0, 0x03, 0xED, 0x80, 0x05, 0xD2, 0x03, 0xC9,  // code tree (9 leaves), then the codes
    0x92, 0xFF, 0x17, 0x84, 0xC4, 0xB8, 0x9E, 0xF0,
    0x6F, 0x9F,                                      // check bytes
};

// Every sub-chunk kind and most events: seek points, setup, stream waves, an
// exclusive, banks, volume, pan, expression, a drum channel, a running
// velocity, a two-byte gate, a pitch bend and a no-operation.
const Bytes kFullExample = {
    0x4D, 0x4D, 0x4D, 0x44, 0x00, 0x00, 0x00, 0xB3,  // "MMMD"
    0x43, 0x4E, 0x54, 0x49, 0x00, 0x00, 0x00, 0x05, 0x00, 0x32, 0x00, 0x00, 0x00,
    0x4D, 0x54, 0x52, 0x05, 0x00, 0x00, 0x00, 0x9C,  // "MTR" 5, 156 bytes
    0x02, 0x00, 0x02, 0x02,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x4D, 0x73, 0x70, 0x49, 0x00, 0x00, 0x00, 0x10,  // "MspI": start 40, stop 59
    0x73, 0x74, 0x3A, 0x00, 0x00, 0x00, 0x28, 0x2C, 0x73, 0x70, 0x3A, 0x00, 0x00, 0x00, 0x3B, 0x2C,
    0x4D, 0x74, 0x73, 0x75, 0x00, 0x00, 0x00, 0x08,  // "Mtsu": one setup exclusive
    0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7,
    0x4D, 0x74, 0x73, 0x71, 0x00, 0x00, 0x00, 0x43,  // "Mtsq", 67 bytes
    0x00, 0xF0, 0x07, 0x43, 0x79, 0x06, 0x7F, 0x00, 0x64, 0xF7,  // exclusive
    0x00, 0xB0, 0x00, 0x7C,                          // channel 0 melody bank
    0x00, 0xB0, 0x20, 0x00,                          // bank LSB 0
    0x00, 0xC0, 0x05,                                // program 5
    0x00, 0xB0, 0x07, 0x64,                          // volume 100
    0x00, 0xB0, 0x0A, 0x40,                          // pan 64
    0x00, 0xB0, 0x0B, 0x7F,                          // expression 127
    0x00, 0xB9, 0x00, 0x7D,                          // channel 9 rhythm bank
    0x00, 0xC9, 0x00,                                // channel 9 kit 0
    0x00, 0x90, 0x3C, 0x64, 0x7D,                    // key 60, velocity 100, gate 125
    0x00, 0x99, 0x24, 0x7F, 0x0A,                    // drum key 36, velocity 127, gate 10
    0x7D, 0x80, 0x40, 0x81, 0x70,                    // after 125: key 64, running velocity, gate 240
    0x00, 0xE0, 0x00, 0x50,                          // pitch bend
    0x81, 0x70, 0xFF, 0x00,                          // after 240: no operation
    0x00, 0xFF, 0x2F, 0x00,                          // end of sequence
    0x4D, 0x74, 0x73, 0x70, 0x00, 0x00, 0x00, 0x0D,  // "Mtsp" with one wave
    0x4D, 0x77, 0x61, 0x01, 0x00, 0x00, 0x00, 0x05, 0x20, 0x1F, 0x40, 0x00, 0x00,
    0x92, 0xFF,                                      // check bytes
};

// ---------------------------------------------------------------------------

class SmafMobileExample : public testing::TestWithParam<const Bytes*> {};

TEST_P(SmafMobileExample, ReadsTextsProgramAndNote) {
  ReadResult r = read(*GetParam());
  EXPECT_EQ(r.song.title, "Test");
  EXPECT_EQ(r.song.artist, "Me");
  EXPECT_EQ(r.song.copyright, "(c)");
  EXPECT_EQ(r.song.timebase, 125);  // 4 ms ticks
  EXPECT_EQ(r.song.tempo, 120);
  ASSERT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(track(r, 1), "prog5 vel100 n60/125");
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(r.song.songLength, 125);
  EXPECT_FALSE(has_notice(r.song, "not read yet"));
  expect_well_formed(r);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, SmafMobileExample, testing::Values(&kPlainExample, &kCompressedExample));

TEST(SmafMobileReader, ReadsEveryEventKindAndSkipsAudioAndSetup) {
  ReadResult r = read(kFullExample);
  ASSERT_EQ(r.song.trackCount, 2);
  // Channel 0: the running velocity carries over, the two-byte gate is 240
  // (not the handy-phone form's 368), and the sequence ends at 365.
  EXPECT_EQ(track(r, 1), "prog5 vol100 vel100 pan64 n60/125 n64/240");
  EXPECT_EQ(track(r, 2).substr(0, 15), "vel127 n36/365");
  EXPECT_TRUE(r.song.is_rhythm_track(2));
  EXPECT_EQ(r.song.part[1], 10);
  EXPECT_TRUE(r.song.rhythmKeySet.test(36));
  EXPECT_EQ(r.song.songLength, 365);
  EXPECT_TRUE(has_notice(r.song, "voice definitions"));
  EXPECT_TRUE(has_notice(r.song, "wave data"));
  expect_well_formed(r);
}

struct TickCase {
  uint8_t code;
  int ms;
};

class SmafMobileTickCode : public testing::TestWithParam<TickCase> {};

// Each tick code gives a timebase and tempo whose tick lasts its milliseconds.
TEST_P(SmafMobileTickCode, TickLastsItsMilliseconds) {
  MobileTrack t;
  t.durationBase = t.gateBase = GetParam().code;
  t.sequence = MobileSequence().note(0, 0, 60, 100, 10).end(10).bytes();
  ReadResult r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_EQ(60000.0 / (r.song.tempo * r.song.timebase), GetParam().ms);
  EXPECT_EQ(track(r, 1), "vel100 n60/10");
}

INSTANTIATE_TEST_SUITE_P(AllCodes, SmafMobileTickCode,
                         testing::Values(TickCase{0x00, 1}, TickCase{0x01, 2}, TickCase{0x02, 4}, TickCase{0x03, 5},
                                         TickCase{0x10, 10}, TickCase{0x11, 20}, TickCase{0x12, 40},
                                         TickCase{0x13, 50}));

TEST(SmafMobileReader, TimingRules) {
  // Gates count in their own ticks: 50 gate ticks of 10 ms are 125 ticks of 4 ms.
  MobileTrack t;
  t.gateBase = 0x10;
  t.sequence = MobileSequence().note(0, 0, 60, 100, 50).end(200).bytes();
  ReadResult r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_EQ(track(r, 1), "vel100 n60/125");
  EXPECT_EQ(r.song.songLength, 200);

  // Time passes over every record: exclusive, no-operation, pitch bend,
  // other controllers; 81 00 is 128 ticks and a four-byte number is whole.
  r = read(mobile_file(MobileSequence()
                           .exclusive(3, Bytes(130, 0x11))  // a two-byte length
                           .nop(4)
                           .pitch_bend(128, 0, 8192)
                           .control(1, 0, 0x40, 127)
                           .note(0, 0, 60, 100, 20)
                           .end(0x200000)));
  EXPECT_EQ(track(r, 1), "vel100 r136 n60/20");
  EXPECT_EQ(r.song.songLength, 136 + 0x200000);

  // An unknown tick code reads at the handy-phone default with a notice.
  t.durationBase = t.gateBase = 0x07;
  r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_EQ(r.song.timebase, 24);
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_TRUE(has_notice(r.song, "timebase code"));
}

TEST(SmafMobileReader, ChannelRules) {
  // Volume is scaled by expression; a key struck again while it sounds ends
  // the earlier note there; a gate of 0 or a velocity of 0 is silent; a
  // running velocity before any velocity is 64.
  ReadResult r = read(mobile_file(MobileSequence()
                                      .volume(0, 0, 100)
                                      .expression(0, 0, 64)
                                      .note_again(0, 0, 60, 10)
                                      .note(10, 0, 62, 100, 100)
                                      .note(50, 0, 62, 100, 100)
                                      .note(100, 0, 64, 0, 10)
                                      .note(10, 0, 65, 90, 0)
                                      .end(10)));
  EXPECT_EQ(track(r, 1), "vol50 vel64 n60/10 vel100 n62/50 n62/100");

  // Bank 0x7D makes channel 3 a drum channel (on the MIDI drum channel); the
  // melody bank on channel 10 keeps it melodic (moved off the drum channel).
  r = read(mobile_file(MobileSequence()
                           .bank(0, 3, 0x7D)
                           .program(0, 3, 4)
                           .bank(0, 9, 0x7C)
                           .program(0, 9, 40)
                           .note(0, 3, 38, 100, 10)
                           .note(0, 9, 70, 100, 10)
                           .end(10)));
  ASSERT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(track(r, 1), "prog40 vel100 n70/10");
  EXPECT_FALSE(r.song.is_rhythm_track(1));
  EXPECT_NE(r.song.part[0], 10);
  EXPECT_TRUE(r.song.is_rhythm_track(2));
  EXPECT_EQ(r.song.part[1], 10);
  EXPECT_FALSE(r.song.programSet.test(4));  // a kit is no program

  // On a rhythm bank, keys below 16 start stream waves when the track has
  // waves: those notes are left out.
  MobileTrack t;
  t.sequence = MobileSequence().bank(0, 4, 0x7D).note(0, 4, 0, 100, 10).note(10, 4, 36, 100, 10).end(10).bytes();
  t.streamWaves = test::smaf_wave(1);
  r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_EQ(track(r, 1), "vel100 r10 n36/10");
  EXPECT_TRUE(has_notice(r.song, "stream wave"));

  // The channel status's rhythm type makes a drum channel too.
  t = MobileTrack{};
  t.channelStatus[2] = 0x43;
  t.sequence = MobileSequence().note(0, 2, 40, 100, 10).end(10).bytes();
  r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_TRUE(r.song.is_rhythm_track(1));
}

TEST(SmafMobileReader, ChordsFollowTheChordSplitSetting) {
  MobileSequence chord = MobileSequence().note(0, 0, 60, 100, 50).note(0, 0, 64, 100, 50).note(0, 0, 67, 100, 50).end(50);
  Settings split;
  split.play.TrackSplit = 1;
  EXPECT_EQ(read(mobile_file(chord), split).song.trackCount, 3);
  EXPECT_EQ(read(mobile_file(chord)).song.trackCount, 1);
}

TEST(SmafMobileReader, TracksShareOneTimelineAndThirtyTwoChannelsFold) {
  MobileTrack first;
  first.sequence = MobileSequence().note(20, 0, 60, 100, 10).end(10).bytes();
  MobileTrack second;
  second.number = 6;
  second.sequence = MobileSequence().note(5, 1, 62, 100, 10).end(10).bytes();
  ReadResult r = read(smaf_file({smaf_contents_coded(0), first.build(), second.build()}));
  ASSERT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(track(r, 1), "vel100 r20 n60/10");
  EXPECT_EQ(track(r, 2), "vel100 r5 n62/10 r15");  // to the end of the timeline

  // 32-channel form: kind in bits 6-4, channel bank in bit 7.
  MobileTrack wide;
  wide.formatType = 0x03;
  wide.channelStatus.assign(32, 0);
  wide.sequence = {0x00, 0x41, 0x07,              // program 7, channel 1
                   0x00, 0x11, 0x3C, 0x64, 0x0A,  // key 60 velocity 100 gate 10, channel 1
                   0x0A, 0x81, 0x3E, 0x0A,        // key 62 running velocity, channel 17
                   0x0A, 0xFF, 0x2F, 0x00};
  r = read(smaf_file({smaf_contents_coded(0), wide.build()}));
  EXPECT_EQ(track(r, 1), "prog7 vel100 n60/10 n62/10");
  EXPECT_TRUE(has_notice(r.song, "32-channel"));
}

struct FaultCase {
  const char* name;
  Bytes tail;  // after a first note
  const char* notice;
};

class SmafMobileFault : public testing::TestWithParam<FaultCase> {};

// Reading stops at a fault with a notice; the notes before it stay.
TEST_P(SmafMobileFault, KeepsTheNotesBefore) {
  MobileSequence seq = MobileSequence().note(0, 0, 60, 100, 10).raw(GetParam().tail);
  ReadResult r = read(mobile_file(seq));
  EXPECT_EQ(track(r, 1).substr(0, 13), "vel100 n60/10");
  EXPECT_TRUE(has_notice(r.song, GetParam().notice)) << GetParam().name;
  expect_well_formed(r);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SmafMobileFault,
    testing::Values(FaultCase{"five-byte number", {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3E, 0x64, 0x0A}, "unknown form"},
                    FaultCase{"meta other than end", {0x0A, 0xFF, 0x01, 0x00}, "unknown form"},
                    FaultCase{"system status", {0x0A, 0xF5, 0x00}, "unknown form"},
                    FaultCase{"data byte as status", {0x0A, 0x3E, 0x64, 0x0A}, "unknown form"},
                    FaultCase{"event cut off", {0x0A, 0x90, 0x3E}, "cut off"},
                    FaultCase{"gate cut off", {0x0A, 0x90, 0x3E, 0x64, 0x81}, "cut off"}),
    [](const testing::TestParamInfo<FaultCase>& info) {
      std::string n = info.param.name;
      std::replace(n.begin(), n.end(), ' ', '_');
      std::replace(n.begin(), n.end(), '-', '_');
      return n;
    });

TEST(SmafMobileExpansion, MalformedStreams) {
  std::vector<uint8_t> out;
  // A single-leaf tree: every byte takes no bits.
  EXPECT_TRUE(expand_smaf_sequence(ByteView(Bytes{0x00, 0x00, 0x00, 0x05, 0x20, 0x80}), out));
  EXPECT_EQ(out, Bytes(5, 0x41));
  // 300 bits of 1: more inner nodes than a tree over bytes can have.
  Bytes ones{0x00, 0x00, 0x00, 0x01};
  append(ones, Bytes(38, 0xFF));
  EXPECT_FALSE(expand_smaf_sequence(ByteView(ones), out));
  // Codes that end before the declared size.
  Bytes shortStream = HuffmanEncoder::compress(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  shortStream[3] = 200;
  EXPECT_FALSE(expand_smaf_sequence(ByteView(shortStream), out));
  EXPECT_TRUE(out.empty());
  // A size past the ceiling, even from a tree that needs no bits.
  EXPECT_FALSE(expand_smaf_sequence(ByteView(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0x80}), out));
  // A tree cut off, and no data at all.
  EXPECT_FALSE(expand_smaf_sequence(ByteView(Bytes{0x00, 0x00, 0x00, 0x01, 0xC0}), out));
  EXPECT_FALSE(expand_smaf_sequence(ByteView(Bytes{0x00, 0x00}), out));

  // A track whose sequence cannot be expanded gives no notes and a notice.
  MobileTrack t;
  t.formatType = 0x01;
  t.sequence = ones;
  ReadResult r = read(smaf_file({smaf_contents_coded(0), t.build()}));
  EXPECT_EQ(r.song.trackCount, 0);
  EXPECT_TRUE(has_notice(r.song, "could not be expanded"));
}

// A score made here: a melody with rests on channel 0, a bass on channel 1,
// drums on channel 9, long durations and volume changes.
MobileSequence made_score() {
  MobileSequence seq;
  seq.program(0, 0, 73).program(0, 1, 33).volume(0, 1, 90);
  std::mt19937 rng(7);
  for (int i = 0; i < 400; ++i) {
    int step = 30 + static_cast<int>(rng() % 8) * 30;
    seq.note(0, 0, 60 + static_cast<int>(rng() % 24), 60 + static_cast<int>(rng() % 60), static_cast<uint32_t>(step - 5 * (i % 3)));
    if (i % 2 == 0) seq.note(0, 1, 36 + static_cast<int>(rng() % 12), 100, static_cast<uint32_t>(step));
    if (i % 4 == 0) seq.note(0, 9, 36 + 2 * static_cast<int>(rng() % 4), 120, 5);
    if (i % 50 == 49) seq.volume(0, 0, 60 + i % 60);
    seq.nop(static_cast<uint32_t>(i == 200 ? 20000 : step));
  }
  return seq.end(30);
}

TEST(SmafMobileReader, MadeScoreReadsTheSameInBothForms) {
  MobileSequence seq = made_score();
  ReadResult plain = read(mobile_file(seq, 0x02));
  ReadResult compressed = read(mobile_file(seq, 0x01));
  ASSERT_EQ(plain.song.trackCount, 3);
  EXPECT_EQ(plain.score.length, compressed.score.length);
  EXPECT_TRUE(std::equal(plain.score.bytes.begin(), plain.score.bytes.begin() + static_cast<long>(plain.score.length),
                         compressed.score.bytes.begin()));
  EXPECT_EQ(plain.song.noteCount, compressed.song.noteCount);
  EXPECT_EQ(plain.song.noteCount[0], 400);
  EXPECT_EQ(plain.song.noteCount[1], 200);
  expect_well_formed(plain);
}

TEST(SmafMobileReader, HostileInputNeverBreaksTheScore) {
  Bytes compressed = mobile_file(made_score(), 0x01);
  for (const Bytes* file : {&kFullExample, &kCompressedExample}) {
    for (std::size_t n = 0; n < file->size(); ++n) expect_well_formed(read(Bytes(file->begin(), file->begin() + static_cast<long>(n))));
  }
  for (std::size_t n = 0; n < compressed.size(); n += 97) expect_well_formed(read(Bytes(compressed.begin(), compressed.begin() + static_cast<long>(n))));

  // Random bit streams behind the expanded size, and random plain sequences.
  std::mt19937 rng(11);
  for (int i = 0; i < 200; ++i) {
    MobileTrack t;
    t.formatType = static_cast<uint8_t>(1 + i % 3);
    if (t.formatType == 3) t.channelStatus.assign(32, 0);
    t.sequence = {0x00, 0x00, static_cast<uint8_t>(rng() % 4), static_cast<uint8_t>(rng())};
    for (int k = 0; k < 200; ++k) t.sequence.push_back(static_cast<uint8_t>(rng()));
    expect_well_formed(read(smaf_file({smaf_contents_coded(0), t.build()})));
  }

  // Sizes that lie: a track and a sequence chunk claiming more than the file.
  Bytes lying = kPlainExample;
  lying[0x3E] = lying[0x3F] = 0xFF;  // track size
  lying[0x5A] = 0x7F;                // sequence size
  ReadResult r = read(lying);
  EXPECT_EQ(track(r, 1), "prog5 vel100 n60/125");
}

struct TextCase {
  const char* name;
  uint8_t code;
  Bytes text;
  std::string expected;
};

class SmafMobileText : public testing::TestWithParam<TextCase> {};

// Titles in their declared encoding become CP932.
TEST_P(SmafMobileText, TitleBecomesCp932) {
  const TextCase& c = GetParam();
  Bytes records = test::smaf_text_record("ST", c.text);
  bool utf16 = c.code == 0x24;
  append(records, test::smaf_text_record("SW", utf16 ? Bytes{0x00, 'W'} : Bytes{'W'}));
  ReadResult r = read(smaf_file({smaf_contents_coded(0x01), test::smaf_optional_data(c.code, records),
                                 MobileTrack{}.build()}));
  EXPECT_EQ(r.song.title, c.expected) << c.name;
  EXPECT_EQ(r.song.composer, "W");
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, SmafMobileText,
    testing::Values(
        // The text chunk's code wins over the contents information's Latin-1.
        TextCase{"ShiftJis", 0x00, {0x83, 0x65, 0x83, 0x58, 0x83, 0x67}, "\x83\x65\x83\x58\x83\x67"},
        TextCase{"Latin1", 0x01, {'C', 'a', 'f', 0xE9, 0xA7}, "Caf\x81\x48\x81\x98"},
        TextCase{"Utf8", 0x23, {0xE3, 0x81, 0x82, 0xEF, 0xBD, 0xB1, 0xE6, 0xBC, 0xA2, 'A'}, "\x82\xA0\xB1\x8A\xBF" "A"},
        TextCase{"Utf8Malformed", 0x23, {0xE3, 0x81, 'x', 0xC0, 0xAF}, "\x81\x48\x81\x48x\x81\x48\x81\x48"},
        TextCase{"Utf16", 0x24, {0x30, 0xA2, 0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}, "\x83\x41" "A\x81\x48"},
        TextCase{"Utf16LittleEndianMark", 0x24, {0xFF, 0xFE, 0xA2, 0x30, 0x41, 0x00}, "\x83\x41" "A"},
        TextCase{"TrailingLineEndAndLoneLeadByte", 0x00, {'A', 0x0D, 0x0A, 0x83}, "A"}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(SmafMobileReader, TextRecordsAndContentsInformation) {
  // A record longer than its chunk keeps what is there; binary chunks and
  // unknown tags are skipped.
  Bytes records = test::smaf_text_record("CA", {'x'});
  append(records, {'S', 'T', 0x00, 0x09, 'L', 'o', 'n', 'g'});
  Bytes texts = test::smaf_chunk(std::string("Dch\xFF", 4), test::smaf_text_record("ST", {'B'}));
  append(texts, test::smaf_chunk(std::string("Dch\x00", 4), records));
  Bytes optional = test::smaf_chunk("OPDA", texts);
  ReadResult r = read(smaf_file({smaf_contents_coded(0x00), optional, MobileTrack{}.build()}));
  EXPECT_EQ(r.song.title, "Long");

  // Contents information texts in Latin-1 are converted too; the optional
  // data's artist joins them.
  r = read(smaf_file({smaf_contents_coded(0x01, "ST:Caf\xE9,CR:Me"),
                      test::smaf_optional_data(0x01, test::smaf_text_record("AN", {'A'}))}));
  EXPECT_EQ(r.song.title, "Caf\x81\x48");
  EXPECT_EQ(r.song.copyright, "Me");
  EXPECT_EQ(r.song.artist, "A");
}

}  // namespace
}  // namespace mel
