// The instrument name list "data\mldname.dat" beside the program: line n is
// the display name of program n.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

namespace mel {

constexpr int kInstrumentNameLines = 128;
constexpr std::size_t kInstrumentNameLength = 22;  // bytes kept of each name

using InstrumentNames = std::array<std::string, kInstrumentNameLines>;

// Splits the list's text: CR LF, CR or LF end a line, empty lines count, at
// most 128 lines are read and each name keeps at most 22 bytes (a CP932
// character cut in two at the end is dropped whole).
InstrumentNames parse_instrument_names(const std::string& text);
// Reads the file; a missing file leaves every name empty.
InstrumentNames read_instrument_names(const std::filesystem::path& path);

}  // namespace mel
