// Byte vocabulary of MFi / CMX files as the writer and its post stages use it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mel::mfi {

constexpr std::size_t kTagSize = 4;
constexpr char kMagicMfi[] = "melo";
constexpr char kMagicCmx[] = "cmid";
constexpr char kTagTitle[] = "titl";
constexpr char kTagNoteSize[] = "note";
constexpr char kTagTrack[] = "trac";
constexpr char kTagExst[] = "exst";
constexpr char kTagSource[] = "sorc";
constexpr char kTagVersion[] = "vers";
constexpr char kVersionFourChord[] = "0100";
constexpr char kVersionSixteenChord[] = "0200";
constexpr uint8_t kSourceValue = 2;
constexpr uint8_t kContentType = 1;
constexpr uint8_t kContentSubtype = 1;

// File header: magic, length of the rest (file length - 8), header length
// (counted from offset 10), content type, subtype, track count.
constexpr std::size_t kFileHeaderSize = 13;
constexpr std::size_t kFileLengthAt = 4;
constexpr int kFileLengthSize = 4;
constexpr std::size_t kFileLengthBase = 8;
constexpr std::size_t kHeaderLengthAt = 8;
constexpr int kHeaderLengthSize = 2;
constexpr std::size_t kHeaderLengthBase = 10;
constexpr std::size_t kTrackCountAt = 12;
constexpr int kSubChunkLengthSize = 2;
constexpr std::size_t kSubChunkHeaderSize = 6;
constexpr std::size_t kTrackHeaderSize = 8;
constexpr int kTrackLengthSize = 4;
constexpr uint8_t kFourByteNotesFlag = 0x01;

// Events: delta, then a note (status, gate [, velocity/octave]) or an
// extended event (0xFF, status, data).
constexpr uint8_t kExtendedEventLead = 0xFF;
constexpr std::size_t kExtendedEventSize = 4;
constexpr uint8_t kExtRhythmSwitch = 0xBA;
constexpr uint8_t kExtTempoFirst = 0xC0;
constexpr uint8_t kExtTempo48 = 0xC3;  // timebase 48 ticks per quarter note
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
constexpr uint8_t kExtControlFirst = 0xE0;
constexpr uint8_t kExtControlLast = 0xEF;
constexpr uint8_t kExtLongFirst = 0xF0;

constexpr int kSlotShift = 6;
constexpr uint8_t kSlotMask = 0xC0;
constexpr uint8_t kKeyMask = 0x3F;
constexpr uint8_t kSixBitMask = 0x3F;
constexpr int kSwitchChannelShift = 3;
constexpr uint8_t kSwitchDrumFlag = 0x01;

constexpr int kWriterTimebase = 48;
constexpr int kSlotCount = 4;
constexpr int kChannelCount = 16;
constexpr int kRhythmChannel = 9;
constexpr int kSemitonesPerOctave = 12;
constexpr int kVoicesPerBank = 64;
constexpr int kFirstGeneralMidiBank = 2;

}  // namespace mel::mfi
