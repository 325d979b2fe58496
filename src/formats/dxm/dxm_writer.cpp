#include "formats/dxm/dxm_writer.h"

#include "formats/dxm/dxm_format.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "midi/midi_bytes.h"
#include "score/length_helpers.h"

namespace mel {

namespace {

// ---- Score path ---------------------------------------------------------------

using namespace dxm;

constexpr int kUnitsPerStep = kUnitsPerWhole / 16;
constexpr int kConductorLength = 11;
constexpr int kMinTempo = 30;
constexpr int kMaxTempo = 250;
constexpr int kMinKey = -36;
constexpr int kMaxKey = 36;
constexpr int kRhythmChannel = midi::kRhythmChannel;
constexpr int kSnareKey = 38;
using midi::kSemitonesPerOctave;
// Instrument values (program + 1) of guitar fret noise and gunshot.
constexpr int kGuitarNoiseInstrument = 121;
constexpr int kGunshotInstrument = 128;
// The first stage stops writing once the output passes this position.
constexpr std::size_t kWriteLimit = 262119;

}  // namespace

// ---- Channel plan ---------------------------------------------------------------

std::vector<DxmTrackPlan> plan_dxm_tracks(const SongInfo& song, const PlaybackOptions& play,
                                          const ConversionOptions& conv, const DxmWriterSettings& dxm) {
  std::vector<DxmTrackPlan> plan;
  ChannelPlanner channels(dxm.sharedChannels);
  int rows = 0;
  int last = std::min(song.scoreTrackCount, kMaxTracks);
  for (int t = 1; t <= last; ++t) {
    bool taken = conv.pseudo_chord_mode() || play.track_selected(t) || (t == last && plan.empty());
    if (!taken) continue;
    int inst = track_instrument(song, play, t);
    bool rhythm = song.is_rhythm_track(t);
    bool snare = !rhythm && dxm.rhythmReplace && (inst == kGuitarNoiseInstrument || inst == kGunshotInstrument);
    int channel = channels.assign(inst, rhythm || snare);
    if (channel < 0) continue;  // all four channels taken: dropped
    bool melodic = channel != kRhythmChannel;
    plan.push_back({t, channel, melodic ? rows++ : -1, snare});
  }
  return plan;
}

namespace {

class DxmScoreWriter {
 public:
  DxmScoreWriter(const Score& score, const SongInfo& song, const Settings& settings, const DxmWriterSettings& dxm)
      : score_(score.bytes.data()),
        scoreLength_(std::min(score.length, score.bytes.size())),
        song_(song),
        play_(settings.play),
        conv_(settings.conv),
        dxm_(dxm),
        wholeTicks_(whole_note_ticks(song.timebase, settings.conv.noteLengthScale)),
        out_(kOutputCapacity) {}

  std::vector<uint8_t> write() {
    write_container_head(out_, dxm_.title);
    std::size_t midiAt = out_.pos();
    write_midi_header(out_, 0, 0);
    write_conductor();
    for (const DxmTrackPlan& p : plan()) {
      if (stopped_) break;
      write_track(p);
    }
    write_container_lengths(out_, midiAt);
    return out_.take();
  }

 private:
  std::vector<DxmTrackPlan> plan() const { return plan_dxm_tracks(song_, play_, conv_, dxm_); }

  void write_conductor() {
    put_tag(out_, midi::kDxmTrackTag);
    out_.put_be(kConductorLength, 4);
    out_.put(0);
    out_.put(midi::kMeta);
    out_.put(midi::kMetaTempo);
    out_.put(static_cast<uint8_t>(midi::kTempoDataLength));
    int tempo = dxm_.tempo < 1 ? kResetTempo : dxm_.tempo;
    out_.put_be(static_cast<uint32_t>(midi::kMicrosecondsPerMinute / tempo), 3);
    put_end_of_track(out_, 0);
  }

  bool room() {
    if (out_.pos() > kWriteLimit) stopped_ = true;
    return !stopped_;
  }

  void put_channel_event(uint32_t delta, uint8_t status, std::initializer_list<uint8_t> data) {
    put_vlq3(out_, delta);
    out_.put(status);
    for (uint8_t b : data) out_.put(b);
  }

  void write_track(const DxmTrackPlan& p) {
    std::size_t chunkStart = out_.pos();
    put_tag(out_, midi::kDxmTrackTag);
    out_.put_be(0, 4);
    const int t = p.track;
    const uint8_t ch = static_cast<uint8_t>(p.channel);
    int program = play_.PerTrackProgram[t - 1];
    int volume = play_.PerTrackVolume[t - 1];
    bool ownPrograms = play_.KeepFileInstruments != 0 || program == kFollowScore;
    bool ownVolumes = play_.StandardVolume != 0 || volume == kFollowScore;
    if (!ownPrograms) put_channel_event(0, midi::kProgramChange | ch, {data_byte(program > 0 ? program - 1 : play_.melody)});
    if (!ownVolumes) {
      put_channel_event(0, midi::kControlChange | ch,
                        {midi::kControllerVolume, data_byte(volume > 0 ? volume - 1 : play_.volume)});
    }

    RangeCut cut(RangeCutSettings{dxm_.startCounter, dxm_.endCounter, conv_.restcut != 0, song_.leadIn, wholeTicks_},
                 kUnitsPerStep);
    int velocity = play_.velocity;
    int64_t carry = 0;
    int64_t elapsed = 0;
    int64_t pending = 0;
    int shift = p.octaveRow >= 0 && p.octaveRow < kMaxTracks ? conv_.octaveShift[p.octaveRow] : 0;
    std::size_t pos = static_cast<std::size_t>(std::max(0, song_.trackStart[t - 1]));
    while (room()) {
      ScoreEvent ev = decode_score_event(score_, scoreLength_, pos);
      if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
      pos += ev.size;
      if (ev.kind == ScoreEvent::Control) {
        if (ev.code == kVelocityEvent) velocity = ev.value;
        if (ev.code == kProgramEvent && ownPrograms) put_channel_event(0, midi::kProgramChange | ch, {data_byte(ev.value)});
        if (ev.code == kVolumeEvent && ownVolumes) {
          put_channel_event(0, midi::kControlChange | ch, {midi::kControllerVolume, data_byte(ev.value)});
        }
        continue;
      }
      int64_t d = convert_length(ev.value, carry, kUnitsPerWhole, wholeTicks_);
      if (d == 0 && p.channel != kRhythmChannel) continue;
      elapsed += d;
      if (!cut.keep(elapsed, d)) continue;
      if (ev.kind == ScoreEvent::Rest) {
        pending += d;
        continue;
      }
      int64_t key = std::min<int>(ev.code, midi::kMaxDataByte);
      if (p.snare) {
        key = kSnareKey;
      } else if (p.channel != kRhythmChannel) {
        key += dxm_.key + int64_t{kSemitonesPerOctave} * shift;
      }
      uint8_t k = static_cast<uint8_t>(fold_key(key));
      int v = dxm_.velocity != 0 ? dxm_.velocity : velocity;
      put_channel_event(static_cast<uint32_t>(std::min<int64_t>(pending, kMaxDelta)), midi::kNoteOn | ch,
                        {k, data_byte(v)});
      if (p.channel == kRhythmChannel) {
        pending = d;  // drum notes have no note-off
      } else {
        put_channel_event(static_cast<uint32_t>(std::min<int64_t>(d, kMaxDelta)), midi::kNoteOff | ch, {k});
        pending = 0;
      }
    }
    if (pending > 0) put_channel_event(static_cast<uint32_t>(std::min<int64_t>(pending, kMaxDelta)), midi::kNoteOff | ch, {0});
    put_end_of_track(out_, 0);
    out_.patch_be(chunkStart + midi::kTagSize, static_cast<uint32_t>(out_.pos() - chunkStart - midi::kChunkHeadSize), 4);
  }

  const uint8_t* score_;
  std::size_t scoreLength_;
  const SongInfo& song_;
  const PlaybackOptions& play_;
  const ConversionOptions& conv_;
  const DxmWriterSettings& dxm_;
  const int wholeTicks_;
  ByteSink out_;
  bool stopped_ = false;
};

// ---- Finishing stage ------------------------------------------------------------

constexpr std::size_t kMaxChunks = 128;
constexpr std::size_t kMaxTickEvents = 32;
constexpr int kMaxSounding = 12;
constexpr int kChordLimit = 13;
constexpr int kMaxMelodicAlways = 5;
constexpr int kMaxRhythmAtOnce = 2;
constexpr int kRecentLimit = 12;
constexpr int kRecentFallPerTick = 6;
constexpr int64_t kShortGap = 4;
constexpr std::size_t kLimitMargin = 10;
constexpr std::size_t kLimitEnd = 6;
constexpr uint8_t kRhythmNoteOn = midi::kNoteOn | kRhythmChannel;

struct ChunkCursor {
  std::size_t pos = 0;
  std::size_t end = 0;
  int64_t time = 0;
  uint8_t running = 0;
  bool exhausted = false;
};

// One event read from a chunk.
struct DxmEvent {
  uint8_t status = 0;
  std::size_t dataAt = 0;
  std::size_t dataSize = 0;
  std::size_t next = 0;
};

class DxmFinisher {
 public:
  DxmFinisher(ByteView in, const DxmWriterSettings& dxm)
      : in_(in), dxm_(dxm), out_(kOutputCapacity) {
    limit_ = dxm.sizeLimit > 0 ? static_cast<std::size_t>(dxm.sizeLimit) : kOutputCapacity;
    limit_ = std::min(limit_, kOutputCapacity);
  }

  std::vector<uint8_t> run() {
    std::size_t midiAt = midi_part_offset();
    out_.put_bytes(in_.data, midiAt);
    write_midi_header(out_, 0, 1);
    collect_chunks(midiAt);
    std::size_t chunkStart = out_.pos();
    put_tag(out_, midi::kDxmTrackTag);
    out_.put_be(0, 4);
    merge();
    int64_t endTime = stopped_ ? lastWritten_ : std::max(lastWritten_, latestEnd_);
    put_end_of_track(out_, static_cast<uint32_t>(std::min<int64_t>(endTime - lastWritten_, kMaxDelta)));
    out_.patch_be(chunkStart + midi::kTagSize, static_cast<uint32_t>(out_.pos() - chunkStart - midi::kChunkHeadSize), 4);
    if (midiAt >= directory_end()) write_container_lengths(out_, midiAt);
    return out_.take();
  }

 private:
  uint32_t be32(std::size_t at) const { return ByteReader(in_, at).u32be(); }

  // The MIDI part begins where directory entry 17 says (a title may hold
  // the bytes "CThd" itself).
  std::size_t midi_part_offset() const {
    std::size_t at = be32(entry_at(kMidiPartEntry) + kEntryOffsetAt);
    return std::min(at, in_.size);
  }

  void collect_chunks(std::size_t pos) {
    if (in_.matches(pos, midi::kDxmHeaderTag, midi::kTagSize)) pos += midi::kChunkHeadSize + be32(pos + midi::kTagSize);
    while (pos + midi::kChunkHeadSize <= in_.size && chunks_.size() < kMaxChunks &&
           in_.matches(pos, midi::kDxmTrackTag, midi::kTagSize)) {
      ChunkCursor c;
      c.pos = pos + midi::kChunkHeadSize;
      c.end = static_cast<std::size_t>(std::min<uint64_t>(in_.size, uint64_t{c.pos} + be32(pos + midi::kTagSize)));
      pos = c.end;
      c.time = read_delta(c);
      chunks_.push_back(c);
    }
  }

  int64_t read_delta(ChunkCursor& c) const {
    uint32_t value = 0;
    for (int i = 0; i < 4 && c.pos < c.end; ++i) {
      uint8_t b = in_.at(c.pos++);
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    return value;
  }

  static std::size_t data_size(uint8_t status) {
    switch (status & midi::kStatusMask) {
      case midi::kNoteOn:
      case midi::kKeyPressure:
      case midi::kControlChange:
        return 2;
      default:
        return 1;
    }
  }

  // Reads the event at the cursor (after its delta); nullopt-like status 0 at
  // the end of the chunk or an end-of-track event.
  DxmEvent peek(const ChunkCursor& c) const {
    DxmEvent ev;
    std::size_t p = c.pos;
    if (p >= c.end) return ev;
    uint8_t b = in_.at(p);
    if (b & midi::kStatusBit) {
      ev.status = b;
      ++p;
    } else {
      ev.status = c.running;
    }
    if (ev.status == midi::kMeta) {
      if (in_.at(p) == midi::kMetaEndOfTrack) return DxmEvent{};
      ev.dataAt = p;
      ev.dataSize = 2 + in_.at(p + 1);
    } else if (ev.status == midi::kSysEx || ev.status == midi::kSysExContinuation) {
      ev.dataAt = p;
      ev.dataSize = 1 + in_.at(p);
    } else if (ev.status & midi::kStatusBit) {
      ev.dataAt = p;
      ev.dataSize = data_size(ev.status);
    } else {
      return DxmEvent{};  // data without any status
    }
    ev.next = ev.dataAt + ev.dataSize;
    if (ev.next > c.end) return DxmEvent{};
    return ev;
  }

  // The chunk whose next event comes first; equal times go to the lower
  // running status, then to the earlier chunk.
  int next_chunk() {
    int best = -1;
    for (int i = 0; i < static_cast<int>(chunks_.size()); ++i) {
      ChunkCursor& c = chunks_[i];
      if (c.exhausted) continue;
      if (peek(c).status == 0) {
        c.exhausted = true;
        latestEnd_ = std::max(latestEnd_, c.time);
        continue;
      }
      if (best < 0) {
        best = i;
        continue;
      }
      const ChunkCursor& b = chunks_[best];
      if (c.time < b.time || (c.time == b.time && c.running < b.running)) best = i;
    }
    return best;
  }

  bool is_note_on(const DxmEvent& ev) const {
    return (ev.status & midi::kStatusMask) == midi::kNoteOn && in_.at(ev.dataAt + 1) != 0;
  }
  bool is_note_off(const DxmEvent& ev) const {
    uint8_t kind = ev.status & midi::kStatusMask;
    return kind == midi::kNoteOff || (kind == midi::kNoteOn && in_.at(ev.dataAt + 1) == 0);
  }

  void new_tick(int64_t time) {
    if (time == previousTime_) return;
    int64_t gap = time - previousTime_;
    rhythmCount_ = 0;
    recent_ = gap < kShortGap && recent_ >= kRecentFallPerTick * gap ? recent_ - kRecentFallPerTick * gap : 0;
    tickEvents_.clear();
    previousTime_ = time;
  }

  // The note limiting of option 505; false drops the event.
  bool passes_chord_limit(const DxmEvent& ev) {
    int id = (ev.status & midi::kChannelMask) * 256 + in_.at(ev.dataAt);
    if (is_note_on(ev)) {
      int sounding = static_cast<int>(sounding_.size());
      bool rhythm = ev.status == kRhythmNoteOn;
      bool keep = (sounding + rhythmCount_ + 1 < kChordLimit && recent_ < kRecentLimit) ||
                  (!rhythm && sounding <= kMaxMelodicAlways) || (rhythm && rhythmCount_ < kMaxRhythmAtOnce);
      if (!keep) return false;
      if (rhythm) {
        ++rhythmCount_;
      } else if (sounding < kMaxSounding) {
        sounding_.push_back(id);
      }
      ++recent_;
      return true;
    }
    if (is_note_off(ev)) {
      auto it = std::find(sounding_.begin(), sounding_.end(), id);
      if (it == sounding_.end()) return false;
      sounding_.erase(it);
      ++recent_;
    }
    return true;
  }

  // A non-note event repeating the status and first data byte of one already
  // written at this tick replaces that one.
  bool overwrite_at_tick(const DxmEvent& ev) {
    uint8_t kind = ev.status & midi::kStatusMask;
    if (kind == midi::kNoteOn || kind == midi::kNoteOff) return false;
    for (const TickEvent& t : tickEvents_) {
      if (t.status == ev.status && out_.at(t.dataAt) == in_.at(ev.dataAt) && t.dataSize == ev.dataSize) {
        for (std::size_t i = 0; i < ev.dataSize; ++i) out_.patch_be(t.dataAt + i, in_.at(ev.dataAt + i), 1);
        return true;
      }
    }
    return false;
  }

  static std::size_t vlq_size(int64_t v) { return v >= 0x4000 ? 3 : v >= 0x80 ? 2 : 1; }

  void append(const DxmEvent& ev, int64_t time) {
    int64_t delta = std::min<int64_t>(time - lastWritten_, kMaxDelta);
    bool channel = ev.status < midi::kFirstSystemStatus;
    bool putStatus = !channel || ev.status != outRunning_;
    std::size_t size = vlq_size(delta) + (putStatus ? 1 : 0) + ev.dataSize;
    if (out_.pos() + size + kLimitMargin > limit_ || out_.pos() + kLimitEnd >= limit_) {
      stopped_ = true;
      return;
    }
    put_vlq3(out_, static_cast<uint32_t>(delta));
    if (putStatus) out_.put(ev.status);
    outRunning_ = channel ? ev.status : 0;
    std::size_t dataAt = out_.pos();
    out_.put_bytes(in_.data + ev.dataAt, ev.dataSize);
    if (tickEvents_.size() < kMaxTickEvents && (ev.status & midi::kStatusMask) != midi::kNoteOn &&
        (ev.status & midi::kStatusMask) != midi::kNoteOff) {
      tickEvents_.push_back({ev.status, dataAt, ev.dataSize});
    }
    lastWritten_ = time;
  }

  void merge() {
    while (!stopped_) {
      int i = next_chunk();
      if (i < 0) break;
      ChunkCursor& c = chunks_[i];
      DxmEvent ev = peek(c);
      int64_t time = c.time;
      if (ev.status < midi::kFirstSystemStatus) c.running = ev.status;
      c.pos = ev.next;
      c.time += read_delta(c);
      new_tick(time);
      if (dxm_.chordLimit && !passes_chord_limit(ev)) continue;
      if (overwrite_at_tick(ev)) continue;
      append(ev, time);
    }
  }

  struct TickEvent {
    uint8_t status;
    std::size_t dataAt;
    std::size_t dataSize;
  };

  ByteView in_;
  const DxmWriterSettings& dxm_;
  ByteSink out_;
  std::size_t limit_;
  std::vector<ChunkCursor> chunks_;
  std::vector<int> sounding_;
  std::vector<TickEvent> tickEvents_;
  int rhythmCount_ = 0;
  int64_t recent_ = 0;
  int64_t previousTime_ = 0;
  int64_t lastWritten_ = 0;
  int64_t latestEnd_ = 0;
  uint8_t outRunning_ = 0;
  bool stopped_ = false;
};

}  // namespace

DxmWriterSettings dxm_dialog_values(const SongInfo& song, const Settings& settings) {
  const WriterSettings& w = settings.writers;
  DxmWriterSettings d;
  d.title = song.title.substr(0, std::min(song.title.size(), kMaxTextLength));
  int64_t tempo = static_cast<int64_t>(song.tempo) * settings.play.SpeedFactor / kSpeedAsWritten;
  d.tempo = static_cast<int>(std::clamp<int64_t>(tempo, kMinTempo, kMaxTempo));
  d.key = std::clamp(settings.play.KeyOffset, kMinKey, kMaxKey);
  d.sizeLimit = std::max(0, w.dxmbyte);
  d.velocity = std::clamp(w.dxmVelocity, 0, 127);
  d.sharedChannels = w.dxmSharedChannels != 0;
  d.rhythmReplace = w.dxmRhythmReplace != 0;
  d.chordLimit = w.dxmChordLimit != 0;
  d.keepPitchBend = w.dxmPitchBend != 0;
  return d;
}

std::vector<uint8_t> write_dxm_tracks(const Score& score, const SongInfo& song, const Settings& settings,
                                      const DxmWriterSettings& dxm) {
  return DxmScoreWriter(score, song, settings, dxm).write();
}

std::vector<uint8_t> finish_dxm(ByteView container, const DxmWriterSettings& dxm) {
  return DxmFinisher(container, dxm).run();
}

std::vector<uint8_t> write_dxm_file(const Score& score, const SongInfo& song, const Settings& settings) {
  DxmWriterSettings dxm = dxm_dialog_values(song, settings);
  std::vector<uint8_t> tracks = write_dxm_tracks(score, song, settings, dxm);
  return finish_dxm(ByteView(tracks), dxm);
}

}  // namespace mel
