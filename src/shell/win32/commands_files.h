// The file commands: open (the dialog, the last created file, a recent file),
// create, the save button, the external programs and exit.
#pragma once

#include <windows.h>

#include "shell/win32/shell_state.h"

namespace mel {

void on_files_command(ShellState& state, int id, LPARAM lParam);

}  // namespace mel
