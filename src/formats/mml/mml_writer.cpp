#include "formats/mml/mml_writer.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/mml/mml_format.h"
#include "formats/shared/written_tracks.h"
#include "midi/midi_bytes.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

using namespace mml;
using midi::kSemitonesPerOctave;

// MML2MMF key fit: the keys 37..96 the compiler plays.
constexpr int kFitLowest = kMml2MmfLowestKey;
constexpr int kFitLowTop = 72;
constexpr int kFitHighBottom = 49;
constexpr int kFitHighest = kMml2MmfHighestKey;

// Writing stops once the output passes this size, tested before every score
// event and every further length piece; what follows (one piece, the track's
// closing text) stays far below the 262144-byte buffer.
constexpr std::size_t kWriteLimit = 262114;

// A line is ended after a note or rest once it holds more than this many bytes.
constexpr std::size_t kLineLimit = 42;
constexpr char kLineEnd[] = "\r\n";
constexpr char kIndent[] = "  ";

// Rounding of short lengths: grid 60 (a sixteenth) with l16nouse, else 15;
// multiples of 40 (triplets) and 100 are kept.
constexpr int kCoarseGrid = 60;
constexpr int kFineGrid = 15;
constexpr int kTripletGrid = 40;
constexpr int kKeptLength = 100;
constexpr int kUnitsPerStep = kWholeTicks / 16;

// Key folds of the two dialects.
constexpr int kMusLowestKey = 13;
constexpr int kMusHighestKey = 96;

constexpr char kLetters[] = "ccddeffggaab";
constexpr std::array<bool, 12> kSharps = {false, true, false, true, false, false, true, false, true, false, true, false};

constexpr int kMaxDataByte = 127;

int dialog_tempo(const SongInfo& song, const Settings& settings) {
  int64_t tempo = static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten;
  return static_cast<int>(std::clamp<int64_t>(tempo, kMinTempo, kMaxTempo));
}

// The tracks 1..count that are written.
std::vector<int> written_of(int count, const Settings& settings) {
  std::vector<int> tracks;
  count = std::clamp(count, 1, kMaxTracks);
  for (int t = 1; t <= count; ++t) {
    if (track_is_written(settings, t, t == count, tracks.empty())) {
      tracks.push_back(t);
    }
  }
  return tracks;
}

// The key moves by octaves towards the keys the compiler plays.
constexpr OctaveFitRange kMml2MmfFitRange{kFitLowest, kFitLowTop, kFitHighBottom, kFitHighest};

// The drum voices: none without a rhythm track; otherwise one per drum key
// while they fit beside the programs, else what the programs leave.
int rhythm_voices(const SongInfo& song, const std::vector<int>& considered) {
  int rhythmTracks = 0;
  for (int t : considered) rhythmTracks += song.is_rhythm_track(t) ? 1 : 0;
  rhythmTracks = std::min(rhythmTracks, kMaxRhythmVoices);
  if (rhythmTracks == 0) return 0;
  int programs = song.programCount;
  int drums = song.rhythmKeyCount;
  int r = programs + drums <= kMaxRhythmVoices || drums <= rhythmTracks
              ? drums
              : kMaxRhythmVoices - std::min(static_cast<int>(considered.size()), programs);
  // 16 tracks and 16 programs would give -1 and a seventeenth melodic slot.
  return std::clamp(r, 0, kMaxRhythmVoices);
}

MmlWriterSettings common_dialog_values(const SongInfo& song, const Settings& settings) {
  MmlWriterSettings m;
  m.title = song.title.substr(0, std::min(song.title.size(), kMaxTextLength));
  m.tempo = dialog_tempo(song, settings);
  m.key = settings.play.KeyOffset;
  return m;
}

}  // namespace

std::vector<int> mml_written_tracks(const SongInfo& song, const Settings& settings) {
  return written_of(song.scoreTrackCount, settings);
}

MmlWriterSettings mml_dialog_values(const SongInfo& song, const Settings& settings) {
  return common_dialog_values(song, settings);
}

MmlWriterSettings mml2mmf_dialog_values(const SongInfo& song, const Settings& settings) {
  MmlWriterSettings m = common_dialog_values(song, settings);
  m.mml2mmf = true;
  std::vector<int> considered = mml_written_tracks(song, settings);
  if (considered.size() > static_cast<std::size_t>(kMml2MmfConsideredTracks)) {
    considered.resize(kMml2MmfConsideredTracks);
  }
  int lo = 0;
  int hi = 0;
  for (int t : considered) {
    int i = t - 1;
    if (song.is_rhythm_track(t) || song.noteCount[i] == 0 || song.lowestPitch[i] == 0) continue;
    lo = lo == 0 ? song.lowestPitch[i] : std::min(lo, song.lowestPitch[i]);
    hi = std::max(hi, song.highestPitch[i]);
  }
  if (lo > 0) m.key = fit_key_by_octaves(m.key, lo, hi, kMml2MmfFitRange);
  m.rhythmVoices = rhythm_voices(song, considered);
  return m;
}

namespace {

class MmlTextWriter {
 public:
  MmlTextWriter(const Score& score, const SongInfo& song, const Settings& settings, const MmlWriterSettings& m)
      : score_(score.bytes.data()),
        scoreLength_(std::min(score.length, score.bytes.size())),
        song_(song),
        settings_(settings),
        m_(m),
        rounding_(m.mml2mmf || settings.conv.relnflg != 0),
        rhythmVoices_(std::clamp(m.rhythmVoices, 0, kMaxRhythmVoices)),
        round_(grid_of(settings), kTripletGrid, kKeptLength),
        lengths_(track_lengths(song, settings, m)),
        out_(kOutputCapacity) {
    slots_.fill(kEmptySlot);
    slots_[0] = 0;
  }

  std::vector<uint8_t> write() {
    write_header();
    std::vector<int> written = written_of(count_tracks(), settings_);
    std::size_t pos = kFirstTrackOffset;
    int last = written.back();
    for (int track = 1; track <= last && !stopped_; ++track) {
      bool writes = std::find(written.begin(), written.end(), track) != written.end();
      pos = writes ? write_track(track, pos, track == last) : skip_track(pos);
    }
    return out_.take();
  }

 private:
  static constexpr int kEmptySlot = -1;
  static constexpr int kUnknown = -1;

  // The rounding and rest-merge grid: a sixteenth with l16nouse, else 1/64.
  static int grid_of(const Settings& settings) {
    return settings.conv.relnflg != 0 && settings.conv.l16nouse != 0 ? kCoarseGrid : kFineGrid;
  }

  static TrackLengths track_lengths(const SongInfo& song, const Settings& settings, const MmlWriterSettings& m) {
    int wholeTicks = whole_note_ticks(song.timebase, settings.conv.noteLengthScale);
    return TrackLengths({kWholeTicks, wholeTicks, kUnitsPerStep},
                        {settings.conv.relnflg != 0, grid_of(settings), kTripletGrid},
                        {m.startCounter, m.endCounter, settings.conv.restcut != 0, song.leadIn, wholeTicks});
  }

  // ---- Output ---------------------------------------------------------------------

  void put(const std::string& text) { out_.put_text(text); }

  // An item: two blanks first when nothing is on the line yet.
  void put_item(const std::string& text) {
    if (out_.pos() == lineStart_) put(kIndent);
    put(text);
  }

  void line_end() {
    put(kLineEnd);
    lineStart_ = out_.pos();
  }

  bool room() {
    if (out_.pos() > kWriteLimit) stopped_ = true;
    return !stopped_;
  }

  // ---- Header and track frame ---------------------------------------------------------

  std::string escaped_title() const {
    std::string text;
    for (char c : m_.title) {
      if (m_.mml2mmf) {
        if (c == ']') {
          text += ' ';
        } else if (c == ',' || c == kEscape) {
          text += kEscape;
          text += c;
        } else {
          text += c;
        }
      } else {
        if (c == kQuote || c == kEscape) text += kEscape;
        text += c;
      }
    }
    return text;
  }

  void write_header() {
    if (m_.mml2mmf) {
      put("1[T" + std::to_string(m_.tempo) + "]");
      line_end();
      if (!m_.title.empty()) {
        put("C[ST:" + escaped_title() + ",]");
        line_end();
      }
      return;
    }
    put("T" + std::to_string(m_.tempo));
    line_end();
    put(std::string(1, kBlockOpen));
    line_end();
    if (!m_.title.empty()) {
      put(kIndent + std::string(1, kQuote) + escaped_title() + kQuote);
      line_end();
      line_end();
    }
  }

  // The number of input tracks in the score (at most 32).
  int count_tracks() const {
    int count = 1;
    for (std::size_t pos = kFirstTrackOffset; count < kMaxTracks;) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, pos);
      if (ev.kind == ScoreEvent::EndOfScore) break;
      if (ev.kind == ScoreEvent::EndOfTrack) ++count;
      pos += ev.size;
    }
    return count;
  }

  std::size_t skip_track(std::size_t pos) const {
    for (;;) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, pos);
      pos += ev.size;
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) return pos;
    }
  }

  void begin_track(int track) {
    track_ = track;
    rhythm_ = song_.is_rhythm_track(track);
    octaveShift_ = settings_.conv.octaveShift[std::min(outputTrack_, kMaxTracks) - 1];
    octave_ = kUnknown;
    program_ = kUnknown;
    lengthSet_ = false;
    volumeWritten_ = false;
    lengths_.begin_track();
    round_.begin_track();
    if (m_.mml2mmf) {
      put(std::to_string(outputTrack_) + "[");
    } else {
      if (outputTrack_ > 1) {
        put(std::string(1, kBlockOpen));
        line_end();
      }
      int part = song_.part[track - 1];
      if (part > 0) {
        put(kIndent + std::string(1, kPart) + std::to_string(part));
        line_end();
      }
    }
    write_head_controls();
  }

  void end_track(bool last) {
    if (m_.mml2mmf) {
      put("]");
    } else {
      line_end();
      put(std::string(1, kBlockClose));
    }
    if (!last && !stopped_) line_end();
    ++outputTrack_;
  }

  int per_track_program() const { return settings_.play.PerTrackProgram[track_ - 1]; }
  int per_track_volume() const { return settings_.play.PerTrackVolume[track_ - 1]; }
  bool programs_follow_score() const {
    return settings_.play.KeepFileInstruments != 0 || per_track_program() == kFollowScore;
  }
  bool volumes_follow_score() const {
    return settings_.play.StandardVolume != 0 || per_track_volume() == kFollowScore;
  }

  void write_head_controls() {
    if (!programs_follow_score() && !rhythm_) {
      int p = per_track_program();
      put_program(p >= 1 ? p - 1 : settings_.play.melody);
    }
    if (!volumes_follow_score()) {
      int v = per_track_volume();
      int volume = std::clamp(v >= 1 ? v - 1 : settings_.play.volume, 0, kMaxDataByte);
      put_item((m_.mml2mmf ? "@V" : "V") + std::to_string(volume));
      volumeWritten_ = true;
    }
  }

  // ---- Events ---------------------------------------------------------------------------

  std::size_t write_track(int track, std::size_t pos, bool last) {
    begin_track(track);
    for (;;) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) {
        pos += ev.size;
        break;
      }
      if (!room()) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Control) {
        control(ev.code, ev.value);
      } else {
        note_or_rest(ev, decode_score_event(score_, scoreLength_, pos));
      }
    }
    end_track(last || stopped_);
    return pos;
  }

  void control(int code, int value) {
    value = std::min(value, kMaxDataByte);
    switch (code) {
      case kProgramEvent:
        if (programs_follow_score() && !rhythm_) put_program(value);
        return;
      case kVolumeEvent:
        if (!volumes_follow_score()) return;
        if (!m_.mml2mmf) return put_item("V" + std::to_string(value));
        if (!volumeWritten_) put_item("@V127");
        volumeWritten_ = true;
        return put_item("@X" + std::to_string(value));
      case kPanEvent:
        return put_item((m_.mml2mmf ? "@P" : "P") + std::to_string(value));
      default:
        return;
    }
  }

  void put_program(int program) {
    if (m_.mml2mmf) program = melodic_slot(program);
    program_ = program;
    put_item(std::string(1, kProgram) + std::to_string(program));
  }

  // ---- MML2MMF voice slots ------------------------------------------------------------

  // Programs take slots 0 .. 15 - r; the program in slot 0 stands in when
  // they are full.
  int melodic_slot(int program) {
    for (int s = 0; s < kVoiceSlots - rhythmVoices_; ++s) {
      if (slots_[s] == program || slots_[s] == kEmptySlot) {
        slots_[s] = program;
        return program;
      }
    }
    return slots_[0];
  }

  // Drum keys take slots 15 down to 16 - r; the key in slot 15 stands in.
  int drum_slot(int key) {
    int voice = key + kDrumVoiceBase;
    for (int s = kVoiceSlots - 1; s >= kVoiceSlots - rhythmVoices_; --s) {
      if (slots_[s] == voice || slots_[s] == kEmptySlot) {
        slots_[s] = voice;
        return key;
      }
    }
    return slots_[kVoiceSlots - 1] - kDrumVoiceBase;
  }

  // ---- Notes and rests -------------------------------------------------------------------

  void note_or_rest(const ScoreEvent& ev, const ScoreEvent& next) {
    bool note = ev.kind == ScoreEvent::Note;
    int64_t d = 0;
    if (!lengths_.take(ev, next, d)) return;
    int grid = round_.grid();
    if (rounding_ && round_.needs(d)) d = round_.round(d, (note ? grid / 3 : 0) + grid / 3);
    if (d <= 0) return;
    if (!lengthSet_) {
      put_item("L8");
      if (rhythm_ && !m_.mml2mmf) put(std::string(1, kProgram) + std::to_string(kRhythmProgramNumber));
      lengthSet_ = true;
    }
    std::string name = note ? note_name(ev.code) : std::string(1, 'r');
    write_length(name, note, d);
    if (out_.pos() - lineStart_ > kLineLimit) line_end();
  }

  int64_t output_key(int scoreKey) const {
    if (rhythm_) return scoreKey;
    return scoreKey + m_.key + int64_t{kSemitonesPerOctave} * octaveShift_;
  }

  // The note's letters, with an octave command before them when the octave
  // changes (always for the track's first note).
  std::string note_name(int scoreKey) {
    int64_t key = output_key(scoreKey);
    std::string text;
    if (!m_.mml2mmf) {
      if (key < kMmlLowestKey) key = floor_mod(key + 130, kSemitonesPerOctave) + kMmlLowestKey;
      if (key > kMmlHighestKey) key = floor_mod(key - 8, kSemitonesPerOctave) + 116;
    } else if (!rhythm_) {
      if (key < kMusLowestKey) key = floor_mod(key + 131, kSemitonesPerOctave) + kMusLowestKey;
      if (key > kMusHighestKey) key = floor_mod(key - 1, kSemitonesPerOctave) + 85;
      key -= kSemitonesPerOctave;
    } else {
      key = drum_key(static_cast<int>(key), text);
    }
    int octave = static_cast<int>(key / kSemitonesPerOctave);
    if (octave != octave_) {
      text += kOctave + std::to_string(octave);
      octave_ = octave;
    }
    letter_ = std::string(1, kLetters[key % kSemitonesPerOctave]);
    if (kSharps[key % kSemitonesPerOctave]) letter_ += kSharp;
    return text + letter_;
  }

  // A drum key of an MML2MMF rhythm track: its voice ("@" key + 128) when it
  // changes, then the key the map plays it at.
  int drum_key(int key, std::string& text) {
    if (key < kFirstMappedDrumKey || key > kLastMappedDrumKey) key = kUnmappedDrumKey;
    if (rhythmVoices_ > 0 && key + kDrumVoiceBase != program_) {
      key = drum_slot(key);
      if (key + kDrumVoiceBase != program_) {
        program_ = key + kDrumVoiceBase;
        text += kProgram + std::to_string(program_);
      }
    }
    return kDrumKeyMap[key - kFirstMappedDrumKey] - kSemitonesPerOctave;
  }

  // The largest standard length that d may start with.
  static int piece_length(int64_t d) {
    if (d >= 960) return 960;
    if (d >= 720) return 720;
    if (d >= 480) return 480;
    if (d >= 360) return 360;
    if (d >= 240) return 240;
    if (d >= 180) return 180;
    if (d >= 160 && d % 20 == 0) return 160;
    if (d >= 120) return 120;
    if (d == kKeptLength) return 60;
    if (d >= 90) return 90;
    if (d == 80) return 80;
    if (d >= 60) return 60;
    if (d >= 45) return 45;
    if (d == 40) return 40;
    if (d >= 30) return 30;
    if (d == 20) return 20;
    if (d >= 15) return 15;
    if (d >= 5) return 5;
    return 1;
  }

  // A standard length as its number, dotted for the multiples of 9.
  static std::string piece_text(int piece) {
    if (piece % 9 == 0) return std::to_string(kWholeTicks / (piece * 2 / 3)) + kDot;
    return std::to_string(kWholeTicks / piece);
  }

  void write_length(const std::string& name, bool note, int64_t d) {
    put_item(name);
    if (d == kWriterDefaultLength) return;
    if (d == kWriterDottedDefault) return put(std::string(1, kDot));
    for (bool first = true; d > 0; first = false) {
      if (!first) {
        if (!room()) return;
        put(note ? (m_.mml2mmf ? std::string(1, kTie) + letter_ : std::string(1, kTie)) : std::string(1, 'r'));
      }
      int piece = piece_length(d);
      put(piece_text(piece));
      d -= piece;
      if (rounding_ && round_.needs(d)) d = round_.round(d, round_.grid() / 2);
    }
  }

  const uint8_t* score_;
  std::size_t scoreLength_;
  const SongInfo& song_;
  const Settings& settings_;
  const MmlWriterSettings& m_;
  const bool rounding_;  // MML2MMF, or relnflg
  const int rhythmVoices_;
  ShortLengthRounding round_;
  TrackLengths lengths_;
  ByteSink out_;
  std::array<int, kVoiceSlots> slots_{};
  bool stopped_ = false;
  int outputTrack_ = 1;
  std::size_t lineStart_ = 0;

  // The track being written.
  int track_ = 0;
  bool rhythm_ = false;
  int octaveShift_ = 0;
  int octave_ = kUnknown;
  int program_ = kUnknown;
  bool lengthSet_ = false;
  bool volumeWritten_ = false;
  std::string letter_;
};

}  // namespace

std::vector<uint8_t> write_mml(const Score& score, const SongInfo& song, const Settings& settings,
                               const MmlWriterSettings& mml) {
  return MmlTextWriter(score, song, settings, mml).write();
}

std::vector<uint8_t> write_mml_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_mml(score, song, settings, mml_dialog_values(song, settings));
}

std::vector<uint8_t> write_mml2mmf_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_mml(score, song, settings, mml2mmf_dialog_values(song, settings));
}

}  // namespace mel
