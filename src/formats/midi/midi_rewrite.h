// The direct MIDI rewrite: copies a Standard MIDI File or DXM source event by
// event into a Standard MIDI File, changing only what the playback options ask
// for, so every voice of the source is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// song must hold what the MIDI reader found in the same source (timebase,
// title, copyright, sourceTrackSet). Returns nothing when the source has no
// header chunk ahead of its first track chunk: such a source cannot be
// rewritten into a file a MIDI reader accepts.
std::vector<uint8_t> rewrite_midi_file(ByteView source, const SongInfo& song, const Settings& settings);

}  // namespace mel
