// The ALS melody writer: the title block, then one part per written track
// (up to alshmn), each a part header and the track's notes and rests as
// length codes and pitch bytes, ended by 0xFF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "ALSファイル設定" dialog, as stored on OK.
struct AlsWriterSettings {
  std::string title;          // up to 255 bytes
  int tempo = 120;            // 60..182, even
  int key = 0;
  int noteLimit = 128;        // codes per part, 0 = none (alsnum)
  int startCounter = 0;
  int endCounter = 0;
  bool tiesAsRests = false;          // "タイを休符に置換"
  bool restBetweenRepeats = false;   // "同音階連続は休符挿入"
  bool approximateTriplets = false;  // "3連符を近似値に置換"
  int parts = 1;              // alshmn, 1..12; the chord box is ticked above 1
};

// The dialog's values when it opens (as if OK were pressed at once): the
// tempo made even within 60-182, the key fitted over the first alshmn tracks
// to be written, the note limit from alsnum, the three options off.
AlsWriterSettings als_dialog_values(const SongInfo& song, const Settings& settings);

std::vector<uint8_t> write_als(const Score& score, const SongInfo& song, const Settings& settings,
                               const AlsWriterSettings& als);

// write_als with the dialog's start values: the dispatcher's ALS writer.
std::vector<uint8_t> write_als_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
