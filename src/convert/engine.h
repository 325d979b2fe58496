// The conversion engine: owns the held input, the score buffer, the song header
// and every option, and converts one input into one output (the dispatcher).
// The window keeps one engine for its lifetime; tests make one per case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "convert/detect.h"
#include "formats/mfi/mfi_output.h"  // mfi_size_limit
#include "score/format_codes.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// What to do with the held input at the next conversion.
enum ReloadRequestCode : int {
  kReloadEncodeOnly = 0,  // encode the held score again
  kReloadReadFile = 1,    // read the input file again and decode it
  kReloadDecodeHeld = 2,  // decode the held input bytes again
};

enum class DispatchStatus {
  Written,           // the output was produced (and written, for dispatch())
  Copied,            // raw copy written; the dispatcher answers 0 for it
  InputUnreadable,   // the file (or clipboard) could not be read, or is empty
  ReaderMissing,     // this input type is recognised but not supported yet
  WriterMissing,     // this output kind is not supported yet
  InvalidKind,       // not a dispatcher output kind, or not a convertible input
  WriteFailed,       // the output file could not be written
  InputDamaged,      // the input lacks what the conversion needs (a MIDI header chunk)
};

// A one-line English description of a status, for messages.
const char* dispatch_status_text(DispatchStatus status);

struct ConversionResult {
  DispatchStatus status = DispatchStatus::InvalidKind;
  std::vector<uint8_t> output;
  bool ok() const { return status == DispatchStatus::Written || status == DispatchStatus::Copied; }
};

// A writer that carries the values of a settings dialog: the create flow runs
// the dispatcher with it in place of the format table's writer, which writes
// with the dialog's start values. heldInput is the input as read (for the
// formats that can be written from MIDI bytes directly).
using DialogWriter = std::function<std::vector<uint8_t>(const Score& score, ByteView heldInput, const SongInfo& song,
                                                        const Settings& settings)>;

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  Settings settings;
  SongInfo song;
  int ReloadRequest = kReloadReadFile;

  void set_clipboard(const ClipboardSource* clipboard) { clipboard_ = clipboard; }
  const ClipboardSource* clipboard() const { return clipboard_; }

  // Detection with this engine's ".txt" rule and clipboard.
  InputType detect(const std::filesystem::path& path) const;

  // Runs the dispatcher's read, pass and write steps and returns the output
  // bytes without writing a file.
  ConversionResult convert(const std::filesystem::path& input, int inputType, int outputKind);
  // The same with a settings dialog's writer for this one call.
  ConversionResult convert(const std::filesystem::path& input, int inputType, int outputKind,
                           const DialogWriter& writer);

  // The dispatcher: converts and writes the output file (atomically). Returns
  // the status; legacy_result() maps it to the dispatcher's 1 / 0 answer.
  DispatchStatus dispatch(const std::filesystem::path& input, const std::filesystem::path& output, int inputType,
                          int outputKind, std::string* writeError = nullptr);
  // The dispatcher with a settings dialog's writer for this one call.
  DispatchStatus dispatch(const std::filesystem::path& input, const std::filesystem::path& output, int inputType,
                          int outputKind, const DialogWriter& writer, std::string* writeError = nullptr);
  static int legacy_result(DispatchStatus status) { return status == DispatchStatus::Written ? 1 : 0; }

  // The held input bytes (empty before the first read).
  ByteView held_input() const;
  bool has_held_input() const { return held_.has_value(); }
  // The score buffer; nullptr before the first decode.
  const Score* score() const { return score_.get(); }

  // How many times the input was read from its source and decoded, for tests
  // and the benchmark.
  int reads() const { return reads_; }
  int decodes() const { return decodes_; }

  // Frees the held input and the score (at shutdown).
  void release();

 private:
  bool load_input(const std::filesystem::path& input);
  // True when this conversion must run the reader: asked for, or the score
  // does not describe the held input (none yet, or the input was replaced by
  // a raw copy that cleared the request).
  bool needs_decode() const;
  DispatchStatus decode(int inputType);
  void run_score_passes();
  DispatchStatus encode(int inputType, int outputKind, std::vector<uint8_t>& output);

  const ClipboardSource* clipboard_ = nullptr;
  const DialogWriter* dialogWriter_ = nullptr;  // set during one dispatch call
  std::optional<std::vector<uint8_t>> held_;
  std::unique_ptr<Score> score_;
  bool scoreFromHeld_ = false;  // the score was decoded from the held input
  int reads_ = 0;
  int decodes_ = 0;
};

}  // namespace mel
