// The J-SKY SMD melody: 7-bit text. A title, then one section per track
// (ESC "$" "D", the track's characters, SI). In a section every printable
// character is a note or a rest of one of four lengths; "!" and a second byte
// are the tempo, octave and triplet commands.
#pragma once

#include <array>
#include <cstdint>

namespace mel::smd {

// Escapes and shifts (ISO-2022-JP style) of the title and the sections.
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;  // half-width katakana: each byte + 0x80
constexpr uint8_t kShiftIn = 0x0F;   // back to single bytes; also ends a track section
constexpr char kTrackStart[] = "\x1B$D";
constexpr char kSingleByteText[] = "\x1B(B";
constexpr char kTwoByteText[] = "\x1B$B";
constexpr std::size_t kEscapeSize = 3;
constexpr uint8_t kKatakanaShift = 0x80;
constexpr uint8_t kJisFirst = 0x21;  // a two-byte JIS character's bytes
constexpr uint8_t kJisLast = 0x7E;

// Commands: "!" and one of these.
constexpr uint8_t kCommand = '!';
constexpr uint8_t kTempo150 = '(';
constexpr uint8_t kTempo126 = ')';
constexpr uint8_t kTempo108 = '*';
constexpr uint8_t kTempo96 = '+';
constexpr uint8_t kOctaveUp = '"';
constexpr uint8_t kOctaveDown = '#';
constexpr uint8_t kOctaveMiddle = '$';
constexpr uint8_t kTripletRepeat = '%';  // the next note sounds three times, each 2/3
constexpr uint8_t kTriplet = '&';        // the next three characters last 2/3

// A double quote after a note ties it to the next character.
constexpr uint8_t kTie = '"';
// A rest followed by a tie carries only when the byte after it is below this.
constexpr uint8_t kRestTieLimit = 0x1B;

// Rests "#" .. "&" have the length index c - kFirstRest; notes are 0x27-0x7F.
constexpr uint8_t kFirstRest = '#';
constexpr uint8_t kLastRest = '&';
constexpr uint8_t kFirstNote = 0x27;
constexpr uint8_t kLastNote = 0x7F;

// Note characters: key = ((c + 48) mod 88) div 4 + 69 + 12 x octave, length
// index = c mod 4; the writer's inverse is ((4 (k - base) + i + 1) mod 88) + 39.
constexpr int kNoteCharOffset = 48;
constexpr int kNoteCharCycle = 88;
constexpr int kLengthIndexCount = 4;
constexpr int kWriterCharBase = 39;

// The three octave states and the lowest key each one reaches.
enum Octave : int { kLow = -1, kMiddle = 0, kHigh = 1 };
constexpr int kLowBase = 57;
constexpr int kMiddleBase = 69;
constexpr int kHighBase = 81;
constexpr int kMiddleTop = 90;    // the middle state's highest key
constexpr int kHighestKey = 102;  // the high state's highest key
// Keys the low state hands to the middle state, and the high state likewise.
constexpr int kLowToMiddleFrom = 79;
constexpr int kHighToMiddleUpTo = 80;

// Ticks of the length indices at 240 ticks per quarter note.
constexpr std::array<int, kLengthIndexCount> kIndexTicks = {60, 120, 240, 480};
constexpr int kTimebase = 240;
constexpr int kReadTempo = 126;  // until a tempo command says otherwise

// The tempo characters and the tempo each one stands for.
struct TempoChar {
  uint8_t c;
  int tempo;
};
constexpr std::array<TempoChar, 4> kTempoChars = {{{kTempo96, 96}, {kTempo108, 108}, {kTempo126, 126}, {kTempo150, 150}}};

}  // namespace mel::smd
