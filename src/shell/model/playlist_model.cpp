#include "shell/model/playlist_model.h"

#include <algorithm>
#include <cwctype>

#include "common/saturate.h"

namespace mel {
namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr std::size_t kUtf8MarkLength = 3;

bool separator(char c) { return c == '\r' || c == '\n' || c == ' '; }
bool line_end(char c) { return c == '\r' || c == '\n'; }

template <typename Char>
Char lower(Char c) {
  if constexpr (sizeof(Char) == 1) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
  } else {
    return static_cast<Char>(std::towlower(static_cast<wint_t>(c)));
  }
}

}  // namespace

M3uLines parse_m3u(const std::string& text) {
  M3uLines result;
  std::size_t k = 0;
  if (text.compare(0, kUtf8MarkLength, kUtf8Mark) == 0) {
    result.utf8 = true;
    k = kUtf8MarkLength;
  }
  while (k < text.size()) {
    while (k < text.size() && separator(text[k])) ++k;
    const std::size_t start = k;
    while (k < text.size() && !line_end(text[k])) ++k;
    if (k > start && k - start <= kMaxEntryBytes) result.lines.push_back(text.substr(start, k - start));
  }
  return result;
}

std::string m3u_text(const std::vector<std::string>& entries, bool utf8) {
  std::string text = utf8 ? kUtf8Mark : "";
  for (const std::string& entry : entries) {
    text += entry;
    text += "\r\n";
  }
  return text;
}

void sort_folder_names(std::vector<std::filesystem::path>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto& x = a.native();
    const auto& y = b.native();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                        [](auto c, auto d) { return lower(c) < lower(d); });
  });
}

std::vector<std::filesystem::path> folder_scan_candidates(
    const std::filesystem::path& folder, std::vector<std::filesystem::path> names,
    const std::function<std::size_t(const std::filesystem::path&)>& cp932Length) {
  sort_folder_names(names);
  std::vector<std::filesystem::path> candidates;
  for (const std::filesystem::path& name : names) {
    std::filesystem::path candidate = folder / name;
    if (cp932Length(candidate) <= kMaxEntryBytes) candidates.push_back(std::move(candidate));
  }
  return candidates;
}

void shuffle_entries(std::vector<std::filesystem::path>& entries, const std::function<int()>& random,
                     unsigned tick) {
  const int count = static_cast<int>(entries.size());
  for (int k = 0; k < count; ++k) {
    const int j = floor_mod(floor_mod(random(), count) + static_cast<int>(tick & 0xFFFFu), count);
    std::swap(entries[static_cast<std::size_t>(k)], entries[static_cast<std::size_t>(j)]);
  }
}

}  // namespace mel
