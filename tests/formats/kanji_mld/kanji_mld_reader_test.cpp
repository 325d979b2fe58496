#include "formats/kanji_mld/kanji_mld_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "support/single_voice_score.h"
#include "support/read_score.h"

namespace mel {
namespace {

using test::Bytes;
using test::Events;
using test::score_events;

constexpr int kTie = 1 << 10;
constexpr int kTriplet = 1 << 11;

// A note code: key offset from 60 (0 = rest) in bits 5-0, length code in bits 9-6.
constexpr int code(int key, int lengthCode) { return key | (lengthCode << 6); }

// Appends the two-byte Shift-JIS character that stands for a note code: the
// code-th double-byte character counted from 89 A3.
void put_code(Bytes& out, int v) {
  int position = v + 98;
  int trail = position % 188;
  out.push_back(static_cast<uint8_t>(0x89 + position / 188));
  out.push_back(static_cast<uint8_t>(0x40 + trail + (trail >= 0x3F ? 1 : 0)));
}

// The 10-byte header: EF 41, the rest of the file's signature, the tempo code.
Bytes header(uint8_t tempoCode) {
  return {0xEF, 0x41, 0x8B, 0xA4,           // signature
          0x81, 0x40, 0x81, 0x40, 0x81,     // filler
          tempoCode};                       // byte 9
}

void put_title(Bytes& out, const std::string& digits, const std::string& text) {
  out.push_back(0xEF);
  out.push_back(0x42);
  out.insert(out.end(), digits.begin(), digits.end());
  out.insert(out.end(), text.begin(), text.end());
}

using Read = test::ReadResult;

Read read(const Bytes& data, const Settings& settings = Settings{}) {
  return test::read_with(read_kanji_mld_file, data, settings);
}

TEST(KanjiMldReader, FirstNoteCharacterIsAShortRest) {
  Read r = read({0x89, 0xA3});
  EXPECT_EQ(score_events(r.score), (Events{{0, 60}}));
  EXPECT_EQ(r.song.tempo, 120);
  EXPECT_EQ(r.song.timebase, 240);
  EXPECT_EQ(r.song.noteCount[0], 1);
  EXPECT_EQ(r.song.songLength, 60);
  EXPECT_EQ(r.song.firstNoteTime[0], 0);
}

TEST(KanjiMldReader, CodeBitsGiveKeyLengthAndTriplet) {
  Bytes data;
  put_code(data, code(9, 4));             // key 69, 240 ticks
  put_code(data, code(9, 4) | kTriplet);  // 2/3 of it: 160
  put_code(data, code(1, 1) | kTriplet);  // 90 ticks as a triplet: 60
  put_code(data, code(63, 8));            // key 123, 960 ticks
  put_code(data, code(5, 9));             // length codes 9-15 last no time
  put_code(data, code(5, 0));             // key 65, 60 ticks
  Read r = read(data);
  EXPECT_EQ(score_events(r.score), (Events{{69, 240}, {69, 160}, {61, 60}, {123, 960}, {65, 60}}));
  EXPECT_EQ(r.song.noteCount[0], 6);
  EXPECT_EQ(r.song.songLength, 240 + 160 + 60 + 960 + 60);

  // Codes run on across lead bytes and skip the unused trail byte 7F:
  // 8A 7E is (188 + 0x3E) - 98 = 152 and 8A 80 the next code, 153.
  Read gap = read({0x8A, 0x7E, 0x8A, 0x80});
  EXPECT_EQ(score_events(gap.score), (Events{{84, 120}, {85, 120}}));
}

TEST(KanjiMldReader, HeaderByteNineSetsTheTempo) {
  Bytes data = header(0x50);
  put_code(data, code(0, 4));
  Read r = read(data);
  EXPECT_EQ(r.song.tempo, 124);
  EXPECT_EQ(r.score.tempo(), 124);
  // The header's own bytes (its filler is full-width spaces) are not notes.
  EXPECT_EQ(r.song.noteCount[0], 1);

  EXPECT_EQ(read(header(0x40)).song.tempo, 120);
  EXPECT_EQ(read(header(0x41)).song.tempo, 64);
  // A header cut before its tempo byte leaves 120.
  Bytes cut = header(0x50);
  cut.resize(8);
  EXPECT_EQ(read(cut).song.tempo, 120);
}

TEST(KanjiMldReader, TiedCharactersSoundAsOneNote) {
  Bytes data;
  put_code(data, code(0, 4));         // a rest
  put_code(data, code(2, 4) | kTie);  // 240, tied on
  put_code(data, code(7, 2));         // 120: one note of 360 with this key
  put_code(data, code(0, 2));
  Read r = read(data);
  EXPECT_EQ(score_events(r.score), (Events{{0, 240}, {67, 360}, {0, 120}}));
  EXPECT_EQ(r.song.noteCount[0], 4);
  EXPECT_EQ(r.song.leadIn, 240);
  EXPECT_EQ(r.song.firstNoteTime[0], 241);
  EXPECT_EQ(r.song.lastNoteEnd[0], 601);
}

TEST(KanjiMldReader, TieOpenAtTheEndKeepsItsNote) {
  Bytes data;
  put_code(data, code(4, 4));
  put_code(data, code(4, 4) | kTie);
  Read at_end = read(data);
  EXPECT_EQ(score_events(at_end.score), (Events{{64, 240}, {64, 240}}));
  EXPECT_EQ(at_end.song.songLength, 480);

  put_title(data, "0002", "AB");
  Read at_title = read(data);
  EXPECT_EQ(score_events(at_title.score), (Events{{64, 240}, {64, 240}}));
}

TEST(KanjiMldReader, TitleEndsTheMelody) {
  Bytes data = header(0x50);
  put_code(data, code(0, 4));
  // "テスト" in Shift-JIS: 6 bytes, kept as they are.
  put_title(data, "0006", "\x83\x65\x83\x58\x83\x67");
  put_code(data, code(1, 4));  // after the title: not read
  Read r = read(data);
  EXPECT_EQ(r.song.title, "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(score_events(r.score), (Events{{0, 240}}));
}

TEST(KanjiMldReader, TitleLengthIsBoundedByTheDataAndTheField) {
  Bytes past_end;
  put_title(past_end, "0040", "short");
  EXPECT_EQ(read(past_end).song.title, "short");

  Bytes longer;
  put_title(longer, "9999", std::string(400, 'x'));
  EXPECT_EQ(read(longer).song.title, std::string(255, 'x'));

  // The digits stop at the first non-digit; the text still starts after four.
  Bytes odd;
  put_title(odd, "2x99", "abcdef");
  EXPECT_EQ(read(odd).song.title, "ab");

  Bytes cut = {0xEF, 0x42, '0', '0'};
  EXPECT_EQ(read(cut).song.title, "");
}

TEST(KanjiMldReader, CharactersBeforeTheFirstNoteCodeAreNotNotes) {
  Bytes data;
  data.insert(data.end(), {0x81, 0x40});  // full-width space
  data.insert(data.end(), {0x88, 0x9F});  // the last character before 89 A3
  data.insert(data.end(), {0x89, 0xA2});
  data.insert(data.end(), {0xEF, 0x50});  // another EF character: ignored
  put_code(data, code(2, 4));
  Read r = read(data);
  EXPECT_EQ(score_events(r.score), (Events{{62, 240}}));
  EXPECT_EQ(r.song.noteCount[0], 1);
}

TEST(KanjiMldReader, OneByteCharactersDoNotShiftTheNotes) {
  // Line breaks, an ASCII letter and a half-width katakana between notes.
  Bytes data;
  put_code(data, code(2, 4));
  data.insert(data.end(), {'\r', '\n', 'A', 0xB1});
  put_code(data, code(4, 4));
  data.push_back('\n');
  put_code(data, code(5, 4));
  data.push_back(0x89);  // half a character at the end
  Read r = read(data);
  EXPECT_EQ(score_events(r.score), (Events{{62, 240}, {64, 240}, {65, 240}}));
}

TEST(KanjiMldReader, VeryLongTiesDoNotOverflow) {
  // 2.3 million tied whole notes: more ticks than an int holds, in one note.
  Bytes data;
  data.reserve(4600010);
  for (int i = 0; i < 2300000; ++i) put_code(data, code(3, 8) | kTie);
  put_code(data, code(3, 8));
  Read r = read(data);
  test::expect_sane_single_voice_score(r.score, r.song);
  EXPECT_EQ(r.song.songLength, INT_MAX);
  Events events = score_events(r.score);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], (test::Event{63, 65535}));  // the note, then its rest as rests
  EXPECT_EQ(events[1], (test::Event{0, 65535}));
}

TEST(KanjiMldReader, SurvivesRandomBytesAndEveryTruncation) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    Bytes data = test::random_bytes(rng, rng() % 2000);
    if (round % 3 == 0) {
      Bytes h = header(static_cast<uint8_t>(rng()));
      data.insert(data.begin(), h.begin(), h.end());
    }
    Read r = read(data);
    test::expect_sane_single_voice_score(r.score, r.song);
  }
  Bytes valid = header(0x55);
  put_code(valid, code(2, 4) | kTie);
  valid.push_back('\n');
  put_code(valid, code(3, 5) | kTriplet);
  put_code(valid, code(0, 8));
  put_title(valid, "0004", "\x83\x65\x83\x58");
  for (std::size_t n = 0; n <= valid.size(); ++n) {
    Read r = read(Bytes(valid.begin(), valid.begin() + n));
    test::expect_sane_single_voice_score(r.score, r.song);
  }
}

}  // namespace
}  // namespace mel
