// The settings editor's window: a tab per page of SettingsEditorModel, a row
// of controls per key, and OK, キャンセル and 適用. OK and 適用 refuse a value
// out of range with a message naming the key and its range, and write
// nothing then; キャンセル leaves the file as it was.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>

#include "app/program_files.h"

namespace mel {

// The control of the model's row `row` (an edit box or a check box).
int settings_editor_control_id(std::size_t row);

// Runs the editor over the settings file as a modal dialog: reads
// location.readFrom and saves to location.writeTo. IDOK when it closed with
// OK (after saving), IDCANCEL otherwise. saved runs after
// every save that changed the file.
INT_PTR run_settings_editor(HWND owner, const SettingsLocation& location, std::function<void()> saved = {});

}  // namespace mel
