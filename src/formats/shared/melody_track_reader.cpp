#include "formats/shared/melody_track_reader.h"

#include <algorithm>
#include <climits>

namespace mel {

MelodyTrackReader::MelodyTrackReader(Score& score, SongInfo& song, const ConversionOptions& options)
    : score_(score), song_(song), options_(options), tracks_(score, song, kMelodyReaderBound) {
  reset_song_header(song_);
  set_tempo(song_.tempo);
  score_.length = kFirstTrackOffset;
}

void MelodyTrackReader::set_tempo(int tempo) {
  song_.tempo = tempo;
  store_score_tempo(score_.bytes.data(), tempo);
}

bool MelodyTrackReader::begin_track(int part) {
  if (track_ >= kMaxTracks) return false;
  if (track_ > 0) {
    write_pending_rest();
    tracks_.end_track();
  }
  ++track_;
  restart_track(part);
  return true;
}

void MelodyTrackReader::restart_track(int part) {
  trackBegin_ = tracks_.pos();
  tracks_.start_track(track_, part);
  time_ = 0;
  pendingRest_ = 0;
  counted_ = false;
  sounded_ = false;
}

std::optional<std::size_t> MelodyTrackReader::control(int code, int value) {
  std::size_t at = tracks_.pos();
  tracks_.control(track_, code, value);
  if (tracks_.pos() == at) return std::nullopt;
  return at;
}

void MelodyTrackReader::rewrite_control(std::size_t at, int track, int code, int value) {
  uint8_t* end = score_.bytes.data() + std::min(at + kControlEventSize, score_.bytes.size());
  write_event(song_, score_.bytes.data() + std::min(at, score_.bytes.size()), end, track, code, value);
}

void MelodyTrackReader::count_note() {
  counted_ = true;
  if (ScoreTracks::records(track_)) ++song_.noteCount[track_ - 1];
}

void MelodyTrackReader::add(int key, int64_t ticks) {
  ticks = std::clamp<int64_t>(ticks, 0, INT_MAX);
  if (key != kRest) key = filter_note(song_, options_, key, static_cast<int>(ticks), false);
  time_ = std::min<int64_t>(time_ + ticks, INT_MAX);
  tracks_.raise_song_length(time_);
  if (key == kRest) {
    pendingRest_ = std::min<int64_t>(pendingRest_ + ticks, INT_MAX);
    return;
  }
  if (!sounded_) {
    sounded_ = true;
    tracks_.first_note(track_, pendingRest_);
  }
  write_pending_rest();
  tracks_.timed(track_, key, ticks);
  tracks_.note_end(track_, time_);
}

void MelodyTrackReader::write_pending_rest() {
  tracks_.timed(track_, kRest, pendingRest_);
  pendingRest_ = 0;
}

void MelodyTrackReader::finish() {
  if (track_ == 0) {
    tracks_.finish(0);
    return;
  }
  write_pending_rest();
  if (sounded_) {
    tracks_.finish(track_);
    return;
  }
  // The empty last track goes, and with it the EndOfTrack that closed the
  // track before it; its header fields keep what they hold.
  tracks_.rewind(trackBegin_ > kFirstTrackOffset ? trackBegin_ - 1 : kFirstTrackOffset);
  tracks_.finish(track_ - 1);
}

}  // namespace mel
