// The pana melody reader (the 623P handset's ".pmd"): one track per track
// chunk, notes from its nibble stream, and the instrument chunks' programs.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads a pana melody into a score at 240 ticks per quarter note (960 to the
// whole note, the format's own unit).
void read_pana_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
