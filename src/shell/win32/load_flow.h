// The load flow (the current file -> the temporary MIDI file -> the player,
// and every control brought into the state that fits the song) and the create
// flow (the current file -> a file of another format), with the open and
// save dialogs.
#pragma once

#include <windows.h>

#include <filesystem>

#include "shell/win32/shell_state.h"

namespace mel {

void load_current_file(ShellState& state);
void create_file(ShellState& state, int outputKind);

// The open dialog: name holds the initial name and receives the choice.
bool open_file_dialog(ShellState& state, std::filesystem::path& name);
// The save dialog for a proposed path; remembers the folder chosen.
bool save_file_dialog(ShellState& state, std::filesystem::path& name, int outputKind);

// Checks or unchecks a panel button.
void set_button_check(HWND button, bool checked);

// The bitmap buttons that have a greyed look, set live or greyed.
void set_song_buttons(ShellState& state, bool ok);

}  // namespace mel
