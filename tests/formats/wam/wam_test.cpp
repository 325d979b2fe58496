#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/wam/wam_reader.h"
#include "formats/wam/wam_writer.h"
#include "support/midicsv.h"
#include "support/read_score.h"
#include "support/score_builder.h"
#include "support/single_voice_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using test::score_events;

constexpr std::size_t kSlots = 64;

// A WAM file: signature, two zero bytes, the character count (16-bit LE),
// the title bytes, the tempo code, the 64 pitch and 64 length bytes (unused
// ones 0) and the three check bytes.
Bytes wam_file(const std::string& title, int characters, int tempoCode, const Bytes& pitches, const Bytes& lengths) {
  std::string signature = "AsMeloDataFile";
  Bytes f(signature.begin(), signature.end());
  f.insert(f.end(), {0, 0, static_cast<uint8_t>(characters), static_cast<uint8_t>(characters >> 8)});
  f.insert(f.end(), title.begin(), title.end());
  f.push_back(static_cast<uint8_t>(tempoCode));
  Bytes p(kSlots), l(kSlots);
  std::copy(pitches.begin(), pitches.end(), p.begin());
  std::copy(lengths.begin(), lengths.end(), l.begin());
  uint8_t ps = 0, ls = 0;
  for (uint8_t b : p) ps = static_cast<uint8_t>(ps + b);
  for (uint8_t b : l) ls = static_cast<uint8_t>(ls + b);
  f.insert(f.end(), p.begin(), p.end());
  f.insert(f.end(), l.begin(), l.end());
  f.insert(f.end(), {ps, ls, static_cast<uint8_t>(ps + ls)});
  return f;
}

test::ReadResult read(const Bytes& b) { return test::read_with(read_wam_file, b); }

TEST(WamReader, NotesReadThroughTheMidiWriter) {
  test::ReadResult r = read(wam_file("Tune", 4, 6,
                                     {0x21,   // C sharp
                                      0x10,   // rest
                                      0x00},  // end of the notes
                                     {0x14,   // octave 1, quarter: key 73
                                      0x02,   // eighth
                                      0x18}));
  EXPECT_EQ(r.song.title, "Tune");
  EXPECT_EQ(r.song.tempo, 126);
  EXPECT_EQ(score_events(r.score), (Events{{73, 240}, {0, 120}}));
  EXPECT_EQ(r.song.noteCount[0], 2);
  test::expect_sane_single_voice_score(r.score, r.song);

  test::MidiCsv csv = test::run_midicsv_on_score(r.score, r.song);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(test::csv_note_rows(csv), (std::vector<std::string>{"2,0,Note_on_c,0,73,100", "2,240,Note_off_c,0,73,0",
                                                                "2,360,Note_off_c,0,0,0"}));
}

TEST(WamReader, NibblesTitleAndSignature) {
  Bytes file = wam_file("\x82\xA0z", 2, 9,  // a double-byte character counts once
                        {0x82,               // B flat: 60 + 12 x 2 + 11 - 1
                         0x93,               // high nibble 9 is C, low 3 natural
                         0x01},              // high nibble 0 is C, sharp
                        {0x26, 0x0B, 0x3A}); // 480; code 11 reads as 30; 160
  file.insert(file.begin(), {'x', 'A', 's'});  // found after other bytes
  test::ReadResult r = read(file);
  EXPECT_EQ(r.song.title, "\x82\xA0z");
  EXPECT_EQ(r.song.tempo, 168);
  EXPECT_EQ(score_events(r.score), (Events{{94, 480}, {60, 30}, {97, 160}}));
  // A tempo code above 9 gives no notes and keeps tempo 120.
  test::ReadResult bad = read(wam_file("", 0, 10, {0x20}, {0x14}));
  EXPECT_EQ(bad.song.tempo, 120);
  EXPECT_TRUE(score_events(bad.score).empty());
  // 64 slots at most, though the check bytes follow.
  test::ReadResult full = read(wam_file("", 0, 0, Bytes(kSlots, 0x20), Bytes(kSlots, 0x11)));
  EXPECT_EQ(full.song.noteCount[0], 64);
  EXPECT_EQ(score_events(full.score).size(), 64u);
}

// A note is read only when its length byte lies inside the data.
TEST(WamReader, CutOffFileKeepsOnlyNotesWithTheirLengths) {
  Bytes file = wam_file("", 0, 4, {0x20, 0x30, 0x40}, {0x14, 0x14, 0x14});
  file.resize(19 + kSlots + 2);  // the first two length bytes are left
  EXPECT_EQ(score_events(read(file).score), (Events{{72, 240}, {74, 240}}));
}

TEST(WamReader, HostileInputStaysInsideTheScore) {
  Bytes valid = wam_file("\x83\x41title", 6, 3, {0x21, 0x10, 0x85, 0x20}, {0x14, 0x02, 0x38, 0x2A});
  std::vector<Bytes> inputs = {wam_file("ab", 0xFFFF, 0, {0x20}, {0x14})};  // a count far beyond the data
  for (std::size_t n = 0; n <= valid.size(); ++n) inputs.push_back(Bytes(valid.begin(), valid.begin() + n));
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    inputs.push_back(test::random_bytes(rng, rng() % 300));
    if (round % 2) inputs.back().insert(inputs.back().begin(), {'A', 's', 'M', 'e'});
  }
  for (const Bytes& input : inputs) {
    test::ReadResult r = read(input);
    test::expect_sane_single_voice_score(r.score, r.song);
  }
}

TEST(WamWriter, SlotsTitleAndCheckBytes) {
  test::ScoreBuilder b(120, 240);
  b.title("Tune");
  b.track().note(72, 240);
  WamWriterSettings w;
  w.title = "Tune";
  Bytes one = write_wam(b.score(), b.song(), Settings{}, w);
  ASSERT_EQ(one.size(), 18u + 4 + 1 + 128 + 3);
  EXPECT_EQ(one[16], 4);
  EXPECT_EQ(one[22], 6);     // 120 -> 126
  EXPECT_EQ(one[23], 0x20);  // C
  EXPECT_EQ(one[23 + 64], 0x14);
  EXPECT_EQ(Bytes(one.end() - 3, one.end()), (Bytes{0x20, 0x14, 0x34}));

  test::ScoreBuilder l;
  l.track().note(61, 1080).note(110, 60);
  for (int i = 0; i < 70; ++i) l.note(84, 120);  // C of octave 2
  w.title = "";
  Bytes out = write_wam(l.score(), l.song(), Settings{}, w);
  const std::size_t p = 19;
  // 1080: a whole C sharp (61 folds up to 73), then its 120 as a rest slot;
  // 110 folds down to 98, D of octave 3; the 65th slot is not written.
  EXPECT_EQ(Bytes(out.begin() + p, out.begin() + p + 4), (Bytes{0x21, 0x10, 0x30, 0x20}));
  EXPECT_EQ(Bytes(out.begin() + p + 64, out.begin() + p + 68), (Bytes{0x18, 0x02, 0x31, 0x22}));
  EXPECT_EQ(out[p + 63], 0x20);
  EXPECT_EQ(out[p + 64 + 63], 0x22);
  EXPECT_EQ(out.size(), p + 128 + 3);
}

TEST(WamWriter, TitleKeepsWholeCharactersOfTwentyTwoBytes) {
  EXPECT_EQ(wam_title("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrstuv");
  EXPECT_EQ(wam_title("abcdefghijklmnopqrstu\x82\xA0"), "abcdefghijklmnopqrstu");
  EXPECT_EQ(wam_title("ab\x82\xA0\x82"), "ab\x82\xA0");  // a lead byte at the end is dropped
  test::ScoreBuilder b;
  b.title("\x82\xA0\x82\xA2x");
  b.track().note(72, 240);
  WamWriterSettings w = wam_dialog_values(b.song(), Settings{});
  Bytes out = write_wam(b.score(), b.song(), Settings{}, w);
  EXPECT_EQ(out[16], 3);  // three characters in five bytes
  EXPECT_EQ(read(out).song.title, "\x82\xA0\x82\xA2x");
}

}  // namespace
}  // namespace mel
