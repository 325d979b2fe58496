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

}  // namespace

KeySpan written_key_span(const SongInfo& song, const Settings& settings, int limit) {
  KeySpan span;
  int last = std::clamp(song.scoreTrackCount, 1, kMaxTracks);
  int written = 0;
  for (int t = 1; t <= last && written < limit; ++t) {
    if (!track_is_written(settings, t, t == last, written == 0)) continue;
    ++written;
    int i = t - 1;
    if (song.noteCount[i] == 0 || song.lowestPitch[i] == 0) continue;
    span.lowest = span.lowest == 0 ? song.lowestPitch[i] : std::min(span.lowest, song.lowestPitch[i]);
    span.highest = std::max(span.highest, song.highestPitch[i]);
  }
  return span;
}

int fit_key_over_span(int key, KeySpan span, const OctaveFitRange& range) {
  return span.lowest == 0 ? key : fit_key_by_octaves(key, span.lowest, span.highest, range);
}

int tempo_at_speed(const SongInfo& song, const Settings& settings) {
  return clamp_to_int(static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten);
}

MelodyTrackSteps::MelodyTrackSteps(const SongInfo& song, const Settings& settings, int startCounter, int endCounter,
                                   int noteLimit, MergeGrids grids)
    : noteLimit_(std::max(0, noteLimit)),
      lengths_(TrackLengths::Units{kUnitsPerWhole, whole_note_ticks(song.timebase, settings.conv.noteLengthScale),
                                   kUnitsPerStep},
               TrackLengths::Merge{true, grids.grid, grids.tripletGrid},
               RangeCutSettings{startCounter, endCounter, settings.conv.restcut != 0, song.leadIn,
                                whole_note_ticks(song.timebase, settings.conv.noteLengthScale)}) {}

void MelodyTrackSteps::begin_track(bool firstWritten) {
  firstTrack_ = firstWritten;
  lengths_.begin_track();
  count_ = 0;
  roundCarry_ = 0;
  stopped_ = false;
}

bool MelodyTrackSteps::take(const ScoreEvent& event, const ScoreEvent& next, int64_t& units) {
  if (stopped_ || limit_reached()) return false;
  if (!firstTrack_ && firstCut_ && lengths_.elapsed() >= firstLength_) return false;
  return lengths_.take(event, next, units);
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
    firstLength_ = lengths_.elapsed();
  }
  return true;
}

}  // namespace mel
