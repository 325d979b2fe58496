// The score bookkeeping shared by the readers of one-voice formats (X-PmailDX
// data, kanji-coded MLD): a single track of notes and rests that starts at
// offset 2, with rests gathered until the next sounding note and no
// EndOfTrack after it.
#pragma once

#include <cstddef>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// A one-voice reader stops taking events once the write position passes this
// offset, so that the last rest and note still fit in the score buffer.
constexpr std::size_t kSingleVoiceReaderBound = 0x3FFFA;

class SingleVoiceTrack {
 public:
  // Resets the song header and starts track 1 with the reset tempo.
  SingleVoiceTrack(Score& score, SongInfo& song, const ConversionOptions& options);

  // Stores the song tempo in the header and the score's first two bytes.
  void set_tempo(int tempo);

  // True once the write position has passed the reader bound.
  bool full() const { return pos_ > kSingleVoiceReaderBound; }

  // Adds a note (key 1-127, after the note filter) or a rest (key 0) of the
  // given length in ticks. Rests and filtered notes are gathered and written
  // in front of the next sounding note.
  void add(int key, long long ticks);

  // Writes the gathered rest and sets the score length.
  void finish();

 private:
  void write(int code, long long ticks);

  Score& score_;
  SongInfo& song_;
  const ConversionOptions& options_;
  std::size_t pos_ = kFirstTrackOffset;
  long long time_ = 0;         // running time of the track in ticks
  long long pendingRest_ = 0;  // rest gathered since the last sounding note
  bool hasNote_ = false;
};

}  // namespace mel
