// The dot-i / MOZiO melody text (".mmd", ".mel", ".sml"): the melody tag's
// symbols make track 1, every harmony tag that follows a track with symbols
// begins the next one.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads the text into a score at 960 ticks per whole note. A text without a
// melody tag gives the tempo bytes alone and trackCount 0.
void read_doti_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
