#include "convert/engine.h"

#include <algorithm>

#include "common/file_io.h"
#include "common/path_util.h"
#include "formats/dxm/dxm_writer.h"
#include "formats/mfi/mail_text.h"
#include "convert/format_registry.h"
#include "formats/midi/midi_rewrite.h"
#include "score/score_passes.h"

namespace mel {

namespace fs = std::filesystem;

const char* dispatch_status_text(DispatchStatus status) {
  switch (status) {
    case DispatchStatus::Written: return "written";
    case DispatchStatus::Copied: return "copied unchanged";
    case DispatchStatus::InputUnreadable: return "cannot read the input (missing, unreadable or empty)";
    case DispatchStatus::ReaderMissing: return "reading this format is not supported yet";
    case DispatchStatus::WriterMissing: return "writing this format is not supported yet";
    case DispatchStatus::InvalidKind: return "not a convertible file or output kind";
    case DispatchStatus::WriteFailed: return "cannot write the output file";
    case DispatchStatus::InputDamaged: return "the input is damaged (no MIDI header chunk) and cannot be converted";
  }
  return "unknown";
}

Engine::Engine() = default;
Engine::~Engine() = default;

InputType Engine::detect(const fs::path& path) const {
  return detect_input_type(path, settings.play.txtfileas, clipboard_);
}

ByteView Engine::held_input() const { return held_ ? ByteView(*held_) : ByteView(); }

void Engine::release() {
  held_.reset();
  score_.reset();
  scoreFromHeld_ = false;
}

bool Engine::needs_decode() const {
  return ReloadRequest != kReloadEncodeOnly || !score_ || !scoreFromHeld_;
}

bool Engine::load_input(const fs::path& input) {
  held_.reset();
  scoreFromHeld_ = false;
  if (is_clipboard_path(input)) {
    if (!clipboard_) return false;
    auto text = clipboard_->text();
    if (!text || text->empty()) return false;
    held_.emplace(text->begin(), text->end());
  } else {
    auto bytes = read_whole_file(input);
    if (!bytes) return false;
    held_ = std::move(bytes);
  }
  ++reads_;
  return true;
}

DispatchStatus Engine::decode(int inputType) {
  ScoreReader reader = reader_for(inputType);
  if (!reader) return DispatchStatus::ReaderMissing;
  if (!score_) score_ = std::make_unique<Score>();
  ReloadRequest = kReloadEncodeOnly;
  ByteView input = held_input();
  // MFi melodies and X-PmailDX data also travel as Base64 mail text; such
  // input is decoded before the reader sees it.
  if (needs_mail_decoding(inputType, input)) {
    std::vector<uint8_t> decoded = decode_mail_text(input, mail_text_mode_for(inputType));
    reader(ByteView(decoded), *score_, song, settings);
  } else {
    reader(input, *score_, song, settings);
  }
  ++decodes_;
  scoreFromHeld_ = true;
  run_score_passes();
  return DispatchStatus::Written;
}

// The passes that reshape a freshly read score before any writer sees it.
// The accompaniment for one-track songs runs before the writers' track count
// is taken; the pseudo-chord pass runs after it and sets its own count.
void Engine::run_score_passes() {
  mel::run_score_passes(*score_, song, settings);
}

DispatchStatus Engine::encode(int inputType, int outputKind, std::vector<uint8_t>& output) {
  if (dialogWriter_ && *dialogWriter_) {
    output = (*dialogWriter_)(*score_, held_input(), song, settings);
    return DispatchStatus::Written;
  }
  bool direct_midi = is_midi_input(inputType) && settings.play.MidiStandard == 1;
  if (outputKind == kOutputMidi && direct_midi) {
    output = rewrite_midi_file(held_input(), song, settings);
    return output.empty() ? DispatchStatus::InputDamaged : DispatchStatus::Written;
  }
  if (outputKind == kOutputDxm && direct_midi) {
    output = write_dxm_file_from_midi(held_input(), song, settings);
    return DispatchStatus::Written;
  }
  ScoreWriter writer = writer_for(outputKind);
  if (!writer) return DispatchStatus::WriterMissing;
  output = writer(*score_, song, settings);
  return DispatchStatus::Written;
}

ConversionResult Engine::convert(const fs::path& input, int inputType, int outputKind) {
  ConversionResult result;
  if (!is_dispatcher_kind(outputKind) || inputType < 1) {
    result.status = DispatchStatus::InvalidKind;
    return result;
  }
  // Refuse before touching the held input, so a request the engine cannot
  // serve leaves the loaded song as it was.
  if (outputKind != kOutputRawCopy) {
    if (needs_decode() && !reader_for(inputType)) {
      result.status = DispatchStatus::ReaderMissing;
      return result;
    }
    bool direct_midi = outputKind == kOutputMidi && is_midi_input(inputType) && settings.play.MidiStandard == 1;
    bool has_dialog_writer = dialogWriter_ && *dialogWriter_;
    if (!direct_midi && !has_dialog_writer && !writer_for(outputKind)) {
      result.status = DispatchStatus::WriterMissing;
      return result;
    }
  }
  if (ReloadRequest == kReloadReadFile && !load_input(input)) {
    result.status = DispatchStatus::InputUnreadable;
    return result;
  }
  if (!held_) {
    result.status = DispatchStatus::InputUnreadable;
    return result;
  }
  if (outputKind == kOutputRawCopy) {
    ReloadRequest = kReloadEncodeOnly;
    result.output = *held_;
    result.status = DispatchStatus::Copied;
    return result;
  }
  if (needs_decode()) {
    DispatchStatus decoded = decode(inputType);
    if (decoded != DispatchStatus::Written) {
      result.status = decoded;
      return result;
    }
  }
  result.status = encode(inputType, outputKind, result.output);
  return result;
}

DispatchStatus Engine::dispatch(const fs::path& input, const fs::path& output, int inputType, int outputKind,
                                std::string* writeError) {
  ConversionResult result = convert(input, inputType, outputKind);
  if (!result.ok()) return result.status;
  if (!write_file_atomic(output, result.output, writeError)) return DispatchStatus::WriteFailed;
  return result.status;
}

ConversionResult Engine::convert(const fs::path& input, int inputType, int outputKind, const DialogWriter& writer) {
  dialogWriter_ = &writer;
  ConversionResult result = convert(input, inputType, outputKind);
  dialogWriter_ = nullptr;
  return result;
}

DispatchStatus Engine::dispatch(const fs::path& input, const fs::path& output, int inputType, int outputKind,
                                const DialogWriter& writer, std::string* writeError) {
  dialogWriter_ = &writer;
  DispatchStatus status = dispatch(input, output, inputType, outputKind, writeError);
  dialogWriter_ = nullptr;
  return status;
}

}  // namespace mel
