// The chara melody text: an optional title line, a header mark, a tempo
// digit, then three characters per note (length digit, letter, octave), with
// line breaks allowed between any of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mel::chara {

// The two header marks; the title line ends at the first "*6" or "]]".
constexpr char kMarkBrackets[] = "]]";
constexpr char kMarkStars[] = "*6*6";
constexpr std::size_t kMarkBracketsSize = 2;
constexpr std::size_t kMarkStarsSize = 4;
constexpr std::size_t kTitleEndStarsSize = 2;  // "*6"
// A "*" that does not begin "*6*6" stops note reading until the next mark.
constexpr uint8_t kStar = '*';
constexpr uint8_t kCarriageReturn = '\r';
constexpr uint8_t kLineFeed = '\n';

// Letter and octave of a rest ("00") and a tie ("01").
constexpr uint8_t kRestLetter = '0';
constexpr uint8_t kRestOctave = '0';
constexpr uint8_t kTieLetter = '0';
constexpr uint8_t kTieOctave = '1';
// The letters "1"-"7" are C D E F G A B.
constexpr uint8_t kFirstLetter = '1';
constexpr uint8_t kLastLetter = '7';

// Length digit d lasts kLengthByDigit[d] ticks at 960 to the whole note.
constexpr std::array<int, 10> kLengthByDigit = {960, 60, 120, 180, 240, 360, 480, 720, 80, 160};

// Octave digit o: key = 48 + 12 x ((o + 1) div 2) + semitone, + 1 for even o.
constexpr int kOctaveBaseKey = 48;
// The writer's keys: octave "1"/"2" for 60-71 (natural / sharp) up to
// "7"/"8" for 96-107.
constexpr int kLowestKey = 60;
constexpr int kHighestKey = 107;

constexpr bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool is_line_break(uint8_t c) { return c == kCarriageReturn || c == kLineFeed; }

}  // namespace mel::chara
