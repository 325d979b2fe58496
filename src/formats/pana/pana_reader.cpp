#include "formats/pana/pana_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

#include "formats/pana/pana_format.h"
#include "formats/shared/melody_track_reader.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace pana;

// A track begins only while the write position is at most this offset.
constexpr std::size_t kTrackStartBound = 0x3FFF9;
// The nibble after the tempo code: the low nibble of a track chunk's first
// data byte.
constexpr std::size_t kFirstNoteNibble = (kChunkHeaderSize * 2) + 1;
constexpr std::size_t kNibblesPerNote = 3;

class PanaReader {
 public:
  PanaReader(ByteView input, Score& score, SongInfo& song, const Settings& settings)
      : in_(input), tracks_(score, song, settings.conv) {}

  void read() {
    std::size_t pos = 0;
    while (pos < in_.size && !stopped_) {
      uint8_t tag = in_.at(pos);
      if (in_.matches(pos, kMagic, kMagicSize)) {
        pos += kHeaderSize;
      } else if (tag <= kLastTrackTag) {
        pos = track_chunk(pos);
      } else {
        // A chunk without its length byte ends the data.
        if (pos + 1 >= in_.size) break;
        if (tag >= kFirstInstrumentTag && tag <= kLastInstrumentTag) instrument_chunk(pos);
        pos += kChunkHeaderSize + in_.at(pos + 1);
      }
    }
    tracks_.finish();
  }

 private:
  // Nibble i of the data: the high nibble of byte i / 2 first.
  uint8_t nibble(std::size_t i) const {
    uint8_t b = in_.at(i / 2);
    return i % 2 == 0 ? static_cast<uint8_t>(b >> kNibbleBits) : static_cast<uint8_t>(b & kNibbleMask);
  }
  bool has_nibbles(std::size_t i, std::size_t n) const { return i / 2 < in_.size && (i + n - 1) / 2 < in_.size; }

  // The end code in a length position: 0xF as a low nibble, or the byte 0xF0.
  bool is_end_code(std::size_t i) const {
    return nibble(i) == kEndCode && (i % 2 == 1 || in_.at(i / 2) == kEndByte);
  }

  // Reads the track chunk at pos; returns where chunks go on (the data's size
  // when reading ends).
  std::size_t track_chunk(std::size_t pos) {
    // A track chunk cut off before its first data byte ends the data.
    if (pos + kChunkHeaderSize >= in_.size || tracks_.pos() > kTrackStartBound || !tracks_.begin_track(0)) {
      stopped_ = true;
      return in_.size;
    }
    int track = tracks_.track();
    uint8_t tempoCode = in_.at(pos + kChunkHeaderSize) >> kNibbleBits;
    if (track == 1 && tempoCode < kTempos.size()) tracks_.set_tempo(kTempos[tempoCode]);
    if (track <= kWrittenTracks) {
      // Room for the instrument chunk's Program, which every consumer skips
      // while it is not written.
      placeholders_[track - 1] = tracks_.control(kFirstControlCode, 0);
    }
    if (tempoCode >= kTempos.size()) return pos + kChunkHeaderSize + in_.at(pos + 1);
    return notes(pos * 2 + kFirstNoteNibble);
  }

  // The nibble stream from nibble i; returns the byte after its end code.
  std::size_t notes(std::size_t i) {
    int64_t carried = 0;
    int lastKey = kRest;  // a tie at the start of a track continues a rest
    while (!tracks_.full()) {
      if (!has_nibbles(i, 1)) break;
      if (is_end_code(i)) return i / 2 + 1;
      if (!has_nibbles(i, kNibblesPerNote)) break;
      uint8_t length = nibble(i);
      int key = note_key(nibble(i + 1), nibble(i + 2), lastKey);
      i += kNibblesPerNote;
      tracks_.count_note();
      int ticks = length < kLengths.size() ? kLengths[length] : kOtherLength;
      carried = std::min<int64_t>(carried + ticks, INT_MAX);
      lastKey = key;
      if (next_is_tie(i)) continue;
      tracks_.add(key, carried);
      carried = 0;
    }
    stopped_ = true;
    return in_.size;
  }

  bool next_is_tie(std::size_t i) const {
    return has_nibbles(i, kNibblesPerNote) && !is_end_code(i) && nibble(i + 1) == kTieLetter &&
           nibble(i + 2) == kTieOctave;
  }

  static int note_key(uint8_t letter, uint8_t octave, int lastKey) {
    if (letter == kRestLetter && octave == kRestOctave) return kRest;
    if (letter == kTieLetter && octave == kTieOctave) return lastKey;
    int semitone = letter < kLetterSemitones.size() ? kLetterSemitones[letter] : 0;
    int key = kOctaveBaseKey + midi::kSemitonesPerOctave * ((octave + 1) / 2) + semitone;
    return octave % 2 == 0 ? key + 1 : key;
  }

  // p, g and h are the three bytes after the length byte.
  void instrument_chunk(std::size_t pos) {
    int track = in_.at(pos) - kFirstInstrumentTag + 1;
    if (pos + kChunkHeaderSize + kInstrumentLength > in_.size) return;
    if (track > tracks_.track() || !placeholders_[track - 1]) return;
    int value = instrument_value(in_.at(pos + 2), in_.at(pos + 3), in_.at(pos + 4));
    for (const Instrument& instrument : kInstruments) {
      if (instrument.program >= 0 && instrument_value(instrument.p, instrument.g, instrument.h) == value) {
        tracks_.rewrite_control(*placeholders_[track - 1], track, kProgramEvent, instrument.program);
        return;
      }
    }
  }

  ByteView in_;
  MelodyTrackReader tracks_;
  std::array<std::optional<std::size_t>, kWrittenTracks> placeholders_{};
  bool stopped_ = false;
};

}  // namespace

void read_pana_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  PanaReader(input, score, song, settings).read();
}

}  // namespace mel
