// The Standard MIDI File writer: the score as a format-1 file, with every
// playback option (key, tempo factor, instruments, volumes, track selection,
// three-times repeat) applied.
#pragma once

#include <cstdint>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

std::vector<uint8_t> write_midi_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
