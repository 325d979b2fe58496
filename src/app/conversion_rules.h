// Rules about a finished conversion that the window and the command-line tool
// share.
#pragma once

#include <cstdint>

#include "score/score_stream.h"

namespace mel {

// True when a conversion gave something to play: a non-empty output from a
// song with at least one track and one note. Readers never fail, so random or cut-off bytes
// come out as an empty song; the window treats that as a failed load and the
// tool refuses it, rather than handing on a file without a note.
bool conversion_is_playable(const SongInfo& song, std::uintmax_t outputSize);

}  // namespace mel
