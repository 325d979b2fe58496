#include "convert/detect.h"

#include <system_error>

#include "common/file_io.h"
#include "common/path_util.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

// Magic bytes at the start of files.
constexpr char kCmxMagic[] = "cmid";
constexpr char kSmafMagic[] = "MMMD";
constexpr uint8_t kKanjiMldMagic[] = {0xEF, 0x41, 0x8B, 0xA4};
constexpr char kCharaTextStart[] = "]]";
constexpr char kMailTextStart[] = "--B:M";
constexpr std::size_t kMagicLength = 4;

// ".txt" interpretations (txtfileas).
constexpr int kTxtAutomatic = 0;
constexpr int kTxtChara = 1;
constexpr int kTxtMml = 2;
constexpr int kTxtMfi = 3;

bool starts_with(ByteView prefix, const char* magic, std::size_t n) { return prefix.matches(0, magic, n); }

InputType detect_text(ByteView prefix, int txtfileas) {
  switch (txtfileas) {
    case kTxtChara: return kInputChara;
    case kTxtMml: return kInputMml;
    case kTxtMfi: return kInputMfi;
    case kTxtAutomatic:
      if (starts_with(prefix, kCharaTextStart, sizeof kCharaTextStart - 1)) return kInputChara;
      if (starts_with(prefix, kMailTextStart, sizeof kMailTextStart - 1)) return kInputMfi;
      return kInputMml;
    default: return kInputUnsupported;
  }
}

}  // namespace

InputType detect_from_name_and_prefix(const std::string& ext, ByteView prefix, int txtfileas) {
  if (ext == ".als") return kInputAls;
  if (ext == ".dat") return kInputPmail;
  if (ext == ".cmd") return kInputChara;
  if (ext == ".pmd") {
    if (starts_with(prefix, kCmxMagic, kMagicLength)) return kInputCmx;
    if (starts_with(prefix, midi::kHeaderTag, midi::kTagSize)) return kInputMidi;
    return kInputPana;
  }
  if (ext == ".mmd" || ext == ".mel" || ext == ".sml") return kInputDotI;
  if (ext == ".wam") return kInputWam;
  if (ext == ".mld") {
    return starts_with(prefix, reinterpret_cast<const char*>(kKanjiMldMagic), kMagicLength) ? kInputKanjiMld
                                                                                             : kInputMfi;
  }
  if (ext == ".smd") return starts_with(prefix, kSmafMagic, kMagicLength) ? kInputSmaf : kInputSmd;
  if (ext == ".smz") return starts_with(prefix, kSmafMagic, kMagicLength) ? kInputSmafSmz : kInputSmz;
  if (ext == ".mmf") return kInputSmaf;
  if (ext == ".dxm") return kInputDxm;
  if (ext == ".mml" || ext == ".mmlc") return kInputMml;
  if (ext == ".mid" || ext == ".rmi") return kInputMidi;
  if (ext == ".txt") return detect_text(prefix, txtfileas);
  if (ext == ".m3u") return kInputPlaylist;
  return kInputUnsupported;
}

InputType detect_input_type(const std::filesystem::path& path, int txtfileas, const ClipboardSource* clipboard) {
  std::string prefix;
  bool clip = is_clipboard_path(path);
  if (clip) {
    if (clipboard) {
      if (auto text = clipboard->text()) prefix = text->substr(0, kDetectPrefixLength);
    }
  } else {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    // A path whose attributes cannot be read counts as a folder, like one that is.
    if (ec || status.type() == std::filesystem::file_type::not_found ||
        status.type() == std::filesystem::file_type::directory) {
      return kInputFolder;
    }
    auto bytes = read_file_prefix(path, kDetectPrefixLength);
    prefix.assign(bytes.begin(), bytes.end());
  }
  ByteView view(reinterpret_cast<const uint8_t*>(prefix.data()), prefix.size());
  return detect_from_name_and_prefix(lower_extension(path), view, txtfileas);
}

}  // namespace mel
