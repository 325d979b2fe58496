// The chara melody text (".cmd", and ".txt" taken as chara) read into a
// one-track score at 240 ticks per quarter note.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

void read_chara_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
