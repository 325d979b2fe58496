#include "cli/audio_output.h"

#include <chrono>
#include <fstream>
#include <random>
#include <system_error>
#include <thread>

#ifdef MEL_HAVE_FLUIDSYNTH
#include <dlfcn.h>
// Only for the types of the functions looked up below: the tool does not link
// the library.
#include <fluidsynth.h>

#include <cstdlib>
#endif

namespace mel::cli {

namespace fs = std::filesystem;

namespace {

// General MIDI SoundFonts installed by the distribution's packages, best first.
constexpr const char* kSystemSoundFonts[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
};

}  // namespace

std::optional<fs::path> find_soundfont(const std::optional<fs::path>& requested) {
  if (requested) return requested;
  for (const char* candidate : kSystemSoundFonts) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return fs::path(candidate);
  }
  return std::nullopt;
}

#ifndef MEL_HAVE_FLUIDSYNTH

bool audio_available(std::string& reason) {
  reason = "this build has no synthesizer";
  return false;
}

AudioOutcome render_midi_to_wav(const std::vector<uint8_t>&, const fs::path&, const fs::path&, std::string&) {
  return AudioOutcome::NotAvailable;
}

AudioOutcome play_midi(const std::vector<uint8_t>&, const fs::path&, std::string&) {
  return AudioOutcome::NotAvailable;
}

#else

namespace {

// The FluidSynth functions the tool calls. They are looked up in the library
// when a render or play first needs them: linking it would load the
// synthesizer and the sixty-odd libraries behind it at every start, for
// convert, info and detect too.
#define MEL_FLUID_FUNCTIONS(X)                                                                          \
  X(new_fluid_settings) X(delete_fluid_settings) X(fluid_settings_setstr) X(fluid_settings_setnum)     \
  X(fluid_settings_setint) X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)              \
  X(new_fluid_player) X(delete_fluid_player) X(fluid_player_add_mem) X(fluid_player_play)              \
  X(fluid_player_get_status) X(fluid_player_join) X(new_fluid_file_renderer)                           \
  X(delete_fluid_file_renderer) X(fluid_file_renderer_process_block) X(new_fluid_audio_driver)         \
  X(delete_fluid_audio_driver) X(fluid_set_log_function)

struct FluidApi {
#define MEL_FLUID_POINTER(name) decltype(&::name) name = nullptr;
  MEL_FLUID_FUNCTIONS(MEL_FLUID_POINTER)
#undef MEL_FLUID_POINTER
};

// The library to load: MELVARINO_FLUIDSYNTH names another build of it (a
// path or a library name); by default the one the tool was built against.
constexpr const char* kFluidSynthVariable = "MELVARINO_FLUIDSYNTH";
constexpr const char* kFluidSynthLibrary = MEL_FLUIDSYNTH_LIBRARY;

// ALSA's error handler and the function that installs it. ALSA prints its own
// lines on stderr while the audio drivers look for a sound card; the tool
// says in one line what came of it instead.
using SoundLibraryErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                          const char* format, ...);
using SetSoundLibraryErrorHandler = int (*)(SoundLibraryErrorHandler);
constexpr const char* kSetSoundLibraryErrorHandler = "snd_lib_error_set_handler";

void ignore_sound_library_error(const char*, int, const char*, int, const char*, ...) {}

template <typename Function>
bool look_up(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Loads the library once for the life of the process (it is never unloaded:
// its drivers keep threads). Returns nullptr, with the reason, when it cannot.
const FluidApi* fluid_api(std::string& reason) {
  static FluidApi api;
  static std::string failure;
  static const bool loaded = [] {
    const char* requested = std::getenv(kFluidSynthVariable);
    const char* name = requested && *requested ? requested : kFluidSynthLibrary;
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      failure = why ? why : std::string("cannot load ") + name;
      return false;
    }
#define MEL_FLUID_LOOK_UP(function)                                           \
  if (!look_up(library, #function, api.function)) {                           \
    failure = std::string(name) + " has no function " + #function;            \
    return false;                                                             \
  }
    MEL_FLUID_FUNCTIONS(MEL_FLUID_LOOK_UP)
#undef MEL_FLUID_LOOK_UP
    // Found among the synthesizer's own dependencies when it was built with
    // ALSA; nothing to silence otherwise.
    SetSoundLibraryErrorHandler setHandler = nullptr;
    if (look_up(library, kSetSoundLibraryErrorHandler, setHandler)) setHandler(ignore_sound_library_error);
    return true;
  }();
  if (!loaded) {
    reason = failure;
    return nullptr;
  }
  return &api;
}

constexpr double kSampleRate = 44100.0;
// The file renderer writes blocks of the synthesizer's period size.
constexpr int kPeriodSize = 64;
// A song never renders longer than this (a safety stop for endless input).
constexpr double kMaxRenderSeconds = 60.0 * 60.0;
// The player itself lets released notes ring for a moment after the last
// event; this covers what is still in the device's buffers.
constexpr auto kPlayTail = std::chrono::milliseconds(300);
// Random names tried for the file being rendered before taking the last one.
constexpr int kTemporaryNameAttempts = 100;
// The synthesizer's default gain (0.2) leaves a single melody line very quiet.
constexpr double kGain = 0.5;

// Audio drivers tried for play, in order. JACK is left out: it may start a
// server of its own.
constexpr const char* kAudioDrivers[] = {"pulseaudio", "pipewire", "alsa", "oss", "sdl2", "portaudio"};

// Collects FluidSynth's error messages instead of printing them, so the tool
// says one clear line itself.
std::string* g_log_sink = nullptr;

void collect_log(int, const char* message, void*) {
  if (g_log_sink && message) {
    if (!g_log_sink->empty()) *g_log_sink += "; ";
    *g_log_sink += message;
  }
}

void silence_synth_log(const FluidApi& fluid) {
  fluid.fluid_set_log_function(FLUID_PANIC, collect_log, nullptr);
  fluid.fluid_set_log_function(FLUID_ERR, collect_log, nullptr);
  fluid.fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid.fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  fluid.fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

// Owns the FluidSynth objects of one render or playback, deleted in reverse.
struct Synth {
  const FluidApi& fluid;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  fluid_file_renderer_t* renderer = nullptr;
  fluid_audio_driver_t* driver = nullptr;
  std::string log;

  explicit Synth(const FluidApi& api) : fluid(api) {
    g_log_sink = &log;
    silence_synth_log(fluid);
    settings = fluid.new_fluid_settings();
    if (settings) fluid.fluid_settings_setnum(settings, "synth.gain", kGain);
  }
  ~Synth() {
    if (driver) fluid.delete_fluid_audio_driver(driver);
    if (renderer) fluid.delete_fluid_file_renderer(renderer);
    if (player) fluid.delete_fluid_player(player);
    if (synth) fluid.delete_fluid_synth(synth);
    if (settings) fluid.delete_fluid_settings(settings);
    g_log_sink = nullptr;
  }
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  AudioOutcome start(const std::vector<uint8_t>& midi, const fs::path& soundfont, std::string& detail) {
    if (!settings) return fail(AudioOutcome::SynthFailed, detail);
    synth = fluid.new_fluid_synth(settings);
    if (!synth) return fail(AudioOutcome::SynthFailed, detail);
    if (fluid.fluid_synth_sfload(synth, soundfont.string().c_str(), 1) == FLUID_FAILED) {
      return fail(AudioOutcome::SoundFontUnreadable, detail);
    }
    player = fluid.new_fluid_player(synth);
    if (!player || fluid.fluid_player_add_mem(player, midi.data(), midi.size()) != FLUID_OK) {
      return fail(AudioOutcome::SynthFailed, detail);
    }
    return AudioOutcome::Done;
  }

  AudioOutcome fail(AudioOutcome outcome, std::string& detail) const {
    detail = log;
    return outcome;
  }
};

// A name beside the target that no other file has, so that neither a file the
// user keeps there nor a second render running at the same time is replaced.
fs::path temporary_name_beside(const fs::path& target) {
  std::random_device seed;
  std::uniform_int_distribution<unsigned> draw(0, 0xFFFFFF);
  fs::path temp;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temp = target;
    temp += ".part" + std::to_string(draw(seed));
    std::error_code ec;
    if (!fs::exists(temp, ec)) break;
  }
  return temp;
}

}  // namespace

bool audio_available(std::string& reason) { return fluid_api(reason) != nullptr; }

AudioOutcome render_midi_to_wav(const std::vector<uint8_t>& midi, const fs::path& wav, const fs::path& soundfont,
                                std::string& detail) {
  const FluidApi* fluid = fluid_api(detail);
  if (!fluid) return AudioOutcome::NotAvailable;
  fs::path temp = temporary_name_beside(wav);
  {
    // The renderer only says that it failed; creating the file first tells an
    // unwritable place apart from a synthesizer failure.
    std::ofstream probe(temp, std::ios::binary | std::ios::trunc);
    if (!probe) {
      detail = "cannot create the file";
      return AudioOutcome::OutputUnwritable;
    }
  }
  AudioOutcome outcome = AudioOutcome::Done;
  {
    Synth s(*fluid);
    fluid->fluid_settings_setstr(s.settings, "audio.file.name", temp.string().c_str());
    fluid->fluid_settings_setstr(s.settings, "audio.file.type", "wav");
    fluid->fluid_settings_setnum(s.settings, "synth.sample-rate", kSampleRate);
    fluid->fluid_settings_setint(s.settings, "audio.period-size", kPeriodSize);
    // Follow the rendered samples, not the wall clock: renders as fast as it can.
    fluid->fluid_settings_setstr(s.settings, "player.timing-source", "sample");
    fluid->fluid_settings_setint(s.settings, "synth.lock-memory", 0);
    outcome = s.start(midi, soundfont, detail);
    if (outcome == AudioOutcome::Done) {
      s.renderer = fluid->new_fluid_file_renderer(s.synth);
      if (!s.renderer || fluid->fluid_player_play(s.player) != FLUID_OK) {
        outcome = s.fail(AudioOutcome::SynthFailed, detail);
      }
    }
    if (outcome == AudioOutcome::Done) {
      const long long maxBlocks = static_cast<long long>(kMaxRenderSeconds * kSampleRate / kPeriodSize);
      long long blocks = 0;
      while (fluid->fluid_player_get_status(s.player) == FLUID_PLAYER_PLAYING && blocks < maxBlocks) {
        if (fluid->fluid_file_renderer_process_block(s.renderer) != FLUID_OK) {
          outcome = s.fail(AudioOutcome::SynthFailed, detail);
          break;
        }
        ++blocks;
      }
    }
  }  // the renderer closes the file here
  std::error_code ec;
  if (outcome != AudioOutcome::Done) {
    fs::remove(temp, ec);
    return outcome;
  }
  fs::rename(temp, wav, ec);
  if (ec) {
    fs::remove(temp, ec);
    detail = "cannot move the rendered file into place";
    return AudioOutcome::OutputUnwritable;
  }
  return AudioOutcome::Done;
}

AudioOutcome play_midi(const std::vector<uint8_t>& midi, const fs::path& soundfont, std::string& detail) {
  const FluidApi* fluid = fluid_api(detail);
  if (!fluid) return AudioOutcome::NotAvailable;
  Synth s(*fluid);
  fluid->fluid_settings_setnum(s.settings, "synth.sample-rate", kSampleRate);
  AudioOutcome outcome = s.start(midi, soundfont, detail);
  if (outcome != AudioOutcome::Done) return outcome;
  for (const char* driver : kAudioDrivers) {
    if (fluid->fluid_settings_setstr(s.settings, "audio.driver", driver) != FLUID_OK) continue;
    s.driver = fluid->new_fluid_audio_driver(s.settings, s.synth);
    if (s.driver) break;
  }
  if (!s.driver) return s.fail(AudioOutcome::NoDevice, detail);
  if (fluid->fluid_player_play(s.player) != FLUID_OK) return s.fail(AudioOutcome::SynthFailed, detail);
  fluid->fluid_player_join(s.player);
  std::this_thread::sleep_for(kPlayTail);
  return AudioOutcome::Done;
}

#endif

}  // namespace mel::cli
