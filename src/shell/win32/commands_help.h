// Help (401) and the settings program (402): files beside the executable,
// opened through the shell.
#pragma once

#include "shell/win32/shell_state.h"

namespace mel {

// Opens the help: an old help file with WinHelp when one lies beside the
// program, else the help page in the default browser. Says so when neither
// is there or the page cannot be opened.
void open_help(ShellState& state);

// Starts "setting.exe" beside the program; says so when it is not there or
// cannot be started.
void start_settings_program(ShellState& state);

}  // namespace mel
