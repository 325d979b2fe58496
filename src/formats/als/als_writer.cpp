#include "formats/als/als_writer.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/als/als_format.h"
#include "formats/shared/melody_writer_steps.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace als;

constexpr int kMinTempo = 60;
constexpr int kMaxTempo = 182;
constexpr int kMaxParts = 12;
constexpr int kMaxNoteLimit = 32767;
// The valid output keys the auto-fit aims at: 62-108 (up below 62 / 96).
constexpr int kFitLowKey = 62;
constexpr int kFitHighKey = 96;
constexpr OctaveFitRange kFitRange = octave_fit_from(kFitLowKey, kFitHighKey);
// A pitch below the written range folds to ((pitch + 130) mod 12) + 2.
constexpr int kLowFoldOffset = 130;

// A note stops once the output has passed kNoteBound; a new part begins only
// while the output is at most kPartBound.
constexpr std::size_t kNoteBound = kOutputCapacity - 4;
constexpr std::size_t kPartBound = 0x3FFF0;
// A block mark goes before a note that would end more than this many bytes
// after the last mark.
constexpr std::size_t kBlockSpan = 250;
// Length codes are written while more than this many ticks remain.
constexpr int64_t kSmallestRemainder = 14;

// Rounding grids: a sixteenth with l16nouse and relnflg, else 1/64; the
// triplet length kept as it is, and the same with triplets approximated
// (none fits).
constexpr int kCoarseGrid = 60;
constexpr int kFineGrid = 15;
constexpr int kTripletGrid = 40;
constexpr int kNoTripletGrid = 2560;
constexpr int kKeptLength = 100;

struct LengthCode {
  uint8_t code;
  int ticks;
  bool tieLength;  // not written when ties are written as rests
};

// Tried largest first.
constexpr std::array<LengthCode, 13> kLengthCodes = {{
    {kCode960, 960, false},
    {kCode840, 840, true},
    {kCode720, 720, false},
    {kCode600, 600, true},
    {kCode480, 480, false},
    {kCode360, 360, false},
    {kCode300, 300, true},
    {kCode240, 240, false},
    {kCode180, 180, false},
    {kCode120, 120, false},
    {kCode60, 60, false},
    {kCode30, 30, false},
    {kCode15, 15, false},
}};

int even_tempo(int tempo) { return std::clamp(tempo - floor_mod(tempo, 2), kMinTempo, kMaxTempo); }

class AlsWriter {
 public:
  AlsWriter(const Score& score, const SongInfo& song, const Settings& settings, const AlsWriterSettings& als)
      : score_(score.bytes.data()),
        spans_(score_track_spans(score)),
        settings_(settings),
        als_(als),
        grid_(settings.conv.relnflg != 0 && settings.conv.l16nouse != 0 ? kCoarseGrid : kFineGrid),
        tripletGrid_(als.approximateTriplets ? kNoTripletGrid : kTripletGrid),
        steps_(song, settings, als.startCounter, als.endCounter, std::clamp(als.noteLimit, 0, kMaxNoteLimit),
               {settings.conv.relnflg != 0 ? kCoarseGrid : kFineGrid, tripletGrid_}),
        out_(kOutputCapacity) {}

  std::vector<uint8_t> write() {
    write_header();
    int parts = std::clamp(als_.parts, 1, kMaxParts);
    int written = 0;
    for (std::size_t i = 0; i < spans_.size(); ++i) {
      int track = static_cast<int>(i) + 1;
      if (!track_is_written(settings_, track, i + 1 == spans_.size(), written == 0)) continue;
      ++written;
      write_part(spans_[i], written);
      if (written == 1 && !steps_.first_track_cut()) lastMark_ = 0;
      if (out_.pos() > kPartBound || written >= parts) break;
    }
    out_.put(kFileEnd);
    return out_.take();
  }

 private:
  // Title bytes 0xFD-0xFF are left out: the reader would take them for the
  // end of the title block or of the file.
  void write_header() {
    out_.put(kFileStart);
    out_.put(kTitleStart);
    std::size_t n = std::min(als_.title.size(), kMaxTextLength);
    for (std::size_t i = 0; i < n; ++i) {
      uint8_t b = static_cast<uint8_t>(als_.title[i]);
      if (b < kTitleEnd) out_.put(b);
    }
    out_.put(kTitleEnd);
    int tempo = als_.tempo <= 0 ? kResetTempo : even_tempo(als_.tempo);
    parameter_ = static_cast<uint8_t>(tempo / kTempoParameterScale + kTempoParameterBase);
  }

  void write_part(const TrackSpan& span, int number) {
    out_.put(static_cast<uint8_t>(kTitleStart + number));
    out_.put(parameter_);
    steps_.begin_track(number == 1);
    // The key detail rows follow the order of the written parts.
    octaveShift_ = settings_.conv.octaveShift[std::min(number, kMaxTracks) - 1];
    span_ = span;
    std::size_t pos = span.begin;
    for (;;) {
      ScoreEvent ev = decode_score_event(score_, span.end, pos);
      if (ev.kind != ScoreEvent::Note && ev.kind != ScoreEvent::Rest && ev.kind != ScoreEvent::Control) break;
      pos += ev.size;
      if (ev.kind != ScoreEvent::Control) note_or_rest(ev, pos);
    }
  }

  // The lengths the rounding leaves alone: multiples of the grid, lengths of
  // two grids or more, triplet lengths and (unless triplets are approximated)
  // 100.
  bool needs_rounding(int64_t units) const {
    return units % grid_ != 0 && units < 2 * grid_ && units % tripletGrid_ != 0 &&
           (als_.approximateTriplets || units != kKeptLength);
  }

  // ev ends at score offset `after`.
  void note_or_rest(const ScoreEvent& ev, std::size_t after) {
    if (out_.pos() > kNoteBound) steps_.stop();
    ScoreEvent next = decode_score_event(score_, span_.end, after);
    int64_t units = 0;
    if (!steps_.take(ev, next, units)) return;
    bool note = ev.kind == ScoreEvent::Note;
    if (needs_rounding(units)) units = steps_.round(units, grid_, (note ? grid_ / 3 : 0) + grid_ / 3);
    int64_t takenOff = 0;
    if (note && als_.restBetweenRepeats && units >= 2 * grid_ && repeats(ev, next, after)) {
      takenOff = std::max<int64_t>(grid_, units / 4 / grid_ * grid_);
      units -= takenOff;
    }
    bool ended = write_lengths(note ? pitch_byte(ev.code) : kRestPitch, units);
    if (takenOff > 0 && !ended) write_lengths(kRestPitch, takenOff);
  }

  // Whether the next note, after the rest the merge borrowed from if any,
  // has the same key. A control event in between means no.
  bool repeats(const ScoreEvent& ev, const ScoreEvent& next, std::size_t after) const {
    ScoreEvent following = next;
    if (steps_.borrowed() > 0 && next.kind == ScoreEvent::Rest) {
      following = decode_score_event(score_, span_.end, after + next.size);
    }
    return following.kind == ScoreEvent::Note && following.code == ev.code;
  }

  uint8_t pitch_byte(int key) const {
    int64_t v = int64_t{key} + als_.key + int64_t{midi::kSemitonesPerOctave} * octaveShift_ - kPitchKeyOffset;
    if (v < kLowestWrittenPitch) v = floor_mod(v + kLowFoldOffset, midi::kSemitonesPerOctave) + kLowestWrittenPitch;
    if (v > kHighestWrittenPitch) v = floor_mod(v, midi::kSemitonesPerOctave) + kHighFoldBase;
    return static_cast<uint8_t>(v);
  }

  const LengthCode& length_code(int64_t units) const {
    static constexpr LengthCode k80 = {kCode80, 80, false};
    static constexpr LengthCode k40 = {kCode40, 40, false};
    static constexpr LengthCode k1080 = {kCode1080, 1080, true};
    if (!als_.approximateTriplets && units == k80.ticks) return k80;
    if (!als_.approximateTriplets && units == k40.ticks) return k40;
    if (!als_.tiesAsRests && units == k1080.ticks) return k1080;
    for (const LengthCode& c : kLengthCodes) {
      if (c.ticks <= units && !(c.tieLength && als_.tiesAsRests)) return c;
    }
    return kLengthCodes.back();
  }

  // Writes one note or rest: its length codes, then its pitch byte. Returns
  // true when the note limit or the output bound ended it. Too short for a
  // code (a rest the note before it took whole), it writes nothing: a pitch
  // byte without a length code is no note.
  bool write_lengths(uint8_t pitch, int64_t units) {
    if (units <= kSmallestRemainder) return false;
    std::vector<uint8_t> bytes;
    bool pitchWritten = false;
    bool ended = false;
    while (units > kSmallestRemainder) {
      const LengthCode& c = length_code(units);
      bytes.push_back(c.code);
      bool atLimit = steps_.count_symbol();
      if (out_.pos() + bytes.size() > kNoteBound) steps_.stop();
      if (atLimit || steps_.stopped()) {
        ended = true;
        break;
      }
      units -= c.ticks;
      if (needs_rounding(units)) units = steps_.round(units, grid_, grid_ / 2);
      // Ties written as rests: the codes after the first sound as rests.
      if (als_.tiesAsRests && units > kSmallestRemainder) {
        bytes.push_back(pitchWritten ? kRestPitch : pitch);
        pitchWritten = true;
      }
    }
    bytes.push_back(pitchWritten ? kRestPitch : pitch);
    // A note that the limit or the bound ended gets no mark: the mark and the
    // closing byte could then pass the buffer.
    if (!ended && out_.pos() + bytes.size() - lastMark_ > kBlockSpan) {
      lastMark_ = out_.pos();
      out_.put(kBlockMark);
    }
    out_.put_bytes(bytes.data(), bytes.size());
    return ended;
  }

  const uint8_t* score_;
  const std::vector<TrackSpan> spans_;
  const Settings& settings_;
  const AlsWriterSettings& als_;
  const int grid_;
  const int tripletGrid_;
  MelodyTrackSteps steps_;
  ByteSink out_;
  uint8_t parameter_ = 0;
  std::size_t lastMark_ = 0;
  TrackSpan span_;
  int octaveShift_ = 0;
};

}  // namespace

AlsWriterSettings als_dialog_values(const SongInfo& song, const Settings& settings) {
  AlsWriterSettings als;
  als.title = song.title.substr(0, std::min(song.title.size(), kMaxTextLength));
  als.tempo = even_tempo(tempo_at_speed(song, settings));
  als.parts = std::clamp(settings.writers.alshmn, 1, kMaxParts);
  als.key = fit_key_over_span(settings.play.KeyOffset, written_key_span(song, settings, als.parts), kFitRange);
  als.noteLimit = std::clamp(settings.writers.alsnum, 0, kMaxNoteLimit);
  return als;
}

std::vector<uint8_t> write_als(const Score& score, const SongInfo& song, const Settings& settings,
                               const AlsWriterSettings& als) {
  return AlsWriter(score, song, settings, als).write();
}

std::vector<uint8_t> write_als_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_als(score, song, settings, als_dialog_values(song, settings));
}

}  // namespace mel
