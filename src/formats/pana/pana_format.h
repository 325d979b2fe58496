// The byte vocabulary of pana melodies (the 623P handset's ".pmd"): "ML", a
// 16-bit little-endian length of the rest, then chunks of a tag byte, a
// length byte and that many data bytes. Track chunks hold a nibble stream,
// high nibble first: the tempo code, then three nibbles per note (length,
// letter, octave), ended by the code 0xF in a length position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mel {
namespace pana {

constexpr char kMagic[] = "ML";
constexpr std::size_t kMagicSize = 2;
constexpr std::size_t kLengthOffset = 2;  // 16 bits, little-endian: file length - 4
constexpr std::size_t kHeaderSize = 4;

// Chunk tags.
constexpr uint8_t kFirstTrackTag = 0x00;
constexpr uint8_t kLastTrackTag = 0x09;
constexpr uint8_t kFirstInstrumentTag = 0x40;
constexpr uint8_t kLastInstrumentTag = 0x42;
constexpr uint8_t kEndTag = 0x80;
constexpr std::size_t kChunkHeaderSize = 2;  // tag, length
constexpr uint8_t kInstrumentLength = 3;
constexpr uint8_t kEndLength = 1;
// The writer writes three tracks at most, with an instrument chunk each.
constexpr int kWrittenTracks = 3;

// Nibbles.
constexpr int kNibbleBits = 4;
constexpr uint8_t kNibbleMask = 0x0F;
constexpr uint8_t kEndCode = 0xF;
constexpr uint8_t kEndByte = 0xF0;  // the end code in a high nibble

// Tempo codes 0-9 (the table the dot-i, chara and WAM formats share).
constexpr std::array<int, 10> kTempos = {60, 72, 84, 96, 108, 114, 126, 138, 150, 168};

// Length nibbles 0-0xA in ticks at 960 to the whole note; the reader takes
// 0xB-0xE (and 0xF other than as the end code) as 30.
constexpr std::array<int, 11> kLengths = {960, 60, 120, 180, 240, 360, 480, 720, 80, 160, 40};
constexpr int kOtherLength = 30;
constexpr uint8_t kLength960 = 0x0;
constexpr uint8_t kLength80 = 0x8;
constexpr uint8_t kLength160 = 0x9;
constexpr uint8_t kLength40 = 0xA;

// Letter and octave nibbles: 0, 0 is a rest and 0, 1 a tie; letters 1-7 are
// C D E F G A B; octave o gives key 48 + 12 x ((o + 1) / 2) + semitone, one
// higher when o is even.
constexpr uint8_t kRestLetter = 0;
constexpr uint8_t kRestOctave = 0;
constexpr uint8_t kTieLetter = 0;
constexpr uint8_t kTieOctave = 1;
constexpr std::array<int, 8> kLetterSemitones = {0, 0, 2, 4, 5, 7, 9, 11};  // letter 0 reads as C
constexpr int kOctaveBaseKey = 48;
// The written keys 60-107: letter and sharp by pitch class.
constexpr int kLowestKey = 60;
constexpr int kHighestKey = 107;
constexpr int kHighFoldBase = 96;
constexpr std::array<uint8_t, 12> kClassLetters = {1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
constexpr std::array<bool, 12> kClassSharp = {false, true, false, true, false, false,
                                              true,  false, true, false, true, false};
constexpr int kOctaveCodeBase = 9;  // octave nibble = 2 x (key / 12) - 9, plus 1 for a sharp

// Instruments: the 12-bit value (p mod 16, g mod 16, h mod 16) of an
// instrument chunk, the bytes the writer writes for each code, and the
// program the reader sets (-1: none).
struct Instrument {
  uint8_t p, g, h;
  int program;
};
// Indexed by instrument code; code 0 and codes outside 1-10 write entry 0.
constexpr std::array<Instrument, 11> kInstruments = {{
    {1, 3, 0, 2},     // other codes: as code 1
    {1, 3, 0, 2},     // 1 synthesizer
    {1, 2, 0, 1},     // 2 piano
    {1, 3, 5, 16},    // 3 electric organ
    {3, 3, 4, 19},    // 4 chapel organ
    {1, 8, 0, 13},    // 5 xylophone
    {3, 8, 0, 9},     // 6 glockenspiel
    {1, 7, 0, 74},    // 7 recorder
    {2, 1, 12, -1},   // 8
    {1, 4, 12, 78},   // 9 whistle
    {2, 1, 5, -1},    // 10
}};
constexpr int kMaxInstrumentCode = 10;

constexpr int instrument_value(int p, int g, int h) {
  return ((p & kNibbleMask) << 8) | ((g & kNibbleMask) << 4) | (h & kNibbleMask);
}

}  // namespace pana
}  // namespace mel
