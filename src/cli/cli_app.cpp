#include "cli/cli_app.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

#include "app/conversion_rules.h"
#include "app/dialogs/format_dialog.h"
#include "app/report_model.h"
#include "cli/audio_output.h"
#include "cli/cli_options.h"
#include "cli/text_encoding.h"
#include "common/file_io.h"
#include "common/path_util.h"
#include "convert/engine.h"
#include "convert/format_table.h"
#include "midi/midi_timing.h"
#include "score/format_codes.h"

namespace mel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "melvarino: ";

// The command line has no clipboard: a file that happens to be named
// "clip.txt" is read as the file it is.
class FileAsClipboard : public ClipboardSource {
 public:
  explicit FileAsClipboard(fs::path path) : path_(std::move(path)) {}
  std::optional<std::string> text() const override {
    auto bytes = read_whole_file(path_);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
  }

 private:
  fs::path path_;
};

// Hands the engine an input's FileAsClipboard for as long as that input is
// converted.
class InputAsClipboard {
 public:
  InputAsClipboard(Engine& engine, const fs::path& input) : engine_(engine), clipboard_(input) {
    engine_.set_clipboard(&clipboard_);
  }
  ~InputAsClipboard() { engine_.set_clipboard(nullptr); }
  InputAsClipboard(const InputAsClipboard&) = delete;
  InputAsClipboard& operator=(const InputAsClipboard&) = delete;

 private:
  Engine& engine_;
  FileAsClipboard clipboard_;
};

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Reports a failure on one line and returns its exit status.
int failure(std::ostream& err, int status, const std::string& message) {
  err << kProgram << message << "\n";
  return status;
}

// One input converted in memory, as the window's load or create flow would.
struct Converted {
  int status = kExitOk;
  int inputType = 0;
  std::vector<uint8_t> bytes;
  SongInfo song;
  Settings settings;
};

// An input that cannot be opened or holds no bytes is reported as unreadable
// before its type is looked at, so the message names the real problem even
// for a format that is not supported yet.
// Only opens the file (reads nothing), so that a pipe keeps its bytes.
int check_input_readable(const fs::path& input, std::ostream& err) {
  errno = 0;
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::string reason = errno != 0 ? std::strerror(errno) : "cannot open it";
    return failure(err, kExitInputUnreadable, "cannot read " + quoted(input) + ": " + reason);
  }
  std::error_code ec;
  if (fs::is_regular_file(input, ec) && fs::file_size(input, ec) == 0 && !ec) {
    return failure(err, kExitInputUnreadable, quoted(input) + " is empty");
  }
  return kExitOk;
}

// Checks that a path is a readable melody file and gives its type; on failure
// reports and sets status.
int detect_melody_file(const fs::path& input, Engine& engine, std::ostream& err, int& type) {
  std::error_code ec;
  fs::file_status st = fs::status(input, ec);
  if (!fs::exists(st)) return failure(err, kExitInputUnreadable, "cannot read " + quoted(input) + ": no such file");
  if (fs::is_directory(st)) return failure(err, kExitInputUnreadable, quoted(input) + " is a folder, not a melody file");
  if (int status = check_input_readable(input, err); status != kExitOk) return status;
  type = engine.detect(input);
  if (type == kInputPlaylist) {
    return failure(err, kExitUnsupported, quoted(input) + " is a playlist: give its files instead");
  }
  if (type < 1) return failure(err, kExitUnsupported, quoted(input) + " is not a supported melody file");
  return kExitOk;
}

// engine may have converted earlier inputs: like the window's, it reads each
// file afresh and keeps only its buffers, so a batch does not allocate and
// clear a new score buffer for every file.
// Converts again through the format's settings dialog with the --set dialog
// values typed into it and OK pressed, as the window's create flow writes.
int convert_through_dialog(const CliRequest& request, const fs::path& input, int inputType, int outputKind,
                           Engine& engine, ConversionResult& result, std::ostream& err) {
  const auto octaveShifts = engine.settings.conv.octaveShift;
  const FormatDialogContext context{engine.song, engine.settings, inputType, counter_length_of(engine.song)};
  std::unique_ptr<FormatDialog> dialog = make_format_dialog(outputKind, context);
  // The dialog clears the octave shifts as it opens; --octave-shift stands
  // for the rows of its key detail dialog.
  engine.settings.conv.octaveShift = octaveShifts;
  const std::string kind = output_kind_name(outputKind);
  if (!dialog) {
    return failure(err, kExitUsage, "--set " + request.dialogValues.front().name + ": writing " + kind +
                                        " has no settings dialog");
  }
  for (const DialogValue& value : request.dialogValues) {
    const auto& controls = dialog->controls();
    const bool hasField = std::any_of(controls.begin(), controls.end(),
                                      [&](const ControlBinding& c) { return c.id == value.controlId; });
    if (!hasField) {
      return failure(err, kExitUsage, "--set " + value.name + ": the " + kind + " settings dialog has no such field");
    }
    dialog->set_text(value.controlId, value.text);
  }
  dialog->ok();
  engine.ReloadRequest = kReloadReadFile;
  result = engine.convert(input, inputType, outputKind, dialog->writer());
  if (!result.ok()) return failure(err, kExitFailed, quoted(input) + ": " + dispatch_status_text(result.status));
  return kExitOk;
}

Converted convert_input(const CliRequest& request, const fs::path& input, int outputKind, bool forPlayback,
                        Engine& engine, std::ostream& err) {
  Converted c;
  InputAsClipboard clipboard(engine, input);
  engine.settings = request.settings;
  c.status = detect_melody_file(input, engine, err, c.inputType);
  if (c.status != kExitOk) return c;
  engine.settings = settings_for_input(request, c.inputType, forPlayback);
  if (engine.settings.play.ThreeTimes == 1 && is_midi_input(c.inputType) && engine.settings.play.MidiStandard == 1) {
    err << kProgram << "--three-times does not apply to MIDI input rewritten directly (add --no-midi-standard)\n";
  }
  engine.ReloadRequest = kReloadReadFile;
  ConversionResult result = engine.convert(input, c.inputType, outputKind);
  for (const std::string& notice : engine.song.notices) err << kProgram << input.string() << ": " << notice << "\n";
  switch (result.status) {
    case DispatchStatus::Written:
    case DispatchStatus::Copied:
      break;
    case DispatchStatus::InputUnreadable:
      c.status = failure(err, kExitInputUnreadable, "cannot read " + quoted(input) + " (unreadable or empty)");
      return c;
    case DispatchStatus::ReaderMissing:
      c.status = failure(err, kExitUnsupported,
                         std::string("reading ") + input_type_name(c.inputType) + " is not supported yet (" +
                             input.string() + ")");
      return c;
    case DispatchStatus::WriterMissing:
      c.status = failure(err, kExitUnsupported,
                         std::string("writing ") + output_kind_name(outputKind) + " is not supported yet");
      return c;
    case DispatchStatus::InputDamaged:
      // A direct rewrite that finds no MIDI header: bytes without a note get
      // the score path's answer below; a song with notes is damaged.
      if (!conversion_is_playable(engine.song, 1)) break;
      c.status = failure(err, kExitFailed, quoted(input) + ": " + dispatch_status_text(result.status));
      return c;
    default:
      c.status = failure(err, kExitUnsupported, quoted(input) + ": " + dispatch_status_text(result.status));
      return c;
  }
  // Readers never fail: random or cut-off bytes come out as a song without a
  // note, which the window refuses to load. So does the tool, with the same
  // answer on the score path and on the direct rewrite (which writes nothing
  // at all for bytes that hold no MIDI file), so the song is asked first.
  constexpr std::uintmax_t kAnyOutput = 1;
  if (!conversion_is_playable(engine.song, kAnyOutput)) {
    c.status = failure(err, kExitFailed, "no notes could be read from " + quoted(input));
    return c;
  }
  if (!forPlayback && !request.dialogValues.empty()) {
    c.status = convert_through_dialog(request, input, c.inputType, outputKind, engine, result, err);
    if (c.status != kExitOk) return c;
  }
  if (!conversion_is_playable(engine.song, result.output.size())) {
    // Never hand on (or write) an empty file as if it were a song.
    c.status = failure(err, kExitFailed, "converting " + quoted(input) + " produced no data");
    return c;
  }
  c.bytes = std::move(result.output);
  c.song = engine.song;
  c.settings = engine.settings;
  return c;
}

Converted convert_input(const CliRequest& request, const fs::path& input, int outputKind, bool forPlayback,
                        std::ostream& err) {
  Engine engine;
  return convert_input(request, input, outputKind, forPlayback, engine, err);
}

bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// One convert call never replaces any of its own inputs, nor a file it has
// already written: two inputs named alike in different folders would
// otherwise leave only the last one's conversion in -d DIR.
// Files are only compared (fs::equivalent) when their sizes agree, so a batch
// asks the file system a few questions per file rather than a few per pair.
class BatchOutputs {
 public:
  explicit BatchOutputs(const std::vector<fs::path>& inputs) {
    for (const fs::path& input : inputs) {
      std::error_code ec;
      std::uintmax_t size = fs::file_size(input, ec);
      if (!ec) inputs_.push_back({input, input, size});
    }
  }

  // Reports and returns the exit status when output is taken; kExitOk if free.
  int check(const fs::path& output, std::ostream& err) const {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(output, ec);
    if (ec) return kExitOk;  // nothing there (or a folder, which the write refuses)
    for (const Known& input : inputs_) {
      if (input.size == size && same_file(input.path, output)) {
        return failure(err, kExitOutputUnwritable, "will not overwrite the input " + quoted(input.path));
      }
    }
    for (const Known& earlier : written_) {
      if (earlier.size == size && same_file(earlier.path, output)) {
        return failure(err, kExitOutputUnwritable, "will not overwrite " + quoted(output) +
                                                       ", written from " + quoted(earlier.input) + " just before");
      }
    }
    return kExitOk;
  }

  void add(const fs::path& input, const fs::path& output, std::uintmax_t size) {
    written_.push_back({output, input, size});
  }

 private:
  struct Known {
    fs::path path;
    fs::path input;  // what it was written from (the file itself for an input)
    std::uintmax_t size;
  };
  std::vector<Known> inputs_;
  std::vector<Known> written_;
};

int write_output(const fs::path& output, const std::vector<uint8_t>& bytes, std::ostream& err) {
  std::string reason;
  if (!write_file_atomic(output, bytes, &reason)) {
    return failure(err, kExitOutputUnwritable,
                   "cannot write " + quoted(output) + (reason.empty() ? "" : ": " + reason));
  }
  return kExitOk;
}

int run_detect(const CliRequest& request, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  for (const fs::path& input : request.inputs) {
    std::error_code ec;
    if (!fs::exists(input, ec)) {
      if (status == kExitOk) status = kExitInputUnreadable;
      failure(err, kExitInputUnreadable, "cannot read " + quoted(input) + ": no such file");
      continue;
    }
    FileAsClipboard clipboard(input);
    Engine engine;
    engine.settings = request.settings;
    engine.set_clipboard(&clipboard);
    InputType type = engine.detect(input);
    out << input.string() << ": " << static_cast<int>(type) << " " << input_type_name(type) << "\n";
  }
  return status;
}

int run_info(const CliRequest& request, std::ostream& out, std::ostream& err) {
  const fs::path& input = request.inputs.front();
  Converted c = convert_input(request, input, kOutputMidi, true, err);
  if (c.status != kExitOk) return c.status;
  long long lengthMs = measure_midi_length(ByteView(c.bytes)).milliseconds;
  std::string report = build_property_report(c.song, c.settings, lengthMs);
  if (request.cp932) {
    out << report;
  } else {
    out << to_terminal_text(report) << "\n";
  }
  return out ? kExitOk : kExitFailed;
}

fs::path output_for(const CliRequest& request, const fs::path& input) {
  if (request.output) return *request.output;
  fs::path name = input.filename();
  name.replace_extension(request.target->extension);
  return *request.outputDir / name;
}

int run_convert(const CliRequest& request, std::ostream& out, std::ostream& err) {
  if (request.outputDir) {
    std::error_code ec;
    fs::create_directories(*request.outputDir, ec);
    if (ec || !fs::is_directory(*request.outputDir)) {
      return failure(err, kExitOutputUnwritable, "cannot use the output folder " + quoted(*request.outputDir) +
                                                     (ec ? ": " + ec.message() : ": not a folder"));
    }
  }
  const std::size_t total = request.inputs.size();
  const TargetFormat target = request.target ? *request.target : *target_for_path(*request.output);
  BatchOutputs outputs(request.inputs);
  Engine engine;
  int firstFailure = kExitOk;
  for (std::size_t i = 0; i < total; ++i) {
    const fs::path& input = request.inputs[i];
    fs::path output = output_for(request, input);
    if (total > 1 || request.outputDir) {
      out << "[" << (i + 1) << "/" << total << "] " << input.string() << " -> " << output.string() << "\n";
      out.flush();
    }
    int status = outputs.check(output, err);
    if (status == kExitOk) {
      CliRequest single = request;
      if (target.mailText) single.settings.writers.mailBase64 = 1;
      Converted c = convert_input(single, input, target.kind, false, engine, err);
      status = c.status == kExitOk ? write_output(output, c.bytes, err) : c.status;
      if (status == kExitOk) outputs.add(input, output, c.bytes.size());
    }
    if (status != kExitOk && firstFailure == kExitOk) firstFailure = status;
  }
  return firstFailure;
}

int audio_outcome_status(AudioOutcome outcome, const std::string& what, const std::string& detail,
                         std::ostream& err) {
  std::string suffix = detail.empty() ? "" : " (" + detail + ")";
  switch (outcome) {
    case AudioOutcome::Done: return kExitOk;
    case AudioOutcome::NotAvailable:
      return failure(err, kExitAudioUnavailable, "audio output is not available" + suffix);
    case AudioOutcome::SoundFontUnreadable:
      return failure(err, kExitAudioUnavailable, "cannot load the SoundFont" + suffix);
    case AudioOutcome::OutputUnwritable:
      return failure(err, kExitOutputUnwritable, "cannot write " + what + suffix);
    case AudioOutcome::NoDevice:
      return failure(err, kExitAudioUnavailable, "no audio device could be opened" + suffix);
    case AudioOutcome::SynthFailed:
      return failure(err, kExitAudioUnavailable, "the synthesizer failed" + suffix);
  }
  return kExitFailed;
}

// Checks the things every audio command needs and converts the input for
// playback. Returns the exit status; soundfont and c are filled on success.
int prepare_audio(const CliRequest& request, fs::path& soundfont, Converted& c, std::ostream& err) {
  std::string reason;
  if (!audio_available(reason)) return audio_outcome_status(AudioOutcome::NotAvailable, "", reason, err);
  std::optional<fs::path> found = find_soundfont(request.soundfont);
  if (!found) {
    return failure(err, kExitAudioUnavailable,
                   "no General MIDI SoundFont found (install timgm6mb-soundfont or give --soundfont PATH)");
  }
  std::error_code ec;
  if (!fs::is_regular_file(*found, ec)) return failure(err, kExitInputUnreadable, "cannot read the SoundFont " + quoted(*found));
  soundfont = *found;
  c = convert_input(request, request.inputs.front(), kOutputMidi, true, err);
  return c.status;
}

int run_render(const CliRequest& request, std::ostream&, std::ostream& err) {
  fs::path soundfont;
  Converted c;
  int status = prepare_audio(request, soundfont, c, err);
  if (status != kExitOk) return status;
  const fs::path& wav = request.inputs[1];
  if (same_file(request.inputs[0], wav)) {
    return failure(err, kExitOutputUnwritable, "will not overwrite the input " + quoted(wav));
  }
  std::string detail;
  AudioOutcome outcome = render_midi_to_wav(c.bytes, wav, soundfont, detail);
  return audio_outcome_status(outcome, quoted(wav), detail, err);
}

// Where play writes its WAV file when no device works: the --wav path, else
// beside the input, else in the current folder.
std::vector<fs::path> fallback_wav_candidates(const CliRequest& request) {
  if (request.wavOut) return {*request.wavOut};
  fs::path name = request.inputs.front().filename();
  name.replace_extension(".wav");
  fs::path beside = request.inputs.front().parent_path() / name;
  return {beside, fs::current_path() / name};
}

int run_play(const CliRequest& request, std::ostream&, std::ostream& err) {
  fs::path soundfont;
  Converted c;
  int status = prepare_audio(request, soundfont, c, err);
  if (status != kExitOk) return status;
  std::string detail;
  AudioOutcome outcome = play_midi(c.bytes, soundfont, detail);
  if (outcome != AudioOutcome::NoDevice) return audio_outcome_status(outcome, "", detail, err);
  for (const fs::path& wav : fallback_wav_candidates(request)) {
    if (same_file(request.inputs.front(), wav)) continue;
    detail.clear();
    outcome = render_midi_to_wav(c.bytes, wav, soundfont, detail);
    if (outcome == AudioOutcome::Done) {
      err << kProgram << "no audio device could be opened; wrote " << wav.string() << " instead\n";
      return kExitOk;
    }
    if (outcome != AudioOutcome::OutputUnwritable) break;
  }
  return audio_outcome_status(outcome, "the WAV file", detail, err);
}

}  // namespace

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ParseResult parsed = parse_command_line(args);
  if (!parsed.ok) return failure(err, parsed.status, parsed.error);
  const CliRequest& request = parsed.request;
  switch (request.command) {
    case Command::Help: out << help_text(); return kExitOk;
    case Command::Version: out << version_text(); return kExitOk;
    case Command::Detect: return run_detect(request, out, err);
    case Command::Info: return run_info(request, out, err);
    case Command::Convert: return run_convert(request, out, err);
    case Command::Render: return run_render(request, out, err);
    case Command::Play: return run_play(request, out, err);
    case Command::None: break;
  }
  return failure(err, kExitUsage, "no command given (try melvarino --help)");
}

}  // namespace mel::cli
