#include "shell/win32/shell_menu.h"

#include <string>

#include "shell/model/command_ids.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

// Builds real menus for the menu table.
class Win32MenuSink : public MenuSink {
 public:
  intptr_t create_popup() override { return reinterpret_cast<intptr_t>(CreatePopupMenu()); }
  void append(intptr_t menu, int flags, int id, intptr_t child, const char* text) override {
    const std::wstring wide = widen(text ? text : "");
    const UINT_PTR item = (flags & kMenuItemPopup) ? static_cast<UINT_PTR>(child) : static_cast<UINT_PTR>(id);
    AppendMenuW(reinterpret_cast<HMENU>(menu), static_cast<UINT>(flags), item,
                (flags & kMenuItemSeparator) ? nullptr : wide.c_str());
  }
};

constexpr UINT kGreyed = MF_GRAYED | MF_DISABLED;

// The popup that holds the item id, searched through the whole tree.
HMENU popup_holding(HMENU menu, int id) {
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    if (static_cast<int>(GetMenuItemID(menu, position)) == id) return menu;
    if (HMENU child = GetSubMenu(menu, position)) {
      if (HMENU found = popup_holding(child, id)) return found;
    }
  }
  return nullptr;
}

bool has_item(HMENU menu, int id) { return GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); }

void delete_items(HMENU menu, int first, int last) {
  for (int id = first; id <= last; ++id) {
    while (has_item(menu, id)) DeleteMenu(menu, id, MF_BYCOMMAND);
  }
}

UINT greyed_unless(bool enabled) { return enabled ? MF_ENABLED : kGreyed; }

void install_create_items(ShellState& state, bool haveFiles) {
  delete_items(state.controls.menu, cmd::kCreateFirst, cmd::kCreateLast);
  const unsigned placement = create_placement(state.settings);
  for (const CreateItem& item : create_items()) {
    const int before = create_item_in_file_menu(item, placement) ? cmd::kCreateMml : cmd::kCreatePlaylist;
    InsertMenuW(state.controls.menu, before, MF_BYCOMMAND | MF_STRING | greyed_unless(haveFiles), item.id,
                widen(item.text).c_str());
  }
}

void install_instruments(ShellState& state, bool haveFiles) {
  state.menus.instruments = instrument_entries(state.settings);
  delete_items(state.controls.menu, cmd::kInstrumentExtraFirst, cmd::kInstrumentLast);
  HMENU instrumentPopup = popup_holding(state.controls.menu, cmd::kInstrumentFirst);
  for (const InstrumentEntry& entry : state.menus.instruments) {
    if (entry.id <= cmd::kInstrumentStandardLast) {
      if (entry.text.empty()) continue;
      const UINT keep = GetMenuState(state.controls.menu, entry.id, MF_BYCOMMAND) & (kGreyed | MF_CHECKED);
      ModifyMenuW(state.controls.menu, entry.id, MF_BYCOMMAND | MF_STRING | keep, entry.id, widen(entry.text).c_str());
    } else if (instrumentPopup) {
      AppendMenuW(instrumentPopup, MF_STRING | greyed_unless(haveFiles), entry.id, widen(entry.text).c_str());
    }
  }
  state.menus.instrumentIndex =
      instrument_index_for_program(state.menus.instruments, state.engine.settings.play.melody);
  for (const InstrumentEntry& entry : state.menus.instruments) {
    const bool checked =
        state.menus.instrumentIndex >= 0 && entry.id == cmd::kInstrumentFirst + state.menus.instrumentIndex;
    CheckMenuItem(state.controls.menu, entry.id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void install_external_programs(ShellState& state, bool haveFiles) {
  delete_items(state.controls.menu, cmd::kExternalSeparator, cmd::kExternalLast);
  state.menus.externalPrograms = external_programs(state.settings);
  for (const ExternalProgram& program : state.menus.externalPrograms) {
    InsertMenuW(state.controls.menu, cmd::kExit, MF_BYCOMMAND | MF_STRING | greyed_unless(haveFiles), program.id,
                widen(program.text).c_str());
  }
  if (!state.menus.externalPrograms.empty()) {
    InsertMenuW(state.controls.menu, cmd::kExit, MF_BYCOMMAND | MF_SEPARATOR, cmd::kExternalSeparator, nullptr);
  }
}

}  // namespace

HMENU build_menu_bar() {
  HMENU bar = CreateMenu();
  Win32MenuSink sink;
  build_main_menu(sink, reinterpret_cast<intptr_t>(bar));
  return bar;
}

HMENU create_colour_popup() {
  HMENU popup = CreatePopupMenu();
  const auto& texts = colour_menu_texts();
  for (int i = 0; i + 1 < static_cast<int>(texts.size()); ++i) {
    AppendMenuW(popup, MF_STRING, cmd::kColourFirst + i, widen(texts[i]).c_str());
  }
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING, cmd::kColourRandom, widen(texts.back()).c_str());
  return popup;
}

void set_item_enabled(ShellState& state, int id, bool enabled) {
  EnableMenuItem(state.controls.menu, id, MF_BYCOMMAND | greyed_unless(enabled));
}

void set_item_checked(ShellState& state, int id, bool checked) {
  CheckMenuItem(state.controls.menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool item_enabled(const ShellState& state, int id) {
  const UINT itemState = GetMenuState(state.controls.menu, id, MF_BYCOMMAND);
  return itemState != static_cast<UINT>(-1) && (itemState & kGreyed) == 0;
}

bool item_checked(const ShellState& state, int id) {
  const UINT itemState = GetMenuState(state.controls.menu, id, MF_BYCOMMAND);
  return itemState != static_cast<UINT>(-1) && (itemState & MF_CHECKED) != 0;
}

void check_view_items(ShellState& state) {
  set_item_checked(state, cmd::kTrackPanel, state.settings.tracpanel == 1);
  set_item_checked(state, cmd::kCounterDisplay, (state.display.controlFlags & kFlagDisplay) != 0);
  set_item_checked(state, cmd::kShowOpenButton, (state.display.controlFlags & kFlagOpenButton) != 0);
  set_item_checked(state, cmd::kShowKeyButtons, (state.display.controlFlags & kFlagKeyButtons) != 0);
  set_item_checked(state, cmd::kShowTempoButtons, (state.display.controlFlags & kFlagTempoButtons) != 0);
  set_item_checked(state, cmd::kShowBackNextButtons, (state.display.controlFlags & kFlagBackNext) != 0);
  set_item_checked(state, cmd::kShowSaveButton, (state.display.controlFlags & kFlagSaveButton) != 0);
}

void apply_startup_menu_state(ShellState& state) {
  for (int id : commands_needing_a_file()) set_item_enabled(state, id, false);
  const PlaybackOptions& play = state.engine.settings.play;
  set_item_checked(state, cmd::kLoop, state.settings.loop == 1);
  set_item_checked(state, cmd::kThreeTimes, play.ThreeTimes == 1);
  set_item_checked(state, cmd::kMultiTrackSelect, play.MultiTrackSelect == 1);
  check_view_items(state);
  set_item_checked(state, cmd::kMidiStandard, play.MidiStandard == 1);
  set_item_checked(state, cmd::kTrackSplit, play.TrackSplit == 1);
  set_item_checked(state, cmd::kAllTracks, play.TrackSelection == 0);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    set_item_checked(state, cmd::kTrackFirst + k, play.TrackSelection != 0 && ((play.TrackMask >> k) & 1u));
  }
  set_item_checked(state, cmd::kStandardInstrument, play.StandardInstrument == 1);
  set_item_checked(state, cmd::kStandardVolume, play.StandardVolume == 1);
  const int instrument = instrument_index_for_program(state.menus.instruments, play.melody);
  for (const InstrumentEntry& entry : state.menus.instruments) {
    set_item_checked(state, entry.id, instrument >= 0 && entry.id == cmd::kInstrumentFirst + instrument);
  }
  state.menus.volumeIndex = volume_index_for_value(play.volume);
  for (int id = cmd::kVolumeFirst; id <= cmd::kVolumeLast; ++id) {
    set_item_checked(state, id, state.menus.volumeIndex >= 0 && id == cmd::kVolumeFirst + state.menus.volumeIndex);
  }
}

bool any_top_level_disabled(HMENU bar) {
  for (int position = 0; position < kTopLevelMenuCount; ++position) {
    const UINT itemState = GetMenuState(bar, position, MF_BYPOSITION);
    if (itemState != static_cast<UINT>(-1) && (itemState & MF_DISABLED)) return true;
  }
  return false;
}

void install_settings_items(ShellState& state) {
  const bool haveFiles = !state.playlist.entries.empty();
  install_create_items(state, haveFiles);
  install_instruments(state, haveFiles);
  install_external_programs(state, haveFiles);
}

void fill_popup(HMENU popup, const std::vector<PopupEntry>& entries) {
  while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
  for (const PopupEntry& entry : entries) {
    AppendMenuW(popup, MF_STRING, entry.id, name_and_extension(entry.path).wstring().c_str());
  }
}

}  // namespace mel
