// The byte vocabulary of MFi (".mld", "melo") and CMX (".pmd", "cmid")
// melodies, which share one chunk and event layout: a 13-byte file header,
// header sub-chunks (4-byte tag, 16-bit length, data) and track chunks
// ("trac", 32-bit length, timed events). All numbers are big-endian. The
// reader and the writer both speak it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "midi/midi_bytes.h"

namespace mel {
namespace mfi {

// ---- File header ------------------------------------------------------------

constexpr std::size_t kTagSize = 4;
constexpr char kMagicMfi[] = "melo";
constexpr char kMagicCmx[] = "cmid";

constexpr std::size_t kFileLengthOffset = 4;         // 32 bits: file length - 8
constexpr std::size_t kHeaderChunksLengthOffset = 8;  // 16 bits: offset 10 up to the first track
constexpr std::size_t kContentTypeOffset = 10;
constexpr std::size_t kContentSubtypeOffset = 11;
constexpr std::size_t kTrackCountOffset = 12;
constexpr std::size_t kFileHeaderSize = 13;

// ---- Header sub-chunks ------------------------------------------------------

constexpr char kTagTitle[] = "titl";
constexpr char kTagCopyright[] = "copy";
constexpr char kTagNoteSize[] = "note";
constexpr char kTagVersion[] = "vers";
constexpr char kTagExtendedStatus[] = "exst";

constexpr std::size_t kSubChunkHeaderSize = 6;  // tag, 16-bit length
constexpr std::size_t kSubChunkLengthOffset = 4;
// "note" data: the low bit of its second byte selects 4-byte note events.
constexpr std::size_t kNoteSizeFlagOffset = 1;
constexpr uint8_t kFourByteNotesFlag = 0x01;

// ---- Track chunks -----------------------------------------------------------

constexpr char kTagTrack[] = "trac";
constexpr std::size_t kTrackHeaderSize = 8;    // tag, 32-bit length
constexpr std::size_t kTrackLengthOffset = 4;

// ---- Events -----------------------------------------------------------------

// A note event is delta, status, gate (and with 4-byte notes a velocity /
// octave byte); an extended event is delta, 0xFF, status, data; a long
// extended event is delta, 0xFF, status, 16-bit length, data.
constexpr std::size_t kShortNoteEventSize = 3;
constexpr std::size_t kLongNoteEventSize = 4;
constexpr std::size_t kExtendedEventSize = 4;
constexpr std::size_t kLongEventHeaderSize = 5;
constexpr uint8_t kExtendedEventLead = 0xFF;
constexpr int kMaxDelta = 0xFF;  // one byte of ticks

constexpr uint8_t kExtRhythmSwitch = 0xBA;
constexpr uint8_t kExtTempoFirst = 0xC0;
constexpr uint8_t kExtTempoLast = 0xCF;
constexpr uint8_t kExtMarker = 0xD0;
constexpr uint8_t kMarkerStart = 0;
constexpr uint8_t kMarkerEnd = 1;
constexpr uint8_t kExtFiller = 0xDE;
constexpr uint8_t kExtEndOfTrack = 0xDF;
constexpr uint8_t kExtVoice = 0xE0;
constexpr uint8_t kExtBank = 0xE1;
constexpr uint8_t kExtVolume = 0xE2;
constexpr uint8_t kExtPan = 0xE3;
constexpr uint8_t kExtChannelAssign = 0xE5;
constexpr uint8_t kExtLongFirst = 0xF0;  // 0xF0-0xFF carry a 16-bit length and data

// Note status: slot in bits 7-6, key in bits 5-0.
constexpr int kSlotShift = 6;
constexpr uint8_t kKeyMask = 0x3F;
// Fourth note byte: velocity in bits 7-2, signed octave shift in bits 1-0.
constexpr int kVelocityShift = 2;
constexpr uint8_t kVelocityMask = 0x3F;
// A new velocity is taken only when these bits of the fourth byte change.
constexpr uint8_t kVelocityCompareMask = 0xF8;
constexpr uint8_t kOctaveMask = 0x03;
constexpr std::array<int, 4> kOctaveShift = {0, 1, -2, -1};

// Extended data: slot in bits 7-6, value in the low bits.
constexpr uint8_t kSixBitMask = 0x3F;
constexpr uint8_t kBankMask = 0x03;
constexpr uint8_t kAssignedChannelMask = 0x0F;
// Rhythm switch data: channel in bits 7-3, drum flag in bit 0.
constexpr int kSwitchChannelShift = 3;
constexpr uint8_t kSwitchDrumFlag = 0x01;

// Tempo status low nibble: bit 3 picks the base, bits 2-0 the power of two.
constexpr uint8_t kTimebaseFamilyBit = 0x08;
constexpr uint8_t kTimebaseShiftMask = 0x07;
constexpr int kTimebaseBaseSix = 6;
constexpr int kTimebaseBaseFifteen = 15;

// ---- Channels, pitch and voices -------------------------------------------

constexpr int kMfiTimebase = 48;  // ticks per quarter note before any tempo event
constexpr int kSlotCount = 4;
constexpr int kMelodicKeyBase = 45;    // key 0 sounds MIDI 45
constexpr int kMfiRhythmKeyBase = 35;  // drum keys of "melo" files sound 10 lower
using midi::kSemitonesPerOctave;
constexpr int kVoicesPerBank = 64;
constexpr int kFirstGeneralMidiBank = 2;  // banks 2 and 3 hold the General MIDI programs
// MFi volumes, velocities and pans run 0-63; the score uses the MIDI scale.
constexpr int kSixBitToMidi = 2;

// ---- What the writer adds ---------------------------------------------------

// Header values and sub-chunks the writer writes.
constexpr uint8_t kContentType = 1;
constexpr uint8_t kContentSubtype = 1;
constexpr char kTagSource[] = "sorc";
constexpr uint8_t kSourceValue = 2;
constexpr char kVersionFourChord[] = "0100";
constexpr char kVersionSixteenChord[] = "0200";

// Field sizes, and what the length fields count from.
constexpr int kFileLengthSize = 4;
constexpr std::size_t kFileLengthBase = 8;     // the length counts from offset 8
constexpr int kHeaderLengthSize = 2;
constexpr std::size_t kHeaderLengthBase = 10;  // the header length counts from offset 10
constexpr int kSubChunkLengthSize = 2;
constexpr int kTrackLengthSize = 4;

// Tempo event status for 48 ticks per quarter note (6 x 2^3).
constexpr uint8_t kExtTempo48 = 0xC3;
// The per-slot control events, which the track merge lets a later one replace.
constexpr uint8_t kExtControlFirst = 0xE0;
constexpr uint8_t kExtControlLast = 0xEF;
constexpr uint8_t kSlotMask = 0xC0;

constexpr int kChannelCount = 16;
constexpr int kRhythmChannel = 9;

}  // namespace mfi
}  // namespace mel
