#include "shell/model/command_line_model.h"

namespace mel {
namespace {

constexpr auto kQuote = static_cast<NativeText::value_type>('"');
constexpr auto kSpace = static_cast<NativeText::value_type>(' ');

void parse_quoted(const NativeText& text, PlaylistSink& sink) {
  // The name is the text without its first and last character. A lone quote
  // names nothing, and a name too long for a playlist slot is refused whole.
  if (text.size() < 2) return;
  const std::size_t length = text.size() - 2;
  if (length == 0 || length > kMaxQuotedNameLength) return;
  const std::filesystem::path name(text.substr(1, length));
  if (!sink.full() && sink.exists(name)) sink.append(name);
}

}  // namespace

void parse_command_line(const NativeText& text, PlaylistSink& sink) {
  if (text.empty()) return;
  if (text.front() == kQuote) {
    parse_quoted(text, sink);
    return;
  }
  std::size_t start = 0;
  for (std::size_t k = 0; k < text.size() && !sink.full(); ++k) {
    // Spaces in front of a name are separators too (two spaces between names).
    while (start < text.size() && text[start] == kSpace) ++start;
    const bool candidateEnds = k + 1 == text.size() || text[k + 1] == kSpace;
    if (!candidateEnds || k < start) continue;
    const std::size_t length = k - start + 1;
    if (length > kMaxCandidateLength) {
      start = k + 2;
      continue;
    }
    const std::filesystem::path candidate(text.substr(start, length));
    if (!sink.exists(candidate)) continue;  // may still grow across the space
    const int type = sink.detect(candidate);
    if (type == 0) continue;
    sink.accept(candidate, type);
    start = k + 2;
  }
}

}  // namespace mel
