#include "shell/win32/commands_view.h"

#include <cstdlib>

#include "shell/model/command_ids.h"
#include "shell/model/layout_model.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/win32_profile.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// The check mark of the colour popup sits on the `dispcolor` entry.
void check_colour_item(HMENU colourPopup, int dispcolor) {
  for (int id = cmd::kColourFirst; id <= cmd::kColourRandom; ++id) {
    CheckMenuItem(colourPopup, id, MF_BYCOMMAND | (id - cmd::kColourFirst + 1 == dispcolor ? MF_CHECKED : MF_UNCHECKED));
  }
}

bool window_is_topmost(const ShellState& state) {
  return (GetWindowLongPtrW(state.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void load_settings_file(ShellState& state) {
  const Win32Profile profile(settings_location(state.options.profilePath).readFrom.wstring());
  const ShellSettings loaded = load_settings(profile, GetVersion());
  const int multiTrackSelect = state.engine.settings.play.MultiTrackSelect;
  state.settings = loaded;

  state.display.controlFlags = loaded.control_flags() | (state.display.controlFlags & kFlagExitAfterPlay);
  state.display.effectiveColour = effective_display_colour(loaded.dispcolor, std::rand(), GetTickCount());
  check_view_items(state);
  check_colour_item(state.controls.colourPopup, state.settings.dispcolor);
  set_button_hints(state);
  relayout_now(state, kRelayoutRecompute);

  apply_settings_to_engine(loaded, state.engine.settings);
  set_item_checked(state, cmd::kLoop, loaded.loop == 1);
  // Topmost and the track-selection style follow the file through their
  // commands, which also set the window and the buttons.
  state.settings.topmost = window_is_topmost(state) ? 1 : 0;
  if (loaded.topmost != state.settings.topmost) run_command(state, cmd::kTopmost, 0);
  state.engine.settings.play.MultiTrackSelect = multiTrackSelect;
  if ((loaded.addtrac == 1) != (multiTrackSelect == 1)) run_command(state, cmd::kMultiTrackSelect, 0);
  install_settings_items(state);
}

void save_settings_file(ShellState& state) {
  state.settings.take_control_flags(state.display.controlFlags);
  state.settings.addtrac = state.engine.settings.play.MultiTrackSelect;
  take_settings_from_engine(state.engine.settings, state.settings);
  const SettingsLocation location = settings_location(state.options.profilePath);
  if (!write_settings_file(state.settings, location)) {
    show_message(state, "設定を保存できませんでした。\n" + path_to_cp932(location.writeTo), kProductName,
                 MB_OK | MB_ICONWARNING);
  }
}

void toggle_topmost(ShellState& state) {
  state.settings.topmost = state.settings.topmost ? 0 : 1;
  set_item_checked(state, cmd::kTopmost, state.settings.topmost == 1);
  SetWindowPos(state.hwnd, state.settings.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void toggle_track_panel(ShellState& state) {
  state.settings.tracpanel = state.settings.tracpanel ? 0 : 1;
  set_item_checked(state, cmd::kTrackPanel, state.settings.tracpanel == 1);
  post_relayout(state, kRelayoutRecompute);
}

// The counter and the optional buttons: one `ControlFlags` bit each.
unsigned control_flag_of(int id) {
  switch (id) {
    case cmd::kCounterDisplay: return kFlagDisplay;
    case cmd::kShowOpenButton: return kFlagOpenButton;
    case cmd::kShowKeyButtons: return kFlagKeyButtons;
    case cmd::kShowTempoButtons: return kFlagTempoButtons;
    case cmd::kShowBackNextButtons: return kFlagBackNext;
    case cmd::kShowSaveButton: return kFlagSaveButton;
    default: return 0;
  }
}

void toggle_control_flag(ShellState& state, int id, unsigned flag) {
  state.display.controlFlags ^= flag;
  set_item_checked(state, id, (state.display.controlFlags & flag) != 0);
  post_relayout(state, kRelayoutRecompute);
}

void choose_display_colour(ShellState& state, int id) {
  state.settings.dispcolor = id - cmd::kColourFirst + 1;
  state.display.effectiveColour = effective_display_colour(state.settings.dispcolor, std::rand(), GetTickCount());
  check_colour_item(state.controls.colourPopup, state.settings.dispcolor);
  InvalidateRect(state.controls.counter, nullptr, TRUE);
}

}  // namespace

void on_view_command(ShellState& state, int id, LPARAM) {
  if (const unsigned flag = control_flag_of(id); flag != 0) {
    toggle_control_flag(state, id, flag);
  } else if (id >= cmd::kColourFirst && id <= cmd::kColourRandom) {
    choose_display_colour(state, id);
  } else if (id == cmd::kTopmost) {
    toggle_topmost(state);
  } else if (id == cmd::kTrackPanel) {
    toggle_track_panel(state);
  } else if (id == cmd::kLoadSettings) {
    load_settings_file(state);
  } else if (id == cmd::kSaveSettings) {
    save_settings_file(state);
  }
}

}  // namespace mel
