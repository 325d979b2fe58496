#include "formats/shared/one_part_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/saturate.h"
#include "formats/shared/handset_codes.h"
#include "midi/midi_bytes.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

using midi::kSemitonesPerOctave;

constexpr int kUnitsPerWhole = kWholeNoteUnits;
constexpr int kUnitsPerStep = kUnitsPerWhole / 16;
// Rest merge: onto the sixteenth grid, or a triplet sixteenth.
constexpr int kMergeGrid = 60;
constexpr int kMergeTripletGrid = 80;
// Short lengths off the sixteenth grid are rounded onto it, except the
// triplet sixteenth, which the formats can write.
constexpr int kRoundGrid = 60;
constexpr int kKeptLength = 80;
// Rounding biases: a note rounds up from 20 over the grid, a rest from 40,
// the remainder between pieces to nearest.
constexpr int kNoteRoundBias = 40;
constexpr int kRestRoundBias = 20;
constexpr int kPieceRoundBias = kRoundGrid / 2;
// Piece lengths, largest first; 160 and 80 are written only when exactly that
// much remains.
constexpr std::array<int, 8> kPieceUnits = {960, 720, 480, 360, 240, 180, 120, 60};
constexpr int kTripletEighth = 160;
constexpr int kTripletSixteenth = 80;
// The key fit's upper references.
constexpr int kFitRiseHigh = 95;
constexpr int kFitFallHigh = 107;

bool needs_rounding(int64_t d) { return d % kRoundGrid != 0 && d < 2 * kRoundGrid && d != kKeptLength; }

int64_t round_with_carry(int64_t d, int bias, int64_t& carry) {
  int64_t total = carry + d;
  int64_t rounded = std::max<int64_t>(0, kRoundGrid * ((bias + total) / kRoundGrid));
  carry = total - rounded;
  return rounded;
}

int piece_units(int64_t d) {
  if (d == kTripletEighth || d == kTripletSixteenth) return static_cast<int>(d);
  for (int p : kPieceUnits) {
    if (p <= d) return p;
  }
  return kPieceUnits.back();
}

}  // namespace

TrackSpan one_part_track(const Score& score, const Settings& settings) {
  return written_track_spans(score, settings, 1).front();
}

namespace {

int one_part_track_number(const SongInfo& song, const Settings& settings) {
  return written_track_numbers(song, settings, 1).front();
}

int fit_one_part_key(int key, const SongInfo& song, int track, int riseBelow, int fallFrom) {
  if (track < 1 || track > kMaxTracks) return key;
  int lo = song.lowestPitch[track - 1];
  int hi = song.highestPitch[track - 1];
  if (song.noteCount[track - 1] == 0 || lo == 0) return key;
  return fit_key_by_octaves(key, lo, hi, {riseBelow, kFitRiseHigh, fallFrom, kFitFallHigh});
}

}  // namespace

OnePartDialogStart one_part_dialog_start(const SongInfo& song, const Settings& settings, int riseBelow,
                                         int fallFrom) {
  OnePartDialogStart start;
  int64_t tempo = static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten;
  start.tempo = table_tempo_at_least(clamp_to_int(tempo));
  start.key = fit_one_part_key(settings.play.KeyOffset, song, one_part_track_number(song, settings), riseBelow,
                               fallFrom);
  return start;
}

namespace {

class OnePartWalk {
 public:
  OnePartWalk(const Score& score, const SongInfo& song, const Settings& settings, const OnePartWalkSettings& walk,
              OnePartSink& sink)
      : score_(score.bytes.data()),
        walk_(walk),
        sink_(sink),
        lengths_(TrackLengths::Units{kUnitsPerWhole, whole_note_ticks(song.timebase, settings.conv.noteLengthScale),
                                     kUnitsPerStep},
                 TrackLengths::Merge{true, kMergeGrid, kMergeTripletGrid},
                 RangeCutSettings{walk.startCounter, walk.endCounter, settings.conv.restcut != 0, song.leadIn,
                                  whole_note_ticks(song.timebase, settings.conv.noteLengthScale)}) {}

  void run(const TrackSpan& track) {
    std::size_t pos = track.begin;
    while (sink_.room()) {
      ScoreEvent ev = decode_score_event(score_, track.end, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Control) continue;
      note_or_rest(ev, decode_score_event(score_, track.end, pos));
    }
  }

 private:
  void note_or_rest(const ScoreEvent& ev, const ScoreEvent& next) {
    bool note = ev.kind == ScoreEvent::Note;
    int64_t d = 0;
    if (!lengths_.take(ev, next, d)) return;
    if (needs_rounding(d)) d = round_with_carry(d, note ? kNoteRoundBias : kRestRoundBias, roundCarry_);
    write_pieces(note, note ? ev.code + walk_.key : 0, d);
  }

  void write_pieces(bool note, int key, int64_t d) {
    bool continuation = false;
    while (d >= walk_.minPieceUnits && sink_.room()) {
      int p = piece_units(d);
      d -= p;
      if (needs_rounding(d)) d = round_with_carry(d, kPieceRoundBias, roundCarry_);
      sink_.put(note, key, p, continuation);
      continuation = true;
    }
  }

  const uint8_t* score_;
  const OnePartWalkSettings& walk_;
  OnePartSink& sink_;
  TrackLengths lengths_;
  int64_t roundCarry_ = 0;
};

}  // namespace

void walk_one_part(const Score& score, const SongInfo& song, const Settings& settings, const TrackSpan& track,
                   const OnePartWalkSettings& walk, OnePartSink& sink) {
  OnePartWalk(score, song, settings, walk, sink).run(track);
}

}  // namespace mel
