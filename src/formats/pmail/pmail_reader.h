// The X-PmailDX / X-BANDAI melody data (".dat"): a tempo byte, then one voice
// of note bytes and sticky length commands, ended by 0xFF.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads melody data (already decoded from mail text when it came as such) into
// a one-track score at 240 ticks per quarter note.
void read_pmail_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
