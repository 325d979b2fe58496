#include "formats/doti/doti_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "common/byte_writer.h"
#include "common/cp932.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/doti/doti_format.h"
#include "formats/shared/written_tracks.h"
#include "midi/midi_bytes.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

using namespace doti;
using midi::kSemitonesPerOctave;

// ---- Dialog values ------------------------------------------------------------

constexpr int kMaxNoteLimit = 32767;
constexpr int kMinTracks = 1;
constexpr int kMaxTracksWritten = 10;
// The key auto-fit moves the key by octaves towards these keys.
constexpr int kFitLowest = 72;
constexpr int kFitLowHighest = 95;
constexpr int kFitHighLowest = 84;
constexpr int kFitHighest = 107;

// ---- Writer bounds ------------------------------------------------------------

// A symbol is written only while the output is at most kSymbolLimit bytes;
// once past it the track's later events are skipped. Three bytes of symbol
// and the closing ">" then end at the buffer's last byte.
constexpr std::size_t kSymbolLimit = kOutputCapacity - 4;
// A further harmony tag is begun only while the output is at most this long.
constexpr std::size_t kHarmonyLimit = 0x3FFF0;

// ---- Lengths ------------------------------------------------------------------

// The rest merge joins a rest to the note before it on this grid, or on the
// triplet grid.
constexpr int kMergeGrid = 60;
constexpr int kTripletGrid = 40;
constexpr int kEighthTripletGrid = 80;
// Lengths kept as they are besides the grid's multiples.
constexpr int kRoundingBelow = 2 * kMergeGrid;
constexpr int kKeptTripletLength = 100;
// Rounding bias: a note's remainder rounds up from a third of the grid, a
// rest's from two thirds; between pieces to the nearest.
constexpr int kNoteBias = 40;
constexpr int kRestBias = 20;
constexpr int kPieceBias = 30;
// A remainder shorter than this is dropped.
constexpr int kShortestPiece = kLengthA;
constexpr int kLengthAUpTo = 59;

struct LengthCode {
  int ticks;
  char code;
};
// The lengths exactly written by their own code, then the plain lengths from
// the longest.
constexpr LengthCode kExactLengths[] = {{160, '9'}, {80, '8'}};
constexpr LengthCode kPlainLengths[] = {{960, '0'}, {720, '7'}, {480, '6'}, {360, '5'},
                                        {240, '4'}, {180, '3'}, {120, '2'}, {60, '1'}};

// Pitch class to letter, and the pitch classes written with the sharp octave.
constexpr std::array<char, 12> kLetterByPitchClass = {'1', '1', '2', '2', '3', '4', '4', '5', '5', '6', '6', '7'};
constexpr std::array<bool, 12> kSharpPitchClass = {false, true, false, true, false, false,
                                                   true, false, true, false, true, false};
constexpr int kLowestOctave = 6;  // keys 72..83 take octave "1" or "2"

int tempo_code_for(int tempo) {
  if (tempo <= 0) tempo = kDefaultWriteTempo;
  for (std::size_t i = 0; i < kTempoByCode.size(); ++i) {
    if (kTempoByCode[i] >= tempo) return static_cast<int>(i);
  }
  return static_cast<int>(kTempoByCode.size()) - 1;
}

constexpr OctaveFitRange kFitRange{kFitLowest, kFitLowHighest, kFitHighLowest, kFitHighest};

const char* escape_for(uint8_t b, bool mozio) {
  for (const TitleEscape& e : kTitleEscapes) {
    if (b != static_cast<uint8_t>(e.plain)) continue;
    if (e.plain == kEscapeAmpersand.plain && !mozio) return nullptr;
    return e.escaped;
  }
  return nullptr;
}

// The title as the file holds it: escaped, cut before the first character
// or escape that would pass 22 bytes. A lead byte takes the byte after it
// along only when that is a real trail byte; otherwise the next byte is a
// character of its own and is escaped like any other.
std::string file_title(const std::string& title, bool mozio) {
  std::string out;
  std::size_t i = 0;
  while (i < title.size()) {
    uint8_t b = static_cast<uint8_t>(title[i]);
    std::size_t taken = 1;
    std::string piece;
    if (is_title_lead_byte(b) && i + 1 < title.size() && is_cp932_trail_byte(title[i + 1])) {
      taken = 2;
      piece = title.substr(i, taken);
    } else if (const char* escaped = escape_for(b, mozio)) {
      piece = escaped;
    } else {
      piece = title.substr(i, taken);
    }
    if (out.size() + piece.size() > kMaxFileTitle) break;
    out += piece;
    i += taken;
  }
  return out;
}

// The pitch letter and octave character of a key, folded into 72..119.
std::array<char, 2> pitch_characters(int64_t v) {
  if (v < kLowestKey) v = floor_mod(v, kSemitonesPerOctave) + kLowestKey;
  if (v > kHighestKey) v = floor_mod(v, kSemitonesPerOctave) + (kHighestKey + 1 - kSemitonesPerOctave);
  int pc = static_cast<int>(v % kSemitonesPerOctave);
  int octave = 1 + 2 * static_cast<int>(v / kSemitonesPerOctave - kLowestOctave) + (kSharpPitchClass[pc] ? 1 : 0);
  return {kLetterByPitchClass[pc], static_cast<char>('0' + octave)};
}

// The longest piece of a duration that one symbol writes, 0 when none fits.
LengthCode piece_for(int64_t d) {
  for (const LengthCode& e : kExactLengths) {
    if (d == e.ticks) return e;
  }
  if (d >= kLengthA && d <= kLengthAUpTo) return {kLengthA, kLengthCodeA};
  for (const LengthCode& e : kPlainLengths) {
    if (e.ticks <= d) return e;
  }
  return {0, 0};
}

class DotiWriter {
 public:
  DotiWriter(const Score& score, const SongInfo& song, const Settings& settings, const DotiWriterSettings& d)
      : score_(score),
        bytes_(score.bytes.data()),
        scoreLength_(std::min(score.length, score.bytes.size())),
        song_(song),
        settings_(settings),
        d_(d),
        tripletGrid_(d.sixteenthTriplets ? kTripletGrid : kEighthTripletGrid),
        noteLimit_(std::clamp(d.noteLimit, 0, kMaxNoteLimit)),
        wholeTicks_(whole_note_ticks(song.timebase, settings.conv.noteLengthScale)),
        out_(kOutputCapacity) {}

  std::vector<uint8_t> write() {
    put_text(kMelodyTagHead);
    put_text(file_title(d_.title, d_.mozio));
    out_.put(kFieldSeparator);
    out_.put(static_cast<uint8_t>('0' + tempo_code_for(d_.tempo)));
    out_.put(kFieldSeparator);
    if (d_.mozio) put_harmony_tag(0);
    int limit = std::clamp(settings_.writers.mmdhmn, kMinTracks, kMaxTracksWritten);
    std::vector<TrackSpan> spans = written_track_spans(score_, settings_, limit);
    for (std::size_t k = 0; k < spans.size(); ++k) {
      if (k > 0) {
        if (out_.pos() > kHarmonyLimit) break;
        put_harmony_tag(static_cast<int>(k));
      }
      write_track(spans[k], k);
    }
    out_.put(kTagClose);
    return out_.take();
  }

 private:
  void put_text(const std::string& text) { out_.put_text(text); }

  // Closes the tag before and begins harmony tag n.
  void put_harmony_tag(int n) {
    out_.put(kTagClose);
    if (d_.mozio) put_text(kLineBreak);
    char tag[sizeof kHarmonyTagFormat + 8];
    std::snprintf(tag, sizeof tag, kHarmonyTagFormat, n);
    put_text(tag);
  }

  void write_track(const TrackSpan& span, std::size_t index) {
    firstTrack_ = index == 0;
    octaveShift_ = settings_.conv.octaveShift[std::min<std::size_t>(index, kMaxTracks - 1)];
    lengthCarry_ = 0;
    roundCarry_ = 0;
    elapsed_ = 0;
    borrowed_ = 0;
    symbols_ = 0;
    trackDone_ = false;
    cut_.emplace(RangeCutSettings{d_.startCounter, d_.endCounter, settings_.conv.restcut != 0, song_.leadIn,
                                  wholeTicks_},
                 kUnitsPerStep);
    std::size_t pos = span.begin;
    while (pos < span.end) {
      ScoreEvent ev = decode_score_event(bytes_, scoreLength_, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Control) continue;
      note_or_rest(ev, decode_score_event(bytes_, scoreLength_, pos));
    }
    if (firstTrack_) firstLength_ = elapsed_;
  }

  // A later track stops where a first track cut by the note limit ended.
  bool skips_events() const {
    return trackDone_ || (!firstTrack_ && firstCut_ && elapsed_ >= firstLength_);
  }

  bool needs_rounding(int64_t d) const {
    return d % kMergeGrid != 0 && d < kRoundingBelow && d % tripletGrid_ != 0 &&
           !(d_.sixteenthTriplets && d == kKeptTripletLength);
  }

  int64_t round_with_carry(int64_t d, int bias) {
    int64_t total = roundCarry_ + d;
    int64_t rounded = std::max<int64_t>(0, kMergeGrid * ((total + bias) / kMergeGrid));
    roundCarry_ = total - rounded;
    return rounded;
  }

  void note_or_rest(const ScoreEvent& ev, const ScoreEvent& next) {
    if (skips_events()) return;
    bool note = ev.kind == ScoreEvent::Note;
    int64_t d = convert_length(ev.value, lengthCarry_, kUnitsPerWhole, wholeTicks_);
    d = std::max<int64_t>(0, d - borrowed_);
    borrowed_ = 0;
    if (note && next.kind == ScoreEvent::Rest) {
      int64_t carry = lengthCarry_;
      int64_t rest = convert_length(next.value, carry, kUnitsPerWhole, wholeTicks_);
      borrowed_ = merge_rest_into_note(d, rest, kMergeGrid, tripletGrid_);
    }
    elapsed_ += d;
    if (!cut_->keep(elapsed_, d)) return;
    if (needs_rounding(d)) d = round_with_carry(d, note ? kNoteBias : kRestBias);
    if (d <= 0) return;
    int64_t key = int64_t{ev.code} + d_.key + int64_t{kSemitonesPerOctave} * octaveShift_;
    write_symbols(note ? pitch_characters(key) : std::array<char, 2>{kRestPitch[0], kRestPitch[1]}, d);
  }

  // One symbol per piece: the first with the note's pitch, the rest of a
  // long note as rests.
  void write_symbols(std::array<char, 2> pitch, int64_t d) {
    while (true) {
      if (out_.pos() > kSymbolLimit) {
        trackDone_ = true;
        return;
      }
      LengthCode piece = piece_for(d);
      if (piece.ticks == 0) return;
      out_.put(static_cast<uint8_t>(pitch[0]));
      out_.put(static_cast<uint8_t>(pitch[1]));
      out_.put(static_cast<uint8_t>(piece.code));
      ++symbols_;
      d -= piece.ticks;
      if (noteLimit_ != 0 && symbols_ >= noteLimit_) {
        trackDone_ = true;
        if (firstTrack_) firstCut_ = true;
        return;
      }
      if (out_.pos() > kSymbolLimit) {
        trackDone_ = true;
        return;
      }
      if (needs_rounding(d)) d = round_with_carry(d, kPieceBias);
      if (d < kShortestPiece) return;
      pitch = {kRestPitch[0], kRestPitch[1]};
    }
  }

  const Score& score_;
  const uint8_t* bytes_;
  std::size_t scoreLength_;
  const SongInfo& song_;
  const Settings& settings_;
  const DotiWriterSettings& d_;
  const int tripletGrid_;
  const int noteLimit_;
  const int wholeTicks_;
  ByteSink out_;

  // The first written track: its length, and whether the note limit cut it.
  int64_t firstLength_ = 0;
  bool firstCut_ = false;

  // The track being written.
  bool firstTrack_ = true;
  int octaveShift_ = 0;
  int64_t lengthCarry_ = 0;
  int64_t roundCarry_ = 0;
  int64_t elapsed_ = 0;
  int64_t borrowed_ = 0;
  int symbols_ = 0;
  bool trackDone_ = false;  // the note limit or the output bound was reached
  std::optional<RangeCut> cut_;
};

}  // namespace

DotiWriterSettings doti_dialog_values(const SongInfo& song, const Settings& settings) {
  DotiWriterSettings d;
  d.title = song.title;
  int64_t tempo = static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten;
  d.tempo = kTempoByCode.back();
  for (int t : kTempoByCode) {
    if (t >= tempo) {
      d.tempo = t;
      break;
    }
  }
  // The key is fitted over the tracks to be written that hold notes, rhythm
  // tracks included; the octave shifts are cleared as the dialog opens.
  int limit = std::clamp(settings.writers.mmdhmn, kMinTracks, kMaxTracksWritten);
  int lo = 0;
  int hi = 0;
  for (int t : written_track_numbers(song, settings, limit)) {
    int i = t - 1;
    if (song.lowestPitch[i] == 0) continue;
    lo = lo == 0 ? song.lowestPitch[i] : std::min(lo, song.lowestPitch[i]);
    hi = std::max(hi, song.highestPitch[i]);
  }
  d.key = settings.play.KeyOffset;
  if (lo > 0) d.key = fit_key_by_octaves(d.key, lo, hi, kFitRange);
  d.noteLimit = std::clamp(settings.writers.mmdnum, 0, kMaxNoteLimit);
  return d;
}

std::vector<uint8_t> write_doti(const Score& score, const SongInfo& song, const Settings& settings,
                                const DotiWriterSettings& doti) {
  return DotiWriter(score, song, settings, doti).write();
}

std::vector<uint8_t> write_doti_file(const Score& score, const SongInfo& song, const Settings& settings) {
  DotiWriterSettings d = doti_dialog_values(song, settings);
  d.mozio = false;
  return write_doti(score, song, settings, d);
}

std::vector<uint8_t> write_mozio_file(const Score& score, const SongInfo& song, const Settings& settings) {
  DotiWriterSettings d = doti_dialog_values(song, settings);
  d.mozio = true;
  return write_doti(score, song, settings, d);
}

}  // namespace mel
