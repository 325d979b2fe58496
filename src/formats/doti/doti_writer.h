// The dot-i / MOZiO writer: the score as the melody text, in the dot-i layout
// (".mmd": the first track in the melody tag, no line breaks) or the MOZiO
// layout (".mel", ".sml": an empty melody tag, every track in a harmony tag on
// a line of its own), with the values of the "ドットi/MOZiOファイル設定" dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The dialog's values as stored on OK, and the layout the file is written in.
struct DotiWriterSettings {
  bool mozio = false;             // the MOZiO layout, else dot-i
  std::string title;              // the writer escapes it and cuts it to 22 bytes
  int tempo = 168;                // the writer takes the first code at least this fast
  int key = 0;                    // semitones
  int noteLimit = 64;             // symbols per track, 0 = none
  int startCounter = 0;           // counter steps, 1-based; 0 = from the start
  int endCounter = 0;             // counter steps; 0 = to the end
  bool sixteenthTriplets = false; // "16分3連符を使用許可(AT-33用)"
};

// The dialog's values when it opens (as if OK were pressed at once): the song
// title, the tempo of the code table, the key fitted towards 72..108 over the
// first mmdhmn tracks to write (rhythm tracks included), the note limit mmdnum.
DotiWriterSettings doti_dialog_values(const SongInfo& song, const Settings& settings);

// The text of the melody; mmdhmn tracks at most.
std::vector<uint8_t> write_doti(const Score& score, const SongInfo& song, const Settings& settings,
                                const DotiWriterSettings& doti);

// The dispatcher's writers: the dialog's start values in either layout.
std::vector<uint8_t> write_doti_file(const Score& score, const SongInfo& song, const Settings& settings);
std::vector<uint8_t> write_mozio_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
