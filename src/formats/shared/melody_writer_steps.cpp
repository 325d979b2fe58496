#include "formats/shared/melody_writer_steps.h"

#include <algorithm>

#include "common/limits.h"
#include "common/saturate.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

// Target units: 960 to the whole note, 60 to a counter step (a sixteenth).
constexpr int kUnitsPerWhole = kWholeNoteUnits;
constexpr int kUnitsPerStep = kWholeNoteUnits / 16;
// The auto-fit tries moves of up to this many octaves, largest first.
constexpr int kFitOctaves = 3;

}  // namespace

std::vector<ScoreTrackSpan> walk_score_tracks(const Score& score) {
  std::vector<ScoreTrackSpan> spans;
  const uint8_t* bytes = score.bytes.data();
  std::size_t length = std::min(score.length, score.bytes.size());
  std::size_t pos = kFirstTrackOffset;
  while (static_cast<int>(spans.size()) < kMaxTracks) {
    ScoreTrackSpan span{pos, pos};
    ScoreEvent ev = decode_score_event(bytes, length, pos);
    while (ev.kind != ScoreEvent::EndOfTrack && ev.kind != ScoreEvent::EndOfScore) {
      pos += ev.size;
      ev = decode_score_event(bytes, length, pos);
    }
    span.end = pos;
    spans.push_back(span);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    ++pos;  // past the EndOfTrack
  }
  return spans;
}

bool writes_track(const Settings& settings, int track, bool last, bool anyWritten) {
  return settings.conv.pseudo_chord_mode() || settings.play.track_selected(track) || (last && !anyWritten);
}

KeySpan written_key_span(const SongInfo& song, const Settings& settings, int limit) {
  KeySpan span;
  int last = std::clamp(song.scoreTrackCount, 1, kMaxTracks);
  int written = 0;
  for (int t = 1; t <= last && written < limit; ++t) {
    if (!writes_track(settings, t, t == last, written > 0)) continue;
    ++written;
    int i = t - 1;
    if (song.noteCount[i] == 0 || song.lowestPitch[i] == 0) continue;
    span.lowest = span.lowest == 0 ? song.lowestPitch[i] : std::min(span.lowest, song.lowestPitch[i]);
    span.highest = std::max(span.highest, song.highestPitch[i]);
  }
  return span;
}

int fit_key_by_octaves(int key, KeySpan span, int low, int high) {
  if (span.lowest == 0) return key;
  for (int n = kFitOctaves; n >= 0; --n) {
    int o = midi::kSemitonesPerOctave * n;
    if (span.lowest + key < low - o && span.highest + key <= high - o) {
      key += midi::kSemitonesPerOctave;
    } else if (span.lowest + key >= low + midi::kSemitonesPerOctave + o &&
               span.highest + key > high + midi::kSemitonesPerOctave + o) {
      key -= midi::kSemitonesPerOctave;
    }
  }
  return key;
}

int tempo_at_speed(const SongInfo& song, const Settings& settings) {
  return clamp_to_int(static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten);
}

MelodyTrackSteps::MelodyTrackSteps(const SongInfo& song, const Settings& settings, int startCounter, int endCounter,
                                   int noteLimit, MergeGrids grids)
    : wholeTicks_(whole_note_ticks(song.timebase, settings.conv.noteLengthScale)),
      noteLimit_(std::max(0, noteLimit)),
      grids_(grids),
      cutSettings_{startCounter, endCounter, settings.conv.restcut != 0, song.leadIn, wholeTicks_},
      cut_(cutSettings_, kUnitsPerStep) {}

void MelodyTrackSteps::begin_track(bool firstWritten) {
  firstTrack_ = firstWritten;
  cut_ = RangeCut(cutSettings_, kUnitsPerStep);
  count_ = 0;
  lengthCarry_ = 0;
  roundCarry_ = 0;
  borrowed_ = 0;
  elapsed_ = 0;
  stopped_ = false;
}

bool MelodyTrackSteps::take(const ScoreEvent& event, const ScoreEvent& next, int64_t& units) {
  if (stopped_ || limit_reached()) return false;
  if (!firstTrack_ && firstCut_ && elapsed_ >= firstLength_) return false;
  units = convert_length(event.value, lengthCarry_, kUnitsPerWhole, wholeTicks_);
  units = std::max<int64_t>(0, units - borrowed_);
  borrowed_ = 0;
  if (event.kind == ScoreEvent::Note && next.kind == ScoreEvent::Rest) {
    // The rest is converted ahead of time on a copy of the carry.
    int64_t carry = lengthCarry_;
    int64_t rest = convert_length(next.value, carry, kUnitsPerWhole, wholeTicks_);
    borrowed_ = merge_rest_into_note(units, rest, grids_.grid, grids_.tripletGrid);
  }
  elapsed_ += units;
  return cut_.keep(elapsed_, units);
}

int64_t MelodyTrackSteps::round(int64_t units, int64_t grid, int64_t offset) {
  int64_t total = roundCarry_ + units;
  int64_t rounded = std::max<int64_t>(0, grid * ((offset + total) / grid));
  roundCarry_ = total - rounded;
  return rounded;
}

bool MelodyTrackSteps::count_symbol() {
  ++count_;
  if (!limit_reached()) return false;
  if (firstTrack_ && !firstCut_) {
    firstCut_ = true;
    firstLength_ = elapsed_;
  }
  return true;
}

}  // namespace mel
