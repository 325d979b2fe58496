#include "score/score_stream.h"

#include <algorithm>

#include "score/options.h"

namespace mel {

int BitSet128::count() const {
  int n = 0;
  for (uint32_t w : words) {
    for (; w; w &= w - 1) ++n;
  }
  return n;
}

int BitSet128::lowest() const {
  for (int k = 0; k < 128; ++k) {
    if (test(k)) return k;
  }
  return -1;
}

int BitSet128::highest() const {
  for (int k = 127; k >= 0; --k) {
    if (test(k)) return k;
  }
  return -1;
}

void reset_song_header(SongInfo& song) {
  int keep = song.scoreTrackCount;
  song = SongInfo{};
  song.scoreTrackCount = keep;
}

void set_song_text(std::string& field, const uint8_t* text, std::size_t length) {
  field.clear();
  for (std::size_t i = 0; i < length && i < kMaxTextLength && text[i] != 0; ++i) {
    field.push_back(static_cast<char>(text[i]));
  }
}

void record_program(SongInfo& song, int program) {
  if (program < 0 || program >= 128 || song.programSet.test(program)) return;
  song.programSet.set(program);
  ++song.programCount;
}

void record_rhythm_key(SongInfo& song, int key) {
  if (key < 0 || key >= 128 || song.rhythmKeySet.test(key)) return;
  song.rhythmKeySet.set(key);
  ++song.rhythmKeyCount;
}

void store_score_tempo(uint8_t* score, int tempo) {
  score[0] = static_cast<uint8_t>((tempo >> 8) & 0xFF);
  score[1] = static_cast<uint8_t>(tempo & 0xFF);
}

namespace {

// A control event's effect on a per-track statistic: 0 takes the candidate, a
// different value becomes "mixed", an equal one stays.
void merge_statistic(int& field, int candidate) {
  if (field == 0) {
    field = candidate;
  } else if (field != candidate) {
    field = kMixedValue;
  }
}

void record_control(SongInfo& song, int track, int code, int value) {
  int i = track - 1;
  switch (code) {
    case kProgramEvent: merge_statistic(song.program[i], value + 1); break;
    case kNativeVoiceEvent: merge_statistic(song.program[i], value + kNativeVoiceBase); break;
    case kVolumeEvent: merge_statistic(song.volume[i], value + 1); break;
    default: break;
  }
}

void record_pitch(SongInfo& song, int track, int key) {
  int i = track - 1;
  if (song.lowestPitch[i] == 0 || song.lowestPitch[i] > key) song.lowestPitch[i] = key;
  if (song.highestPitch[i] == 0 || song.highestPitch[i] < key) song.highestPitch[i] = key;
}

bool records(int track) { return track >= 1 && track <= kMaxTracks; }

}  // namespace

std::size_t write_event(SongInfo& song, uint8_t* dst, const uint8_t* end, int track, int code, int value) {
  std::size_t room = dst < end ? static_cast<std::size_t>(end - dst) : 0;
  if (code >= kFirstControlCode) {
    if (records(track)) record_control(song, track, code, value);
    if (room < kControlEventSize) return 0;
    dst[0] = static_cast<uint8_t>(code);
    dst[1] = static_cast<uint8_t>(value & 0xFF);
    return kControlEventSize;
  }
  if (records(track) && code != kRest) record_pitch(song, track, code);
  std::size_t written = 0;
  long long remaining = value;
  int piece_code = code;
  while (remaining > 0 && room - written >= kNoteEventSize) {
    int piece = remaining > kMaxEventDuration ? kMaxEventDuration : static_cast<int>(remaining);
    dst[written] = static_cast<uint8_t>(piece_code);
    dst[written + 1] = static_cast<uint8_t>(piece >> 8);
    dst[written + 2] = static_cast<uint8_t>(piece & 0xFF);
    written += kNoteEventSize;
    remaining -= piece;
    piece_code = kRest;
  }
  return written;
}

int whole_note_ticks(int timebase, int noteLengthScale) {
  // 64-bit: long is 32 bits on Windows, and a hostile timebase must not overflow.
  long long w = (static_cast<long long>(timebase) * 4 * noteLengthScale) / 16;
  if (w < 1) return 1;
  if (w > 0x7FFFFFFF) return 0x7FFFFFFF;
  return static_cast<int>(w);
}

int whole_note_units(int ticks, int timebase, int noteLengthScale) {
  long long units = static_cast<long long>(ticks) * kWholeNoteUnits / whole_note_ticks(timebase, noteLengthScale);
  return static_cast<int>(std::clamp<long long>(units, -0x7FFFFFFFLL, 0x7FFFFFFFLL));
}

int filter_note(const SongInfo& song, const ConversionOptions& options, int key, int duration, bool rhythm) {
  int length = whole_note_units(duration, song.timebase, options.noteLengthScale);
  if (length > options.shortNoteCutLevel && key > options.lowNoteCutLevel) {
    int fold = options.lowNoteFoldLevel;
    if (key < fold && !rhythm) key = (key + 132 - (fold % 12)) % 12 + fold;
    return std::clamp(key, 2, 127);
  }
  return 0;
}

ScoreEvent decode_score_event(const uint8_t* score, std::size_t length, std::size_t pos) {
  ScoreEvent ev;
  if (pos >= length) return ev;
  uint8_t code = score[pos];
  if (code == kEndOfTrack) {
    ev.kind = ScoreEvent::EndOfTrack;
    ev.code = code;
    ev.size = 1;
    return ev;
  }
  if (code >= kFirstControlCode) {
    if (length - pos < kControlEventSize) return ev;
    ev.kind = ScoreEvent::Control;
    ev.code = code;
    ev.value = score[pos + 1];
    ev.size = kControlEventSize;
    return ev;
  }
  if (length - pos < kNoteEventSize) return ev;
  ev.kind = code == kRest ? ScoreEvent::Rest : ScoreEvent::Note;
  ev.code = code;
  ev.value = (score[pos + 1] << 8) | score[pos + 2];
  ev.size = kNoteEventSize;
  return ev;
}

}  // namespace mel
