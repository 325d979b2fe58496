// The byte vocabulary of Standard MIDI Files (and of DXM files, which share it):
// chunk tags, status bytes, meta-event types and controllers. The MIDI reader,
// writer, direct rewrite and timing all speak it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mel {
namespace midi {

// Chunks: a 4-byte tag and a 32-bit big-endian length.
constexpr char kHeaderTag[] = "MThd";
constexpr char kTrackTag[] = "MTrk";
constexpr char kDxmHeaderTag[] = "CThd";
constexpr char kDxmTrackTag[] = "CTrk";
constexpr std::size_t kTagSize = 4;
constexpr std::size_t kChunkHeadSize = 8;
constexpr uint32_t kHeaderDataLength = 6;  // format, track count, division

// Header chunk fields, as offsets from the chunk tag.
constexpr std::size_t kHeaderFormatLowAt = 9;
constexpr std::size_t kHeaderTrackCountAt = 10;
constexpr std::size_t kHeaderDivisionAt = 12;
constexpr std::size_t kHeaderSize = 14;
constexpr uint16_t kTimeCodeDivisionBit = 0x8000;
constexpr int kMaxDivision = 0x7FFF;

// Status bytes: the kind in the high nibble, the channel in the low one.
constexpr uint8_t kStatusBit = 0x80;
constexpr uint8_t kStatusMask = 0xF0;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kKeyPressure = 0xA0;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr uint8_t kFirstSystemStatus = 0xF0;
constexpr uint8_t kSysEx = 0xF0;
constexpr uint8_t kSysExContinuation = 0xF7;
constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kMaxDataByte = 0x7F;

// Meta-event types.
constexpr uint8_t kMetaText = 0x01;
constexpr uint8_t kMetaCopyright = 0x02;
constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr uint32_t kTempoDataLength = 3;
constexpr uint32_t kMaxTempoValue = 0xFFFFFF;

// Controllers.
constexpr uint8_t kControllerVolume = 7;
constexpr uint8_t kControllerPan = 10;

// Channel index 9 (MIDI channel 10) is the rhythm channel.
constexpr int kRhythmChannel = 9;
constexpr int kChannelCount = 16;
constexpr int kSemitonesPerOctave = 12;

constexpr long long kMicrosecondsPerMinute = 60000000;
constexpr uint32_t kDefaultTempoValue = 500000;  // 120 quarter notes per minute

}  // namespace midi
}  // namespace mel
