#include "formats/mfi/mfi_writer.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/mfi/mfi_format.h"
#include "formats/shared/written_tracks.h"
#include "score/key_fit.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

using namespace mfi;

// ---- Dialog values ------------------------------------------------------------

constexpr int kMinTempo = 30;
constexpr int kMaxTempo = 250;
constexpr int kMinKey = -36;
constexpr int kMaxKey = 36;
constexpr int kFourChordPolyphony = 4;
constexpr int kSixteenChordPolyphony = 16;
constexpr int kMaxChannelsUsed = 16;
// The valid keys of each mode, as the dialog's hint shows them.
constexpr int kFourChordLowestMfiKey = 56;
constexpr int kSixteenChordLowestKey = 45;
constexpr int kExtendedLowestKey = 21;
constexpr int kHighestOutputKey = 107;
// The auto-fit's upper reference keys.
constexpr int kFitHighLimit = 95;
constexpr int kFitCmxLowerLimit = 57;

// ---- Writer bounds --------------------------------------------------------------

// Writing stops once the output passes kWriteLimit, tested before every piece
// and control event; a chunk is begun only below kChunkLimit. The largest
// event is 4 bytes and the end marker 4, so the buffer is never passed.
constexpr std::size_t kWriteLimit = kOutputCapacity - 16;
constexpr std::size_t kChunkLimit = kOutputCapacity - 40;

// The writer's unit: 48 ticks per quarter note.
constexpr int kUnitsPerWhole = kMfiTimebase * 4;
constexpr int kUnitsPerStep = kUnitsPerWhole / 16;
// Rest merge grids: a sixteenth and a triplet sixteenth.
constexpr int kMergeGrid = 12;
constexpr int kMergeTripletGrid = 8;
// Rounding grids of short lengths: a sixteenth with l16nouse, else 1/64.
constexpr int kCoarseRoundGrid = 12;
constexpr int kFineRoundGrid = 3;
// Lengths kept as they are by the rounding besides multiples of the grid.
constexpr int kKeptMultiple = 8;
constexpr int kKeptLength = 20;
// Piece lengths tried largest first with relnflg; 8 and 16 pass whole.
constexpr std::array<int, 8> kPieceLengths = {192, 144, 96, 72, 48, 36, 24, 12};
constexpr int kKeptPieceA = 8;
constexpr int kKeptPieceB = 16;
constexpr int kMaxPlainPiece = 254;

// Keys and their folds.
constexpr int kMaxScoreKey = 127;
constexpr int kRhythmKeyFourChord = 72;
constexpr int kMfiRhythmKeyOffset = 10;
constexpr int kLowestPlainKey = 45;
constexpr int kHighestPlainKey = 108;
constexpr int kHighestSlot3Key = 107;
constexpr int kLowestExtendedKey = 21;
constexpr int kHighestExtendedKey = 119;
constexpr int kExtendedLowBase = 21;   // keys below 45 are key - 21
constexpr int kExtendedHighBase = 57;  // keys above 107 are key - 57
constexpr int kOctaveCodeUp = 1;
constexpr int kOctaveCodeDownTwo = 2;
constexpr int kSlot3 = 3;
// A rest's status: (slot bits + 0xD3) mod 256.
constexpr int kRestStatusOffset = 0xD3;
// The fixed voice of a rhythm track in 16-chord mode: bank 2, voice 0.
constexpr int kRhythmVoice = 128;
// The voice of a rhythm track in 4-chord mode.
constexpr int kFourChordRhythmVoice = 255;
constexpr int kTenthTrack = 10;
constexpr int kDefaultVoiceBase = 128;   // melody + 128: General MIDI banks
constexpr int kProgramVoiceBase = 127;   // PerTrackProgram + 127
constexpr int kMaxVoice = 255;

// The octave fit's bounds for the handset layout the dialog writes for.
OctaveFitRange fit_range(const MfiWriterSettings& m) {
  if (m.cmx) {
    int riseBelow = m.four_byte_notes() ? kExtendedLowestKey : kSixteenChordLowestKey;
    int riseTop = m.four_byte_notes() ? kHighestOutputKey : kFitHighLimit;
    return {riseBelow, riseTop, kFitCmxLowerLimit, kHighestOutputKey};
  }
  int lowest = m.lowest_key();
  return {lowest, kFitHighLimit, lowest + kSemitonesPerOctave, kHighestOutputKey};
}

}  // namespace

int MfiWriterSettings::lowest_key() const {
  if (four_byte_notes()) return kExtendedLowestKey;
  if (sixteenChord || cmx) return kSixteenChordLowestKey;
  return kFourChordLowestMfiKey;
}

int MfiWriterSettings::highest_key() const { return kHighestOutputKey; }

MfiWriterSettings mfi_dialog_values(const SongInfo& song, const Settings& settings, bool cmx) {
  const WriterSettings& w = settings.writers;
  MfiWriterSettings m;
  m.cmx = cmx;
  m.title = song.title.substr(0, std::min(song.title.size(), kMaxTextLength));
  int64_t tempo = static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten;
  m.tempo = static_cast<int>(std::clamp<int64_t>(tempo, kMinTempo, kMaxTempo));
  if (cmx) {
    m.polyphony = std::max(1, w.ezpmdhmn);
    m.sixteenChord = w.ezpmdhmn > kFourChordPolyphony;
  } else {
    m.layout = std::clamp(w.mldLayout, static_cast<int>(kMfiLayoutStandard), static_cast<int>(kMfiLayout503i));
    m.sixteenChord = m.layout == kMfiLayout503i;
    m.polyphony = std::max(1, w.mldhmn);
    if (m.sixteenChord && m.polyphony <= kFourChordPolyphony) m.polyphony = kSixteenChordPolyphony;
    if (!m.sixteenChord) m.polyphony = std::min(m.polyphony, kFourChordPolyphony);
    m.outputVoice = std::clamp(w.outputVoice, 0, kNoVoiceOrVolume);
    m.mailBase64 = w.mailBase64 != 0;
  }
  m.chordsInChannel = m.sixteenChord && w.chordsInChannel != 0;
  m.extendedScale = m.sixteenChord && w.extendedScale != 0;
  m.outputVelocity = m.extendedScale ? std::clamp(w.outputVelocity, 0, 127) : 0;

  // The key is fitted over the tracks to be written that hold notes; rhythm
  // tracks count only in 4-chord mode.
  int lo = 0;
  int hi = 0;
  for (const MfiTrackPlan& p : plan_mfi_tracks(song, settings, m)) {
    int i = p.track - 1;
    if (song.noteCount[i] == 0 || song.lowestPitch[i] == 0) continue;
    if (song.is_rhythm_track(p.track) && m.sixteenChord) continue;
    lo = lo == 0 ? song.lowestPitch[i] : std::min(lo, song.lowestPitch[i]);
    hi = std::max(hi, song.highestPitch[i]);
  }
  m.key = settings.play.KeyOffset;
  if (lo > 0) m.key = fit_key_by_octaves(m.key, lo, hi, fit_range(m));
  m.key = std::clamp(m.key, kMinKey, kMaxKey);
  return m;
}

std::vector<MfiTrackPlan> plan_mfi_tracks(const SongInfo& song, const Settings& settings,
                                          const MfiWriterSettings& m) {
  std::vector<MfiTrackPlan> plan;
  int limit = m.chordsInChannel ? kMaxTracks : std::min(std::max(1, m.polyphony), kMaxChannelsUsed);
  if (!m.cmx && !m.sixteenChord) limit = std::min(limit, kFourChordPolyphony);
  int last = std::min(song.scoreTrackCount, kMaxTracks);
  std::array<int, kChannelCount> partOfChannel{};  // part + 1 of the channel's first track, 0 = free
  std::array<bool, kChannelCount> used{};
  for (int t = 1; t <= last && static_cast<int>(plan.size()) < limit; ++t) {
    bool taken = track_is_written(settings, t, t == last, plan.empty());
    if (!taken) continue;
    int channel = -1;
    bool rhythm = song.is_rhythm_track(t);
    if (rhythm && m.sixteenChord && (!used[kRhythmChannel] || m.chordsInChannel)) {
      channel = kRhythmChannel;
    } else {
      int part = song.part[t - 1];
      if (m.sixteenChord && m.chordsInChannel && part != 0) {
        for (int c = 0; c < kChannelCount; ++c) {
          if (used[c] && partOfChannel[c] == part + 1 && c != kRhythmChannel) channel = c;
        }
      }
      for (int c = 0; channel < 0 && c < kChannelCount; ++c) {
        if (!used[c] && !(m.sixteenChord && c == kRhythmChannel)) channel = c;
      }
      if (channel < 0) break;
      if (!used[channel]) partOfChannel[channel] = part + 1;
    }
    used[channel] = true;
    plan.push_back({t, channel});
  }
  return plan;
}

namespace {

class MfiTrackWriter {
 public:
  MfiTrackWriter(const Score& score, const SongInfo& song, const Settings& settings, const MfiWriterSettings& m)
      : score_(score.bytes.data()),
        scoreLength_(std::min(score.length, score.bytes.size())),
        song_(song),
        settings_(settings),
        m_(m),
        relnflg_(settings.conv.relnflg != 0),
        round_(relnflg_ && settings.conv.l16nouse != 0 ? kCoarseRoundGrid : kFineRoundGrid, kKeptMultiple, kKeptLength),
        lengths_({kUnitsPerWhole, whole_note_ticks(song.timebase, settings.conv.noteLengthScale), kUnitsPerStep},
                 {relnflg_, kMergeGrid, kMergeTripletGrid},
                 {m.startCounter, m.endCounter, settings.conv.restcut != 0, song.leadIn,
                  whole_note_ticks(song.timebase, settings.conv.noteLengthScale)}),
        out_(kOutputCapacity) {}

  MfiTracks write() {
    plan_ = plan_mfi_tracks(song_, settings_, m_);
    write_header();
    MfiTracks result;
    for (std::size_t i = 0; i < plan_.size(); ++i) {
      if (out_.pos() >= kChunkLimit || stopped_) break;
      write_chunk(i);
      result.chunkChannels.push_back(plan_[i].channel);
    }
    out_.patch_be(kFileLengthOffset, static_cast<uint32_t>(out_.pos() - kFileLengthBase), kFileLengthSize);
    out_.patch_be(kTrackCountOffset, static_cast<uint32_t>(result.chunkChannels.size()), 1);
    result.bytes = out_.take();
    return result;
  }

 private:
  // ---- Header -----------------------------------------------------------------

  void put_tag(const char* tag) { out_.put_bytes(reinterpret_cast<const uint8_t*>(tag), kTagSize); }

  void put_sub_chunk(const char* tag, std::initializer_list<uint8_t> data) {
    put_tag(tag);
    out_.put_be(static_cast<uint32_t>(data.size()), kSubChunkLengthSize);
    for (uint8_t b : data) out_.put(b);
  }

  void write_header() {
    put_tag(kMagicMfi);
    out_.put_be(0, kFileLengthSize);
    out_.put_be(0, kHeaderLengthSize);
    out_.put(kContentType);
    out_.put(kContentSubtype);
    out_.put(0);  // track count, set at the end
    if (m_.cmx || m_.four_byte_notes()) {
      put_sub_chunk(kTagNoteSize, {0, static_cast<uint8_t>(m_.four_byte_notes() ? kFourByteNotesFlag : 0)});
    }
    if (m_.cmx) put_sub_chunk(kTagExtendedStatus, {0, 0});
    put_tag(kTagTitle);
    out_.put_be(static_cast<uint32_t>(m_.title.size()), kSubChunkLengthSize);
    out_.put_text(m_.title);
    if (!m_.mailBase64) put_sub_chunk(kTagSource, {kSourceValue});
    if (!m_.mailBase64 || m_.sixteenChord) {
      const char* version = m_.sixteenChord ? kVersionSixteenChord : kVersionFourChord;
      put_tag(kTagVersion);
      out_.put_be(kTagSize, kSubChunkLengthSize);
      put_tag(version);
    }
    out_.patch_be(kHeaderChunksLengthOffset, static_cast<uint32_t>(out_.pos() - kHeaderLengthBase), kHeaderLengthSize);
  }

  // ---- Chunks -----------------------------------------------------------------

  void put_extended(uint8_t status, int data) {
    out_.put(0);
    out_.put(kExtendedEventLead);
    out_.put(status);
    out_.put(static_cast<uint8_t>(data));
  }

  bool room() {
    if (out_.pos() > kWriteLimit) stopped_ = true;
    return !stopped_;
  }

  // Voice v (0-255) on the slot: bank then voice; the bank event only when the
  // slot's bank changes or, for the initial voice, above voice 63.
  void put_voice(int v, bool bankAlways) {
    v = std::clamp(v, 0, kMaxVoice);
    int bank = v / kVoicesPerBank;
    if (bankAlways || bank != bank_) {
      if (!room()) return;
      put_extended(kExtBank, bank + slotBits_);
      bank_ = bank;
    }
    if (!room()) return;
    put_extended(kExtVoice, v % kVoicesPerBank + slotBits_);
  }

  void write_chunk(std::size_t index) {
    const MfiTrackPlan& p = plan_[index];
    track_ = p.track;
    // The key detail rows follow the order of the written tracks.
    octaveShift_ = settings_.conv.octaveShift[std::min<std::size_t>(index, kMaxTracks - 1)];
    slot_ = p.channel % kSlotCount;
    slotBits_ = slot_ << kSlotShift;
    rhythm_ = song_.is_rhythm_track(track_);
    bank_ = 0;
    velocity_ = settings_.play.velocity;
    pendingDelta_ = 0;
    lengths_.begin_track();
    round_.begin_track();

    std::size_t chunkStart = out_.pos();
    put_tag(kTagTrack);
    out_.put_be(0, kTrackLengthSize);
    if (!m_.mailBase64) put_extended(kExtMarker, kMarkerStart);
    put_extended(kExtTempo48, m_.tempo < 1 ? kResetTempo : m_.tempo);
    if (index == 0 && m_.sixteenChord && !m_.chordsInChannel) write_rhythm_switches();
    write_initial_voice(index);
    write_events();
    // The end marker follows the last piece.
    out_.put(static_cast<uint8_t>(pendingDelta_));
    out_.put(kExtendedEventLead);
    bool f = !m_.cmx && m_.layout == kMfiLayoutF;
    out_.put(f ? kExtFiller : kExtMarker);
    out_.put(f ? 0 : kMarkerEnd);
    out_.patch_be(chunkStart + kTagSize, static_cast<uint32_t>(out_.pos() - chunkStart - kTrackHeaderSize),
                  kTrackLengthSize);
  }

  void write_rhythm_switches() {
    for (const MfiTrackPlan& p : plan_) {
      if (song_.is_rhythm_track(p.track) && p.channel != kRhythmChannel) {
        put_extended(kExtRhythmSwitch, (p.channel << kSwitchChannelShift) | kSwitchDrumFlag);
      }
    }
  }

  bool voices_follow_score() const {
    return settings_.play.KeepFileInstruments != 0 || per_track_program() == kFollowScore;
  }
  int per_track_program() const { return settings_.play.PerTrackProgram[track_ - 1]; }
  int per_track_volume() const { return settings_.play.PerTrackVolume[track_ - 1]; }
  bool volumes_follow_score() const {
    return settings_.play.StandardVolume != 0 || per_track_volume() == kFollowScore;
  }

  void write_initial_voice(std::size_t index) {
    int voice = -1;
    if (rhythm_ && m_.sixteenChord) {
      if (m_.cmx && index + 1 != kTenthTrack) put_extended(kExtChannelAssign, slotBits_ + kRhythmChannel);
      voice = kRhythmVoice;
    } else if (!m_.cmx && m_.outputVoice >= 1 && m_.outputVoice <= kMaxVoice + 1) {
      voice = m_.outputVoice - 1;
    } else if (!voices_follow_score() && m_.outputVoice != kNoVoiceOrVolume) {
      int program = per_track_program();
      voice = program > 0 ? program + kProgramVoiceBase : settings_.play.melody + kDefaultVoiceBase;
    } else if (rhythm_ && !m_.sixteenChord && m_.outputVoice != kNoVoiceOrVolume) {
      voice = kFourChordRhythmVoice;
    }
    if (voice >= 0) put_voice(voice, voice >= kVoicesPerBank);
    if (!volumes_follow_score() && m_.outputVoice != kNoVoiceOrVolume) {
      int v = per_track_volume();
      int volume = v > 0 ? (v - 1) / 2 : settings_.play.volume / 2;
      put_extended(kExtVolume, std::clamp(volume, 0, static_cast<int>(kSixBitMask)) + slotBits_);
    }
  }

  // ---- Score events ---------------------------------------------------------------

  void write_events() {
    std::size_t pos = static_cast<std::size_t>(std::max(0, song_.trackStart[track_ - 1]));
    bool afterNativeVoice = false;
    while (!stopped_) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Control) {
        afterNativeVoice = control(ev.code, ev.value, afterNativeVoice);
        continue;
      }
      afterNativeVoice = false;
      note_or_rest(ev, decode_score_event(score_, scoreLength_, pos));
    }
  }

  // Returns true when the event was a NativeVoice that was written.
  bool control(int code, int value, bool afterNativeVoice) {
    value = std::min(value, kMaxScoreKey);
    bool voices = voices_follow_score() && m_.outputVoice == 0 && !rhythm_;
    bool volumes = m_.outputVoice != kNoVoiceOrVolume;
    switch (code) {
      case kVelocityEvent:
        velocity_ = value;
        return false;
      case kNativeVoiceEvent:
        if (!voices || m_.cmx) return false;
        put_voice(value, false);
        return true;
      case kProgramEvent:
        // The stand-in program after a handset voice is not written.
        if (!voices || afterNativeVoice) return false;
        put_voice(value + kFirstGeneralMidiBank * kVoicesPerBank, true);
        return false;
      case kVolumeEvent:
        if (volumes && volumes_follow_score() && room()) put_extended(kExtVolume, value / 2 + slotBits_);
        return false;
      case kPanEvent:
        if (volumes && m_.sixteenChord && room()) put_extended(kExtPan, value / 2 + slotBits_);
        return false;
      default:
        return false;
    }
  }

  void note_or_rest(const ScoreEvent& ev, const ScoreEvent& next) {
    bool note = ev.kind == ScoreEvent::Note;
    int64_t d = 0;
    if (!lengths_.take(ev, next, d)) return;
    int k = round_.grid();
    if (relnflg_ && round_.needs(d)) d = round_.round(d, (note ? k / 3 : 0) + k / 3);
    int key = note ? output_key(std::min(ev.code, kMaxScoreKey)) : 0;
    write_pieces(note, key, d);
  }

  int output_key(int scoreKey) const {
    int64_t key;
    if (rhythm_ && m_.sixteenChord) {
      key = scoreKey + (m_.cmx ? 0 : kMfiRhythmKeyOffset);
    } else if (rhythm_ && m_.outputVoice == 0) {
      key = kRhythmKeyFourChord;
    } else {
      key = scoreKey + int64_t{kSemitonesPerOctave} * octaveShift_ + m_.key;
    }
    if (m_.four_byte_notes()) {
      if (key < kLowestExtendedKey) return floor_mod(key + 3, kSemitonesPerOctave) + kLowestExtendedKey;
      if (key > kHighestExtendedKey) return floor_mod(key + 1, kSemitonesPerOctave) + kHighestOutputKey;
      return static_cast<int>(key);
    }
    if (key < kLowestPlainKey) return floor_mod(key + 3, kSemitonesPerOctave) + kLowestPlainKey;
    if (slot_ == kSlot3 && key > kHighestSlot3Key) return floor_mod(key + 1, kSemitonesPerOctave) + 95;
    if (key > kHighestPlainKey) return floor_mod(key, kSemitonesPerOctave) + 96;
    return static_cast<int>(key);
  }

  int64_t piece_length(int64_t d) const {
    if (!relnflg_) return std::min<int64_t>(d, kMaxPlainPiece);
    if (d == kKeptPieceA || d == kKeptPieceB) return d;
    for (int p : kPieceLengths) {
      if (p <= d) return p;
    }
    return d;
  }

  void write_pieces(bool note, int key, int64_t d) {
    bool sounding = note;
    while (d > 0 && room()) {
      int64_t p = piece_length(d);
      int64_t rest = d - p;
      if (relnflg_ && round_.needs(rest)) rest = round_.round(rest, round_.grid() / 2);
      bool final = rest <= 0;
      put_piece(sounding, key, p, final);
      d = rest;
      // A drum hit in 16-chord mode sounds once; its remaining length is rest.
      if (rhythm_ && m_.sixteenChord) sounding = false;
    }
  }

  void put_piece(bool sounding, int key, int64_t p, bool final) {
    out_.put(static_cast<uint8_t>(pendingDelta_));
    if (!sounding) {
      out_.put(static_cast<uint8_t>((slotBits_ + kRestStatusOffset) & 0xFF));
      out_.put(0);
      if (m_.four_byte_notes()) out_.put(0);
    } else {
      int octave = 0;
      int number = key - kLowestPlainKey;
      if (m_.four_byte_notes() && key < kLowestPlainKey) {
        number = key - kExtendedLowBase;
        octave = kOctaveCodeDownTwo;
      } else if (m_.four_byte_notes() && key > kHighestOutputKey) {
        number = key - kExtendedHighBase;
        octave = kOctaveCodeUp;
      }
      out_.put(static_cast<uint8_t>(slotBits_ + (number & kKeyMask)));
      int gate = final ? (p == 1 ? 1 : static_cast<int>(p) - 1) : static_cast<int>(p) + 1;
      out_.put(static_cast<uint8_t>(gate));
      if (m_.four_byte_notes()) {
        int velocity = std::clamp(m_.outputVelocity != 0 ? m_.outputVelocity : velocity_, 0, 127);
        out_.put(static_cast<uint8_t>((velocity / 2) * 4 + octave));
      }
    }
    pendingDelta_ = p;
  }

  const uint8_t* score_;
  std::size_t scoreLength_;
  const SongInfo& song_;
  const Settings& settings_;
  const MfiWriterSettings& m_;
  const bool relnflg_;
  ShortLengthRounding round_;
  TrackLengths lengths_;
  ByteSink out_;
  std::vector<MfiTrackPlan> plan_;
  bool stopped_ = false;

  // The track being written.
  int track_ = 0;
  int octaveShift_ = 0;
  int slot_ = 0;
  int slotBits_ = 0;
  bool rhythm_ = false;
  int bank_ = 0;
  int velocity_ = 0;
  int64_t pendingDelta_ = 0;
};

}  // namespace

MfiTracks write_mfi_tracks(const Score& score, const SongInfo& song, const Settings& settings,
                           const MfiWriterSettings& mfi) {
  return MfiTrackWriter(score, song, settings, mfi).write();
}

}  // namespace mel
