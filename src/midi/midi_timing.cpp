#include "midi/midi_timing.h"

#include <algorithm>
#include <limits>

#include "midi/midi_bytes.h"

namespace mel {

namespace {

// A format 2 file holds independent patterns that play one after another.
constexpr int kSequentialPatternsFormat = 2;

// A time-code division: minus the frames per second in the high byte (as a
// signed byte), ticks per frame in the low byte.
constexpr int kFramesPerSecondShift = 8;
constexpr uint16_t kTicksPerFrameMask = 0xFF;
constexpr int kDropFrameRate = 29;             // 29.97 frames per second
constexpr uint32_t kMicrosecondsPerSecond = 1000000;
// At 30000/1001 frames per second a frame lasts 1001000/30 = 100100/3 µs.
constexpr uint32_t kDropFrameMicros = 100100;
constexpr uint32_t kDropFrameDivisor = 3;

constexpr int kSixteenthsPerQuarter = 4;
// A sixteenth at the default tempo (used for time-code files): 125 ms.
constexpr uint64_t kDefaultSixteenthMicros = kDefaultMidiTempo / kSixteenthsPerQuarter;

// Data bytes that follow a channel status.
int channel_data_count(uint8_t status) {
  switch (status & midi::kStatusMask) {
    case midi::kProgramChange:
    case midi::kChannelPressure: return 1;
    default: return 2;
  }
}

uint32_t tempo_value(const uint8_t* data) {
  return (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
}

uint64_t add_ticks(uint64_t tick, uint32_t delta) { return std::min<uint64_t>(tick + delta, kMaxMidiTick); }

struct RawTempo {
  uint64_t tick;
  uint32_t microsPerQuarter;
};

// Reads the events of one track chunk (bytes [begin, end) of smf).
class TrackParser {
 public:
  // The track's times count from startTick (0, or for a format 2 pattern the
  // end of the pattern before it).
  TrackParser(ByteView track, uint32_t index, uint64_t startTick, std::vector<TimedMidiEvent>& events,
              std::vector<uint8_t>& bytes, std::vector<RawTempo>& tempos)
      : in_(track), index_(index), startTick_(startTick), events_(events), bytes_(bytes), tempos_(tempos) {}

  // Returns the time of the track's last complete event (the start tick when
  // it has none).
  uint64_t run() {
    uint64_t latest = startTick_;
    uint64_t tick = startTick_;
    uint8_t running = 0;
    while (!in_.at_end()) {
      uint32_t delta = in_.vlq();
      if (!in_.ok() || in_.at_end()) break;
      tick = add_ticks(tick, delta);
      uint8_t status = in_.peek();
      if (status & midi::kStatusBit) {
        in_.u8();
      } else if (running != 0) {
        status = running;
      } else {
        in_.u8();  // a data byte with no status to run on: skip it
        continue;
      }
      bool ended = false;
      bool stored = false;
      if (status < midi::kFirstSystemStatus) {
        running = status;
        stored = read_channel_event(tick, status);
      } else if (status == midi::kMeta) {
        stored = read_meta_event(tick, ended);
      } else if (status == midi::kSysEx || status == midi::kSysExContinuation) {
        stored = read_sysex_event(tick, status);
      } else {
        // System common and real-time bytes have no place in a file: their
        // length is unknown, so only the byte itself is passed over.
        continue;
      }
      if (!stored) break;  // truncated event
      latest = tick;
      if (ended) break;
    }
    return latest;
  }

 private:
  std::size_t begin_event(uint64_t tick) {
    TimedMidiEvent event;
    event.tick = tick;
    event.track = index_;
    event.offset = static_cast<uint32_t>(bytes_.size());
    events_.push_back(event);
    return bytes_.size();
  }

  void end_event() { events_.back().size = static_cast<uint32_t>(bytes_.size() - events_.back().offset); }

  void drop_event(std::size_t mark) {
    bytes_.resize(mark);
    events_.pop_back();
  }

  bool read_channel_event(uint64_t tick, uint8_t status) {
    std::size_t mark = begin_event(tick);
    bytes_.push_back(status);
    for (int i = channel_data_count(status); i > 0; --i) bytes_.push_back(in_.u8() & midi::kMaxDataByte);
    if (!in_.ok()) {
      drop_event(mark);
      return false;
    }
    end_event();
    return true;
  }

  bool copy_payload(uint32_t length) {
    if (length > in_.remaining()) {
      in_.skip(length);
      return false;
    }
    const uint8_t* data = in_.view().data + in_.pos();
    bytes_.insert(bytes_.end(), data, data + length);
    in_.skip(length);
    return true;
  }

  bool read_meta_event(uint64_t tick, bool& ended) {
    uint8_t type = in_.u8();
    uint32_t length = in_.vlq();
    if (!in_.ok()) return false;
    std::size_t mark = begin_event(tick);
    bytes_.push_back(midi::kMeta);
    bytes_.push_back(type);
    std::size_t data = bytes_.size();
    if (!copy_payload(length)) {
      drop_event(mark);
      return false;
    }
    end_event();
    if (type == midi::kMetaTempo && length >= midi::kTempoDataLength) {
      uint32_t value = tempo_value(&bytes_[data]);
      if (value > 0) tempos_.push_back({tick, value});  // a tempo of 0 cannot be timed
    }
    ended = type == midi::kMetaEndOfTrack;
    return true;
  }

  bool read_sysex_event(uint64_t tick, uint8_t status) {
    uint32_t length = in_.vlq();
    if (!in_.ok()) return false;
    std::size_t mark = begin_event(tick);
    bytes_.push_back(status);
    if (!copy_payload(length)) {
      drop_event(mark);
      return false;
    }
    end_event();
    return true;
  }

  ByteReader in_;
  uint32_t index_;
  uint64_t startTick_;
  std::vector<TimedMidiEvent>& events_;
  std::vector<uint8_t>& bytes_;
  std::vector<RawTempo>& tempos_;
};

// Each track's events are in time order already: merging the tracks pairwise
// gives the whole list in time order, ties in track order.
void merge_tracks(std::vector<TimedMidiEvent>& events, std::vector<std::size_t> starts) {
  auto earlier = [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.tick < b.tick; };
  starts.push_back(events.size());
  while (starts.size() > 2) {
    std::vector<std::size_t> merged;
    for (std::size_t i = 0; i + 1 < starts.size(); i += 2) {
      merged.push_back(starts[i]);
      if (i + 2 < starts.size()) {
        std::inplace_merge(events.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                           events.begin() + static_cast<std::ptrdiff_t>(starts[i + 1]),
                           events.begin() + static_cast<std::ptrdiff_t>(starts[i + 2]), earlier);
      }
    }
    merged.push_back(events.size());
    // Tracks without events leave equal marks behind: empty ranges go.
    merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    starts = std::move(merged);
  }
}

// Offset of the first header chunk (RMID files wrap the file in a RIFF chunk),
// or the size when there is none.
std::size_t find_header(ByteView smf) {
  for (std::size_t i = 0; i + midi::kTagSize <= smf.size; ++i) {
    if (smf.matches(i, midi::kHeaderTag, midi::kTagSize)) return i;
  }
  return smf.size;
}

}  // namespace

MidiTimeline MidiTimeline::parse(ByteView smf) {
  MidiTimeline timeline;
  std::size_t headerAt = find_header(smf);
  if (headerAt + midi::kChunkHeadSize + midi::kHeaderDataLength > smf.size) return timeline;

  ByteReader in(smf, headerAt + midi::kTagSize);
  uint32_t headerLength = std::max(in.u32be(), midi::kHeaderDataLength);
  timeline.hasHeader_ = true;
  timeline.format_ = static_cast<int>(in.u16be());
  in.u16be();  // declared track count: the chunks themselves are counted
  timeline.division_ = static_cast<uint16_t>(in.u16be());
  std::size_t headerEnd = headerAt + midi::kChunkHeadSize;
  // A header that claims more than the file holds leaves no room for tracks
  // (compared before adding, so that no size can wrap).
  std::size_t next = headerLength <= smf.size - headerEnd ? headerEnd + headerLength : smf.size;
  bool sequential = timeline.format_ == kSequentialPatternsFormat;
  uint64_t patternStart = 0;

  // Most events take three or more bytes of the file; with running status
  // resolved, their bytes take at most half as much again.
  timeline.events_.reserve(std::min<std::size_t>(smf.size / 3, std::size_t{1} << 20));
  timeline.bytes_.reserve(smf.size + smf.size / 2);
  std::vector<RawTempo> tempos;
  std::vector<std::size_t> trackStarts;  // where each track's events begin
  while (next <= smf.size && smf.size - next >= midi::kChunkHeadSize) {
    bool isTrack = smf.matches(next, midi::kTrackTag, midi::kTagSize);
    ByteReader head(smf, next + midi::kTagSize);
    uint32_t length = head.u32be();
    std::size_t begin = next + midi::kChunkHeadSize;
    std::size_t available = smf.size - begin;
    std::size_t size = std::min<std::size_t>(length, available);
    if (isTrack) {
      trackStarts.push_back(timeline.events_.size());
      TrackParser parser(ByteView(smf.data + begin, size), timeline.trackCount_, sequential ? patternStart : 0,
                         timeline.events_, timeline.bytes_, tempos);
      uint64_t trackEnd = parser.run();
      timeline.lengthTicks_ = std::max(timeline.lengthTicks_, trackEnd);
      patternStart = trackEnd;
      ++timeline.trackCount_;
    }
    if (length > available) break;
    next = begin + length;
  }

  merge_tracks(timeline.events_, trackStarts);
  std::stable_sort(tempos.begin(), tempos.end(), [](const RawTempo& a, const RawTempo& b) { return a.tick < b.tick; });

  // The tempo map: one segment per tempo in force, starting at the default.
  MidiTempoPoint start;
  if (timeline.time_code()) {
    int framesPerSecond = -static_cast<int>(static_cast<int8_t>(timeline.division_ >> kFramesPerSecondShift));
    uint32_t ticksPerFrame = timeline.division_ & kTicksPerFrameMask;
    timeline.timed_ = framesPerSecond > 0 && ticksPerFrame > 0;
    if (framesPerSecond == kDropFrameRate) {
      start.usPerUnit = kDropFrameMicros;
      start.ticksPerUnit = kDropFrameDivisor * ticksPerFrame;
    } else {
      start.usPerUnit = kMicrosecondsPerSecond;
      start.ticksPerUnit = static_cast<uint32_t>(std::max(framesPerSecond, 1)) * ticksPerFrame;
    }
    if (!timeline.timed_) start.ticksPerUnit = 1;
    timeline.tempoMap_.push_back(start);
    return timeline;  // time-code files ignore tempo events
  }
  timeline.timed_ = timeline.division_ > 0;
  start.ticksPerUnit = std::max<uint32_t>(timeline.division_, 1);
  timeline.tempoMap_.push_back(start);
  for (const RawTempo& tempo : tempos) {
    MidiTempoPoint& last = timeline.tempoMap_.back();
    if (tempo.tick == last.tick) {
      last.usPerUnit = tempo.microsPerQuarter;  // the later of two tempi at one tick wins
      continue;
    }
    MidiTempoPoint point;
    point.tick = tempo.tick;
    point.microseconds = timeline.tick_to_microseconds(tempo.tick);
    point.usPerUnit = tempo.microsPerQuarter;
    point.ticksPerUnit = last.ticksPerUnit;
    timeline.tempoMap_.push_back(point);
  }
  return timeline;
}

ByteView MidiTimeline::bytes_of(const TimedMidiEvent& event) const {
  if (event.offset > bytes_.size() || event.size > bytes_.size() - event.offset) return {};
  return ByteView(bytes_.data() + event.offset, event.size);
}

const MidiTempoPoint& MidiTimeline::segment_at_tick(uint64_t tick) const {
  auto after = std::upper_bound(tempoMap_.begin(), tempoMap_.end(), tick,
                                [](uint64_t t, const MidiTempoPoint& p) { return t < p.tick; });
  return *(after - 1);  // the first point is at tick 0
}

uint64_t MidiTimeline::tick_to_microseconds(uint64_t tick) const {
  if (!timed_ || tempoMap_.empty()) return 0;
  tick = std::min(tick, kMaxMidiTick);
  const MidiTempoPoint& segment = segment_at_tick(tick);
  uint64_t span = tick - segment.tick;
  uint64_t whole = span / segment.ticksPerUnit;
  uint64_t part = span % segment.ticksPerUnit;
  return segment.microseconds + whole * segment.usPerUnit + part * segment.usPerUnit / segment.ticksPerUnit;
}

long long MidiTimeline::tick_to_ms(uint64_t tick) const {
  return static_cast<long long>(tick_to_microseconds(tick) / 1000);
}

uint64_t MidiTimeline::ms_to_tick(long long ms) const {
  if (!timed_ || tempoMap_.empty() || ms <= 0) return 0;
  constexpr long long kMaxMs = std::numeric_limits<long long>::max() / 1000;
  uint64_t target = static_cast<uint64_t>(std::min(ms, kMaxMs)) * 1000;
  auto after = std::upper_bound(tempoMap_.begin(), tempoMap_.end(), target,
                                [](uint64_t us, const MidiTempoPoint& p) { return us < p.microseconds; });
  const MidiTempoPoint& segment = *(after - 1);
  uint64_t span = target - segment.microseconds;
  uint64_t whole = span / segment.usPerUnit;
  uint64_t part = span % segment.usPerUnit;
  if (whole > kMaxMidiTick) return kMaxMidiTick;
  uint64_t ticks = whole * segment.ticksPerUnit +
                   (part * segment.ticksPerUnit + segment.usPerUnit - 1) / segment.usPerUnit;
  return std::min(segment.tick + ticks, kMaxMidiTick);
}

long long MidiTimeline::tick_to_sixteenths(uint64_t tick) const {
  if (!timed_) return 0;
  tick = std::min(tick, kMaxMidiTick);
  if (time_code()) return static_cast<long long>(tick_to_microseconds(tick) / kDefaultSixteenthMicros);
  return static_cast<long long>(tick * kSixteenthsPerQuarter / division_);
}

uint64_t MidiTimeline::sixteenths_to_tick(long long sixteenths) const {
  if (!timed_ || sixteenths <= 0) return 0;
  uint64_t position = std::min(static_cast<uint64_t>(sixteenths), kMaxMidiTick);
  if (time_code()) {
    return ms_to_tick(static_cast<long long>(position * kDefaultSixteenthMicros / 1000));
  }
  uint64_t tick = (position * division_ + kSixteenthsPerQuarter - 1) / kSixteenthsPerQuarter;
  return std::min(tick, kMaxMidiTick);
}

MidiLength MidiTimeline::length() const {
  MidiLength length;
  length.sixteenths = tick_to_sixteenths(lengthTicks_);
  length.milliseconds = tick_to_ms(lengthTicks_);
  return length;
}

MidiLength measure_midi_length(ByteView smf) { return MidiTimeline::parse(smf).length(); }

}  // namespace mel
