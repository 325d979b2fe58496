// The Standard MIDI File reader (also reads DXM files, whose chunks are
// "CThd"/"CTrk"): reduces polyphonic MIDI tracks to monophonic score tracks.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

void read_midi_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
