#include "score/score_passes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "common/limits.h"

namespace mel {

namespace {

// ---- Shared -------------------------------------------------------------------

// Writes a note or rest of any length: the event writer takes int durations
// and splits them into 65535-tick pieces itself. Returns the bytes written.
std::size_t write_long_event(SongInfo& song, uint8_t* dst, const uint8_t* end, int track, int key, int64_t ticks) {
  std::size_t written = 0;
  int code = key;
  while (ticks > 0) {
    int piece = static_cast<int>(std::min<int64_t>(ticks, kMaxEventDuration));
    std::size_t n = write_event(song, dst + written, end, track, code, piece);
    if (n == 0) break;
    written += n;
    ticks -= piece;
    code = kRest;
  }
  return written;
}

// ---- Accompaniment ------------------------------------------------------------

constexpr int kAccompanimentTrack = 2;
// The root lies a fourth below the melody, the low key an octave below.
constexpr int kRootBelowMelody = 5;
constexpr int kLowBelowMelody = 12;
constexpr int kFifthAboveRoot = 5;
constexpr int kLowestAccompanimentKey = 1;
// Room the pass keeps free at the end of the score buffer.
constexpr std::size_t kAccompanimentReserve = 6;
// Melody lengths in whole-note units that choose the pattern.
constexpr int kWhole = 960;
constexpr int kHalf = 480;
constexpr int kDottedQuarter = 360;
constexpr int kQuarter = 240;
constexpr int kEighth = 120;
constexpr int kThirtySecond = 30;

// One accompaniment figure: the root held for a number of steps, then a cycle
// of keys one step each; the last event takes what remains.
struct Figure {
  int leadSteps = 0;
  std::vector<int> cycle;
};

class AccompanimentWriter {
 public:
  AccompanimentWriter(Score& score, SongInfo& song, std::size_t pos) : score_(score), song_(song), pos_(pos) {}

  std::size_t pos() const { return pos_; }
  bool full() const { return pos_ + kAccompanimentReserve > kScoreCapacity; }

  bool copy_control(uint8_t code, uint8_t value) {
    if (full()) return false;
    score_.bytes[pos_++] = code;
    score_.bytes[pos_++] = value;
    return true;
  }

  bool event(int key, int64_t ticks) {
    if (full()) return false;
    uint8_t* base = score_.bytes.data();
    pos_ += write_long_event(song_, base + pos_, base + kScoreCapacity, kAccompanimentTrack, key, ticks);
    return true;
  }

  // The figure over a melody event of d ticks: the lead at most d long, then
  // single steps while two steps remain, then the rest in one event.
  bool figure(const Figure& f, int64_t d, int64_t step) {
    int64_t lead = std::min(d, f.leadSteps * step);
    if (!event(f.cycle.empty() ? 0 : f.cycle.front(), lead)) return false;
    int64_t remaining = d - lead;
    std::size_t i = 0;
    while (remaining >= 2 * step) {
      if (!event(f.cycle[i++ % f.cycle.size()], step)) return false;
      remaining -= step;
    }
    return remaining <= 0 || event(f.cycle[i % f.cycle.size()], remaining);
  }

 private:
  Score& score_;
  SongInfo& song_;
  std::size_t pos_;
};

}  // namespace

void add_accompaniment(Score& score, SongInfo& song, const Settings& settings) {
  int level = settings.conv.accompanimentLevel;
  if (song.trackCount != 1 || level < 1) return;
  if (score.bytes.size() < kScoreCapacity) score.bytes.resize(kScoreCapacity, 0);
  std::size_t oldEnd = std::min(score.length, kScoreCapacity);
  if (oldEnd < kFirstTrackOffset || oldEnd + kAccompanimentReserve > kScoreCapacity) return;

  score.bytes[oldEnd] = kEndOfTrack;
  song.trackStart[kAccompanimentTrack - 1] = static_cast<int>(oldEnd + 1);
  song.lowestPitch[kAccompanimentTrack - 1] = 0;
  song.highestPitch[kAccompanimentTrack - 1] = 0;
  AccompanimentWriter out(score, song, oldEnd + 1);

  const int w = whole_note_ticks(song.timebase, settings.conv.noteLengthScale);
  const int64_t step = std::max(1, level == 1 ? w / 8 : w / 16);
  int root = 0;
  int low = 0;
  std::size_t pos = kFirstTrackOffset;
  bool room = true;
  while (room && pos < oldEnd) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), oldEnd, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::Control) {
      // A control event (or a stray 255) is copied with the byte after it.
      uint8_t value = pos + 1 < oldEnd ? score.bytes[pos + 1] : 0;
      room = out.copy_control(score.bytes[pos], value);
      pos += kControlEventSize;
      continue;
    }
    pos += ev.size;
    int key = ev.kind == ScoreEvent::Note ? ev.code : 0;
    int64_t d = ev.value;
    if (key > 0) {
      root = std::max(kLowestAccompanimentKey, key - kRootBelowMelody);
      low = std::max(kLowestAccompanimentKey, key - kLowBelowMelody);
    }
    int h = root > 0 ? whole_note_units(ev.value, song.timebase, settings.conv.noteLengthScale) : 0;
    int fifth = root + kFifthAboveRoot;
    if (h >= kWhole) {
      room = out.figure({4, {root, low, fifth, low}}, d, step);
    } else if (h >= kHalf) {
      room = out.figure({3, {root, low, fifth}}, d, step);
    } else if (h >= kDottedQuarter || (h >= kQuarter && level == 2)) {
      room = level == 1 ? out.figure({1, {low, root}}, d, step) : out.figure({2, {root, low}}, d, step);
    } else if (h >= kQuarter && level == 1) {
      room = out.event(kRest, std::min(d, step)) && (d <= step || out.event(root, d - step));
    } else if (h >= kEighth && level == 2) {
      room = out.figure({1, {root}}, d, step);
    } else {
      room = out.event(key > 0 || h >= kThirtySecond ? root : kRest, d);
    }
  }
  score.length = out.pos();
  song.trackCount = 2;
}

// ---- Pseudo-chords --------------------------------------------------------------

namespace {

// The pass writes into a buffer of the score's size and stops below this
// position, so the closing 255 of a voice always fits.
constexpr std::size_t kPseudoChordWriteLimit = kScoreCapacity - 3;

struct SourceTrack {
  int voice = 0;  // 0 = left out
  std::size_t cursor = 0;
  int64_t time = 0;
  bool exhausted = false;
};

class PseudoChordFold {
 public:
  PseudoChordFold(const Score& score, SongInfo& song, const Settings& settings)
      : in_(score.bytes.data()),
        inLength_(std::min(score.length, score.bytes.size())),
        song_(song),
        settings_(settings),
        out_(kScoreCapacity, 0) {}

  std::size_t run() {
    int tracks = std::min(song_.trackCount, kMaxTracks);
    deal_voices(tracks);
    clear_track_statistics();
    out_[0] = inLength_ > 0 ? in_[0] : 0;
    out_[1] = inLength_ > 1 ? in_[1] : 0;
    pos_ = kFirstTrackOffset;
    int v = 1;
    for (;;) {
      song_.trackStart[v - 1] = static_cast<int>(pos_);
      write_voice(v);
      if (v >= kMaxTracks || !has_voice(v + 1)) break;
      out_[pos_++] = kEndOfTrack;
      ++v;
    }
    song_.scoreTrackCount = v;
    return pos_;
  }

  std::vector<uint8_t>& output() { return out_; }

 private:
  void deal_voices(int tracks) {
    int voices = std::clamp(settings_.conv.gizino, 1, kMaxTracks);
    int c = 0;
    for (int t = 1; t <= tracks; ++t) {
      SourceTrack& s = sources_[t - 1];
      s.cursor = static_cast<std::size_t>(std::max(0, song_.trackStart[t - 1]));
      if (!settings_.play.track_selected(t) || song_.is_rhythm_track(t)) continue;
      s.voice = c + 1;
      c = (c + 1) % voices;
    }
  }

  void clear_track_statistics() {
    for (int i = 0; i < kMaxTracks; ++i) {
      song_.lowestPitch[i] = song_.highestPitch[i] = 0;
      song_.firstNoteTime[i] = song_.lastNoteEnd[i] = 0;
      song_.noteCount[i] = song_.program[i] = song_.volume[i] = 0;
    }
    song_.programSet.reset();
    song_.programCount = 0;
    song_.rhythmKeySet.reset();
    song_.rhythmKeyCount = 0;
  }

  bool has_voice(int v) const {
    return std::any_of(sources_.begin(), sources_.end(), [v](const SourceTrack& s) { return s.voice == v; });
  }

  // The unexhausted track of the voice with the smallest time (lowest on a tie).
  int next_track(int v) const {
    int best = 0;
    for (int t = 1; t <= kMaxTracks; ++t) {
      const SourceTrack& s = sources_[t - 1];
      if (s.voice != v || s.exhausted) continue;
      if (best == 0 || s.time < sources_[best - 1].time) best = t;
    }
    return best;
  }

  // How long the sounding note must have lasted before another may replace it.
  int64_t long_enough() const {
    int64_t quarter = static_cast<int64_t>(song_.timebase) * settings_.conv.noteLengthScale / kScaleAsWritten;
    switch (settings_.conv.pseudo_chord_level()) {
      case 3: return quarter / 4;
      case 2: return quarter;
      default: return -1;  // levels 0 and 1: never
    }
  }

  void write_voice(int v) {
    sounding_ = 0;
    owner_ = 1;
    lastDecision_ = 0;
    pendingRest_ = 0;
    const int64_t minimum = long_enough();
    while (pos_ < kPseudoChordWriteLimit) {
      int t = next_track(v);
      if (t == 0) break;
      SourceTrack& s = sources_[t - 1];
      int64_t start = s.time;
      int64_t e = start - lastDecision_;
      ScoreEvent ev = next_note_or_end(s);
      int outKey = 0;
      if (ev.kind != ScoreEvent::Note && ev.kind != ScoreEvent::Rest) {
        s.exhausted = true;
        if (t != owner_) continue;
        // The owner ended: its note closes here and the line is free.
        outKey = sounding_;
        sounding_ = 0;
      } else {
        s.cursor += ev.size;
        s.time += ev.value;
        int k = ev.kind == ScoreEvent::Note ? ev.code : 0;
        bool priority = settings_.conv.highmld != 0 ? (k > sounding_ || t == owner_) : (t <= owner_ || sounding_ == 0);
        bool lasted = minimum >= 0 && e >= minimum;
        bool audible = k > settings_.conv.lowNoteCutLevel;
        if (settings_.play.track_selected(t) && (lasted || priority) && audible) {
          outKey = sounding_;
          owner_ = t;
          sounding_ = k;
        } else if (t == owner_ && !audible) {
          outKey = sounding_;
          sounding_ = 0;
        } else {
          continue;
        }
      }
      decide(v, start, e, outKey);
    }
    write(v, kRest, pendingRest_);
  }

  // Skips control events; returns the next note or rest, or the track's end.
  ScoreEvent next_note_or_end(SourceTrack& s) const {
    for (;;) {
      ScoreEvent ev = decode_score_event(in_, inLength_, s.cursor);
      if (ev.kind != ScoreEvent::Control) return ev;
      s.cursor += ev.size;
    }
  }

  // The segment since the last decision is written with the key that sounded.
  void decide(int v, int64_t start, int64_t e, int outKey) {
    lastDecision_ = start;
    int units = whole_note_units(clamp_ticks(e), song_.timebase, settings_.conv.noteLengthScale);
    if (units > settings_.conv.shortNoteCutLevel && outKey != 0) {
      write(v, kRest, pendingRest_);
      pendingRest_ = 0;
      write(v, outKey, e);
    } else {
      pendingRest_ += e;
    }
  }

  static int clamp_ticks(int64_t ticks) { return static_cast<int>(std::min<int64_t>(ticks, 0x7FFFFFFF)); }

  void write(int v, int key, int64_t ticks) {
    uint8_t* base = out_.data();
    // One byte is kept for the closing 255 of the voice.
    pos_ += write_long_event(song_, base + pos_, base + kScoreCapacity - 1, v, key, ticks);
  }

  const uint8_t* in_;
  std::size_t inLength_;
  SongInfo& song_;
  const Settings& settings_;
  std::vector<uint8_t> out_;
  std::size_t pos_ = 0;
  std::array<SourceTrack, kMaxTracks> sources_{};
  int sounding_ = 0;
  int owner_ = 1;
  int64_t lastDecision_ = 0;
  int64_t pendingRest_ = 0;
};

}  // namespace

void fold_pseudo_chords(Score& score, SongInfo& song, const Settings& settings) {
  if (song.trackCount <= 1 || !settings.conv.pseudo_chord_mode()) return;
  PseudoChordFold fold(score, song, settings);
  std::size_t length = fold.run();
  std::copy(fold.output().begin(), fold.output().begin() + static_cast<std::ptrdiff_t>(length), score.bytes.begin());
  score.length = length;
}

void run_score_passes(Score& score, SongInfo& song, const Settings& settings) {
  add_accompaniment(score, song, settings);
  song.scoreTrackCount = song.trackCount;
  fold_pseudo_chords(score, song, settings);
}

}  // namespace mel
