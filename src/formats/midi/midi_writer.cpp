#include "formats/midi/midi_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "common/limits.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

// Chunk layout: a tag, a 32-bit length, then the chunk's bytes.
constexpr int kChunkLengthSize = static_cast<int>(midi::kChunkHeadSize - midi::kTagSize);
constexpr int kHeaderWordSize = 2;  // format, track count and division
constexpr uint32_t kMultiTrackFormat = 1;

// 4/4, 24 MIDI clocks per metronome click, 8 thirty-second notes per quarter.
constexpr uint8_t kTimeSignature[] = {4, 2, 24, 8};

// The tempo meta event holds three bytes; slower tempos play at the slowest
// one it can express.
constexpr uint64_t kMaxTempoValue = midi::kMaxTempoValue;
constexpr int kTempoValueSize = static_cast<int>(midi::kTempoDataLength);
constexpr int kMaxSpeedFactor = 255;
// The score keeps its tempo in two bytes.
constexpr int kMaxScoreTempo = 0xFFFF;
// The timing track steps in sixteenth notes.
constexpr int kSixteenthsPerQuarter = 4;

// Channel index 9 (MIDI channel 10) is kept for rhythm tracks.
constexpr int kRhythmChannel = midi::kRhythmChannel;
constexpr int kLastChannel = midi::kChannelCount - 1;
constexpr int kDroppedTrack = -1;
// The timing track's silent events go to channel index 0.
constexpr int kTimingChannel = 0;

// Keys outside 2..127 move into the lowest or highest octave of that range,
// keeping their pitch class.
constexpr int kLowestKey = 2;
constexpr int kHighestKey = 127;
constexpr int kLowFoldOffset = 130;
constexpr int kHighFoldOffset = 8;
constexpr int kHighFoldBase = 116;
using midi::kSemitonesPerOctave;
// Score bytes 128..239 are read as this key.
constexpr int kHighestNoteCode = 127;

// Output bounds. Below kTrackEventLimit there is always room for one more note
// (two deltas of three bytes and two messages), the end padding and the
// end-of-track event, and below kRepeatLimit for one more repeat's tail.
constexpr std::size_t kTrackEventLimit = 262119;
constexpr std::size_t kRepeatLimit = 262108;
static_assert(kTrackEventLimit < kOutputCapacity && kRepeatLimit < kTrackEventLimit);
constexpr int kThreeTimesCount = 3;

int positive_mod(long long value, int divisor) {
  long long r = value % divisor;
  return static_cast<int>(r < 0 ? r + divisor : r);
}

uint8_t data_byte(long long value) { return static_cast<uint8_t>(std::clamp<long long>(value, 0, midi::kMaxDataByte)); }

// Brings a transposed key back into 2..127 without changing its pitch class.
int fold_key(long long key) {
  if (key < kLowestKey) return positive_mod(key + kLowFoldOffset, kSemitonesPerOctave) + kLowestKey;
  if (key > kHighestKey) return positive_mod(key - kHighFoldOffset, kSemitonesPerOctave) + kHighFoldBase;
  return static_cast<int>(key);
}

class MidiFileWriter {
 public:
  MidiFileWriter(const Score& score, const SongInfo& song, const Settings& settings)
      : score_(score.bytes.data(), std::min(score.length, score.bytes.size())),
        song_(song),
        play_(settings.play),
        noteLengthScale_(settings.conv.noteLengthScale),
        pseudoChordMode_(settings.conv.pseudo_chord_mode()),
        out_(kOutputCapacity) {}

  std::vector<uint8_t> write() {
    write_header();
    write_conductor_track();
    write_score_tracks();
    if (play_.ForPlayback != 0 && out_.pos() < kTrackEventLimit) write_timing_track();
    out_.patch_be(midi::kHeaderTrackCountAt, static_cast<uint32_t>(counters_.written + 1), kHeaderWordSize);
    return out_.take();
  }

 private:
  // How a track's events ended: on the score's end-of-track byte (then next is
  // the following track's first event) or otherwise (end of score, full output).
  struct TrackEnd {
    std::size_t next = 0;
    bool onEndOfTrack = false;
  };

  struct ChannelCounters {
    int written = 0;  // track chunks written so far, conductor excluded
    int shared = 0;   // tracks that did not take a new channel
  };

  // --- header and conductor -------------------------------------------------

  // Ticks per quarter note, scaled by the note length option. Kept within
  // 1..0x7FFF: 0 is no division at all, and the top bit would switch the file
  // to SMPTE time.
  uint16_t division() const {
    long long d = static_cast<long long>(song_.timebase) * noteLengthScale_ / kScaleAsWritten;
    return static_cast<uint16_t>(std::clamp<long long>(d, 1, midi::kMaxDivision));
  }

  int score_tempo() const {
    int tempo = (score_.at(0) << 8) | score_.at(1);
    if (tempo > 0) return tempo;
    // A score without tempo bytes: fall back on the song header.
    return song_.tempo > 0 && song_.tempo <= kMaxScoreTempo ? song_.tempo : kResetTempo;
  }

  uint32_t tempo_value() const {
    uint64_t t = static_cast<uint64_t>(midi::kMicrosecondsPerMinute) / static_cast<uint64_t>(score_tempo());
    if (play_.SpeedFactor >= 1 && play_.SpeedFactor <= kMaxSpeedFactor) {
      t = t * kSpeedAsWritten / static_cast<uint64_t>(play_.SpeedFactor);
    }
    return static_cast<uint32_t>(std::min(t, kMaxTempoValue));
  }

  void write_header() {
    put_tag(midi::kHeaderTag);
    out_.put_be(midi::kHeaderDataLength, kChunkLengthSize);
    out_.put_be(kMultiTrackFormat, kHeaderWordSize);
    out_.put_be(0, kHeaderWordSize);  // track count, filled in at the end
    out_.put_be(division(), kHeaderWordSize);
  }

  void put_tag(const char* tag) { out_.put_bytes(reinterpret_cast<const uint8_t*>(tag), midi::kTagSize); }

  std::size_t begin_chunk() {
    std::size_t start = out_.pos();
    put_tag(midi::kTrackTag);
    out_.put_be(0, kChunkLengthSize);
    return start;
  }

  void end_chunk(std::size_t chunkStart) {
    put_meta_header(midi::kMetaEndOfTrack, 0);
    std::size_t eventsStart = chunkStart + midi::kChunkHeadSize;
    out_.patch_be(chunkStart + midi::kTagSize, static_cast<uint32_t>(out_.pos() - eventsStart), kChunkLengthSize);
  }

  // Delta 0, FF, type, length (the data follows).
  void put_meta_header(uint8_t type, std::size_t length) {
    out_.put(0);
    out_.put(midi::kMeta);
    out_.put(type);
    put_text_length(out_, length);
  }

  // Song texts are NUL-terminated fields of at most 255 bytes.
  void put_text_event(uint8_t type, const std::string& text) {
    std::size_t length = std::min({text.find('\0'), text.size(), kMaxTextLength});
    if (length == 0) return;
    put_meta_header(type, length);
    out_.put_bytes(reinterpret_cast<const uint8_t*>(text.data()), length);
  }

  void write_conductor_track() {
    std::size_t start = begin_chunk();
    put_meta_header(midi::kMetaTimeSignature, sizeof kTimeSignature);
    out_.put_bytes(kTimeSignature, sizeof kTimeSignature);
    put_meta_header(midi::kMetaTempo, midi::kTempoDataLength);
    out_.put_be(tempo_value(), kTempoValueSize);
    if (play_.ForPlayback == 0) {
      put_text_event(midi::kMetaTrackName, song_.title);
      put_text_event(midi::kMetaCopyright, song_.copyright);
    }
    end_chunk(start);
  }

  // --- track loop -----------------------------------------------------------

  // Deselected tracks are left out, except in pseudo-chord mode, where the
  // pass that built the score has already applied the selection.
  bool deselected(int track) const { return !pseudoChordMode_ && !play_.track_selected(track); }

  int per_track_program(int track) const { return play_.PerTrackProgram[track - 1]; }
  int per_track_volume(int track) const { return play_.PerTrackVolume[track - 1]; }

  // Consecutive tracks of one part share the previous track's channel, unless
  // the user gave them different instruments.
  bool joins_previous(int track) const {
    if (track < 2 || !play_.track_selected(track - 1)) return false;
    int part = song_.part[track - 1];
    if (part <= 0 || part != song_.part[track - 2]) return false;
    return play_.KeepFileInstruments != 0 || per_track_program(track) == per_track_program(track - 1);
  }

  // The channel index for the track, or kDroppedTrack when all channels are
  // taken. Updates the counters the way the following tracks expect.
  // previousHasChannel: the track before this one is in the file on a channel.
  int assign_channel(int track, bool previousHasChannel) {
    bool rhythm = song_.is_rhythm_track(track);
    // A melodic track never shares a rhythm track's channel, nor the channel of
    // a part that found none (the counters would then point at an unrelated
    // track's channel): it takes one of its own, as if it were not part of that
    // group.
    bool joins = previousHasChannel && joins_previous(track) && (rhythm || !song_.is_rhythm_track(track - 1));
    if (joins || rhythm) {
      ++counters_.shared;
      if (rhythm) return kRhythmChannel;
      int channel = counters_.written - counters_.shared;
      return channel >= 0 && channel <= kLastChannel ? channel : kDroppedTrack;
    }
    int channel = counters_.written - counters_.shared;
    if (channel == kRhythmChannel) {
      channel = kRhythmChannel + 1;
      --counters_.shared;
    }
    return channel >= 0 && channel <= kLastChannel ? channel : kDroppedTrack;
  }

  // Where the track after this one begins: its recorded start when that lies
  // ahead, else just after this track's end-of-track byte (the end of the
  // score when there is none).
  std::size_t start_of_next_track(int track, std::size_t trackBegin) const {
    if (track < kMaxTracks) {
      int recorded = song_.trackStart[track];
      if (recorded > 0 && static_cast<std::size_t>(recorded) > trackBegin &&
          static_cast<std::size_t>(recorded) <= score_.size) {
        return static_cast<std::size_t>(recorded);
      }
    }
    std::size_t pos = trackBegin;
    for (;;) {
      ScoreEvent ev = decode_score_event(score_.data, score_.size, pos);
      if (ev.kind == ScoreEvent::EndOfScore) return score_.size;
      pos += ev.size;
      if (ev.kind == ScoreEvent::EndOfTrack) return pos;
    }
  }

  void write_score_tracks() {
    std::size_t read = kFirstTrackOffset;
    bool previousHasChannel = false;
    for (int track = 1; track <= kMaxTracks; ++track) {
      bool leftOut = deselected(track);
      if (leftOut && track < song_.scoreTrackCount) {
        previousHasChannel = false;
        read = start_of_next_track(track, read);
        if (read >= score_.size) break;
        continue;
      }
      ChannelCounters before = counters_;
      int channel = assign_channel(track, previousHasChannel);
      if (channel == kDroppedTrack) {
        counters_ = before;
        previousHasChannel = false;
        read = start_of_next_track(track, read);
        if (read >= score_.size) break;
        continue;
      }
      ++counters_.written;
      previousHasChannel = true;
      std::size_t chunkStart = out_.pos();
      TrackEnd end = write_track(track, channel, read);

      bool moreFollows = end.onEndOfTrack && end.next < score_.size && out_.pos() < kRepeatLimit;
      if (moreFollows) {
        if (leftOut) {
          discard_chunk(chunkStart, before);
          previousHasChannel = false;
        }
        if (counters_.written == 0) firstTrackNoteTime_ = 0;
        read = end.next;
        continue;
      }
      // The last track: a deselected one is kept when it is the only one.
      if (leftOut && counters_.written > 1) discard_chunk(chunkStart, before);
      break;
    }
  }

  // Removes a chunk just written and gives its channel back, so the tracks that
  // follow are numbered as if it had never been there.
  void discard_chunk(std::size_t chunkStart, const ChannelCounters& before) {
    out_.set_pos(chunkStart);
    counters_ = before;
  }

  // --- one track chunk ------------------------------------------------------

  void put_channel_message(uint8_t status, int channel, uint8_t data1, uint8_t data2) {
    out_.put(static_cast<uint8_t>(status | channel));
    out_.put(data1);
    out_.put(data2);
  }

  void put_controller(int channel, uint8_t controller, int value) {
    out_.put(0);
    put_channel_message(midi::kControlChange, channel, controller, data_byte(value));
  }

  void put_program(int channel, int value) {
    out_.put(0);
    out_.put(static_cast<uint8_t>(midi::kProgramChange | channel));
    out_.put(data_byte(value));
  }

  bool follows_score_programs(int track) const {
    return play_.KeepFileInstruments != 0 || per_track_program(track) == kFollowScore;
  }
  bool follows_score_volumes(int track) const {
    return play_.StandardVolume != 0 || per_track_volume(track) == kFollowScore;
  }

  // A per-track choice of "program + 1"; "none" and "follow the score" (for a
  // track that has no program of its own) use the default instrument.
  int initial_program(int track) const {
    int choice = per_track_program(track);
    return choice > 0 && choice != kFollowScore ? choice - 1 : play_.melody;
  }
  int initial_volume(int track) const {
    int choice = per_track_volume(track);
    return choice > 0 && choice != kFollowScore ? choice - 1 : play_.volume;
  }

  void write_initial_controls(int track, int channel) {
    if (!follows_score_programs(track) || song_.program[track - 1] == 0) put_program(channel, initial_program(track));
    if (!follows_score_volumes(track) || song_.volume[track - 1] == 0) {
      put_controller(channel, midi::kControllerVolume, initial_volume(track));
    }
  }

  TrackEnd write_track(int track, int channel, std::size_t read) {
    std::size_t chunkStart = begin_chunk();
    std::size_t eventsStart = out_.pos();
    long long running = 0;
    long long pending = 0;
    int velocity = data_byte(play_.velocity);
    bool firstWritten = counters_.written == 1;
    bool programs = follows_score_programs(track);
    bool volumes = follows_score_volumes(track);

    write_initial_controls(track, channel);

    TrackEnd end{score_.size, false};
    for (;;) {
      if (out_.pos() > kTrackEventLimit) {
        end.next = read;
        break;
      }
      ScoreEvent ev = decode_score_event(score_.data, score_.size, read);
      if (ev.kind == ScoreEvent::EndOfScore) break;
      read += ev.size;
      if (ev.kind == ScoreEvent::EndOfTrack) {
        end = {read, true};
        break;
      }
      if (ev.kind == ScoreEvent::Rest) {
        pending += ev.value;
        running += ev.value;
        continue;
      }
      if (ev.kind == ScoreEvent::Control) {
        // Controls take no time: a rest before one stays pending for the next note.
        switch (ev.code) {
          case kVelocityEvent: velocity = data_byte(ev.value); break;
          case kVolumeEvent:
            if (volumes) put_controller(channel, midi::kControllerVolume, ev.value);
            break;
          case kProgramEvent:
            if (programs) put_program(channel, ev.value);
            break;
          case kPanEvent: put_controller(channel, midi::kControllerPan, ev.value); break;
          default: break;
        }
        continue;
      }
      running += ev.value;
      if (firstWritten) firstTrackNoteTime_ += ev.value;
      long long key = std::min(ev.code, kHighestNoteCode);
      if (channel != kRhythmChannel) key += play_.KeyOffset;
      uint8_t sounding = static_cast<uint8_t>(fold_key(key));
      put_vlq3(out_, static_cast<uint32_t>(std::min<long long>(pending, UINT32_MAX)));
      put_channel_message(midi::kNoteOn, channel, sounding, static_cast<uint8_t>(velocity));
      put_vlq3(out_, static_cast<uint32_t>(ev.value));
      put_channel_message(midi::kNoteOff, channel, sounding, 0);
      pending = 0;
    }

    // Every track lasts the whole song, so repeats and the song end line up.
    if (song_.songLength > running) {
      pending += song_.songLength - running;
      running = song_.songLength;
    }
    if (pending > 0) {
      put_vlq3(out_, static_cast<uint32_t>(std::min<long long>(pending, UINT32_MAX)));
      put_channel_message(midi::kNoteOff, channel, 0, 0);
    }

    if (play_.ThreeTimes != 0 && running == song_.songLength && running > 0) repeat_events(eventsStart);
    end_chunk(chunkStart);
    return end;
  }

  // Appends copies of the chunk's events (initial controls included) until they
  // have been written three times, as far as the output has room.
  void repeat_events(std::size_t eventsStart) {
    if (out_.pos() >= kRepeatLimit) return;
    std::size_t size = out_.pos() - eventsStart;
    for (int count = 1; count < kThreeTimesCount && out_.pos() + size < kRepeatLimit; ++count) {
      for (std::size_t i = 0; i < size; ++i) out_.put(out_.at(eventsStart + i));
    }
  }

  // --- timing track ---------------------------------------------------------

  // A sixteenth note at the file's division, at least one tick.
  long long timing_step() const {
    long long step = static_cast<long long>(song_.timebase / kSixteenthsPerQuarter) * noteLengthScale_ / kScaleAsWritten;
    return std::max<long long>(step, 1);
  }

  // Silent note pairs on channel 1, one per sixteenth note, over the time of
  // the first track's notes.
  void write_timing_track() {
    std::size_t start = begin_chunk();
    long long step = timing_step();
    uint32_t stepDelta = static_cast<uint32_t>(std::min<long long>(step, UINT32_MAX));
    for (long long t = 0; t + step < firstTrackNoteTime_; t += step) {
      out_.put(0);
      put_channel_message(midi::kNoteOn, kTimingChannel, 0, 0);
      put_vlq3(out_, stepDelta);
      put_channel_message(midi::kNoteOff, kTimingChannel, 0, 0);
      if (out_.pos() > kTrackEventLimit) break;
    }
    end_chunk(start);
    ++counters_.written;
  }

  ByteView score_;
  const SongInfo& song_;
  const PlaybackOptions& play_;
  int noteLengthScale_;
  bool pseudoChordMode_;
  ByteSink out_;
  ChannelCounters counters_;
  long long firstTrackNoteTime_ = 0;
};

}  // namespace

std::vector<uint8_t> write_midi_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return MidiFileWriter(score, song, settings).write();
}

}  // namespace mel
