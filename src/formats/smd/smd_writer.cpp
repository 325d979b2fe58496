#include "formats/smd/smd_writer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "common/byte_writer.h"
#include "common/cp932.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/shared/written_tracks.h"
#include "formats/smd/smd_format.h"
#include "midi/midi_bytes.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

using namespace smd;
using midi::kSemitonesPerOctave;

// ---- Dialog values ------------------------------------------------------------

constexpr std::size_t kTitleBytes = 24;
constexpr int kMinKey = -36;
constexpr int kMaxKey = 36;
constexpr int kMaxNoteLimit = 0x7FFF;
constexpr int kMaxWrittenTracks = 16;
// The auto-fit's reference keys: the low state's lowest key, the middle
// state's range and the high state's highest key.
constexpr int kFitLow = kLowBase;
constexpr int kFitMiddleLow = kMiddleBase;
constexpr int kFitMiddleHigh = kMiddleTop;
constexpr int kFitHigh = kHighestKey;

// ---- Writer -------------------------------------------------------------------

// Writing stops once the output passes this offset, tested before every
// character and every triplet group; the largest unit written after a test is
// a triplet group with two octave commands, so the buffer is never passed.
constexpr std::size_t kWriteBound = 0x3FFF0;

constexpr int kUnitsPerWhole = kWholeNoteUnits;  // 960 per whole note
constexpr int kUnitsPerStep = kUnitsPerWhole / 16;
constexpr int64_t kGrid = 60;                 // the shortest character
constexpr int64_t kTripletGrid = 40;          // a triplet sixteenth
constexpr int64_t kAbandonedTripletGrid = 2560;  // no length is a triplet
// Remainders below this that are off the grid are rounded to it.
constexpr int64_t kRoundBelow = 2 * kGrid;
// The writer's rounding takes a note up from 20 over the grid, a rest from 40.
constexpr int64_t kNoteRoundUp = 40;
constexpr int64_t kRestRoundUp = 20;
constexpr int64_t kPieceRoundUp = 30;
// Characters' lengths by length index, and the triplet units (2/3 of each).
constexpr std::array<int64_t, kLengthIndexCount> kPieceLengths = {60, 120, 240, 480};
constexpr std::array<int64_t, kLengthIndexCount> kTripletUnits = {40, 80, 160, 320};
constexpr int kGroupSize = 3;
constexpr int kNoOctaveFits = -2;  // no octave state holds a triplet group's keys
constexpr int kMaxScoreKey = 127;
// Keys outside the three states fold by octaves: below 57 to
// ((k + 3) mod 12) + 57, above 102 to ((k - 7) mod 12) + 91.
constexpr int kLowFoldOffset = 3;
constexpr int kHighFoldOffset = -7;
constexpr int kHighFoldBase = 91;

int length_index_of_unit(int64_t u) {
  for (int i = 0; i < kLengthIndexCount; ++i) {
    if (kTripletUnits[i] == u) return i;
  }
  return -1;
}

bool is_triplet_unit(int64_t d) { return length_index_of_unit(d) >= 0; }

// The octave state a key needs, coming from `state`: below the middle range
// the low state, above it the high state; the low state's top keys and the
// high state's bottom keys go back to the middle; otherwise the state stays.
int next_octave(int state, int key) {
  if (key < kMiddleBase) return kLow;
  if (key > kMiddleTop) return kHigh;
  if (state == kLow && key >= kLowToMiddleFrom) return kMiddle;
  if (state == kHigh && key <= kHighToMiddleUpTo) return kMiddle;
  return state;
}

int octave_base(int state) { return state == kLow ? kLowBase : state == kHigh ? kHighBase : kMiddleBase; }

uint8_t note_char(int key, int index, int state) {
  int n = 4 * (key - octave_base(state)) + index + 1;
  return static_cast<uint8_t>(floor_mod(n, kNoteCharCycle) + kWriterCharBase);
}

uint8_t rest_char(int index) { return static_cast<uint8_t>(kFirstRest + index); }

uint8_t tempo_char(int tempo) {
  if (tempo <= 0) tempo = kResetTempo;
  for (const TempoChar& t : kTempoChars) {
    if (tempo <= t.tempo) return t.c;
  }
  return kTempo150;
}

constexpr OctaveFitRange kFitRange{kFitLow, kFitMiddleHigh, kFitMiddleLow, kFitHigh};

// The written tracks among input tracks 1..inputTracks, in order: the
// selected ones (all in pseudo-chord mode), the last input track when none
// before it was taken, at most `smdhmn` of them.
std::vector<int> plan_tracks(int inputTracks, const Settings& settings) {
  std::vector<int> plan;
  std::size_t limit = static_cast<std::size_t>(std::clamp(settings.writers.smdhmn, 1, kMaxWrittenTracks));
  for (int t = 1; t <= inputTracks && plan.size() < limit; ++t) {
    if (track_is_written(settings, t, t == inputTracks, plan.empty())) {
      plan.push_back(t);
    }
  }
  return plan;
}

// One note or rest after the length steps, in 960 units per whole note.
struct Timed {
  bool note = false;
  int key = 0;  // output key of a note
  int64_t d = 0;
};

// Everything a track's writing has reached; a triplet group is recognised
// on a copy and, when it fails, written again from the copy taken before it.
struct Flow {
  explicit Flow(const RangeCut& c) : cut(c) {}
  std::size_t pos = 0;  // score offset of the next event
  int64_t lengthCarry = 0;
  int64_t roundCarry = 0;
  int64_t borrowed = 0;  // taken from the next rest by the note before it
  int64_t elapsed = 0;
  int octave = kMiddle;
  int count = 0;  // note and rest characters written
  RangeCut cut;
};

class SmdTrackWriter {
 public:
  SmdTrackWriter(const Score& score, const SongInfo& song, const Settings& settings, const SmdWriterSettings& smd)
      : score_(score.bytes.data()),
        scoreLength_(std::min(score.length, score.bytes.size())),
        settings_(settings),
        smd_(smd),
        noteLimit_(std::clamp(smd.noteLimit, 0, kMaxNoteLimit)),
        wholeTicks_(whole_note_ticks(song.timebase, settings.conv.noteLengthScale)),
        cut_(RangeCutSettings{smd.startCounter, smd.endCounter, settings.conv.restcut != 0, song.leadIn, wholeTicks_},
             kUnitsPerStep),
        out_(kOutputCapacity),
        spans_(score_track_spans(score)) {}

  std::vector<uint8_t> write() {
    out_.put_text(smd_title(smd_.title));
    std::vector<int> plan = plan_tracks(static_cast<int>(spans_.size()), settings_);
    for (std::size_t rank = 0; rank < plan.size() && !stopped_; ++rank) {
      write_track(spans_[plan[rank] - 1].begin, rank, rank + 1 == plan.size());
    }
    return out_.take();
  }

 private:
  bool room() {
    if (out_.pos() > kWriteBound) stopped_ = true;
    return !stopped_;
  }

  void put(uint8_t c) { out_.put(c); }

  void write_track(std::size_t begin, std::size_t rank, bool last) {
    if (!room()) return;
    out_.put_bytes(reinterpret_cast<const uint8_t*>(kTrackStart), kEscapeSize);
    put(kCommand);
    put(tempo_char(smd_.tempo));
    first_ = rank == 0;
    octaveShift_ = settings_.conv.octaveShift[std::min<std::size_t>(rank, kMaxTracks - 1)];
    Flow f(cut_);
    f.pos = begin;
    f.cut.begin_track();
    write_events(f, scoreLength_, true);
    // The last track, and a track the output bound ended, close with SI alone.
    if (!last && !stopped_ && f.octave != kMiddle && room()) put_octave_command(f.octave, kMiddle);
    put(kShiftIn);
  }

  // ---- Events -------------------------------------------------------------------

  // Writes the events from f.pos up to `stop` or the end of the track. With
  // `groups`, a note of a triplet unit opens a group; without, every event is
  // an ordinary note and no length counts as a triplet.
  void write_events(Flow& f, std::size_t stop, bool groups) {
    int64_t tripletGrid = groups ? kTripletGrid : kAbandonedTripletGrid;
    while (!stopped_ && f.pos < stop) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, f.pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      if (ev.kind == ScoreEvent::Control) {
        f.pos += ev.size;
        continue;
      }
      if (limit_reached(f, 0)) break;
      Flow before = f;
      Timed t;
      if (!prepare(f, tripletGrid, t)) continue;
      if (groups && t.note && is_triplet_unit(t.d)) {
        write_group(before, f, t);
      } else {
        write_ordinary(f, t, tripletGrid);
      }
    }
  }

  // The note limit (pending: characters a group being recognised would add)
  // and the first written track's length end the track.
  bool limit_reached(const Flow& f, int pending) const {
    if (noteLimit_ > 0 && f.count + pending >= noteLimit_) return true;
    return !first_ && firstLength_ >= 0 && f.elapsed >= firstLength_;
  }

  // When the first written track reaches the note limit, its elapsed time
  // then is the length later tracks are cut at.
  void note_first_track_length(const Flow& f) {
    if (first_ && firstLength_ < 0 && noteLimit_ > 0 && f.count >= noteLimit_) firstLength_ = f.elapsed;
  }

  // Takes the note or rest at f.pos through the length steps: conversion,
  // the amount the note before borrowed, the rest merge, elapsed time and the
  // range cut. False when nothing of it is left to write.
  bool prepare(Flow& f, int64_t tripletGrid, Timed& t) {
    ScoreEvent ev = decode_score_event(score_, scoreLength_, f.pos);
    f.pos += ev.size;
    bool note = ev.kind == ScoreEvent::Note;
    int64_t d = convert_length(ev.value, f.lengthCarry, kUnitsPerWhole, wholeTicks_);
    d = std::max<int64_t>(0, d - f.borrowed);
    f.borrowed = 0;
    if (note) {
      ScoreEvent next = decode_score_event(score_, scoreLength_, f.pos);
      if (next.kind == ScoreEvent::Rest) {
        int64_t carry = f.lengthCarry;
        int64_t rest = convert_length(next.value, carry, kUnitsPerWhole, wholeTicks_);
        f.borrowed = merge_rest_into_note(d, rest, kGrid, tripletGrid);
      }
    }
    f.elapsed += d;
    if (!f.cut.keep(f.elapsed, d) || d <= 0) return false;
    t.note = note;
    t.key = note ? output_key(std::min(ev.code, kMaxScoreKey)) : 0;
    t.d = d;
    return true;
  }

  int output_key(int scoreKey) const {
    int64_t key = scoreKey + int64_t{kSemitonesPerOctave} * octaveShift_ + smd_.key;
    if (key < kLowBase) return floor_mod(key + kLowFoldOffset, kSemitonesPerOctave) + kLowBase;
    if (key > kHighestKey) return floor_mod(key + kHighFoldOffset, kSemitonesPerOctave) + kHighFoldBase;
    return static_cast<int>(key);
  }

  // Rounds a remainder below two grids that is off the grid to the nearest
  // grid multiple, the difference going to the rounding carry.
  int64_t round_remainder(int64_t r, Flow& f) const {
    if (r >= kRoundBelow || r % kGrid == 0) return r;
    int64_t total = r + f.roundCarry;
    int64_t rounded = std::max<int64_t>(0, (total + kPieceRoundUp) / kGrid * kGrid);
    f.roundCarry = total - rounded;
    return rounded;
  }

  // A note or rest outside a triplet group: rounded to the grid, then written
  // as pieces of 480, 240, 120 and 60, a note's pieces tied.
  void write_ordinary(Flow& f, const Timed& t, int64_t tripletGrid) {
    int64_t d = t.d;
    if (d < kRoundBelow && d % kGrid != 0 && d % tripletGrid != 0) {
      int64_t total = f.roundCarry + d;
      int64_t rounded = std::max<int64_t>(0, (total + (t.note ? kNoteRoundUp : kRestRoundUp)) / kGrid * kGrid);
      f.roundCarry = total - rounded;
      d = rounded;
    }
    d = round_remainder(d, f);
    int target = t.note ? next_octave(f.octave, t.key) : f.octave;
    while (d > 0 && room()) {
      int index = kLengthIndexCount - 1;
      while (index > 0 && kPieceLengths[index] > d) --index;
      int64_t left = round_remainder(d - kPieceLengths[index], f);
      // The octave command goes with the first character after it.
      if (target != f.octave) put_octave_command(f.octave, target);
      f.octave = target;
      put(t.note ? note_char(t.key, index, f.octave) : rest_char(index));
      if (t.note && left > 0) put(kTie);
      ++f.count;
      d = left;
    }
    note_first_track_length(f);
  }

  // "!#" to the low state, octave up to the high state, once per step; "!$"
  // to the middle.
  void put_octave_command(int from, int to) {
    uint8_t c = to == kMiddle ? kOctaveMiddle : to == kLow ? kOctaveDown : kOctaveUp;
    int steps = to == kMiddle ? 1 : std::abs(to - from);
    for (int i = 0; i < steps; ++i) {
      put(kCommand);
      put(c);
    }
  }

  // ---- Triplet groups -------------------------------------------------------------

  // The three characters of a group: a note (its key) or a rest.
  struct Slot {
    bool note = false;
    int key = 0;
  };

  // A note of a triplet unit opened a group at `before`; f is past it. The
  // group is recognised in full on a copy; when it is complete and its keys
  // fit one octave state it is written, otherwise its events are written
  // again from `before` as ordinary notes.
  void write_group(const Flow& before, Flow& f, const Timed& first) {
    std::vector<Timed> members{first};
    Flow g = f;
    bool complete = false;
    while (!complete) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, g.pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      if (ev.kind == ScoreEvent::Control) {
        g.pos += ev.size;
        continue;
      }
      if (limit_reached(g, static_cast<int>(members.size()))) break;
      Flow at = g;
      Timed t;
      if (!prepare(g, kTripletGrid, t)) continue;
      int64_t u = members[0].d;
      bool fits = t.d == u || (members.size() == 1 && (t.d == 2 * u || (u == 2 * t.d && is_triplet_unit(t.d))));
      if (!fits) {
        g = at;  // the interrupting event is read again after the group's events
        break;
      }
      members.push_back(t);
      complete = members.size() == kGroupSize || t.d != u;
    }
    std::array<Slot, kGroupSize> slots;
    int64_t unit = complete ? group_slots(members, slots) : 0;
    int state = complete ? group_octave(f.octave, slots) : kNoOctaveFits;
    if (state == kNoOctaveFits) {
      // Abandoned: its events are written again as ordinary notes, and the
      // search for groups goes on at the event that interrupted it.
      f = before;
      write_events(f, g.pos, false);
      return;
    }
    if (!room()) return;
    if (state != f.octave) put_octave_command(f.octave, state);
    put(kCommand);
    put(kTriplet);
    int index = length_index_of_unit(unit);
    for (const Slot& s : slots) put(s.note ? note_char(s.key, index, state) : rest_char(index));
    f = g;
    f.octave = state;
    f.count += kGroupSize;
    note_first_track_length(f);
  }

  // The group's three characters and its unit: u, u, u as they are; u then 2u
  // as u, u and a rest; 2u then u as u, a rest and u.
  static int64_t group_slots(const std::vector<Timed>& m, std::array<Slot, kGroupSize>& slots) {
    auto slot = [](const Timed& t) { return Slot{t.note, t.key}; };
    if (m.size() == kGroupSize) {
      slots = {slot(m[0]), slot(m[1]), slot(m[2])};
      return m[0].d;
    }
    if (m[1].d == 2 * m[0].d) {
      slots = {slot(m[0]), slot(m[1]), Slot{}};
      return m[0].d;
    }
    slots = {slot(m[0]), Slot{}, slot(m[1])};
    return m[1].d;
  }

  // The octave state the group is written in, or kNoOctaveFits. Without
  // a change inside it, the current state; otherwise the state the ordinary
  // rule reaches after its first two keys, when every key of the group fits
  // it. A group is retried once at most.
  static int group_octave(int state, const std::array<Slot, kGroupSize>& slots) {
    std::vector<int> keys;
    for (const Slot& s : slots) {
      if (s.note) keys.push_back(s.key);
    }
    int s = state;
    bool change = false;
    for (int k : keys) {
      int next = next_octave(s, k);
      change = change || next != s;
      s = next;
    }
    if (!change) return state;
    int retry = state;
    for (std::size_t i = 0; i < keys.size() && i < 2; ++i) retry = next_octave(retry, keys[i]);
    for (int k : keys) {
      if (next_octave(retry, k) != retry) return kNoOctaveFits;
    }
    return retry;
  }

  const uint8_t* score_;
  std::size_t scoreLength_;
  const Settings& settings_;
  const SmdWriterSettings& smd_;
  const int noteLimit_;
  const int wholeTicks_;
  const RangeCut cut_;
  ByteSink out_;
  std::vector<TrackSpan> spans_;
  bool stopped_ = false;
  int64_t firstLength_ = -1;  // set when the first written track reached the note limit

  // The track being written.
  bool first_ = false;
  int octaveShift_ = 0;
};

}  // namespace

std::string smd_title(const std::string& title) {
  std::string kept;
  for (char c : title) {
    if (static_cast<uint8_t>(c) >= 0x20) kept.push_back(c);
  }
  std::size_t n = 0;
  while (n < kept.size()) {
    std::size_t unit = is_cp932_lead_byte(kept[n]) && n + 1 < kept.size() ? 2 : 1;
    if (n + unit > kTitleBytes) break;
    n += unit;
  }
  return kept.substr(0, n);
}

int smd_tempo_choice(int64_t tempo) {
  for (const TempoChar& choice : kTempoChars) {
    if (choice.tempo >= tempo) return choice.tempo;
  }
  return kTempoChars.back().tempo;
}

std::vector<int> smd_written_tracks(const SongInfo& song, const Settings& settings) {
  return plan_tracks(std::clamp(song.scoreTrackCount, 1, kMaxTracks), settings);
}

SmdWriterSettings smd_dialog_values(const SongInfo& song, const Settings& settings) {
  SmdWriterSettings s;
  s.title = smd_title(song.title);
  s.tempo = smd_tempo_choice(static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten);
  s.noteLimit = std::clamp(settings.writers.smdnum, 0, kMaxNoteLimit);
  // The key is fitted over the tracks to be written that hold notes, rhythm
  // tracks included.
  int lo = 0;
  int hi = 0;
  for (int t : smd_written_tracks(song, settings)) {
    int i = t - 1;
    if (song.noteCount[i] == 0 || song.lowestPitch[i] == 0) continue;
    lo = lo == 0 ? song.lowestPitch[i] : std::min(lo, song.lowestPitch[i]);
    hi = std::max(hi, song.highestPitch[i]);
  }
  s.key = settings.play.KeyOffset;
  if (lo > 0) s.key = fit_key_by_octaves(s.key, lo, hi, kFitRange);
  s.key = std::clamp(s.key, kMinKey, kMaxKey);
  return s;
}

std::vector<uint8_t> write_smd(const Score& score, const SongInfo& song, const Settings& settings,
                               const SmdWriterSettings& smd) {
  return SmdTrackWriter(score, song, settings, smd).write();
}

std::vector<uint8_t> write_smd_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_smd(score, song, settings, smd_dialog_values(song, settings));
}

}  // namespace mel
