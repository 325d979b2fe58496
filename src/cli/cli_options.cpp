#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/path_util.h"
#include "score/format_codes.h"
#include "convert/format_registry.h"
#include "convert/format_table.h"
#include "app/dialogs/dialog_ids.h"
#include "app/settings_model.h"
#include "cli/text_encoding.h"

namespace mel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersion = "V8.00";
constexpr const char* kWavExtension = ".wav";

// Ranges of the options that have their own flag.
constexpr int kMinKeyOffset = -24;
constexpr int kMaxKeyOffset = 24;
constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 255;
constexpr int kMinProgram = 0;
constexpr int kMaxProgram = 127;
constexpr int kMinVolume = 0;
constexpr int kMaxVolume = 127;
// The key detail dialog's range for a track's octave shift.
constexpr int kMinOctaveShift = -2;
constexpr int kMaxOctaveShift = 2;
// The width of the names column in the help's list of output formats.
constexpr std::size_t kFormatNameColumn = 16;
// Written in place of a per-track value: keep what the file says.
constexpr char kFollowFileMark[] = "*";

struct CommandName {
  const char* name;
  Command command;
};

constexpr CommandName kCommands[] = {
    {"detect", Command::Detect}, {"info", Command::Info}, {"convert", Command::Convert},
    {"render", Command::Render}, {"play", Command::Play}, {"help", Command::Help},
    {"version", Command::Version},
};

std::string lower_ascii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool is_one_of(const std::string& name, const std::vector<const char*>& names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

std::string without_dot(const char* extension) { return extension[0] == '.' ? extension + 1 : extension; }

// The --to names of a kind's Base64 mail text form: its extension, then its
// further names.
std::vector<const char*> mail_text_names(const OutputFormat& format) {
  std::vector<const char*> names;
  if (!format.mailTextExtension) return names;
  names.push_back(format.mailTextExtension + 1);
  names.insert(names.end(), format.mailTextNames.begin(), format.mailTextNames.end());
  return names;
}

// The --to names of a kind: the extensions that select it alone, then its
// further names.
std::vector<std::string> target_names(const OutputFormat& format) {
  std::vector<std::string> names;
  for (const char* extension : format.extensions) {
    if (output_kind_for_extension(extension) == format.kind) names.push_back(without_dot(extension));
  }
  names.insert(names.end(), format.aliases.begin(), format.aliases.end());
  return names;
}

void write_format_line(std::ostream& h, const std::vector<std::string>& names, const std::string& text) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  h << "  " << joined;
  for (std::size_t pad = joined.size(); pad < kFormatNameColumn; ++pad) h << ' ';
  h << " " << text << "\n";
}

// The output formats of --help, one line each, from the format table.
void write_output_formats(std::ostream& h) {
  for (const OutputFormat& format : output_formats()) {
    if (!format.byDispatcher || format.extensions.empty()) continue;
    std::vector<std::string> names = target_names(format);
    std::string text = format.name;
    // Say which extension the file gets when no name is the extension itself.
    if (output_kind_for_extension(format.extensions.front()) != format.kind) {
      text += std::string(" (") + format.extensions.front() + ")";
    }
    write_format_line(h, names, text);
    if (format.mailTextExtension) {
      const std::vector<const char*> mail = mail_text_names(format);
      write_format_line(h, std::vector<std::string>(mail.begin(), mail.end()),
                        std::string(format.name) + " as Base64 mail text (" + format.mailTextExtension + ")");
    }
  }
}

const char* command_name(Command command) {
  for (const CommandName& entry : kCommands) {
    if (entry.command == command) return entry.name;
  }
  return "";
}

bool takes_settings(Command c) {
  return c == Command::Detect || c == Command::Info || c == Command::Convert || c == Command::Render ||
         c == Command::Play;
}

// Stores a value through the option table, so the ranges are the window's.
bool set_named_option(Settings& settings, const char* key, int value, std::string& error) {
  const OptionInfo* option = find_option(key);
  if (!option) {
    error = std::string("unknown setting '") + key + "'";
    return false;
  }
  if (!set_option(settings, *option, value)) {
    std::ostringstream text;
    text << "value " << value << " is not allowed for " << (option->settingsKey ? option->settingsKey : option->name)
         << " (range " << option->minValue << ".." << option->maxValue;
    if (option->field(settings) == &settings.conv.noteLengthScale) text << ", a power of two";
    text << ")";
    error = text.str();
    return false;
  }
  return true;
}

bool parse_ranged(const std::string& flag, const std::string& text, int low, int high, int& value,
                  std::string& error) {
  if (!parse_integer(text, value)) {
    error = flag + " needs a whole number, not '" + text + "'";
    return false;
  }
  if (value < low || value > high) {
    error = flag + " " + text + " is outside " + std::to_string(low) + ".." + std::to_string(high);
    return false;
  }
  return true;
}

// The settings dialog's fields that --set reaches besides the settings keys.
struct DialogField {
  const char* name;
  int controlId;
  bool isText;
};
constexpr DialogField kDialogFields[] = {
    {"title", IDC_TITLE, true},
    {"tempo", IDC_TEMPO, false},
    {"start", IDC_START, false},
    {"end", IDC_END, false},
};

// True when the assignment names a dialog field (then error tells whether its
// value was refused).
bool apply_dialog_set(CliRequest& request, const std::string& assignment, std::string& error) {
  std::size_t eq = assignment.find('=');
  if (eq == std::string::npos) return false;
  const std::string name = lower_ascii(assignment.substr(0, eq));
  const std::string text = assignment.substr(eq + 1);
  for (const DialogField& field : kDialogFields) {
    if (name != field.name) continue;
    int value = 0;
    if (!field.isText && !parse_integer(text, value)) {
      error = "--set " + name + " needs a whole number, not '" + text + "'";
    } else {
      request.dialogValues.push_back({name, field.controlId, field.isText ? argument_to_cp932(text) : text});
    }
    return true;
  }
  return false;
}

bool apply_set(Settings& settings, const std::string& assignment, std::string& error) {
  std::size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "--set needs KEY=VALUE, not '" + assignment + "'";
    return false;
  }
  std::string key = assignment.substr(0, eq);
  std::string text = assignment.substr(eq + 1);
  int value = 0;
  const OptionInfo* option = find_option(key);
  if (!option) {
    error = "unknown setting '" + key + "' (melvarino --help lists them)";
    return false;
  }
  if (!parse_integer(text, value)) {
    error = "--set " + key + " needs a whole number, not '" + text + "'";
    return false;
  }
  if (!set_named_option(settings, key.c_str(), value, error)) return false;
  return true;
}

// The couplings the window keeps between options: splitting chords, pseudo-chord
// mode and accompaniment all read MIDI through the score, and the sixteenth-note
// grid only exists together with rest merging.
void apply_option_couplings(Settings& settings) {
  if (settings.play.TrackSplit == 1) settings.play.MidiStandard = 0;
  if (settings.conv.pseudo_chord_mode() || settings.conv.accompanimentLevel != 0) settings.play.MidiStandard = 0;
  if (settings.conv.relnflg != 1) settings.conv.l16nouse = 0;
}

// The options that take a value ("--name value" or "--name=value").
bool takes_value(const std::string& name) {
  static const char* const kValueOptions[] = {
      "--key", "--speed", "--instrument", "--volume", "--track-instrument", "--track-volume", "--octave-shift",
      "--tracks", "--set", "-o", "--output", "-d", "--output-dir", "--to", "--soundfont", "--wav", "--settings",
  };
  return std::find(std::begin(kValueOptions), std::end(kValueOptions), name) != std::end(kValueOptions);
}

// The files named by --settings, in order; a missing value is left for the
// main pass to report.
std::vector<std::string> settings_files(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg.size() < 2 || arg[0] != '-') continue;
    std::size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    std::string name = arg.substr(0, eq);
    if (!takes_value(name) || eq != std::string::npos) {
      if (name == "--settings" && eq != std::string::npos) files.push_back(arg.substr(eq + 1));
      continue;
    }
    if (i + 1 >= args.size()) break;
    ++i;
    if (name == "--settings") files.push_back(args[i]);
  }
  return files;
}

// Reads a settings file the way the window does at start-up (out-of-range
// values replaced, missing keys at their defaults) into the engine's settings.
bool apply_settings_file(const std::string& file, Settings& settings, std::string& error) {
  std::error_code ec;
  if (file.empty() || fs::is_directory(file, ec) || !std::ifstream(fs::path(file), std::ios::binary)) {
    error = "cannot read the settings file '" + file + "'";
    return false;
  }
  apply_settings_to_engine(load_settings(IniProfile::from_file(file), 0), settings);
  return true;
}

// Rendered sound only goes to a file named ".wav", so that swapped arguments
// ("render song.mld song.mid") cannot replace a melody with WAV data.
bool names_wav_file(const fs::path& path) { return lower_extension(path) == kWavExtension; }

std::string wav_name_error(const std::string& what, const fs::path& path) {
  return what + " writes a WAV file: its name must end in .wav, not '" + path.string() + "'";
}

// Checks the positional arguments and which options fit the command.
bool check_request(const CliRequest& r, std::string& error) {
  std::size_t n = r.inputs.size();
  switch (r.command) {
    case Command::Detect:
      if (n == 0) error = "detect needs at least one file";
      break;
    case Command::Info:
      if (n != 1) error = "info needs exactly one file";
      break;
    case Command::Play:
      if (n != 1) error = "play needs exactly one file";
      break;
    case Command::Render:
      if (n != 2) error = "render needs an input file and an output .wav file";
      else if (!names_wav_file(r.inputs[1])) error = wav_name_error("render", r.inputs[1]);
      break;
    case Command::Convert:
      if (n == 0) {
        error = "convert needs at least one input file";
      } else if (r.output && r.outputDir) {
        error = "convert takes either -o FILE or -d DIR, not both";
      } else if (r.output) {
        if (n != 1) error = "-o names one output file; use -d DIR --to EXT for several inputs";
        else if (!r.target && !target_for_path(*r.output)) {
          std::string ext = lower_extension(*r.output);
          error = ext == ".pmd" ? "'.pmd' is both pana melody and CMX: add --to pmd-pana or --to pmd-cmx"
                                : "cannot tell the output format from '" + r.output->string() +
                                      "': use a known extension or --to EXT";
        }
      } else if (r.outputDir) {
        if (!r.target) error = "-d DIR needs --to EXT (for example --to mid)";
      } else {
        error = "convert needs -o FILE or -d DIR --to EXT";
      }
      break;
    default:
      break;
  }
  if (!error.empty()) return false;
  bool converting = r.command == Command::Convert;
  if (!converting && (r.output || r.outputDir || r.target)) {
    error = std::string("-o, -d and --to belong to convert, not ") + command_name(r.command);
  } else if (r.cp932 && r.command != Command::Info) {
    error = "--cp932 belongs to info";
  } else if (r.soundfont && r.command != Command::Render && r.command != Command::Play) {
    error = "--soundfont belongs to render and play";
  } else if (r.wavOut && r.command != Command::Play) {
    error = "--wav belongs to play";
  } else if (r.wavOut && !names_wav_file(*r.wavOut)) {
    error = wav_name_error("--wav", *r.wavOut);
  }
  return error.empty();
}

}  // namespace

bool parse_integer(const std::string& text, int& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  std::size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  int base = 10;
  if (text.size() > start + 2 && text[start] == '0' && (text[start + 1] == 'x' || text[start + 1] == 'X')) base = 16;
  errno = 0;
  char* end = nullptr;
  long parsed = std::strtol(text.c_str(), &end, base);
  if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool parse_track_list(const std::string& text, int& selection, uint32_t& mask) {
  std::string lower = lower_ascii(text);
  if (lower == "all" || lower == "0") {
    selection = 0;
    mask = 0;
    return true;
  }
  uint32_t bits = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t comma = text.find(',', pos);
    std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    std::size_t dash = item.find('-', 1);
    int first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!parse_integer(item, first)) return false;
      last = first;
    } else if (!parse_integer(item.substr(0, dash), first) || !parse_integer(item.substr(dash + 1), last)) {
      return false;
    }
    if (first < 1 || last > kMaxTracks || first > last) return false;
    for (int track = first; track <= last; ++track) bits |= 1u << (track - 1);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  if (bits == 0) return false;
  mask = bits;
  selection = 1;
  while (!((bits >> (selection - 1)) & 1u)) ++selection;
  return true;
}

bool parse_track_values(const std::string& text, int low, int high, bool followAllowed,
                        std::array<int, kMaxTracks>& entries, bool storePlusOne) {
  std::array<int, kMaxTracks> result = entries;
  std::size_t pos = 0;
  for (;;) {
    std::size_t comma = text.find(',', pos);
    std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    std::size_t eq = item.find('=');
    int track = 0, value = 0;
    if (eq == std::string::npos || !parse_integer(item.substr(0, eq), track) || track < 1 || track > kMaxTracks) {
      return false;
    }
    std::string valueText = item.substr(eq + 1);
    if (followAllowed && valueText == kFollowFileMark) {
      result[track - 1] = kFollowScore;
    } else if (parse_integer(valueText, value) && value >= low && value <= high) {
      result[track - 1] = storePlusOne ? value + 1 : value;
    } else {
      return false;
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  entries = result;
  return true;
}

std::optional<TargetFormat> target_for_name(const std::string& name) {
  std::string lower = lower_ascii(name);
  if (!lower.empty() && lower[0] == '.') lower.erase(0, 1);
  if (lower.empty()) return std::nullopt;
  for (const OutputFormat& format : output_formats()) {
    if (!format.byDispatcher) continue;
    if (is_one_of(lower, format.aliases)) return TargetFormat{format.kind, format.extensions.front(), false};
    if (is_one_of(lower, mail_text_names(format))) return TargetFormat{format.kind, format.mailTextExtension, true};
  }
  // An extension that more than one kind writes (".pmd") names none of them.
  int kind = output_kind_for_extension("." + lower);
  if (kind == 0) return std::nullopt;
  return TargetFormat{kind, "." + lower, false};
}

std::optional<TargetFormat> target_for_path(const fs::path& path) {
  std::string ext = lower_extension(path);
  if (ext.size() < 2) return std::nullopt;
  return target_for_name(ext.substr(1));
}

Settings settings_for_input(const CliRequest& request, int inputType, bool forPlayback) {
  Settings settings = request.settings;
  bool ownInstruments = input_carries_instruments(inputType);
  if (request.instrument) {
    // Choosing an instrument turns the file's own instruments off where the
    // format has them. Per-track choices (--track-instrument) stay on top of it.
    if (ownInstruments) settings.play.StandardInstrument = 0;
    settings.play.melody = *request.instrument;
  }
  // So do per-track instrument choices, as the instrument dialog's OK does.
  if (request.trackInstruments && ownInstruments) settings.play.StandardInstrument = 0;
  settings.play.KeepFileInstruments = ownInstruments ? settings.play.StandardInstrument : 0;
  settings.play.ForPlayback = forPlayback ? 1 : 0;
  return settings;
}

ParseResult parse_command_line(const std::vector<std::string>& args) {
  ParseResult result;
  CliRequest& r = result.request;
  std::string& error = result.error;
  bool wantHelp = false, wantVersion = false, endOfOptions = false;

  auto fail = [&](const std::string& message) {
    result.ok = false;
    error = message;
    return result;
  };

  for (const std::string& file : settings_files(args)) {
    if (!apply_settings_file(file, r.settings, error)) {
      result.status = kExitInputUnreadable;
      return result;
    }
  }

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
      if (r.command == Command::None) {
        auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const CommandName& c) { return arg == c.name; });
        if (found == std::end(kCommands)) return fail("unknown command '" + arg + "' (try melvarino --help)");
        r.command = found->command;
      } else {
        r.inputs.emplace_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      endOfOptions = true;
      continue;
    }
    // "--name=value" and "--name value" are the same.
    std::string name = arg;
    std::optional<std::string> inlineValue;
    std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto value = [&](std::string& out) {
      if (inlineValue) {
        out = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    auto is_flag = [&]() { return !inlineValue; };

    std::string v;
    int number = 0;
    if (name == "-h" || name == "--help") {
      wantHelp = true;
    } else if (name == "--version") {
      wantVersion = true;
    } else if (name == "--three-times" && is_flag()) {
      r.settings.play.ThreeTimes = 1;
    } else if (name == "--no-midi-standard" && is_flag()) {
      r.settings.play.MidiStandard = 0;
    } else if (name == "--split-chords" && is_flag()) {
      r.settings.play.TrackSplit = 1;
    } else if (name == "--cp932" && is_flag()) {
      r.cp932 = true;
    } else if (takes_value(name)) {
      if (!value(v)) return fail(name + " needs a value");
      if (name == "--settings") {
        // Already read, before every other option.
      } else if (name == "--key") {
        if (!parse_ranged(name, v, kMinKeyOffset, kMaxKeyOffset, number, error)) return fail(error);
        r.settings.play.KeyOffset = number;
      } else if (name == "--speed") {
        if (!parse_ranged(name, v, kMinSpeed, kMaxSpeed, number, error)) return fail(error);
        r.settings.play.SpeedFactor = number;
      } else if (name == "--instrument") {
        if (!parse_ranged(name, v, kMinProgram, kMaxProgram, number, error)) return fail(error);
        r.instrument = number;
      } else if (name == "--volume") {
        if (!parse_ranged(name, v, kMinVolume, kMaxVolume, number, error)) return fail(error);
        r.settings.play.StandardVolume = 0;
        r.settings.play.volume = number;
      } else if (name == "--track-instrument") {
        if (!parse_track_values(v, kMinProgram, kMaxProgram, true, r.settings.play.PerTrackProgram, true)) {
          return fail(name + " needs TRACK=PROGRAM pairs such as 1=40,3=* (tracks 1..32, programs 0..127), not '" +
                      v + "'");
        }
        r.trackInstruments = true;
      } else if (name == "--track-volume") {
        if (!parse_track_values(v, kMinVolume, kMaxVolume, true, r.settings.play.PerTrackVolume, true)) {
          return fail(name + " needs TRACK=VOLUME pairs such as 1=100,2=* (tracks 1..32, volumes 0..127), not '" +
                      v + "'");
        }
        // As the volume dialog's OK does: the score's own volumes give way.
        r.settings.play.StandardVolume = 0;
      } else if (name == "--octave-shift") {
        if (!parse_track_values(v, kMinOctaveShift, kMaxOctaveShift, false, r.settings.conv.octaveShift, false)) {
          return fail(name + " needs TRACK=OCTAVES pairs such as 1=-1,2=1 (tracks 1..32, octaves -2..2), not '" +
                      v + "'");
        }
      } else if (name == "--tracks") {
        int selection = 0;
        uint32_t mask = 0;
        if (!parse_track_list(v, selection, mask)) {
          return fail("--tracks needs track numbers 1..32 such as 1,3-5 (or all), not '" + v + "'");
        }
        r.settings.play.TrackSelection = selection;
        r.settings.play.TrackMask = mask;
      } else if (name == "--set") {
        if (apply_dialog_set(r, v, error)) {
          if (!error.empty()) return fail(error);
        } else if (!apply_set(r.settings, v, error)) {
          return fail(error);
        }
      } else if (name == "-o" || name == "--output") {
        r.output = fs::path(v);
      } else if (name == "-d" || name == "--output-dir") {
        r.outputDir = fs::path(v);
      } else if (name == "--to") {
        r.target = target_for_name(v);
        if (!r.target) {
          return fail(lower_ascii(v) == "pmd" ? "--to pmd is ambiguous: use pmd-pana or pmd-cmx"
                                              : "--to " + v + " is not a format melvarino writes");
        }
      } else if (name == "--soundfont") {
        r.soundfont = fs::path(v);
      } else {
        r.wavOut = fs::path(v);
      }
    } else {
      return fail("unknown option '" + arg + "' (try melvarino --help)");
    }
  }

  if (wantHelp || r.command == Command::Help) {
    r.command = Command::Help;
  } else if (wantVersion || r.command == Command::Version) {
    r.command = Command::Version;
  } else if (r.command == Command::None) {
    return fail("no command given (try melvarino --help)");
  } else if (!check_request(r, error)) {
    return fail(error);
  }
  if (takes_settings(r.command)) apply_option_couplings(r.settings);
  result.ok = true;
  return result;
}

std::string version_text() { return std::string("melvarino ") + kVersion + "\n"; }

std::string help_text() {
  std::ostringstream h;
  h << "melvarino " << kVersion << " - ringtone melody player and converter\n"
    << "\n"
    << "Usage:\n"
    << "  melvarino detect FILE...                  print each file's input type code and format\n"
    << "  melvarino info [options] FILE             print the property report (--cp932: raw CP932 bytes)\n"
    << "  melvarino convert [options] IN -o OUT     convert one file; OUT's extension picks the format\n"
    << "  melvarino convert [options] IN... -d DIR --to EXT\n"
    << "                                            convert several files into DIR\n"
    << "  melvarino render [options] IN OUT.wav     render through the synthesizer into a WAV file\n"
    << "  melvarino play [options] IN               play to the audio device (or a WAV file without one)\n"
    << "  melvarino --help | --version\n"
    << "\n"
    << "Output formats (--to EXT, or the extension of -o OUT):\n";
  write_output_formats(h);
  h << "\n"
    << "Playback options (info, convert, render, play):\n"
    << "  --key N            transpose by N semitones (-24..24)\n"
    << "  --speed N          tempo factor in sixteenths, 16 = as written (1..255)\n"
    << "  --tracks LIST      play only these tracks, e.g. 1,3-5 (1..32; 'all' for every track)\n"
    << "  --instrument P     program P (0..127) instead of the file's instruments, for every track\n"
    << "                     without a --track-instrument choice\n"
    << "  --volume V         channel volume V (0..127) instead of the score's, for every track\n"
    << "                     without a --track-volume choice\n"
    << "  --track-instrument T=P,...  program P (0..127, or * for the file's own) for track T (1..32)\n"
    << "  --track-volume T=V,...      channel volume V (0..127, or * for the score's) for track T (1..32)\n"
    << "  --octave-shift T=N,...      move the notes of output track T by N octaves (-2..2) in the\n"
    << "                              handset formats' writers\n"
    << "  --three-times      play every track three times in a row (not for MIDI input in MIDI-standard mode)\n"
    << "  --no-midi-standard read MIDI input through the score instead of rewriting it directly\n"
    << "  --split-chords     split chords of MIDI and MFi tracks into several tracks\n"
    << "  --set KEY=VALUE    any setting below, by settings key or name\n"
    << "  --set title=TEXT, --set tempo=N, --set start=N, --set end=N\n"
    << "                     convert: the settings dialog's title, tempo and start and end counter\n"
    << "                     (sixteenths), as if typed into it; only for formats whose dialog has them\n"
    << "  --settings FILE    read a settings file (korvani.ini) first: its playback and conversion\n"
    << "                     keys are the starting values, every other option overrides them\n"
    << "\n"
    << "Other options:\n"
    << "  -o, --output FILE      convert: the output file\n"
    << "  -d, --output-dir DIR   convert: the output folder (created when missing), with --to EXT\n"
    << "  --to EXT               convert: the output format (see above)\n"
    << "  --cp932                info: print the report's CP932 bytes with CR LF line ends\n"
    << "  --soundfont PATH       render, play: the General MIDI SoundFont to use\n"
    << "  --wav PATH.wav         play: where to write the WAV file when no audio device works\n"
    << "\n"
    << "Settings for --set (key or name, range, start value):\n";
  for (const OptionInfo& option : option_table()) {
    std::string key = option.settingsKey ? option.settingsKey : option.name;
    if (option.settingsKey && lower_ascii(option.settingsKey) != lower_ascii(option.name)) {
      key += std::string(" (") + option.name + ")";
    }
    std::ostringstream range;
    range << option.minValue << ".." << option.maxValue;
    h << "  " << key;
    for (std::size_t pad = key.size(); pad < 30; ++pad) h << ' ';
    h << range.str();
    for (std::size_t pad = range.str().size(); pad < 12; ++pad) h << ' ';
    h << "start " << option.startValue << ": " << option.meaning << "\n";
  }
  h << "\n"
    << "Exit status:\n"
    << "  0  success\n"
    << "  1  the conversion produced no data, or another failure\n"
    << "  2  usage error: unknown command or option, bad option value\n"
    << "  3  an input cannot be read (missing, a folder, empty, no permission)\n"
    << "     or the --settings file cannot be opened\n"
    << "  4  not a supported melody file, or reading/writing that format is not supported yet\n"
    << "  5  the output file or folder cannot be written (an existing file is left untouched)\n"
    << "  6  audio output is not available (no synthesizer in this build, no SoundFont)\n"
    << "With several inputs, convert goes on after a failure and exits with the first failure's status.\n";
  return h.str();
}

}  // namespace mel::cli
