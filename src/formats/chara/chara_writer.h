// The chara melody writer: one part of the score as chara text, with the
// values of the "きゃらメロディー設定" dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "きゃらメロディー設定" dialog, as stored on OK.
struct CharaWriterSettings {
  std::string headerMark = "]]";  // "]]" or "*6*6", or typed text (up to 255 bytes)
  int tempo = 120;                // a table tempo, 60..168
  int key = 0;
  int noteLimit = 64;             // written notes, 0 = none, at most 32767
  int startCounter = 0;
  int endCounter = 0;
};

// The dialog's values when it opens (as if OK were pressed at once): header
// mark "]]", the first table tempo at least the song's, the key fitted over
// the track to be written, note limit 64.
CharaWriterSettings chara_dialog_values(const SongInfo& song, const Settings& settings);

// The text: the title line (the song's title, at most 15 bytes), the header
// mark, the tempo digit and the notes of the one written track.
std::vector<uint8_t> write_chara(const Score& score, const SongInfo& song, const Settings& settings,
                                 const CharaWriterSettings& chara);

// write_chara with the dialog's start values: the dispatcher's chara writer.
std::vector<uint8_t> write_chara_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
