// The menu bar and popups of the main window as Win32 menus: building from
// the menu table, the items the settings add, enabling, greying and check
// marks, and the popup lists.
#pragma once

#include <windows.h>

#include <vector>

#include "shell/model/load_flow_model.h"
#include "shell/win32/shell_state.h"

namespace mel {

HMENU build_menu_bar();
HMENU create_colour_popup();

void set_item_enabled(ShellState& state, int id, bool enabled);
void set_item_checked(ShellState& state, int id, bool checked);
bool item_enabled(const ShellState& state, int id);
bool item_checked(const ShellState& state, int id);

// The check marks of the shown controls: track panel, counter and the
// optional buttons.
void check_view_items(ShellState& state);
// The greys and check marks of the start-up pass.
void apply_startup_menu_state(ShellState& state);
// True when any of the four titles of the menu bar is disabled.
bool any_top_level_disabled(HMENU bar);

// The items a settings load adds: create items, instrument names and extra
// instruments, external programs (removed and added again each time).
void install_settings_items(ShellState& state);

// Empties a popup list and fills it with entries labelled by file name.
void fill_popup(HMENU popup, const std::vector<PopupEntry>& entries);

}  // namespace mel
