#include "formats/pmail/pmail_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "formats/mfi/mail_text.h"
#include "support/single_voice_score.h"
#include "score/format_codes.h"
#include "support/read_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using test::score_events;

using Read = test::ReadResult;

Read read(const Bytes& data, const Settings& settings = Settings{}) {
  return test::read_with(read_pmail_file, data, settings);
}

TEST(PmailReader, ReadsTempoLengthAndScaleDegrees) {
  Read r = read({
      0x03,  // tempo code 3: 100
      0x84,  // length: a quarter note, 240 ticks
      0x01,  // degree 1: C, key 60
      0x02,  // degree 2: D, key 62
      0xFF,  // end of melody
  });
  EXPECT_EQ(r.song.tempo, 100);
  EXPECT_EQ(r.song.timebase, 240);
  EXPECT_EQ(score_events(r.score), (Events{{60, 240}, {62, 240}}));
  EXPECT_EQ(r.score.length, 8u);
  EXPECT_EQ(r.score.bytes[0], 0);
  EXPECT_EQ(r.score.bytes[1], 100);
  EXPECT_EQ(r.song.noteCount[0], 2);
  EXPECT_EQ(r.song.songLength, 480);
  EXPECT_EQ(r.song.firstNoteTime[0], 1);
  EXPECT_EQ(r.song.lastNoteEnd[0], 481);
  EXPECT_EQ(r.song.lowestPitch[0], 60);
  EXPECT_EQ(r.song.highestPitch[0], 62);
  EXPECT_EQ(r.song.trackCount, 1);
}

TEST(PmailReader, NoteBytesClimbTheMajorScaleWithSharps) {
  Read r = read({
      0x04,
      0x07,  // degree 7: B, key 71
      0x08,  // degree 8: C an octave up, key 72
      0x48,  // degree 8 with the sharp bit: key 73
      0x43,  // E sharp: key 65
      0x7F,  // degree 63 with sharp lies above the key range: clamped to 127
  });
  EXPECT_EQ(score_events(r.score), (Events{{71, 120}, {72, 120}, {73, 120}, {65, 120}, {127, 120}}));
}

TEST(PmailReader, TempoCodesOutsideTheTableAndEmptyDataGive120) {
  EXPECT_EQ(read({0x05, 0x01}).song.tempo, 160);
  EXPECT_EQ(read({0x06, 0x01}).song.tempo, 120);
  Read empty = read({});
  EXPECT_EQ(empty.song.tempo, 120);
  EXPECT_EQ(empty.score.tempo(), 120);
  EXPECT_EQ(empty.score.length, 2u);
}

TEST(PmailReader, LengthCommandsAreStickyAndOtherCommandsIgnored) {
  Read r = read({
      0x04,
      0x01,        // before any length command: 120
      0x80, 0x01,  // 960
      0x01,        // still 960
      0x81, 0x01, 0x82, 0x01, 0x83, 0x01, 0x85, 0x01, 0x86, 0x01, 0x88, 0x01,
      0xC2, 0x01, 0xC4, 0x01,
      0x87, 0x01,  // a length command without a table entry: 120
      0x80,
      0x90, 0xA5, 0xB0, 0xE4,  // bits 5-4 set: not length commands, ignored
      0x01,  // so still 960
  });
  EXPECT_EQ(score_events(r.score),
            (Events{{60, 120}, {60, 960}, {60, 960}, {60, 720}, {60, 480}, {60, 360}, {60, 180}, {60, 120},
                    {60, 60}, {60, 160}, {60, 80}, {60, 120}, {60, 960}}));
}

TEST(PmailReader, RestsGatherBeforeTheNextNoteAndAtTheEnd) {
  Read r = read({
      0x04, 0x84,
      0x00, 0x40,  // two rests (the sharp bit on a rest changes nothing)
      0x05,        // G, key 67
      0x00,        // a trailing rest
      0xFF,
      0x01, 0x02,  // after the end: not read
  });
  EXPECT_EQ(score_events(r.score), (Events{{0, 480}, {67, 240}, {0, 240}}));
  EXPECT_EQ(r.song.noteCount[0], 4);  // rests count as well
  EXPECT_EQ(r.song.leadIn, 480);
  EXPECT_EQ(r.song.firstNoteTime[0], 481);
  EXPECT_EQ(r.song.lastNoteEnd[0], 721);
  EXPECT_EQ(r.song.songLength, 960);
}

TEST(PmailReader, FilteredNotesBecomeRests) {
  Settings settings;
  settings.conv.lowNoteCutLevel = 61;
  Read r = read({0x04, 0x84, 0x01, 0x02, 0x01}, settings);
  EXPECT_EQ(score_events(r.score), (Events{{0, 240}, {62, 240}, {0, 240}}));
  EXPECT_EQ(r.song.firstNoteTime[0], 241);
  EXPECT_EQ(r.song.lowestPitch[0], 62);
}

TEST(PmailReader, MailTextBeginningWithADecodesToTheSameMelody) {
  Bytes binary = {0x03, 0x84, 0x01, 0x02, 0xFF};
  // The dispatcher's step: ".dat" mail text is Base64 from its first byte.
  Bytes mail = {'A', '4', 'Q', 'B', 'A', 'v', '8', '='};
  ASSERT_TRUE(needs_mail_decoding(kInputPmail, ByteView(mail)));
  Bytes decoded = decode_mail_text(ByteView(mail), mail_text_mode_for(kInputPmail));
  EXPECT_EQ(decoded, binary);
  EXPECT_EQ(score_events(read(decoded).score), score_events(read(binary).score));
}

TEST(PmailReader, StopsBeforeTheEndOfTheScoreBuffer) {
  Bytes data(200000, 0x01);  // far more notes than the score holds
  data[0] = 0x04;
  Read r = read(data);
  test::expect_sane_single_voice_score(r.score, r.song);
  EXPECT_GT(r.score.length, 0x3FFFAu);
  EXPECT_LT(r.song.noteCount[0], 200000);
}

TEST(PmailReader, VeryLongRestsDoNotOverflowTheSongLength) {
  // 2.4 million whole-note rests: more ticks than an int holds.
  Bytes data(2400000, 0x00);
  data[0] = 0x04;
  data[1] = 0x80;
  data.push_back(0x01);
  Read r = read(data);
  test::expect_sane_single_voice_score(r.score, r.song);
  EXPECT_EQ(r.song.songLength, INT_MAX);
  EXPECT_EQ(r.song.leadIn, INT_MAX);
  // The score holds as much of the rest as fits, in 65535-tick pieces.
  Events events = score_events(r.score);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (test::Event{0, 65535}));
}

TEST(PmailReader, SurvivesRandomBytesAndEveryTruncation) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 300; ++round) {
    Read r = read(test::random_bytes(rng, rng() % 2000));
    test::expect_sane_single_voice_score(r.score, r.song);
  }
  Bytes valid = {0x05, 0x80, 0x01, 0x00, 0xC2, 0x48, 0x90, 0x85, 0x7F, 0x00, 0x03, 0xFF, 0x01};
  for (std::size_t n = 0; n <= valid.size(); ++n) {
    Read r = read(Bytes(valid.begin(), valid.begin() + n));
    test::expect_sane_single_voice_score(r.score, r.song);
  }
}

}  // namespace
}  // namespace mel
