// The pana melody writer: "ML", up to three track chunks of nibble-packed
// notes, an instrument chunk per written track and the end chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定" dialog, as stored on OK.
struct PanaWriterSettings {
  int tempo = 126;        // a tempo of the code table, 60..168
  int key = 0;
  int noteLimit = 128;    // notes per track, 1..160 (0 and above 160 act as 160)
  int startCounter = 0;
  int endCounter = 0;
  int instrument = 0;     // "楽器No." code 1-10; 0 (an empty box, or text) writes 1, 3, 0
  bool melodyFileName = false;  // the create flow proposes the file name "melody"
};

// The dialog's values when it opens (as if OK were pressed at once): the
// first table tempo at least the song's tempo at speed, the key fitted over
// the first three tracks to be written, 128 notes, an empty instrument box.
PanaWriterSettings pana_dialog_values(const SongInfo& song, const Settings& settings);

std::vector<uint8_t> write_pana(const Score& score, const SongInfo& song, const Settings& settings,
                                const PanaWriterSettings& pana);

// write_pana with the dialog's start values: the dispatcher's pana writer.
std::vector<uint8_t> write_pana_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
