// The dot-i / MOZiO melody text: a melody tag "<MEL=c,title,tempo," and
// harmony tags "<HMEL=n,n,n,", each holding note symbols of three characters
// (pitch letter, octave, length) and closed by ">". The reader and the writer
// share this vocabulary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mel::doti {

// ---- Tags ---------------------------------------------------------------------

constexpr char kTagOpen = '<';
constexpr char kTagClose = '>';
constexpr char kFieldSeparator = ',';
constexpr char kMelodyTag[] = "<MEL";
constexpr std::size_t kMelodyTagSize = 4;
constexpr char kHarmonyTag[] = "<HMEL";
constexpr std::size_t kHarmonyTagSize = 5;
// "<MEL=" and the channel character and its "," come before the title.
constexpr std::size_t kMelodyTitleOffset = 7;
// The harmony tag's three numbers end at its third ",".
constexpr int kHarmonyFields = 3;

// What the writer puts in front of the title, and the tags that begin each
// harmony track (%d: the harmony number).
constexpr char kMelodyTagHead[] = "<MEL=0,";
constexpr char kHarmonyTagFormat[] = "<HMEL=%d,0,0,";
// The MOZiO layout begins each harmony tag on a line of its own.
constexpr char kLineBreak[] = "\r\n";
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

// ---- Title --------------------------------------------------------------------

// The title stands in at most this many bytes of the file.
constexpr std::size_t kMaxFileTitle = 22;

struct TitleEscape {
  char plain;
  const char* escaped;
};
constexpr TitleEscape kEscapeLess{'<', "&lt"};
constexpr TitleEscape kEscapeGreater{'>', "&gt"};
constexpr TitleEscape kEscapeComma{',', "&cmm"};
constexpr TitleEscape kEscapeAmpersand{'&', "&amp"};  // written in the MOZiO layout only
constexpr std::array<TitleEscape, 4> kTitleEscapes = {kEscapeLess, kEscapeGreater, kEscapeComma,
                                                      kEscapeAmpersand};

// Bytes the writer takes for the first byte of a double-byte character.
constexpr bool is_title_lead_byte(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || b >= 0xE0; }

// ---- Tempo --------------------------------------------------------------------

// Tempo code "0".."9", in quarter notes per minute.
constexpr std::array<int, 10> kTempoByCode = {60, 72, 84, 96, 108, 114, 126, 138, 150, 168};
// A tempo of 0 or less is written as this one.
constexpr int kDefaultWriteTempo = 120;

// ---- Note symbols -------------------------------------------------------------

// Lengths in ticks at 960 to the whole note.
constexpr int kUnitsPerWhole = 960;
constexpr int kUnitsPerStep = kUnitsPerWhole / 16;  // one counter step, a sixteenth

// Length code "0".."9", then "A"; any other character stands for kOtherLength.
constexpr std::array<int, 10> kLengthByDigit = {960, 60, 120, 180, 240, 360, 480, 720, 80, 160};
constexpr char kLengthCodeA = 'A';
constexpr int kLengthA = 40;
constexpr int kOtherLength = 30;

// Pitch letters "1".."7" are C D E F G A B; a rest is "00".
constexpr std::array<int, 7> kSemitoneByLetter = {0, 2, 4, 5, 7, 9, 11};
constexpr char kRestPitch[] = "00";
// Octave character d: key = kOctaveBaseKey + 12 * ((d + 1) / 2) + semitone, one
// higher for an even d.
constexpr int kOctaveBaseKey = 60;

// The keys the writer can express: "1" to "8" cover 72 .. 119.
constexpr int kLowestKey = 72;
constexpr int kHighestKey = 119;

}  // namespace mel::doti
