// Whole-file reading and safe whole-file writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mel {

// Reads a whole file. Fails (nullopt) when the file cannot be opened or is empty.
std::optional<std::vector<uint8_t>> read_whole_file(const std::filesystem::path& path);

// Reads at most n bytes from the start of a file; empty when it cannot be opened.
std::vector<uint8_t> read_file_prefix(const std::filesystem::path& path, std::size_t n);

// Writes bytes to a temporary file beside the target and renames it into place,
// so a failure never leaves a half-written file nor destroys an existing one.
// On failure returns false and fills error (when given) with a short reason.
bool write_file_atomic(const std::filesystem::path& path, const uint8_t* data, std::size_t size,
                       std::string* error = nullptr);

inline bool write_file_atomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                              std::string* error = nullptr) {
  return write_file_atomic(path, bytes.data(), bytes.size(), error);
}

}  // namespace mel
