// Splitting the program's command line into playlist entries: one quoted
// path taken as it is, or space-separated paths where a name that contains
// spaces is found by growing the candidate across a space until it names an
// existing, recognised file.
#pragma once

#include <cstddef>
#include <filesystem>

namespace mel {

using NativeText = std::filesystem::path::string_type;

// Longest candidate the scan keeps, in characters.
constexpr std::size_t kMaxCandidateLength = 256;
// Longest name in double quotes: a 256-byte slot with its terminator.
constexpr std::size_t kMaxQuotedNameLength = 255;

// Where the accepted entries go, and what the scan asks of the file system.
class PlaylistSink {
 public:
  virtual ~PlaylistSink() = default;
  virtual bool full() const = 0;
  // True when the path names an existing file or folder.
  virtual bool exists(const std::filesystem::path& path) const = 0;
  // The InputType of the path (format detection).
  virtual int detect(const std::filesystem::path& path) const = 0;
  // A recognised candidate: a melody file (type >= 1) is appended; a playlist
  // (-1) or folder (-2) adds its entries.
  virtual void accept(const std::filesystem::path& path, int type) = 0;
  // The quoted form: appended without detection.
  virtual void append(const std::filesystem::path& path) = 0;
};

void parse_command_line(const NativeText& text, PlaylistSink& sink);

}  // namespace mel
