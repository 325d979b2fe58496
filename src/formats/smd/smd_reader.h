// The J-SKY SMD reader (".smd" and ".smz" files that do not begin "MMMD"):
// the title in its 7-bit escapes turned into CP932, then one score track per
// track section.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads an SMD melody into score and song. Never fails: unknown bytes are
// skipped, and a file without track sections gives the title and no track.
void read_smd_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
