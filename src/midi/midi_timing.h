// Timing of a Standard MIDI File: its length in sixteenth notes (the player's
// counter unit) and in milliseconds, following the file's tempo map, and the
// merged event list that the built-in sequencer plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "midi/midi_bytes.h"

namespace mel {

struct MidiLength {
  long long sixteenths = 0;
  long long milliseconds = 0;
};

// Measures a Standard MIDI File; a file that cannot be parsed measures 0.
MidiLength measure_midi_length(ByteView smf);

// Microseconds per quarter note until the first tempo event.
constexpr uint32_t kDefaultMidiTempo = midi::kDefaultTempoValue;

// Tick times are held at this value, so that no time conversion can overflow
// however long a hostile file claims to be (about 2^36 ticks: years of music).
constexpr uint64_t kMaxMidiTick = uint64_t{1} << 36;

// One event of the file, its running status resolved.
struct TimedMidiEvent {
  uint64_t tick = 0;       // absolute time in ticks
  uint32_t track = 0;      // track chunk index, from 0
  uint32_t offset = 0;     // where its bytes begin in MidiTimeline::event_bytes()
  uint32_t size = 0;

  // Channel events: status and data bytes. System exclusive: F0 (or F7) and
  // the data without the length. Meta events: FF, the type, then the data.
};

// A tempo in force from a tick on. Times are converted as
// microseconds = ticks * usPerUnit / ticksPerUnit within one segment.
struct MidiTempoPoint {
  uint64_t tick = 0;
  uint64_t microseconds = 0;  // time at tick
  uint32_t usPerUnit = kDefaultMidiTempo;
  uint32_t ticksPerUnit = 1;
};

// A parsed Standard MIDI File: every track's events merged in time order (ties
// keep track order, then file order), the tempo map, and the conversions
// between ticks, milliseconds and sixteenth notes. The tracks of a format 0 or
// 1 file play together; those of a format 2 file are independent patterns
// that play one after another, so each pattern's times start where the one
// before it ended (its end-of-track event), and a tempo carries on into the
// patterns after it until another one is set.
class MidiTimeline {
 public:
  // Parses smf. Never fails: bytes that do not form a file give an empty,
  // untimed timeline; a truncated track keeps the events read before the cut.
  static MidiTimeline parse(ByteView smf);

  // True when a header chunk was found.
  bool has_header() const { return hasHeader_; }
  int format() const { return format_; }
  // The raw division word of the header.
  uint16_t division() const { return division_; }
  // True for a time-code division (frames per second and ticks per frame).
  bool time_code() const { return (division_ & midi::kTimeCodeDivisionBit) != 0; }
  // False when ticks cannot be turned into time (no header, division 0, or a
  // time-code division with 0 ticks per frame); every conversion then gives 0.
  bool timed() const { return timed_; }
  // Number of track chunks read.
  uint32_t track_count() const { return trackCount_; }

  const std::vector<TimedMidiEvent>& events() const { return events_; }
  ByteView bytes_of(const TimedMidiEvent& event) const;
  const std::vector<uint8_t>& event_bytes() const { return bytes_; }
  const std::vector<MidiTempoPoint>& tempo_map() const { return tempoMap_; }

  // The latest event time over all tracks (end-of-track events included).
  uint64_t length_ticks() const { return lengthTicks_; }

  uint64_t tick_to_microseconds(uint64_t tick) const;
  long long tick_to_ms(uint64_t tick) const;
  // The tick that sounds at ms milliseconds (the first tick at or after it).
  uint64_t ms_to_tick(long long ms) const;
  // Position in sixteenth notes (division / 4 ticks to a sixteenth); for a
  // time-code file, sixteenths at the default tempo.
  long long tick_to_sixteenths(uint64_t tick) const;
  // The tick where a sixteenth-note position begins.
  uint64_t sixteenths_to_tick(long long sixteenths) const;

  MidiLength length() const;

 private:
  const MidiTempoPoint& segment_at_tick(uint64_t tick) const;

  bool hasHeader_ = false;
  bool timed_ = false;
  int format_ = 0;
  uint16_t division_ = 0;
  uint32_t trackCount_ = 0;
  uint64_t lengthTicks_ = 0;
  std::vector<TimedMidiEvent> events_;
  std::vector<uint8_t> bytes_;
  std::vector<MidiTempoPoint> tempoMap_;
};

}  // namespace mel
