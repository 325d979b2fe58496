// The DXM writer: the score as an "MCDF" container holding a MIDI-like song
// ("CThd" / "CTrk" chunks, 24 ticks per quarter note, note-offs without a
// velocity byte), then the finishing stage that merges its chunks into one,
// optionally limits simultaneous notes, and cuts the file to the size limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The values of the "DXMファイル設定" dialog, as stored on OK.
struct DxmWriterSettings {
  std::string title;
  int tempo = 120;            // 30..250
  int key = 0;                // -36..36
  int sizeLimit = 0;          // dxmbyte, 0 = 262144
  int startCounter = 0;
  int endCounter = 0;
  int velocity = 0;           // fixed note-on velocity, 0 = the score's
  bool sharedChannels = false;  // tracks with the same instrument share a channel
  bool rhythmReplace = false;   // programs 120 and 127 become snare hits
  bool chordLimit = false;      // the finishing stage drops the 13th and later notes
  bool keepPitchBend = false;   // from MIDI: keep pitch bends, modulation and sustain
};

// A track the score path writes: its channel (index 9 is the rhythm channel)
// and its octave-shift row.
struct DxmTrackPlan {
  int track = 0;
  int channel = 0;
  int octaveRow = -1;    // -1: no octave-shift row (rhythm channel)
  bool snare = false;    // a melodic track played as snare hits
};

// The tracks the score path writes, in writing order.
std::vector<DxmTrackPlan> plan_dxm_tracks(const SongInfo& song, const PlaybackOptions& play,
                                          const ConversionOptions& conv, const DxmWriterSettings& dxm);

// The dialog's values when it opens (as if OK were pressed at once).
DxmWriterSettings dxm_dialog_values(const SongInfo& song, const Settings& settings);

// The first stage: the container with one "CTrk" per written track.
std::vector<uint8_t> write_dxm_tracks(const Score& score, const SongInfo& song, const Settings& settings,
                                      const DxmWriterSettings& dxm);

// The finishing stage: all "CTrk" chunks merged into one.
std::vector<uint8_t> finish_dxm(ByteView container, const DxmWriterSettings& dxm);

// Both stages with the dialog's start values: the dispatcher's DXM writer.
std::vector<uint8_t> write_dxm_file(const Score& score, const SongInfo& song, const Settings& settings);

// The first stage from the held MIDI or DXM bytes instead of the score (MIDI
// input played as written): song must be what the MIDI reader made of the same
// bytes (timebase, title, sourceTrackSet, programs).
std::vector<uint8_t> write_dxm_tracks_from_midi(ByteView source, const SongInfo& song, const Settings& settings,
                                                const DxmWriterSettings& dxm);
// Both stages from MIDI with the dialog's start values.
std::vector<uint8_t> write_dxm_file_from_midi(ByteView source, const SongInfo& song, const Settings& settings);

}  // namespace mel
