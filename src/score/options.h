// Playback options (set by the window's controls, read by the writers), the
// conversion options (how readers reduce music and passes reshape it) and the
// writers' settings that the dispatcher reads. All start at the values a fresh
// window starts with.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/limits.h"

namespace mel {

// PerTrackProgram / PerTrackVolume entry meaning "follow the score".
constexpr int kFollowScore = 129;
// SpeedFactor meaning "as written" (sixteenths).
constexpr int kSpeedAsWritten = 16;
// noteLengthScale meaning "x 1" (sixteenths).
constexpr int kScaleAsWritten = 16;
// The giziwaon word: bits 0-1 hold the pseudo-chord level, bit 2 the mode.
constexpr int kPseudoChordLevelMask = 0x3;
constexpr int kPseudoChordModeBit = 0x4;

struct PlaybackOptions {
  int KeyOffset = 0;                    // -24..24 semitones
  int SpeedFactor = kSpeedAsWritten;    // 1..255 sixteenths
  int TrackSelection = 0;               // 0 = all tracks, else the first selected track
  uint32_t TrackMask = 0;               // bit (track - 1) = selected
  int KeepFileInstruments = 1;
  int StandardInstrument = 1;
  int StandardVolume = 1;
  std::array<int, kMaxTracks> PerTrackProgram{};  // 0 none, 1-128 program + 1, 129 follow
  std::array<int, kMaxTracks> PerTrackVolume{};   // 0 none, 1-128 volume + 1, 129 follow
  int ThreeTimes = 0;
  int ForPlayback = 1;
  int MidiStandard = 1;
  int TrackSplit = 0;
  int MultiTrackSelect = 1;
  int velocity = 100;  // default note velocity
  int volume = 100;    // default channel volume
  int melody = 1;      // default program
  int excutplay = 0;   // direct rewrite replaces system-exclusive events
  int txtfileas = 0;   // how ".txt" input is taken: 0 automatic, 1 chara, 2 MML, 3 MFi

  bool track_selected(int track) const {
    return TrackSelection == 0 || (track >= 1 && track <= kMaxTracks && ((TrackMask >> (track - 1)) & 1u));
  }
};

struct ConversionOptions {
  int shortNoteCutLevel = 0;       // 0..100 whole-note units
  int lowNoteCutLevel = 0;         // 0..127
  int lowNoteFoldLevel = 0;        // 0..127
  int noteLengthScale = kScaleAsWritten;  // 4, 8, 16, 32, 64
  int giziwaon = 3;                // level in bits 0-1, mode in bit 2
  int gizino = 1;                  // 1..8
  int accompanimentLevel = 0;      // 0..2
  int chsepcnt = 4;                // 2..16
  int chordSplitChannels = 0xFFFF; // bit 0 = channel 1
  int relnflg = 1;
  int l16nouse = 0;
  int highmld = 0;
  int restcut = 0;
  std::array<int, kMaxTracks> octaveShift{};

  bool pseudo_chord_mode() const { return giziwaon > 4; }
  int pseudo_chord_level() const { return giziwaon & kPseudoChordLevelMask; }
};

// Settings of the format writers that the dispatcher itself reads.
struct WriterSettings {
  int mldbyte = 5120;      // MFi size limit, 0 = none
  int ezpmdbyte = 10240;   // CMX size limit, 0 = none
  int dxmbyte = 10240;
  int mailBase64 = 0;      // MFi output as Base64 mail text
  int mfiTrackMerge = 1;   // MFi track merge (set from the handset layout)
  int mldhmn = 4;          // MFi polyphony: the number of tracks written
  int ezpmdhmn = 16;       // CMX polyphony (16-chord mode above 4)
  int mldLayout = 0;       // MFi handset layout, a row of kMfiLayouts
  int extendedScale = 0;   // 4-byte notes (wider scale, velocity) in 16-chord mode
  int chordsInChannel = 0; // tracks of one part share a channel in 16-chord mode
  int outputVoice = 0;     // MFi: 0 the score's voices, 1-256 one voice + 1, 257 none
  int outputVelocity = 0;  // fixed velocity of 4-byte notes, 0 = the score's
  // DXM settings dialog
  int dxmVelocity = 0;          // fixed note-on velocity, 0 = the score's
  int dxmSharedChannels = 0;    // tracks with the same instrument share a channel
  int dxmRhythmReplace = 0;     // guitar noise / gunshot tracks become snare hits
  int dxmChordLimit = 0;        // the finishing stage limits simultaneous notes
  int dxmPitchBend = 0;         // from MIDI: keep pitch bends, modulation and sustain
  // SMD settings
  int smdnum = 256;  // note and rest characters per track, 0 = none
  int smdhmn = 5;    // number of tracks written
  // dot-i / MOZiO settings dialog and writer
  int mmdnum = 64;  // note limit per track, 0 = none
  int mmdhmn = 3;   // tracks written
  // ALS settings dialog
  int alsnum = 128;             // note limit per part, 0 = none
  int alshmn = 1;               // number of parts written
  // The check boxes of the dot-i, ALS and pana dialogs keep their last choice
  // while the program runs (no settings key; `convert` starts them off).
  int dotiSixteenthTriplets = 0;
  int alsTiesAsRests = 0;
  int alsRestBetweenRepeats = 0;
  int alsApproximateTriplets = 0;
  int panaMelodyFileName = 0;
};

// Everything a reader, pass or writer may consult.
struct Settings {
  PlaybackOptions play;
  ConversionOptions conv;
  WriterSettings writers;
};

// One option that the command line and the settings file can name.
struct OptionInfo {
  const char* name;         // the option's name in the system
  const char* settingsKey;  // its settings-file key, or nullptr
  int startValue;
  int minValue;
  int maxValue;
  const char* meaning;
  int* (*field)(Settings&);
};

// Every conversion option and the playback and writer values that have a
// settings key or a range, in a fixed order.
const std::vector<OptionInfo>& option_table();

// Finds an option by settings key or name (ASCII case-insensitive); nullptr if none.
const OptionInfo* find_option(const std::string& keyOrName);

// Validates and stores a value. Returns false (and leaves settings as they are)
// when the value is outside the option's range or not allowed.
bool set_option(Settings& settings, const OptionInfo& option, int value);

}  // namespace mel
