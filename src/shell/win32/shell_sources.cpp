#include "shell/win32/shell_sources.h"

#include <system_error>

#include "shell/model/command_line_model.h"
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

}  // namespace

void accept_path(ShellState& state, const std::filesystem::path& path, int type) {
  if (state.playlist.full()) return;
  // Playlists and folders add their entries once those sources are read.
  if (type >= 1) state.playlist.entries.push_back(path);
}

void accept_command_line(ShellState& state, const std::wstring& text) {
  WindowPlaylist playlist(state);
  parse_command_line(text, playlist);
}

void take_handed_over_command_line(ShellState& state, const std::wstring& text) {
  const bool append = key_is_down(VK_CONTROL);
  const std::size_t old = state.playlist.entries.size();
  std::vector<std::filesystem::path> kept;
  if (!append) {
    kept.swap(state.playlist.entries);
  }
  accept_command_line(state, text);
  const bool nothingAdded = append ? state.playlist.entries.size() == old : state.playlist.entries.empty();
  if (nothingAdded) {
    if (!append) state.playlist.entries.swap(kept);
    return;
  }
  state.playlist.currentIndex = append ? static_cast<int>(old) : 0;
  state.engine.ReloadRequest = kReloadReadFile;
  on_command(state, cmd::kLoadEntry, state.settings.autoplay ? 0 : 1);
}

std::unique_ptr<ClipboardSource> make_windows_clipboard(HWND owner) {
  return std::make_unique<WindowsClipboard>(owner);
}

}  // namespace mel
