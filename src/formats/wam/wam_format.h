// The WAM melody file: signature, title, tempo code and two parallel arrays
// of 64 pitch bytes and 64 length bytes, then three check bytes.
//
//   0        "AsMeloDataFile"
//   14       2 zero bytes
//   16       title characters (a double-byte character counts once), 16-bit LE
//   18       title bytes (T)
//   18 + T   tempo code 0-9
//   19 + T   64 pitch bytes, unused 0
//   83 + T   64 length bytes, unused 0
//   147 + T  sum of the pitch bytes, of the length bytes, of those two sums
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mel::wam {

constexpr char kSignature[] = "AsMeloDataFile";
constexpr std::size_t kSignatureSize = 14;
// The reader finds a file by the signature's first four bytes.
constexpr std::size_t kSignatureFindSize = 4;
constexpr std::size_t kTitleCountOffset = 16;
constexpr std::size_t kTitleOffset = 18;

constexpr int kSlots = 64;
// A note's length byte stands this far after its pitch byte.
constexpr std::size_t kLengthArrayOffset = kSlots;

// Pitch byte: high nibble 1 rest, 2-8 the letters C-B; low nibble 1 sharp,
// 2 flat. 0 ends the notes.
constexpr uint8_t kEndOfNotes = 0x00;
constexpr int kRestNibble = 1;
constexpr int kFirstLetterNibble = 2;
constexpr int kLastLetterNibble = 8;
constexpr int kSharpNibble = 1;
constexpr int kFlatNibble = 2;
constexpr uint8_t kRestPitch = 0x10;
constexpr int kNibbleShift = 4;
constexpr uint8_t kLowNibble = 0x0F;

// Length byte: high nibble octave o (key 60 + 12 o + semitone), low nibble
// the length code 1-10; other codes read as 30 ticks.
constexpr int kOctaveBaseKey = 60;
constexpr std::array<int, 11> kLengthByCode = {0, 60, 120, 180, 240, 360, 480, 720, 960, 80, 160};
constexpr int kUnknownLength = 30;

// The writer's keys: octaves 1-3, keys 72-107; others fold into them by octaves.
constexpr int kLowestKey = 72;
constexpr int kHighestKey = 107;

}  // namespace mel::wam
