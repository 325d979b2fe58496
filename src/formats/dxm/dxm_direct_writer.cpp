// The DXM writer from MIDI: the held Standard MIDI File or DXM bytes copied
// event by event into the DXM container, so the song keeps every voice the
// four channels and the rhythm channel can carry.
#include <algorithm>
#include <array>
#include <optional>

#include "common/byte_reader.h"
#include "common/saturate.h"
#include "formats/dxm/dxm_format.h"
#include "formats/dxm/dxm_writer.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace dxm;

constexpr int kSourceTracks = 128;
constexpr int kRhythmChannel = midi::kRhythmChannel;
using midi::kSemitonesPerOctave;
constexpr int kTopOctaveStart = 116;
// Only score tracks 1-16 have per-track instrument and volume choices here.
constexpr int kTracksWithChoices = 16;
constexpr uint8_t kModulation = 1;
constexpr uint8_t kSustain = 64;
// The copy stops once the output passes this position.
constexpr std::size_t kCopyLimit = 261888;

// What the channel plan made of one source track.
struct SourcePlan {
  int scoreTrack = -1;  // score track index (0-based), -1 = produced none
  int channel = -1;     // -1 = left out
  int octaveShift = 0;
};

class DirectDxmWriter {
 public:
  DirectDxmWriter(ByteView source, const SongInfo& song, const Settings& settings, const DxmWriterSettings& dxm)
      : in_(source), song_(song), play_(settings.play), conv_(settings.conv), dxm_(dxm), out_(kOutputCapacity) {
    wholeTicks_ = whole_note_ticks(song.timebase, conv_.noteLengthScale);
    int64_t step = static_cast<int64_t>(song.timebase / 4) * conv_.noteLengthScale / kScaleAsWritten;
    cutStart_ = static_cast<int64_t>(std::max(1, dxm.startCounter) - 1) * step;
    if (conv_.restcut != 0) cutStart_ = std::max<int64_t>(cutStart_, song.leadIn);
    cutEnd_ = dxm.endCounter > 0 ? static_cast<int64_t>(dxm.endCounter) * step : -1;
  }

  std::vector<uint8_t> write() {
    plan_tracks();
    write_container_head(out_, dxm_.title);
    midiAt_ = out_.pos();
    std::size_t pos = 0;
    while (pos + midi::kChunkHeadSize <= in_.size && !stopped_) {
      if (is_tag(pos, midi::kHeaderTag, midi::kDxmHeaderTag)) {
        pos = copy_header(pos);
      } else if (is_tag(pos, midi::kTrackTag, midi::kDxmTrackTag)) {
        pos = copy_track(pos);
      } else {
        ++pos;  // bytes outside chunks are skipped
      }
    }
    write_container_lengths(out_, midiAt_);
    return out_.take();
  }

 private:
  bool is_tag(std::size_t pos, const char* midiTag, const char* dxmTag) const {
    return in_.matches(pos, midiTag, midi::kTagSize) || in_.matches(pos, dxmTag, midi::kTagSize);
  }

  uint32_t be(std::size_t at, int n) const {
    ByteReader r(in_, at);
    return n == 2 ? r.u16be() : r.u32be();
  }

  // The n-th source track that produced a score track is score track n; the
  // selected ones take channels in order, each an octave-shift row.
  void plan_tracks() {
    std::vector<int> planned;
    int n = 0;
    int lastMapped = -1;
    for (int s = 0; s < kSourceTracks && n < kMaxTracks; ++s) {
      if (!song_.sourceTrackSet.test(s)) continue;
      plan_[s].scoreTrack = n;
      lastMapped = s;
      if (conv_.pseudo_chord_mode() || play_.track_selected(n + 1)) planned.push_back(s);
      ++n;
    }
    if (planned.empty() && lastMapped >= 0) planned.push_back(lastMapped);
    ChannelPlanner channels(dxm_.sharedChannels);
    int row = 0;
    for (int s : planned) {
      int t = plan_[s].scoreTrack + 1;
      plan_[s].channel = channels.assign(track_instrument(song_, play_, t), song_.is_rhythm_track(t));
      if (plan_[s].channel < 0) continue;
      plan_[s].octaveShift = conv_.octaveShift[std::min(row++, kMaxTracks - 1)];
    }
  }

  std::size_t copy_header(std::size_t pos) {
    format_ = static_cast<int>(be(pos + midi::kChunkHeadSize, 2));
    if (!headerWritten_) write_midi_header(out_, format_, static_cast<int>(be(pos + midi::kHeaderTrackCountAt, 2)));
    headerWritten_ = true;
    return pos + midi::kChunkHeadSize + std::min<std::size_t>(be(pos + midi::kTagSize, 4), in_.size);
  }

  // ---- One track chunk --------------------------------------------------------

  std::size_t copy_track(std::size_t pos) {
    if (!headerWritten_) {
      // A source without a header gets the one the score path writes.
      write_midi_header(out_, 0, 0);
      headerWritten_ = true;
    }
    dxmSource_ = in_.matches(pos, midi::kDxmTrackTag, midi::kTagSize);
    std::size_t end = static_cast<std::size_t>(
        std::min<uint64_t>(in_.size, uint64_t{pos} + midi::kChunkHeadSize + be(pos + midi::kTagSize, 4)));
    std::size_t chunkStart = out_.pos();
    put_tag(out_, midi::kDxmTrackTag);
    out_.put_be(0, 4);
    chunk_ = chunkIndex_++;
    time_ = 0;
    written_ = 0;
    carry_ = 0;
    outRunning_ = 0;
    ByteReader r(ByteView(in_.data, end), pos + midi::kChunkHeadSize);
    uint8_t running = 0;
    while (!r.at_end() && r.ok()) {
      time_ += r.vlq();
      uint8_t status = r.peek() & midi::kStatusBit ? r.u8() : running;
      if (status == midi::kMeta) {
        uint8_t type = r.u8();
        uint32_t length = r.vlq();
        std::size_t dataAt = r.pos();
        r.skip(length);
        if (type == midi::kMetaEndOfTrack) break;
        if (type == midi::kMetaTempo && length == midi::kTempoDataLength && r.ok()) put_tempo(dataAt);
        continue;
      }
      if (status == midi::kSysEx || status == midi::kSysExContinuation) {
        r.skip(r.vlq());
        continue;
      }
      if (!(status & midi::kStatusBit)) break;  // data without any status
      running = status;
      uint8_t a = r.u8();
      uint8_t b = data_bytes(status) == 2 ? r.u8() : 0;
      if (!r.ok()) break;
      channel_event(status, a, b);
      if (stopped_) break;
    }
    put_end_of_track(out_, static_cast<uint32_t>(take_delta(out_time(false))));
    out_.patch_be(chunkStart + midi::kTagSize, static_cast<uint32_t>(out_.pos() - chunkStart - midi::kChunkHeadSize), 4);
    return end;
  }

  int data_bytes(uint8_t status) const {
    switch (status & midi::kStatusMask) {
      case midi::kProgramChange:
      case midi::kChannelPressure:
        return 1;
      case midi::kNoteOff:
      case midi::kPitchBend:
        return dxmSource_ ? 1 : 2;
      default:
        return 2;
    }
  }

  // ---- Time -----------------------------------------------------------------

  // The event's time after the range cut, in source ticks; nullopt when the
  // event is not written (notes before the start, anything but note-offs
  // after the end, a note-on exactly at the end).
  std::optional<int64_t> out_time(bool note, bool noteOn = false) const {
    int64_t t = time_;
    if (t < cutStart_) {
      if (note) return std::nullopt;
      t = cutStart_;
    }
    if (cutEnd_ >= 0 && (t > cutEnd_ || (noteOn && t == cutEnd_))) {
      if (noteOn) return std::nullopt;
      t = cutEnd_;
    }
    return t - cutStart_;
  }

  // The delta in DXM ticks to an output time, with the rounding carry.
  int64_t take_delta(std::optional<int64_t> at) {
    int64_t t = at.value_or(written_);
    int64_t delta = std::max<int64_t>(0, t - written_);
    written_ = std::max(written_, t);
    int64_t scaled = delta * kUnitsPerWhole;
    carry_ += scaled % wholeTicks_;
    int64_t round = (wholeTicks_ / 2 + carry_) / wholeTicks_;
    carry_ -= round * wholeTicks_;
    return std::min<int64_t>(scaled / wholeTicks_ + round, kMaxDelta);
  }

  // ---- Events ---------------------------------------------------------------

  bool room() {
    if (out_.pos() > kCopyLimit) stopped_ = true;
    return !stopped_;
  }

  void put_event(std::optional<int64_t> at, uint8_t status, std::initializer_list<uint8_t> data) {
    if (!at || !room()) return;
    put_vlq3(out_, static_cast<uint32_t>(take_delta(at)));
    bool channel = status < midi::kFirstSystemStatus;
    if (!channel || status != outRunning_) out_.put(status);
    outRunning_ = channel ? status : 0;
    for (uint8_t d : data) out_.put(d);
  }

  void put_tempo(std::size_t dataAt) {
    int64_t value = (int64_t{in_.at(dataAt)} << 16) | (in_.at(dataAt + 1) << 8) | in_.at(dataAt + 2);
    int speed = std::max(1, play_.SpeedFactor);
    value = std::clamp<int64_t>(value * kSpeedAsWritten / speed, 1, midi::kMaxTempoValue);
    std::optional<int64_t> at = out_time(false);
    if (!at || !room()) return;
    put_vlq3(out_, static_cast<uint32_t>(take_delta(at)));
    out_.put(midi::kMeta);
    out_.put(midi::kMetaTempo);
    out_.put(static_cast<uint8_t>(midi::kTempoDataLength));
    out_.put_be(static_cast<uint32_t>(value), static_cast<int>(midi::kTempoDataLength));
    outRunning_ = 0;
  }

  const SourcePlan* plan_of(uint8_t status) const {
    int s = format_ == 0 ? (status & midi::kChannelMask) : chunk_;
    return s >= 0 && s < kSourceTracks ? &plan_[s] : nullptr;
  }

  // A per-track choice: 129 keeps the source value, 1-128 is value + 1, and
  // anything else (or a score track past 16) takes the default.
  static int choice(int perTrack, int sourceValue, int fallback) {
    if (perTrack == kFollowScore) return sourceValue;
    if (perTrack >= 1 && perTrack <= kFollowScore - 1) return perTrack - 1;
    return fallback;
  }
  int per_track(const std::array<int, kMaxTracks>& values, const SourcePlan& p) const {
    return p.scoreTrack >= 0 && p.scoreTrack < kTracksWithChoices ? values[p.scoreTrack] : 0;
  }

  int note_key(const SourcePlan& p, int key) const {
    int64_t k = key;
    if (p.channel != kRhythmChannel) {
      k += dxm_.key + int64_t{kSemitonesPerOctave} * p.octaveShift;
      // Note-offs fold like note-ons, so every folded note still ends.
      int fold = conv_.lowNoteFoldLevel;
      if (k < fold) k = floor_mod(k - fold, kSemitonesPerOctave) + fold;
    }
    if (k < 0) return floor_mod(k, kSemitonesPerOctave);
    if (k > midi::kMaxDataByte) return floor_mod(k - kTopOctaveStart, kSemitonesPerOctave) + kTopOctaveStart;
    return static_cast<int>(k);
  }

  void channel_event(uint8_t status, uint8_t a, uint8_t b) {
    const SourcePlan* p = plan_of(status);
    if (!p || p->channel < 0) return;
    uint8_t ch = static_cast<uint8_t>(p->channel);
    bool rhythm = p->channel == kRhythmChannel;
    uint8_t kind = status & midi::kStatusMask;
    bool noteOff = kind == midi::kNoteOff || (kind == midi::kNoteOn && b == 0);
    if (noteOff) {
      if (rhythm) return;  // drum notes have no note-off
      put_event(out_time(true), midi::kNoteOff | ch, {data_byte(note_key(*p, a))});
      return;
    }
    std::optional<int64_t> at = out_time(kind == midi::kNoteOn, kind == midi::kNoteOn);
    if (cutEnd_ >= 0 && time_ > cutEnd_) return;  // after the end only note-offs
    switch (kind) {
      case midi::kNoteOn: {
        int velocity = b;
        if (a <= conv_.lowNoteCutLevel) velocity = 0;
        else if (dxm_.velocity != 0 && velocity != 0) velocity = dxm_.velocity;
        put_event(at, midi::kNoteOn | ch, {data_byte(note_key(*p, a)), data_byte(velocity)});
        return;
      }
      case midi::kControlChange:
        if (a == midi::kControllerVolume) {
          int v = play_.StandardVolume == 0 ? choice(per_track(play_.PerTrackVolume, *p), b, play_.volume) : b;
          put_event(at, midi::kControlChange | ch, {a, data_byte(v)});
        } else if (dxm_.keepPitchBend && (a == kModulation || a == kSustain)) {
          put_event(at, midi::kControlChange | ch, {a, data_byte(b)});
        }
        return;
      case midi::kProgramChange: {
        int program = play_.KeepFileInstruments == 0 ? choice(per_track(play_.PerTrackProgram, *p), a, play_.melody) : a;
        put_event(at, midi::kProgramChange | ch, {data_byte(program)});
        return;
      }
      case midi::kPitchBend:
        if (dxm_.keepPitchBend) put_event(at, midi::kPitchBend | ch, {data_byte(dxmSource_ ? a : b)});
        return;
      default:
        return;  // key and channel pressure are dropped
    }
  }

  ByteView in_;
  const SongInfo& song_;
  const PlaybackOptions& play_;
  const ConversionOptions& conv_;
  const DxmWriterSettings& dxm_;
  ByteSink out_;
  std::array<SourcePlan, kSourceTracks> plan_{};
  int wholeTicks_ = 1;
  int64_t cutStart_ = 0;
  int64_t cutEnd_ = -1;
  std::size_t midiAt_ = 0;
  bool headerWritten_ = false;
  int format_ = 1;
  bool dxmSource_ = false;
  bool stopped_ = false;
  // The chunk being copied.
  int chunk_ = 0;
  int chunkIndex_ = 0;
  int64_t time_ = 0;     // source ticks
  int64_t written_ = 0;  // source ticks of the last written event, after the cut
  int64_t carry_ = 0;
  uint8_t outRunning_ = 0;
};

}  // namespace

std::vector<uint8_t> write_dxm_tracks_from_midi(ByteView source, const SongInfo& song, const Settings& settings,
                                                const DxmWriterSettings& dxm) {
  return DirectDxmWriter(source, song, settings, dxm).write();
}

std::vector<uint8_t> write_dxm_file_from_midi(ByteView source, const SongInfo& song, const Settings& settings) {
  DxmWriterSettings dxm = dxm_dialog_values(song, settings);
  std::vector<uint8_t> tracks = write_dxm_tracks_from_midi(source, song, settings, dxm);
  return finish_dxm(ByteView(tracks), dxm);
}

}  // namespace mel
