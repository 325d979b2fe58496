// Where playlist entries come from besides the open dialog: the command line
// at start-up, a command line handed over by a second instance, and the
// clipboard text behind the pseudo-file "clip.txt".
#pragma once

#include <windows.h>

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

// Appends one recognised path (a melody file) to the playlist.
void accept_path(ShellState& state, const std::filesystem::path& path, int type);

// The clipboard's text as CP932 bytes.
std::unique_ptr<ClipboardSource> make_windows_clipboard(HWND owner);

}  // namespace mel
