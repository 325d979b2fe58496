#include "playback/builtin_sequencer_model.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "common/file_io.h"
#include "playback/player_model.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

// Channel-mode controllers sent when playback stops.
constexpr uint8_t kControllerResetAll = 121;
constexpr uint8_t kControllerAllNotesOff = 123;
constexpr uint8_t kNoteOffVelocity = 0;
constexpr long long kMicrosPerMilli = 1000;
// Elapsed clock time is held below this (about 290 years), so that turning it
// into microseconds cannot overflow.
constexpr long long kMaxElapsedMs = (1LL << 53);

long clamp_to_long(long long value) {
  if (value < 0) return 0;
  return static_cast<long>(std::min<long long>(value, std::numeric_limits<long>::max()));
}

bool is_channel_status(uint8_t status) {
  return (status & midi::kStatusBit) != 0 && status < midi::kFirstSystemStatus;
}

// Events that set how a channel sounds rather than which notes sound.
bool sets_channel_state(uint8_t status) {
  switch (status & midi::kStatusMask) {
    case midi::kControlChange:
    case midi::kProgramChange:
    case midi::kChannelPressure:
    case midi::kPitchBend: return true;
    default: return false;
  }
}

ShortMidiMessage message_of(ByteView bytes) {
  ShortMidiMessage message;
  message.status = bytes.at(0);
  message.data1 = bytes.at(1);
  message.data2 = bytes.at(2);
  message.size = static_cast<uint8_t>(std::min<std::size_t>(bytes.size, 3));
  return message;
}

ShortMidiMessage controller(int channel, uint8_t number, uint8_t value) {
  return {static_cast<uint8_t>(midi::kControlChange | channel), number, value, 3};
}

}  // namespace

int BuiltinSchedule::load_file(const std::filesystem::path& file) {
  unload();
  std::optional<std::vector<uint8_t>> bytes = read_whole_file(file);
  if (!bytes) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec) ? kDeviceErrorCannotOpen : kDeviceErrorNoFile;
  }
  return load(ByteView(*bytes));
}

int BuiltinSchedule::load(ByteView smf) {
  unload();
  MidiTimeline timeline = MidiTimeline::parse(smf);
  if (!timeline.has_header() || !timeline.timed()) return kDeviceErrorCannotOpen;
  timeline_ = std::move(timeline);
  loaded_ = true;
  return kDeviceOk;
}

void BuiltinSchedule::unload() {
  timeline_ = MidiTimeline();
  loaded_ = false;
  playing_ = false;
  standing_ = 0;
  next_ = 0;
  chasePending_ = false;
}

long BuiltinSchedule::length() const { return loaded_ ? clamp_to_long(timeline_.length().sixteenths) : 0; }

long long BuiltinSchedule::length_ms() const { return loaded_ ? timeline_.length().milliseconds : 0; }

int BuiltinSchedule::start(long fromSixteenths) {
  if (!loaded_) return kDeviceErrorCannotOpen;
  long from = std::max(fromSixteenths, 0L);
  // A song shorter than a sixteenth still plays from its start (and ends at
  // once), so that a playlist moves on past it instead of waiting for an end
  // that never comes.
  if (from >= length() && from > 0) return kDeviceErrorOutOfRange;
  startTick_ = timeline_.sixteenths_to_tick(from);
  startMicros_ = timeline_.tick_to_microseconds(startTick_);
  startClock_ = clock_();
  const std::vector<TimedMidiEvent>& events = timeline_.events();
  next_ = static_cast<std::size_t>(
      std::lower_bound(events.begin(), events.end(), startTick_,
                       [](const TimedMidiEvent& e, uint64_t tick) { return e.tick < tick; }) -
      events.begin());
  chasePending_ = next_ > 0;
  standing_ = from;
  playing_ = true;
  return kDeviceOk;
}

void BuiltinSchedule::halt() {
  if (!playing_) return;
  standing_ = position();
  playing_ = false;
  chasePending_ = false;
}

int BuiltinSchedule::seek(long sixteenths) {
  if (!loaded_) return kDeviceErrorCannotOpen;
  if (sixteenths > length()) return kDeviceErrorOutOfRange;
  halt();
  standing_ = std::max(sixteenths, 0L);
  return kDeviceOk;
}

uint64_t BuiltinSchedule::now_song_micros() const {
  long long elapsed = std::clamp(clock_() - startClock_, 0LL, kMaxElapsedMs);
  return startMicros_ + static_cast<uint64_t>(elapsed * kMicrosPerMilli);
}

// The last tick that has begun at a song time (the tempo map's conversion
// rounds the other way, to the first tick at or after a time).
uint64_t BuiltinSchedule::tick_at_micros(uint64_t micros) const {
  const std::vector<MidiTempoPoint>& map = timeline_.tempo_map();
  if (map.empty()) return 0;
  auto after = std::upper_bound(map.begin(), map.end(), micros,
                                [](uint64_t us, const MidiTempoPoint& p) { return us < p.microseconds; });
  const MidiTempoPoint& segment = after == map.begin() ? map.front() : *(after - 1);
  uint64_t span = micros > segment.microseconds ? micros - segment.microseconds : 0;
  uint64_t whole = span / segment.usPerUnit;
  uint64_t part = span % segment.usPerUnit;
  if (whole > kMaxMidiTick) return kMaxMidiTick;
  uint64_t tick = segment.tick + whole * segment.ticksPerUnit + part * segment.ticksPerUnit / segment.usPerUnit;
  return std::min(tick, kMaxMidiTick);
}

uint64_t BuiltinSchedule::now_tick() const { return tick_at_micros(now_song_micros()); }

long BuiltinSchedule::position() const {
  if (!playing_) return standing_;
  uint64_t tick = std::min(now_tick(), timeline_.length_ticks());
  return std::min(clamp_to_long(timeline_.tick_to_sixteenths(tick)), length());
}

bool BuiltinSchedule::ended() const {
  return playing_ && next_ >= timeline_.events().size() && now_tick() >= timeline_.length_ticks();
}

long long BuiltinSchedule::ms_until_next() const {
  if (!playing_) return -1;
  if (chasePending_) return 0;
  const std::vector<TimedMidiEvent>& events = timeline_.events();
  uint64_t target = next_ < events.size() ? events[next_].tick : timeline_.length_ticks();
  uint64_t nowUs = now_song_micros();
  if (tick_at_micros(nowUs) >= target) return 0;
  uint64_t targetUs = timeline_.tick_to_microseconds(target);
  uint64_t waitUs = targetUs > nowUs ? targetUs - nowUs : 0;
  // At least 1 ms: the clock counts milliseconds, so less cannot bring the
  // event any closer.
  return std::max<long long>(1, static_cast<long long>((waitUs + kMicrosPerMilli - 1) / kMicrosPerMilli));
}

void BuiltinSchedule::track_sounding(const ShortMidiMessage& message) {
  uint8_t kind = message.status & midi::kStatusMask;
  int channel = message.status & midi::kChannelMask;
  uint8_t key = message.data1 & midi::kMaxDataByte;
  if (kind == midi::kNoteOn) sounding_[channel][key] = message.data2 != 0;
  if (kind == midi::kNoteOff) sounding_[channel][key] = false;
}

std::vector<ShortMidiMessage> BuiltinSchedule::take_due() {
  std::vector<ShortMidiMessage> due;
  if (!playing_) return due;
  const std::vector<TimedMidiEvent>& events = timeline_.events();
  if (chasePending_) {
    for (std::size_t i = 0; i < next_; ++i) {
      ShortMidiMessage message = message_of(timeline_.bytes_of(events[i]));
      if (is_channel_status(message.status) && sets_channel_state(message.status)) due.push_back(message);
    }
    chasePending_ = false;
  }
  uint64_t tick = now_tick();
  for (; next_ < events.size() && events[next_].tick <= tick; ++next_) {
    ShortMidiMessage message = message_of(timeline_.bytes_of(events[next_]));
    if (!is_channel_status(message.status)) continue;
    track_sounding(message);
    due.push_back(message);
  }
  return due;
}

std::vector<ShortMidiMessage> BuiltinSchedule::take_silence() {
  std::vector<ShortMidiMessage> out;
  for (int channel = 0; channel < midi::kChannelCount; ++channel) {
    for (int key = 0; key <= midi::kMaxDataByte; ++key) {
      if (!sounding_[channel][key]) continue;
      out.push_back({static_cast<uint8_t>(midi::kNoteOff | channel), static_cast<uint8_t>(key), kNoteOffVelocity, 3});
      sounding_[channel][key] = false;
    }
  }
  for (int channel = 0; channel < midi::kChannelCount; ++channel) {
    out.push_back(controller(channel, kControllerAllNotesOff, 0));
    out.push_back(controller(channel, kControllerResetAll, 0));
  }
  return out;
}

}  // namespace mel
