#include "convert/detect.h"

#include <system_error>

#include "common/file_io.h"
#include "common/path_util.h"
#include "convert/format_table.h"

namespace mel {

namespace {

constexpr char kTextExtension[] = ".txt";
constexpr int kTxtAutomatic = 0;

bool begins_with(ByteView prefix, const std::string& magic) { return prefix.matches(0, magic.data(), magic.size()); }

// A ".txt" file: the type that txtfileas names, or with the automatic value
// the type whose text start the file begins with, else the one taken for any
// other text.
InputType detect_text(ByteView prefix, int txtfileas) {
  const InputFormat* otherText = nullptr;
  for (const InputFormat& row : input_formats()) {
    const TextRule& rule = row.text;
    if (rule.txtfileas == 0) continue;
    if (txtfileas != kTxtAutomatic) {
      if (rule.txtfileas == txtfileas) return row.type;
      continue;
    }
    if (rule.automaticStart && *rule.automaticStart == '\0') {
      otherText = &row;
    } else if (rule.automaticStart && begins_with(prefix, rule.automaticStart)) {
      return row.type;
    }
  }
  return txtfileas == kTxtAutomatic && otherText ? otherText->type : kInputUnsupported;
}

// The first row with a rule for the extension whose magic the file begins
// with; rules with magic bytes go before those that take any file.
InputType detect_by_rules(const std::string& ext, ByteView prefix) {
  for (bool withMagic : {true, false}) {
    for (const InputFormat& row : input_formats()) {
      for (const DetectRule& rule : row.detect) {
        if (rule.magic.empty() == withMagic || ext != rule.extension) continue;
        if (!withMagic || begins_with(prefix, rule.magic)) return row.type;
      }
    }
  }
  return kInputUnsupported;
}

}  // namespace

InputType detect_from_name_and_prefix(const std::string& ext, ByteView prefix, int txtfileas) {
  if (ext == kTextExtension) return detect_text(prefix, txtfileas);
  return detect_by_rules(ext, prefix);
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
