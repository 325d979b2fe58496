// Sound for the command-line tool: renders or plays a Standard MIDI File
// through the FluidSynth synthesizer with a General MIDI SoundFont. The
// synthesizer library is loaded when a render or play first needs it, so the
// other commands start without it. Builds without FluidSynth (the Windows
// console build), and machines where its library cannot be loaded, report
// that audio is not available.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mel::cli {

enum class AudioOutcome {
  Done,
  NotAvailable,         // this build has no synthesizer, or its library cannot be loaded
  SoundFontUnreadable,  // the SoundFont could not be loaded
  OutputUnwritable,     // the WAV file could not be created
  NoDevice,             // no audio device could be opened (play only)
  SynthFailed,          // the synthesizer refused the song or failed while rendering
};

// True when this build can render and play: the synthesizer library is
// loaded (on the first call). Otherwise reason says why, in a few words.
bool audio_available(std::string& reason);

// The SoundFont to use: the given path, else the first General MIDI SoundFont
// installed by the system's packages; nullopt when there is none.
std::optional<std::filesystem::path> find_soundfont(const std::optional<std::filesystem::path>& requested);

// Renders the MIDI bytes into a WAV file (44100 Hz, 16-bit stereo). The file
// is written under a temporary name and renamed into place when complete.
AudioOutcome render_midi_to_wav(const std::vector<uint8_t>& midi, const std::filesystem::path& wav,
                                const std::filesystem::path& soundfont, std::string& detail);

// Plays the MIDI bytes to the audio device and returns when the song is over.
AudioOutcome play_midi(const std::vector<uint8_t>& midi, const std::filesystem::path& soundfont,
                       std::string& detail);

}  // namespace mel::cli
