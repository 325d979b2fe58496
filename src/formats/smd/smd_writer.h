// The J-SKY SMD writer: the title, then one track section per written track
// (at most `smdhmn`), each note and rest as characters of 480, 240, 120 and 60
// ticks at 960 per whole note, with triplet groups where the song has them.
// Settings are those of the "SMDファイル設定" dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "SMDファイル設定" dialog, as stored on OK.
struct SmdWriterSettings {
  std::string title;    // at most 24 bytes, never splitting a double-byte character
  int tempo = 126;      // 96, 108, 126 or 150
  int key = 0;          // -36..36
  int noteLimit = 256;  // note and rest characters per track, 0 = none (smdnum)
  int startCounter = 0;
  int endCounter = 0;
};

// The dialog's values when it opens (as if OK were pressed at once): the
// title cut, the first tempo choice not below the song's, the key auto-fitted
// into the handset's range over the tracks to be written, the note limit from
// `smdnum`.
SmdWriterSettings smd_dialog_values(const SongInfo& song, const Settings& settings);

// The tempo choice for a tempo: the first of 96, 108, 126, 150 that is not
// below it, else 150.
int smd_tempo_choice(int64_t tempo);

// The input tracks (1..32) the writer writes, in order: the selected ones (all
// in pseudo-chord mode), the last one when none before it is, at most `smdhmn`.
std::vector<int> smd_written_tracks(const SongInfo& song, const Settings& settings);

// A title as the format stores it: control bytes left out, then cut to 24
// bytes without splitting a double-byte character.
std::string smd_title(const std::string& title);

std::vector<uint8_t> write_smd(const Score& score, const SongInfo& song, const Settings& settings,
                               const SmdWriterSettings& smd);

// The writer with the dialog's start values: the dispatcher's SMD writer.
std::vector<uint8_t> write_smd_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
