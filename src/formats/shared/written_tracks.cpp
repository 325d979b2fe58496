#include "formats/shared/written_tracks.h"

#include <algorithm>

namespace mel {

bool track_is_written(const Settings& settings, int track, bool last, bool noneTaken) {
  return settings.conv.pseudo_chord_mode() || settings.play.track_selected(track) || (last && noneTaken);
}

std::vector<TrackSpan> score_track_spans(const Score& score) {
  const uint8_t* bytes = score.bytes.data();
  std::size_t length = std::min(score.length, score.bytes.size());
  std::vector<TrackSpan> spans;
  std::size_t pos = kFirstTrackOffset;
  while (static_cast<int>(spans.size()) < kMaxTracks) {
    TrackSpan span{static_cast<int>(spans.size()) + 1, pos, pos};
    ScoreEvent ev = decode_score_event(bytes, length, pos);
    while (ev.kind != ScoreEvent::EndOfTrack && ev.kind != ScoreEvent::EndOfScore) {
      pos += ev.size;
      ev = decode_score_event(bytes, length, pos);
    }
    span.end = pos;
    spans.push_back(span);
    if (ev.kind != ScoreEvent::EndOfTrack) break;
    pos += ev.size;
  }
  return spans;
}

std::vector<TrackSpan> written_track_spans(const Score& score, const Settings& settings, int limit) {
  std::vector<TrackSpan> all = score_track_spans(score);
  std::vector<TrackSpan> taken;
  for (const TrackSpan& span : all) {
    if (static_cast<int>(taken.size()) >= limit) break;
    if (track_is_written(settings, span.track, span.track == static_cast<int>(all.size()), taken.empty())) {
      taken.push_back(span);
    }
  }
  return taken;
}

std::vector<int> written_track_numbers(const SongInfo& song, const Settings& settings, int limit) {
  int last = std::clamp(song.scoreTrackCount, 1, kMaxTracks);
  std::vector<int> taken;
  for (int t = 1; t <= last && static_cast<int>(taken.size()) < limit; ++t) {
    if (track_is_written(settings, t, t == last, taken.empty())) taken.push_back(t);
  }
  return taken;
}

}  // namespace mel
