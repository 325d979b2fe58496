// The ALS melody reader (".als"): the title block, then one track per part
// header, each a run of notes made of length codes and a pitch byte.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads an ALS file into a score at 240 ticks per quarter note (960 to the
// whole note, the format's own unit).
void read_als_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
