// Codes the small handset formats share: the tempo codes of dot-i, pana,
// chara and WAM (one digit or byte 0-9 standing for a tempo in quarter notes
// per minute), and the note letters C D E F G A B by which chara and WAM
// write a key as a letter, a sharp and an octave.
#pragma once

#include <array>
#include <cstddef>

#include "common/saturate.h"
#include "score/score_stream.h"

namespace mel {

constexpr std::array<int, 10> kTempoByCode = {60, 72, 84, 96, 108, 114, 126, 138, 150, 168};

// The tempo of a code, or 0 when the code is not one of the table's.
constexpr int tempo_for_code(int code) {
  return code >= 0 && code < static_cast<int>(kTempoByCode.size()) ? kTempoByCode[code] : 0;
}

// The code a writer stores: the first whose tempo is at least the output
// tempo (the last one above 150); a tempo of 0 or less counts as 120.
constexpr int code_for_tempo(int tempo) {
  if (tempo <= 0) tempo = kResetTempo;
  for (int c = 0; c < static_cast<int>(kTempoByCode.size()); ++c) {
    if (kTempoByCode[c] >= tempo) return c;
  }
  return static_cast<int>(kTempoByCode.size()) - 1;
}

// The tempo a settings dialog starts with: the first table tempo at least
// the given one, else the highest.
constexpr int table_tempo_at_least(int tempo) { return kTempoByCode[code_for_tempo(tempo < 1 ? 1 : tempo)]; }

// The semitone above C of each letter C D E F G A B.
constexpr std::array<int, 7> kLetterSemitone = {0, 2, 4, 5, 7, 9, 11};

// A key's letter (0 = C ... 6 = B) and whether it is that letter's sharp.
struct KeyLetter {
  int letter = 0;
  bool sharp = false;
};

// The pitch class (0-11) as a natural letter or a sharp one: C C# D D# E F
// F# G G# A A# B.
constexpr KeyLetter letter_of_pitch_class(int pitchClass) {
  constexpr std::array<int, 12> kLetter = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
  pitchClass = floor_mod(pitchClass, 12);
  return {kLetter[pitchClass], kLetterSemitone[kLetter[pitchClass]] != pitchClass};
}

// A key folded by octaves into [lowest, highest] (lowest a C, highest a B):
// below, into the lowest octave; above, into the highest.
constexpr int fold_into_octaves(int key, int lowest, int highest) {
  if (key < lowest) return floor_mod(key, 12) + lowest;
  if (key > highest) return floor_mod(key, 12) + highest - 11;
  return key;
}

// The code of a length in a format's table of lengths by code (the table's
// index of it), or fallback when the table does not hold it.
template <std::size_t N>
constexpr int code_of_length(const std::array<int, N>& lengthByCode, int length, int fallback) {
  for (std::size_t c = 0; c < N; ++c) {
    if (lengthByCode[c] == length) return static_cast<int>(c);
  }
  return fallback;
}

}  // namespace mel
