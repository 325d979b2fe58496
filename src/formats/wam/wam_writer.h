// The WAM melody writer: one part of the score as a WAM file, with the values
// of the "WAMファイル設定" dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "WAMファイル設定" dialog, as stored on OK.
struct WamWriterSettings {
  std::string title;   // up to 22 bytes of whole characters
  int tempo = 120;     // a table tempo, 60..168
  int key = 0;
  int noteLimit = 64;  // note slots, 1..64; 0 or more than 64 means 64
  int startCounter = 0;
  int endCounter = 0;
};

// The title as the dialog and the writer keep it: whole characters up to 22
// bytes, without a lead byte that ends the text.
std::string wam_title(const std::string& title);

// The dialog's values when it opens (as if OK were pressed at once): the
// song's title, the first table tempo at least the song's, the key fitted over
// the track to be written, 64 notes.
WamWriterSettings wam_dialog_values(const SongInfo& song, const Settings& settings);

std::vector<uint8_t> write_wam(const Score& score, const SongInfo& song, const Settings& settings,
                               const WamWriterSettings& wam);

// write_wam with the dialog's start values: the dispatcher's WAM writer.
std::vector<uint8_t> write_wam_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
