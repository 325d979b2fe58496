// Format detection: a file name and the first bytes of the file give its InputType.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "common/byte_reader.h"
#include "score/format_codes.h"

namespace mel {

// Where the clipboard pseudo-file "clip.txt" takes its text from. The window
// reads the Windows clipboard; tests and the command line supply their own.
class ClipboardSource {
 public:
  virtual ~ClipboardSource() = default;
  // The clipboard text as CP932 bytes, or nullopt when there is none.
  virtual std::optional<std::string> text() const = 0;
};

// Detection bytes: at most this many bytes of a file are looked at.
constexpr std::size_t kDetectPrefixLength = 5;

// Decides the type from a lower-case extension (with its dot) and the first
// bytes of the file (or of the clipboard text). Pure: no file system access.
InputType detect_from_name_and_prefix(const std::string& lowerExtension, ByteView prefix, int txtfileas);

// Detects the type of a path: folders (and paths whose attributes cannot be
// read) give kInputFolder, "clip.txt" follows the ".txt" rules on the
// clipboard text (clipboard may be null: no text).
InputType detect_input_type(const std::filesystem::path& path, int txtfileas, const ClipboardSource* clipboard);

}  // namespace mel
