// The MML text reader (".mml", ".mmlc", and ".txt" taken as MML): Shift-JIS
// text of one-letter commands and note names, a track per "{" block, read into
// the score at 240 ticks per quarter note.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The remark left in SongInfo::notices when the text holds no note or rest at
// all: such a text is not MML, and the song has no note to play.
extern const char* const kNotMmlNotice;

// Reads MML text into the score. Unknown bytes are skipped and numbers
// clamped; reading ends at the end of the text, at a "{" that would begin a
// 33rd track, or when the score is full.
void read_mml_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
