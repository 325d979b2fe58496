#include "shell/win32/shell_sources.h"

#include <functional>
#include <optional>
#include <system_error>

#include "common/file_io.h"
#include "shell/model/command_line_model.h"
#include "shell/model/playlist_model.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// The playlist of the window as the command-line scan sees it.
class WindowPlaylist : public PlaylistSink {
 public:
  explicit WindowPlaylist(ShellState& state) : state_(state) {}
  bool full() const override { return state_.playlist.full(); }
  bool exists(const std::filesystem::path& path) const override {
    std::error_code error;
    return std::filesystem::exists(path, error);
  }
  int detect(const std::filesystem::path& path) const override { return state_.engine.detect(path); }
  void accept(const std::filesystem::path& path, int type) override { accept_path(state_, path, type); }
  void append(const std::filesystem::path& path) override { state_.playlist.entries.push_back(path); }

 private:
  ShellState& state_;
};

class WindowsClipboard : public ClipboardSource {
 public:
  explicit WindowsClipboard(HWND owner) : owner_(owner) {}
  // The clipboard's Unicode text in CP932, up to its first NUL, so that it
  // reads the same whatever the system's code page.
  std::optional<std::string> text() const override {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner_)) return std::nullopt;
    std::optional<std::string> result;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
      if (text) {
        const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
        std::size_t length = 0;
        while (length < capacity && text[length] != L'\0') ++length;
        result = narrow(std::wstring(text, length));
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return result;
  }

 private:
  HWND owner_;
};

bool is_file(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::filesystem::path path_from_utf8(const std::string& utf8) {
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), needed);
  return std::filesystem::path(text);
}

// The path as bytes in the code page, or nothing when the code page cannot
// spell every character of it.
std::optional<std::string> encode_exactly(const std::filesystem::path& path, UINT codePage) {
  const std::wstring& text = path.native();
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  BOOL* lossyFlag = codePage == CP_UTF8 ? nullptr : &lossy;
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, lossyFlag);
  if (needed <= 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

std::size_t cp932_length(const std::filesystem::path& path) { return path_to_cp932(path).size(); }

// An entry of a playlist file: a melody file that exists. A relative name
// is taken from the current folder, or else from the playlist's own folder.
std::optional<std::filesystem::path> playlist_entry(const ShellState& state, const std::filesystem::path& entry,
                                                    const std::filesystem::path& playlistFolder) {
  for (const std::filesystem::path& candidate : {entry, playlistFolder / entry}) {
    if (is_file(candidate) && state.engine.detect(candidate) >= 1) return candidate;
    if (entry.is_absolute()) break;
  }
  return std::nullopt;
}

// The entries of an M3U playlist; playlists and folders named inside it are
// not followed.
void read_playlist(ShellState& state, const std::filesystem::path& path) {
  const std::optional<std::vector<uint8_t>> bytes = read_whole_file(path);
  if (!bytes) return;
  const M3uLines m3u = parse_m3u(std::string(bytes->begin(), bytes->end()));
  for (const std::string& line : m3u.lines) {
    if (state.playlist.full()) return;
    const std::filesystem::path entry = m3u.utf8 ? path_from_utf8(line) : path_from_cp932(line);
    if (const auto found = playlist_entry(state, entry, path.parent_path())) state.playlist.entries.push_back(*found);
  }
}

// The playable files directly inside a folder (subfolders are not entered).
void scan_folder(ShellState& state, const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename());
  }
  for (const std::filesystem::path& candidate : folder_scan_candidates(folder, names, cp932_length)) {
    if (state.playlist.full()) return;
    if (is_file(candidate) && state.engine.detect(candidate) >= 1) state.playlist.entries.push_back(candidate);
  }
}

// New entries from a command line or a drop: they replace the playlist, or
// are appended with Ctrl held. When nothing was added the playlist stays as
// it was; otherwise the first new entry is loaded (and played with
// `autoplay`).
void take_new_entries(ShellState& state, bool resetOptions, const std::function<void()>& add) {
  const bool append = key_is_down(VK_CONTROL);
  const std::size_t old = state.playlist.entries.size();
  std::vector<std::filesystem::path> kept;
  if (!append) kept.swap(state.playlist.entries);
  add();
  const bool nothingAdded = append ? state.playlist.entries.size() == old : state.playlist.entries.empty();
  if (nothingAdded) {
    if (!append) state.playlist.entries.swap(kept);
    return;
  }
  state.playlist.currentIndex = append ? static_cast<int>(old) : 0;
  if (resetOptions && state.settings.autoreset == 1) run_command(state, cmd::kResetKeySpeed, 1);
  state.engine.ReloadRequest = kReloadReadFile;
  run_command(state, cmd::kLoadEntry, state.settings.autoplay ? 0 : 1);
}

std::filesystem::path dropped_file(HDROP drop, UINT index) {
  const UINT length = DragQueryFileW(drop, index, nullptr, 0);
  std::wstring name(length + 1, L'\0');
  DragQueryFileW(drop, index, name.data(), length + 1);
  name.resize(length);
  return std::filesystem::path(name);
}

}  // namespace

void accept_path(ShellState& state, const std::filesystem::path& path, int type) {
  if (state.playlist.full()) return;
  if (type == kInputPlaylist) {
    read_playlist(state, path);
  } else if (type == kInputFolder) {
    scan_folder(state, path);
  } else if (type >= 1) {
    state.playlist.entries.push_back(path);
  }
}

void accept_command_line(ShellState& state, const std::wstring& text) {
  WindowPlaylist playlist(state);
  parse_command_line(text, playlist);
}

void take_handed_over_command_line(ShellState& state, const std::wstring& text) {
  take_new_entries(state, false, [&] { accept_command_line(state, text); });
}

void on_drop_files(ShellState& state, HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  take_new_entries(state, true, [&] {
    for (UINT i = 0; i < count && !state.playlist.full(); ++i) {
      const std::filesystem::path name = dropped_file(drop, i);
      // A name longer than a playlist slot holds is no name the list can keep.
      if (name.empty() || cp932_length(name) > kMaxEntryBytes) continue;
      accept_path(state, name, state.engine.detect(name));
    }
  });
  DragFinish(drop);
}

bool write_playlist_file(const PlaylistState& playlist, const std::filesystem::path& path) {
  // CP932 as the format has it; UTF-8 (with its mark) when a name has
  // characters CP932 lacks, so that no name is written wrong.
  for (UINT codePage : {static_cast<UINT>(kShiftJisCodePage), static_cast<UINT>(CP_UTF8)}) {
    std::vector<std::string> lines;
    for (const std::filesystem::path& entry : playlist.entries) {
      const std::optional<std::string> line = encode_exactly(entry, codePage);
      if (!line) break;
      lines.push_back(*line);
    }
    if (lines.size() != playlist.entries.size()) continue;
    const std::string text = m3u_text(lines, codePage == CP_UTF8);
    return write_file_atomic(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  return false;
}

std::unique_ptr<ClipboardSource> make_windows_clipboard(HWND owner) {
  return std::make_unique<WindowsClipboard>(owner);
}

}  // namespace mel
