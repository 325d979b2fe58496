// The score: the one intermediate form every reader produces and every writer
// consumes. A byte stream of monophonic per-track events (ScoreStream) plus the
// song header (SongInfo).
//
// Stream layout: bytes 0-1 hold the tempo (quarter notes per minute, big-endian);
// track 1 starts at offset 2; each track but the last ends with kEndOfTrack.
// Events: a note (key 1-127) or rest (0) takes 3 bytes (code, 16-bit big-endian
// duration in ticks); a control event (240-254) takes 2 bytes; 255 ends a track.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/limits.h"
#include "common/zeroed_buffer.h"

namespace mel {

struct ConversionOptions;

// Event codes of the score stream.
constexpr uint8_t kRest = 0;
constexpr uint8_t kFirstControlCode = 240;
constexpr uint8_t kVelocityEvent = 248;
constexpr uint8_t kTempoEvent = 249;
constexpr uint8_t kNativeVoiceEvent = 250;
constexpr uint8_t kVolumeEvent = 251;
constexpr uint8_t kProgramEvent = 252;
constexpr uint8_t kPanEvent = 253;
constexpr uint8_t kEndOfTrack = 255;

constexpr int kMaxEventDuration = 65535;
constexpr std::size_t kNoteEventSize = 3;
constexpr std::size_t kControlEventSize = 2;
constexpr std::size_t kTempoBytes = 2;
constexpr std::size_t kFirstTrackOffset = 2;

// Values of SongInfo::program beyond a plain program + 1.
constexpr int kMixedValue = 129;         // more than one different value
constexpr int kRhythmProgram = 130;      // the track is a rhythm (drum) track
constexpr int kNativeVoiceBase = 513;    // first NativeVoice value + 513
constexpr int kMixedChannelPart = 129;   // a MIDI track that mixes channels

// Reset values of the song header.
constexpr int kResetTempo = 120;
constexpr int kResetTimebase = 240;

// A set of 128 flags (programs, drum keys, source tracks).
struct BitSet128 {
  std::array<uint32_t, 4> words{};

  bool test(int k) const { return k >= 0 && k < 128 && (words[k / 32] >> (k % 32)) & 1u; }
  void set(int k) {
    if (k >= 0 && k < 128) words[k / 32] |= 1u << (k % 32);
  }
  void clear(int k) {
    if (k >= 0 && k < 128) words[k / 32] &= ~(1u << (k % 32));
  }
  void reset() { words = {}; }
  int count() const;
  int lowest() const;   // -1 when empty
  int highest() const;  // -1 when empty
};

// One tempo change: quarter notes per minute from tick on.
struct TempoChange {
  int tempo = 0;
  int tick = 0;
};

// The song header. Per-track arrays are indexed by track number - 1.
struct SongInfo {
  using TrackInts = std::array<int, kMaxTracks>;

  int tempo = kResetTempo;
  int timebase = kResetTimebase;
  std::string title;      // CP932 bytes, at most 255
  std::string copyright;  // CP932 bytes, at most 255
  std::string artist;     // CP932 bytes, at most 255; only some formats carry it
  std::string composer;   // CP932 bytes, at most 255; only some formats carry it
  int songLength = 0;
  int leadIn = 0;
  int trackCount = 1;
  int scoreTrackCount = 1;  // not touched by the reset
  TrackInts trackStart{};
  TrackInts lowestPitch{};
  TrackInts highestPitch{};
  TrackInts firstNoteTime{};
  TrackInts lastNoteEnd{};
  TrackInts noteCount{};
  TrackInts program{};
  TrackInts volume{};
  TrackInts part{};
  BitSet128 programSet;
  int programCount = 0;
  BitSet128 rhythmKeySet;
  int rhythmKeyCount = 0;
  std::vector<TempoChange> tempoMap;
  BitSet128 sourceTrackSet;
  // Plain-English remarks of the reader about what it could not read (for
  // example a sequence form it skipped); the command line prints them.
  std::vector<std::string> notices;

  bool is_rhythm_track(int track) const {
    return track >= 1 && track <= kMaxTracks && program[track - 1] == kRhythmProgram;
  }
};

// Stores the reset values into every field but scoreTrackCount.
void reset_song_header(SongInfo& song);

// Stores a text field the way the formats keep titles: stops at a NUL and at
// 255 bytes.
void set_song_text(std::string& field, const uint8_t* text, std::size_t length);
inline void set_song_text(std::string& field, const std::string& text) {
  set_song_text(field, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Records a program in programSet / programCount, once per program.
void record_program(SongInfo& song, int program);
// Records a drum key in rhythmKeySet / rhythmKeyCount, once per key.
void record_rhythm_key(SongInfo& song, int key);

// The score buffer and its length. Readers write into bytes (sized to the
// score capacity) and set length.
struct Score {
  ZeroedBytes bytes = ZeroedBytes(kScoreCapacity);
  std::size_t length = 0;

  int tempo() const { return (bytes[0] << 8) | bytes[1]; }
};

// Writes the tempo as the first two bytes of a score buffer.
void store_score_tempo(uint8_t* score, int tempo);

// The event writer. Writes one event at dst, never past end, and returns the
// number of bytes written (0, 2 or a multiple of 3). Track numbers 1-32 keep
// that track's statistics in song; 0 or above 32 write without recording.
// Durations above 65535 are split, the remainder written as rests. A piece that
// does not fit before end is not written.
std::size_t write_event(SongInfo& song, uint8_t* dst, const uint8_t* end, int track, int code, int value);

// The tick length of a whole note under the length scale, never below 1.
int whole_note_ticks(int timebase, int noteLengthScale);

// A duration in whole-note units (1/960 of a whole note).
int whole_note_units(int ticks, int timebase, int noteLengthScale);

// The note filter: returns the key to write for a note of key (0 = rest) and
// duration, or 0 to turn it into a rest of the same duration.
int filter_note(const SongInfo& song, const ConversionOptions& options, int key, int duration, bool rhythm);

// One decoded score event, for consumers that walk a stream.
struct ScoreEvent {
  enum Kind { Note, Rest, Control, EndOfTrack, EndOfScore } kind = EndOfScore;
  int code = 0;      // key for notes, control code for controls
  int value = 0;     // duration for notes and rests, data byte for controls
  std::size_t size = 0;
};

// Decodes the event at offset pos of score[0, length). A truncated event at the
// end of the stream counts as the end of the score.
ScoreEvent decode_score_event(const uint8_t* score, std::size_t length, std::size_t pos);

}  // namespace mel
