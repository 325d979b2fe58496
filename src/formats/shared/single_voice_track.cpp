#include "formats/shared/single_voice_track.h"

#include <algorithm>
#include <climits>

namespace mel {

namespace {

constexpr int kTrack = 1;

// Song header fields are int; times that grow past that stay at the maximum.
int saturate(long long value) { return static_cast<int>(std::min<long long>(value, INT_MAX)); }

}  // namespace

SingleVoiceTrack::SingleVoiceTrack(Score& score, SongInfo& song, const ConversionOptions& options)
    : score_(score), song_(song), options_(options) {
  reset_song_header(song_);
  if (score_.bytes.size() < kScoreCapacity) score_.bytes.resize(kScoreCapacity, 0);
  set_tempo(song_.tempo);
  song_.trackStart[kTrack - 1] = static_cast<int>(kFirstTrackOffset);
  score_.length = pos_;
}

void SingleVoiceTrack::set_tempo(int tempo) {
  song_.tempo = tempo;
  store_score_tempo(score_.bytes.data(), tempo);
}

void SingleVoiceTrack::add(int key, long long ticks) {
  if (ticks < 0) ticks = 0;
  if (key != kRest) {
    int duration = saturate(ticks);
    key = filter_note(song_, options_, key, duration, false);
  }
  time_ += ticks;
  song_.songLength = std::max(song_.songLength, saturate(time_));
  if (key == kRest) {
    pendingRest_ += ticks;
    return;
  }
  if (!hasNote_) {
    hasNote_ = true;
    song_.firstNoteTime[kTrack - 1] = saturate(pendingRest_ + 1);
    song_.leadIn = saturate(pendingRest_);
  }
  write(kRest, pendingRest_);
  pendingRest_ = 0;
  write(key, ticks);
  song_.lastNoteEnd[kTrack - 1] = saturate(time_ + 1);
}

void SingleVoiceTrack::finish() {
  write(kRest, pendingRest_);
  pendingRest_ = 0;
  score_.length = pos_;
}

// Writes through the event writer, in pieces the writer's int value can hold;
// whatever does not fit in the buffer is dropped.
void SingleVoiceTrack::write(int code, long long ticks) {
  uint8_t* end = score_.bytes.data() + score_.bytes.size();
  while (ticks > 0) {
    int piece = static_cast<int>(std::min<long long>(ticks, INT_MAX - kMaxEventDuration));
    std::size_t written = write_event(song_, score_.bytes.data() + pos_, end, kTrack, code, piece);
    if (written == 0) break;
    pos_ += written;
    ticks -= piece;
    code = kRest;  // the rest of an over-long note sounds as rests
  }
}

}  // namespace mel
