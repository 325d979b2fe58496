// The MFi and CMX writer: the score as one track chunk per written track, with
// the values of the "MLDファイル設定" / "PMDファイル設定" dialogs. The track
// merge and the size limit stage run on its output (mfi_track_merge.h,
// mfi_size_limit.h); mfi_output.h chains them as the dispatcher does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The MFi handset layouts of the "機種" list, in its order.
enum MfiLayout : int {
  kMfiLayoutStandard = 0,  // "標準(1ﾄﾗｯｸ4和音)": merged, 4 chords
  kMfiLayoutSh = 1,        // "SH系(4ﾄﾗｯｸ4和音)"
  kMfiLayoutF = 2,         // "F系(4ﾄﾗｯｸ4和音/全ch0)": end marker FF DE 00
  kMfiLayout503i = 3,      // "503i系(4ﾄﾗｯｸ16和音)": merged, 16 chords
};

// outputVoice value "音色/音量なし": no voice and no volume events.
constexpr int kNoVoiceOrVolume = 257;

// Everything the writer takes from its settings dialog, as stored on OK.
struct MfiWriterSettings {
  bool cmx = false;
  int layout = kMfiLayoutStandard;  // MFi only
  bool sixteenChord = false;
  bool chordsInChannel = false;     // 16-chord mode only
  bool extendedScale = false;       // 16-chord mode only: 4-byte notes
  int outputVoice = 0;              // MFi only
  int outputVelocity = 0;
  bool mailBase64 = false;          // MFi only
  int polyphony = 4;                // tracks written
  std::string title;
  int tempo = 120;
  int key = 0;
  int startCounter = 0;
  int endCounter = 0;

  bool track_merge() const { return cmx || layout == kMfiLayoutStandard || layout == kMfiLayout503i; }
  bool four_byte_notes() const { return sixteenChord && extendedScale; }
  // The valid output key range the dialog names in its hint.
  int lowest_key() const;
  int highest_key() const;
};

// The dialog's values when it opens (as if OK were pressed at once): title,
// tempo within 30-250, the layout and polyphony from the settings, and the key
// auto-fitted over the tracks to be written.
MfiWriterSettings mfi_dialog_values(const SongInfo& song, const Settings& settings, bool cmx);

// A track the writer writes, with the channel (0-15) it was given.
struct MfiTrackPlan {
  int track = 0;
  int channel = 0;
};

// The tracks to write and their channels, in writing order.
std::vector<MfiTrackPlan> plan_mfi_tracks(const SongInfo& song, const Settings& settings,
                                          const MfiWriterSettings& mfi);

// The writer's output: the file ("melo" magic even for CMX, which the track
// merge renames) and the channel of each track chunk in chunk order.
struct MfiTracks {
  std::vector<uint8_t> bytes;
  std::vector<int> chunkChannels;
};

MfiTracks write_mfi_tracks(const Score& score, const SongInfo& song, const Settings& settings,
                           const MfiWriterSettings& mfi);

}  // namespace mel
