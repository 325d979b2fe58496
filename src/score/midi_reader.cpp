#include "score/midi_reader.h"

namespace mel {

void read_midi_file(ByteView, Score& score, SongInfo& song, const Settings&) {
  reset_song_header(song);
  store_score_tempo(score.bytes.data(), song.tempo);
  score.length = kFirstTrackOffset;
}

}  // namespace mel
