// Where playlist entries come from besides the open dialog: the command line
// at start-up, a command line handed over by a second instance, files dropped
// on the window, M3U playlists and folders found among them, and the
// clipboard text behind the pseudo-file "clip.txt". Also writes M3U playlists.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "convert/detect.h"
#include "shell/win32/shell_state.h"

namespace mel {

// Appends the entries the command-line text names to the playlist.
void accept_command_line(ShellState& state, const std::wstring& text);

// Command 50: replaces the playlist with the files of a second instance's
// command line (appends them with Ctrl held) and loads the first of them.
void take_handed_over_command_line(ShellState& state, const std::wstring& text);

// WM_DROPFILES: the dropped files replace the playlist (are appended with
// Ctrl held) and the first of them is loaded; releases the drop.
void on_drop_files(ShellState& state, HDROP drop);

// Appends one recognised path: a melody file (type >= 1) itself, the entries
// of a playlist (-1) or the playable files of a folder (-2).
void accept_path(ShellState& state, const std::filesystem::path& path, int type);

// Writes every playlist entry to an M3U file; false when it cannot be written.
bool write_playlist_file(const PlaylistState& playlist, const std::filesystem::path& path);

// The clipboard's text as CP932 bytes.
std::unique_ptr<ClipboardSource> make_windows_clipboard(HWND owner);

}  // namespace mel
