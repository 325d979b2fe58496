#include "formats/pana/pana_writer.h"

#include <algorithm>
#include <optional>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/pana/pana_format.h"
#include "formats/shared/melody_writer_steps.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace pana;

constexpr int kDialogNoteLimit = 128;
constexpr int kMaxNoteLimit = 160;
// The valid output keys the auto-fit aims at: 72-107 (up below 72 / 95).
constexpr int kFitLowKey = 72;
constexpr int kFitHighKey = 95;
constexpr OctaveFitRange kFitRange = octave_fit_from(kFitLowKey, kFitHighKey);

// A note stops once the output has passed kNoteBound; a new track begins
// only while the output is at most kTrackBound.
constexpr std::size_t kNoteBound = 262123;
constexpr std::size_t kTrackBound = 262120;

// Rounding: lengths that are multiples of the grid or of the triplet length,
// of two grids or more, or 100 stay; others go to the grid, a rest rounding
// down more readily than a note.
constexpr int kGrid = 60;
constexpr int kTripletGrid = 40;
constexpr int kKeptLength = 100;
constexpr int kNoteRoundOffset = 40;
constexpr int kRestRoundOffset = 20;
constexpr int kPieceRoundOffset = kGrid / 2;
// A note ends when less than this remains.
constexpr int64_t kShortestPiece = 40;
constexpr int64_t kPiece40Below = 60;  // 40-59 is written as 40

constexpr std::array<std::pair<uint8_t, int>, 8> kPieceLengths = {
    {{0x0, 960}, {0x7, 720}, {0x6, 480}, {0x5, 360}, {0x4, 240}, {0x3, 180}, {0x2, 120}, {0x1, 60}}};

// The first table tempo at least `tempo` (the code of 168 above 150); 0 or
// less counts as 120.
int tempo_code(int tempo) {
  if (tempo <= 0) tempo = kResetTempo;
  for (std::size_t c = 0; c < kTempos.size(); ++c) {
    if (kTempos[c] >= tempo) return static_cast<int>(c);
  }
  return static_cast<int>(kTempos.size()) - 1;
}

int note_limit(int limit) { return limit <= 0 || limit > kMaxNoteLimit ? kMaxNoteLimit : limit; }

class PanaWriter {
 public:
  PanaWriter(const Score& score, const SongInfo& song, const Settings& settings, const PanaWriterSettings& pana)
      : score_(score.bytes.data()),
        spans_(score_track_spans(score)),
        settings_(settings),
        pana_(pana),
        steps_(song, settings, pana.startCounter, pana.endCounter, note_limit(pana.noteLimit), {kGrid, kTripletGrid}),
        out_(kOutputCapacity) {}

  std::vector<uint8_t> write() {
    out_.put_bytes(reinterpret_cast<const uint8_t*>(kMagic), kMagicSize);
    out_.put(0);  // the length, set at the end
    out_.put(0);
    int written = 0;
    for (std::size_t i = 0; i < spans_.size(); ++i) {
      int track = static_cast<int>(i) + 1;
      if (!track_is_written(settings_, track, i + 1 == spans_.size(), written == 0)) continue;
      write_track(spans_[i], written);
      ++written;
      if (out_.pos() > kTrackBound || written >= kWrittenTracks) break;
    }
    const Instrument& instrument = kInstruments[pana_.instrument >= 1 && pana_.instrument <= kMaxInstrumentCode
                                                    ? pana_.instrument
                                                    : 0];
    for (int n = 0; n < written; ++n) {
      out_.put(static_cast<uint8_t>(kFirstInstrumentTag + n));
      out_.put(kInstrumentLength);
      out_.put(instrument.p);
      out_.put(instrument.g);
      out_.put(instrument.h);
    }
    out_.put(kEndTag);
    out_.put(kEndLength);
    out_.put(0);
    uint32_t length = static_cast<uint32_t>(out_.pos() - kHeaderSize);
    // Little-endian, unlike the other numbers of the handset formats.
    out_.patch_be(kLengthOffset, length & 0xFF, 1);
    out_.patch_be(kLengthOffset + 1, (length >> 8) & 0xFF, 1);
    return out_.take();
  }

 private:
  // index: 0 for the first written track.
  void write_track(const TrackSpan& span, int index) {
    std::size_t chunk = out_.pos();
    out_.put(static_cast<uint8_t>(kFirstTrackTag + index));
    out_.put(0);  // the length, set when the track ends
    put_nibble(static_cast<uint8_t>(tempo_code(pana_.tempo)));
    steps_.begin_track(index == 0);
    // The key detail rows follow the order of the written tracks.
    octaveShift_ = settings_.conv.octaveShift[std::min(index, kMaxTracks - 1)];
    std::size_t pos = span.begin;
    for (;;) {
      ScoreEvent ev = decode_score_event(score_, span.end, pos);
      if (ev.kind != ScoreEvent::Note && ev.kind != ScoreEvent::Rest && ev.kind != ScoreEvent::Control) break;
      pos += ev.size;
      if (ev.kind != ScoreEvent::Control) note_or_rest(ev, decode_score_event(score_, span.end, pos));
    }
    // The end code: the low nibble of a pending byte, else a byte 0xF0.
    if (high_) {
      put_nibble(kEndCode);
    } else {
      out_.put(kEndByte);
    }
    out_.patch_be(chunk + 1, static_cast<uint32_t>(out_.pos() - chunk - kChunkHeaderSize), 1);
  }

  void put_nibble(uint8_t n) {
    if (!high_) {
      high_ = n;
      return;
    }
    out_.put(static_cast<uint8_t>((*high_ << kNibbleBits) | (n & kNibbleMask)));
    high_.reset();
  }

  static bool needs_rounding(int64_t units) {
    return units % kGrid != 0 && units < 2 * kGrid && units % kTripletGrid != 0 && units != kKeptLength;
  }

  void note_or_rest(const ScoreEvent& ev, const ScoreEvent& next) {
    if (out_.pos() > kNoteBound) steps_.stop();
    int64_t units = 0;
    if (!steps_.take(ev, next, units)) return;
    bool note = ev.kind == ScoreEvent::Note;
    if (needs_rounding(units)) units = steps_.round(units, kGrid, note ? kNoteRoundOffset : kRestRoundOffset);
    // Pieces after the first: ties of a note, rests of a rest.
    uint8_t letter = note ? 0 : kRestLetter;
    uint8_t octave = note ? 0 : kRestOctave;
    if (note) pitch_nibbles(ev.code, letter, octave);
    while (units >= kShortestPiece) {
      auto [code, ticks] = piece(units);
      put_nibble(code);
      put_nibble(letter);
      put_nibble(octave);
      if (note) {
        letter = kTieLetter;
        octave = kTieOctave;
      }
      bool atLimit = steps_.count_symbol();
      if (out_.pos() > kNoteBound) steps_.stop();
      if (atLimit || steps_.stopped()) break;
      units -= ticks;
      if (needs_rounding(units)) units = steps_.round(units, kGrid, kPieceRoundOffset);
    }
  }

  static std::pair<uint8_t, int> piece(int64_t units) {
    if (units == kLengths[kLength160]) return {kLength160, kLengths[kLength160]};
    if (units == kLengths[kLength80]) return {kLength80, kLengths[kLength80]};
    if (units < kPiece40Below) return {kLength40, kLengths[kLength40]};
    for (const auto& p : kPieceLengths) {
      if (p.second <= units) return p;
    }
    return kPieceLengths.back();
  }

  void pitch_nibbles(int key, uint8_t& letter, uint8_t& octave) const {
    int64_t v = int64_t{key} + pana_.key + int64_t{midi::kSemitonesPerOctave} * octaveShift_;
    if (v < kLowestKey) v = floor_mod(v, midi::kSemitonesPerOctave) + kLowestKey;
    if (v > kHighestKey) v = floor_mod(v, midi::kSemitonesPerOctave) + kHighFoldBase;
    int pitchClass = static_cast<int>(v % midi::kSemitonesPerOctave);
    letter = kClassLetters[pitchClass];
    octave = static_cast<uint8_t>(2 * (v / midi::kSemitonesPerOctave) - kOctaveCodeBase + (kClassSharp[pitchClass] ? 1 : 0));
  }

  const uint8_t* score_;
  const std::vector<TrackSpan> spans_;
  const Settings& settings_;
  const PanaWriterSettings& pana_;
  MelodyTrackSteps steps_;
  ByteSink out_;
  std::optional<uint8_t> high_;  // a high nibble waiting for its low one
  int octaveShift_ = 0;
};

}  // namespace

PanaWriterSettings pana_dialog_values(const SongInfo& song, const Settings& settings) {
  PanaWriterSettings pana;
  pana.tempo = kTempos[tempo_code(std::max(1, tempo_at_speed(song, settings)))];
  pana.key = fit_key_over_span(settings.play.KeyOffset, written_key_span(song, settings, kWrittenTracks), kFitRange);
  pana.noteLimit = kDialogNoteLimit;
  return pana;
}

std::vector<uint8_t> write_pana(const Score& score, const SongInfo& song, const Settings& settings,
                                const PanaWriterSettings& pana) {
  return PanaWriter(score, song, settings, pana).write();
}

std::vector<uint8_t> write_pana_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_pana(score, song, settings, pana_dialog_values(song, settings));
}

}  // namespace mel
