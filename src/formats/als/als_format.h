// The byte vocabulary of ALS melodies (".als"): single bytes throughout. A
// title block, then one block per part: a part header with its parameter,
// then notes, each one or more length codes followed by one pitch byte.
#pragma once

#include <array>
#include <cstdint>

namespace mel {
namespace als {

constexpr uint8_t kFileStart = 0xE1;    // first byte as written; the reader ignores it
constexpr uint8_t kTitleStart = 0xF0;   // the title bytes follow
constexpr uint8_t kTitleEnd = 0xFD;     // ends the title block
constexpr uint8_t kFirstPartHeader = 0xF1;
constexpr uint8_t kLastPartHeader = 0xFC;
constexpr uint8_t kPartNumberMask = 0x0F;
constexpr uint8_t kStopNotes = 0xFD;    // note reading stops until the next part header
constexpr uint8_t kStopNotesToo = 0xFE;
constexpr uint8_t kFileEnd = 0xFF;
constexpr uint8_t kBlockMark = 0xA1;    // inserted by the writer; the reader ignores it

// The part-header parameter carries the tempo: tempo = (parameter - 66) x 2.
constexpr int kTempoParameterBase = 66;
constexpr int kTempoParameterScale = 2;

// Pitch bytes: 0 is a rest, 1-127 a note of key byte + 21.
constexpr uint8_t kRestPitch = 0x00;
constexpr uint8_t kHighestPitch = 0x7F;
constexpr int kPitchKeyOffset = 21;
// The writer writes pitch bytes 2-95.
constexpr int kLowestWrittenPitch = 2;
constexpr int kHighestWrittenPitch = 95;
constexpr int kHighFoldBase = 84;

// Length codes 0xC0-0xDF; 960 ticks to the whole note.
constexpr uint8_t kFirstLengthCode = 0xC0;
constexpr uint8_t kLastLengthCode = 0xDF;
constexpr uint8_t kLengthCodeMask = 0x1F;
constexpr int kUnitsPerWhole = 960;

constexpr uint8_t kCode960 = 0xC0;
constexpr uint8_t kCode720 = 0xC1;
constexpr uint8_t kCode480 = 0xC2;
constexpr uint8_t kCode360 = 0xC3;
constexpr uint8_t kCode240 = 0xC4;
constexpr uint8_t kCode180 = 0xC5;
constexpr uint8_t kCode120 = 0xC6;
constexpr uint8_t kCode80 = 0xC7;
constexpr uint8_t kCode40 = 0xC8;
constexpr uint8_t kCode60 = 0xC9;
constexpr uint8_t kCode30 = 0xCB;
constexpr uint8_t kCode15 = 0xCC;
constexpr uint8_t kCode600 = 0xCE;
constexpr uint8_t kCode1080 = 0xCF;
constexpr uint8_t kCode300 = 0xD0;
constexpr uint8_t kCode840 = 0xD1;

// Ticks of each length code by its low five bits; the codes without a length
// of their own read as 30.
constexpr int kOtherCodeTicks = 30;
constexpr std::array<int, 32> kCodeTicks = {
    960, 720, 480, 360, 240, 180, 120, 80, 40, 60, 30, 30, 15, 30, 600, 1080,
    300, 840, 30,  30,  30,  30,  30,  30, 30, 30, 30, 30, 30, 30, 30,  30};

constexpr bool is_length_code(uint8_t b) { return b >= kFirstLengthCode && b <= kLastLengthCode; }
constexpr bool is_part_header(uint8_t b) { return b >= kFirstPartHeader && b <= kLastPartHeader; }
constexpr int code_ticks(uint8_t code) { return kCodeTicks[code & kLengthCodeMask]; }

}  // namespace als
}  // namespace mel
