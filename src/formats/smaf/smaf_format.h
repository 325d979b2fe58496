// The byte vocabulary of SMAF melodies ("MMMD", ".mmf"): chunks are a 4-byte
// tag, a 32-bit big-endian size and the data. The file chunk holds contents
// information ("CNTI") and score track chunks ("MTR" + track number), whose
// sub-chunks carry the setup ("Mtsu") and the sequence ("Mtsq"). Shared by
// the readers of every score track form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "midi/midi_bytes.h"

namespace mel {
namespace smaf {

// ---- Chunks -----------------------------------------------------------------

constexpr char kFileTag[] = "MMMD";
constexpr char kContentsTag[] = "CNTI";
constexpr char kOptionalDataTag[] = "OPDA";
constexpr char kScoreTrackTag[] = "MTR";  // followed by a track number byte
constexpr char kAudioTrackTag[] = "ATR";  // followed by a track number byte
constexpr char kSequenceTag[] = "Mtsq";
constexpr char kSetupTag[] = "Mtsu";
constexpr char kSeekPhraseTag[] = "MspI";
constexpr std::size_t kTagSize = 4;
constexpr std::size_t kScoreTrackTagSize = 3;
constexpr std::size_t kChunkHeaderSize = 8;  // tag and 32-bit big-endian size
constexpr std::size_t kChunkSizeOffset = 4;

// ---- Score track chunk header -----------------------------------------------

// After the chunk header come the format type, sequence type, timebase code,
// gate timebase and the channel status.
constexpr std::size_t kFormatTypeOffset = 8;
constexpr std::size_t kSequenceTypeOffset = 9;
constexpr std::size_t kTimebaseCodeOffset = 10;
constexpr std::size_t kGateTimebaseOffset = 11;
constexpr std::size_t kChannelStatusOffset = 12;
// The handy-phone form's header: two bytes of channel status.
constexpr std::size_t kScoreTrackHeaderSize = 14;

// Format types.
constexpr uint8_t kHandyPhoneForm = 0x00;
constexpr uint8_t kMobileStandardCompressedForm = 0x01;
constexpr uint8_t kMobileStandardForm = 0x02;
constexpr uint8_t kThirtyTwoChannelForm = 0x03;

// Handy-phone channel status: four bits per channel, even channels in the
// high nibble; a channel whose two low status bits are 3 plays drum keys.
constexpr int kChannelsPerChunk = 4;
constexpr int kRhythmStatus = 3;  // low two bits of a channel's status nibble
constexpr int kStatusMask = 3;
constexpr int kStatusNibbleShift = 4;  // even channels in the high nibble
constexpr uint8_t kStatusNibbleMask = 0x0F;

// ---- Contents information texts ---------------------------------------------

constexpr char kTitleTag[] = "ST:";
constexpr char kCopyrightTag[] = "CR:";
constexpr std::size_t kTextTagSize = 3;
constexpr uint8_t kTextEscape = '\\';
constexpr uint8_t kTextSeparator = ',';

// ---- Setup data ---------------------------------------------------------------

// Exclusive messages FF F0 n <n bytes>. A voice definition's data begins
// 43 03; counted from the FF, byte 7 is the voice number and bytes 10-19 the
// voice parameters.
constexpr uint8_t kVoiceMaker = 0x43;
constexpr uint8_t kVoiceDefinition = 0x03;
constexpr std::size_t kExclusiveHeaderSize = 3;
constexpr std::size_t kVoiceMakerOffset = 3;
constexpr std::size_t kVoiceKindOffset = 4;
constexpr std::size_t kVoiceNumberOffset = 7;
constexpr std::size_t kVoiceParamsOffset = 10;
constexpr std::size_t kVoiceParamCount = 10;
constexpr int kVoiceCount = 256;

// ---- Handy-phone sequence events --------------------------------------------

constexpr uint8_t kEscapeByte = 0xFF;   // FF 00 no-op, FF F0 exclusive, FF other end marker
constexpr uint8_t kNoOperation = 0x00;
constexpr uint8_t kExclusive = 0xF0;
constexpr uint8_t kControlPrefix = 0x00;  // 00 C [V]: controls and short events
constexpr uint8_t kUnusedNoteNibble = 0x0F;
constexpr uint8_t kShortKindMask = 0x30;
constexpr uint8_t kControlKind = 0x30;
constexpr uint8_t kShortExpressionKind = 0x00;
constexpr uint8_t kControlTypeMask = 0x3F;
constexpr uint8_t kShortValueMask = 0x0F;
constexpr int kChannelShift = 6;
constexpr int kOctaveShift = 4;
constexpr uint8_t kOctaveMask = 0x03;
constexpr uint8_t kNoteMask = 0x0F;

// Control types (bits 5-0 of C).
constexpr int kProgramChangeControl = 0x30;
constexpr int kBankSelectControl = 0x31;
constexpr int kOctaveShiftControl = 0x32;
constexpr int kChannelVolumeControl = 0x37;
constexpr int kPanControl = 0x3A;
constexpr int kExpressionControl = 0x3B;

// Variable-length numbers: 7 bits a byte, the high bit set on every byte but
// the last, each continuation counting one more.
constexpr int kMaxNumberBytes = 4;  // variable-length numbers are read to at most 4 bytes
constexpr uint8_t kNumberMoreBit = 0x80;
constexpr uint8_t kNumberBitsMask = 0x7F;
constexpr int64_t kNumberRadix = 128;

constexpr int kRhythmBankFrom = 128;   // bank select: 128 and up play drum keys
constexpr int kOctaveDownFrom = 128;   // octave shift: 128 + n lowers by n
constexpr int kLowestMelodicKey = 36;  // octave 0, note 0
using midi::kSemitonesPerOctave;

// ---- Timing -------------------------------------------------------------------

constexpr int kDefaultTimebase = 24;
constexpr int kDefaultTempo = 126;

struct TimebaseCode {
  uint8_t code;
  int timebase;  // ticks per quarter note
  int tempo;     // quarter notes per minute
};

// Tick lengths of 1, 2, 4, 5, 10, 20, 40 and 50 ms as a timebase and tempo.
constexpr std::array<TimebaseCode, 8> kTimebaseCodes{{
    {0x00, 500, 120},
    {0x01, 250, 120},
    {0x02, 125, 120},
    {0x03, 100, 120},
    {0x10, 50, 120},
    {0x11, 24, 125},
    {0x12, 12, 125},
    {0x13, 6, 125},
}};

}  // namespace smaf
}  // namespace mel
