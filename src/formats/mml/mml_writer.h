// The MML text writer, in two dialects: MML (".mml", the text the MML reader
// accepts: braces around tracks, a quoted title, "&" ties) and the input text
// of the MML2MMF compiler (".mus": numbered track brackets, "C[ST:" title,
// "@V"/"@X"/"@P" commands, sixteen voice slots and a drum-key map). Shift-JIS
// text with CR LF line ends, at 960 ticks per whole note.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "MMLファイル設定" / "MML2MMFファイル設定" dialogs, as
// stored on OK.
struct MmlWriterSettings {
  bool mml2mmf = false;  // the MML2MMF dialect
  std::string title;     // at most 255 bytes
  int tempo = 120;       // 4..1024
  int key = 0;           // semitones
  int startCounter = 0;  // 0 = from the beginning
  int endCounter = 0;    // 0 = to the end
  int rhythmVoices = 0;  // MML2MMF: voice slots kept for drum keys, 0..15
};

// The dialogs' values when they open (as if OK were pressed at once). MML
// keeps the key; MML2MMF fits it by octaves into its keys 37..96 and computes
// the rhythm voices.
MmlWriterSettings mml_dialog_values(const SongInfo& song, const Settings& settings);
MmlWriterSettings mml2mmf_dialog_values(const SongInfo& song, const Settings& settings);

// The input tracks (1..32) the writer writes, in order: the selected ones,
// or every one in pseudo-chord mode, and the last one when none before it is.
std::vector<int> mml_written_tracks(const SongInfo& song, const Settings& settings);

// The text in the dialect of mml.mml2mmf.
std::vector<uint8_t> write_mml(const Score& score, const SongInfo& song, const Settings& settings,
                               const MmlWriterSettings& mml);

// The dispatcher's writers: write_mml with the dialogs' start values.
std::vector<uint8_t> write_mml_file(const Score& score, const SongInfo& song, const Settings& settings);
std::vector<uint8_t> write_mml2mmf_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
