// Playlist files and folders as text and names, without the file system:
// the lines of an M3U playlist, the text written for one, the order a folder
// is taken in, and the shuffle of the play order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace mel {

// The longest entry in bytes (CP932): a 256-byte slot keeps its terminator.
constexpr std::size_t kMaxEntryBytes = 255;

// The lines of an M3U playlist: one path per line, CR LF (or LF or CR alone)
// between them, spaces and empty lines skipped. Lines are CP932, or UTF-8
// when the text begins with the UTF-8 byte-order mark. A line longer than
// kMaxEntryBytes is no path a slot can hold with its terminator: left out.
struct M3uLines {
  std::vector<std::string> lines;
  bool utf8 = false;
};
M3uLines parse_m3u(const std::string& text);

// The text of an M3U playlist: every entry followed by CR LF, no header; with
// utf8, the UTF-8 byte-order mark first (for names CP932 cannot spell).
std::string m3u_text(const std::vector<std::string>& entries, bool utf8);

// A folder's entry names in the order they are taken: by name, ignoring
// letter case (the order Windows file systems list them in), so the list is
// the same on every file system.
void sort_folder_names(std::vector<std::filesystem::path>& names);

// The paths a folder scan tries, in order: folder/name for each name, left out
// when its CP932 form (cp932Length bytes) would not fit a 256-byte slot.
std::vector<std::filesystem::path> folder_scan_candidates(
    const std::filesystem::path& folder, std::vector<std::filesystem::path> names,
    const std::function<std::size_t(const std::filesystem::path&)>& cp932Length);

// Shuffles the play order: entry k swaps with entry (r mod n + tick) mod n,
// r the next value of random, tick the low 16 bits of the clock.
void shuffle_entries(std::vector<std::filesystem::path>& entries, const std::function<int()>& random,
                     unsigned tick);

}  // namespace mel
