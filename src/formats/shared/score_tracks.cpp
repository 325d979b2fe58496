#include "formats/shared/score_tracks.h"

#include <algorithm>

#include "common/saturate.h"

namespace mel {

namespace {

// A gate more than this many ticks short of the next event ends the note early.
constexpr int64_t kGateSlack = 2;

}  // namespace

GatedLength gated_length(int64_t gate, int64_t elapsed, bool atEnd) {
  if (elapsed - gate > kGateSlack) return {gate + 1, elapsed - gate - 1};
  if (atEnd && gate > elapsed) return {gate, 0};
  return {elapsed, 0};
}

ScoreTracks::ScoreTracks(Score& score, SongInfo& song, std::size_t bound)
    : score_(score), song_(song), bound_(bound) {
  if (score_.bytes.size() < kScoreCapacity) score_.bytes.resize(kScoreCapacity, 0);
}

void ScoreTracks::start_track(int track, int part) {
  if (!records(track)) return;
  song_.trackStart[track - 1] = static_cast<int>(pos_);
  song_.part[track - 1] = part;
}

void ScoreTracks::control(int track, int code, int value) {
  if (full()) return;
  pos_ += write_event(song_, score_.bytes.data() + pos_, score_.bytes.data() + score_.bytes.size(), track, code, value);
}

int64_t ScoreTracks::timed(int track, int code, int64_t ticks) {
  int64_t written = 0;
  // Written piece by piece so that writing stops at the bound; the event
  // writer lays each piece out as one event.
  while (ticks > written && !full()) {
    int piece = static_cast<int>(std::min<int64_t>(ticks - written, kMaxEventDuration));
    std::size_t n = write_event(song_, score_.bytes.data() + pos_, score_.bytes.data() + score_.bytes.size(), track,
                                code, piece);
    if (n == 0) break;
    pos_ += n;
    written += piece;
    code = kRest;
  }
  return written;
}

void ScoreTracks::raise_song_length(int64_t time) { song_.songLength = std::max(song_.songLength, clamp_to_int(time)); }

void ScoreTracks::first_note(int track, int64_t leading) {
  if (records(track)) song_.firstNoteTime[track - 1] = clamp_to_int(leading + 1);
  int lead = clamp_to_int(leading);
  if (!leadInSet_ || lead < song_.leadIn) song_.leadIn = lead;
  leadInSet_ = true;
}

void ScoreTracks::note_end(int track, int64_t time) {
  if (records(track)) song_.lastNoteEnd[track - 1] = clamp_to_int(time + 1);
}

void ScoreTracks::end_track() {
  if (pos_ < score_.bytes.size()) score_.bytes[pos_++] = kEndOfTrack;
}

void ScoreTracks::discard_track(int track, std::size_t start) {
  pos_ = start;
  clear_track_fields(track);
}

void ScoreTracks::finish(int trackCount) {
  song_.trackCount = trackCount;
  score_.length = std::min(pos_, score_.bytes.size());
}

void ScoreTracks::clear_track_fields(int track) {
  if (!records(track)) return;
  int i = track - 1;
  for (SongInfo::TrackInts* field : {&song_.trackStart, &song_.lowestPitch, &song_.highestPitch,
                                     &song_.firstNoteTime, &song_.lastNoteEnd, &song_.noteCount, &song_.program,
                                     &song_.volume, &song_.part}) {
    (*field)[i] = 0;
  }
}

}  // namespace mel
