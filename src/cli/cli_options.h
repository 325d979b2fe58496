// The command line of the melvarino tool: commands, options and how they turn
// into the engine's settings, the same way the window sets them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "score/options.h"

namespace mel::cli {

// Exit statuses, one per kind of failure, so scripts can tell them apart.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,             // the conversion produced nothing, or another failure
  kExitUsage = 2,              // unknown command or option, bad option value
  kExitInputUnreadable = 3,    // missing, a folder, empty or unreadable input
  kExitUnsupported = 4,        // not a supported file, or reading/writing not supported yet
  kExitOutputUnwritable = 5,   // the output file or folder cannot be written
  kExitAudioUnavailable = 6,   // no audio output in this build, no SoundFont, synthesizer failure
};

enum class Command { None, Help, Version, Detect, Info, Convert, Render, Play };

// An output format chosen by --to or by the output file's extension.
struct TargetFormat {
  int kind = 0;
  std::string extension;  // with its dot, as the written file gets it
  bool mailText = false;  // MFi written as Base64 mail text
};

// A value of the format's settings dialog given with --set (title, tempo,
// start, end): convert writes as if it had been typed into the dialog.
struct DialogValue {
  std::string name;  // as given after --set
  int controlId = 0;
  std::string text;  // CP932 for the title
};

struct CliRequest {
  Command command = Command::None;
  std::vector<std::filesystem::path> inputs;
  std::optional<std::filesystem::path> output;     // -o
  std::optional<std::filesystem::path> outputDir;  // -d
  std::optional<TargetFormat> target;              // --to
  std::optional<std::filesystem::path> soundfont;  // --soundfont
  std::optional<std::filesystem::path> wavOut;     // --wav (play's fallback file)
  bool cp932 = false;                              // info --cp932
  Settings settings;                               // options as given, before the per-file rules
  std::optional<int> instrument;                   // --instrument
  bool trackInstruments = false;                   // --track-instrument given
  std::vector<DialogValue> dialogValues;           // --set title=, tempo=, start=, end=
};

struct ParseResult {
  bool ok = false;
  std::string error;  // one line, for usage errors
  ExitStatus status = kExitUsage;  // the exit status when not ok
  CliRequest request;
};

// Every --settings FILE (a settings file such as korvani.ini) is read first,
// in the order given; the other options are applied on top of it wherever
// they stand on the line.
ParseResult parse_command_line(const std::vector<std::string>& args);

// Parses a track list such as "1,3-5" (tracks 1..32) or "all" into the track
// selection: TrackSelection = the first selected track, TrackMask = one bit per
// track. Returns false for an empty, malformed or out-of-range list.
bool parse_track_list(const std::string& text, int& selection, uint32_t& mask);

// Parses per-track values such as "1=40,3=*" (tracks 1..32) into entries
// stored the way the per-track dialogs store them: value + 1, or 129 for "*"
// (follow the file) when followAllowed. Entries not named are left as they
// are. Returns false for an empty or malformed list or a value outside
// low..high.
bool parse_track_values(const std::string& text, int low, int high, bool followAllowed,
                        std::array<int, kMaxTracks>& entries, bool storePlusOne);

// Parses a whole decimal (or 0x hexadecimal) integer, sign allowed.
bool parse_integer(const std::string& text, int& value);

// The output format named by --to (an extension without its dot, or
// "pmd-pana", "pmd-cmx", "mld-mail"), or nullopt.
std::optional<TargetFormat> target_for_name(const std::string& name);

// The output format a file name's extension selects; nullopt when it selects
// none or is ambiguous (".pmd").
std::optional<TargetFormat> target_for_path(const std::filesystem::path& path);

// The settings one input is converted with: the options of the request, then
// what the window does when it loads a file of this type (KeepFileInstruments
// follows StandardInstrument only for formats that carry their own
// instruments; an instrument choice turns both off) and ForPlayback.
Settings settings_for_input(const CliRequest& request, int inputType, bool forPlayback);

std::string help_text();
std::string version_text();

}  // namespace mel::cli
