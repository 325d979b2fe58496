// The schedule of the built-in sequencer: which events of a Standard MIDI
// File are due at a moment of an injected millisecond clock, where the song
// stands in sixteenth notes, when it has ended, and what silences the output
// when playback stops. The device that owns it runs it on a worker thread and
// sends the due events to a MIDI output; the rules here need neither.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "midi/midi_timing.h"

namespace mel {

// A short MIDI message: status and up to two data bytes.
struct ShortMidiMessage {
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  uint8_t size = 0;  // bytes in use, 1 to 3
};

class BuiltinSchedule {
 public:
  // Milliseconds of a monotonic clock; only differences matter.
  using Clock = std::function<long long()>;

  explicit BuiltinSchedule(Clock clock) : clock_(std::move(clock)) {}

  // Takes a file; kDeviceOk, kDeviceErrorNoFile when it cannot be read, or
  // kDeviceErrorCannotOpen when its bytes are not a timed MIDI file. On
  // failure nothing stays loaded. The position is 0 afterwards.
  int load_file(const std::filesystem::path& file);
  int load(ByteView smf);
  void unload();
  bool loaded() const { return loaded_; }

  long length() const;             // sixteenths
  long long length_ms() const;

  // Plays from a sixteenth position (or from where it stands): the clock's
  // current reading becomes that position. kDeviceErrorOutOfRange at or
  // beyond the end (except the start of a song shorter than a sixteenth),
  // kDeviceErrorCannotOpen when nothing is loaded.
  int start(long fromSixteenths);
  int start_here() { return start(standing_); }
  // Stops the clock where the song stands (the position stays).
  void halt();
  // Moves the standing position without playing; out of range beyond the end.
  int seek(long sixteenths);

  bool playing() const { return playing_; }
  // The position now, in sixteenths: where it stands when halted, never
  // beyond the length.
  long position() const;
  // True once the clock has passed the end of the song while playing.
  bool ended() const;
  // Song milliseconds from now until the next event or the end is due (0 when
  // one is due already; -1 when halted).
  long long ms_until_next() const;

  // The messages to send now, in order: on the first call after a start from
  // inside the song, the controller, program, pressure and bend events before
  // the start (so the instruments sound as written there); then every channel
  // event whose time has come since the last call. Meta events and system
  // exclusive messages are not included.
  std::vector<ShortMidiMessage> take_due();
  // What silences every channel: a note-off for each note still sounding,
  // then all-notes-off and reset-all-controllers on every channel. Forgets
  // the sounding notes.
  std::vector<ShortMidiMessage> take_silence();

  const MidiTimeline& timeline() const { return timeline_; }

 private:
  uint64_t tick_at_micros(uint64_t micros) const;
  uint64_t now_tick() const;
  uint64_t now_song_micros() const;
  void track_sounding(const ShortMidiMessage& message);

  Clock clock_;
  MidiTimeline timeline_;
  bool loaded_ = false;
  bool playing_ = false;
  long standing_ = 0;          // sixteenths, while halted
  uint64_t startTick_ = 0;     // where the current play began
  uint64_t startMicros_ = 0;   // song time of startTick_
  long long startClock_ = 0;   // clock reading at the start
  std::size_t next_ = 0;       // first event not yet handed out
  bool chasePending_ = false;
  std::array<std::array<bool, 128>, 16> sounding_{};
};

}  // namespace mel
