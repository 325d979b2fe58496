// The kanji-coded ".mld" melodies: Shift-JIS text in which every two-byte
// character is one note, recognised by its opening bytes EF 41 8B A4.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads a kanji-coded melody into a one-track score at 240 ticks per quarter
// note; its title (Shift-JIS) goes to song.title unchanged.
void read_kanji_mld_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
