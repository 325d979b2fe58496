#include "shell/model/instrument_names_model.h"

#include "common/cp932.h"
#include "common/file_io.h"

namespace mel {
namespace {


// The first bytes of a name, without splitting a two-byte character.
std::string clip_name(const std::string& line) {
  std::size_t end = 0;
  while (end < line.size()) {
    const std::size_t width = is_cp932_lead_byte(static_cast<unsigned char>(line[end])) ? 2 : 1;
    if (end + width > kInstrumentNameLength || end + width > line.size()) break;
    end += width;
  }
  return line.substr(0, end);
}

}  // namespace

InstrumentNames parse_instrument_names(const std::string& text) {
  InstrumentNames names;
  std::size_t start = 0;
  int count = 0;
  while (start < text.size() && count < kInstrumentNameLines) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    names[count++] = clip_name(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return names;
}

InstrumentNames read_instrument_names(const std::filesystem::path& path) {
  const auto bytes = read_whole_file(path);
  if (!bytes) return {};
  return parse_instrument_names(std::string(bytes->begin(), bytes->end()));
}

}  // namespace mel
