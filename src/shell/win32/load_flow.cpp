#include "shell/win32/load_flow.h"

#include <commdlg.h>

#include <fstream>
#include <system_error>

#include "app/conversion_rules.h"
#include "app/dialogs/format_dialog.h"
#include "common/path_util.h"
#include "controls/cg_button.h"
#include "shell/model/load_flow_model.h"
#include "shell/model/shell_rules_model.h"
#include "shell/win32/dialogs/model_dialog.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/shell_sources.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

constexpr DWORD kDialogNameCapacity = 256;

// "a\0b\0c\0d\0\0": the filter list of the file dialogs.
std::wstring filter_text(const std::vector<std::pair<const char*, const char*>>& filters) {
  std::wstring text;
  for (const auto& [description, pattern] : filters) {
    text += widen(description);
    text.push_back(L'\0');
    text += widen(pattern);
    text.push_back(L'\0');
  }
  text.push_back(L'\0');
  return text;
}

// A name buffer for the dialogs, holding the initial name (cut to fit).
std::vector<wchar_t> name_buffer(const std::wstring& initial) {
  std::vector<wchar_t> buffer(kDialogNameCapacity, L'\0');
  initial.copy(buffer.data(), kDialogNameCapacity - 1);
  return buffer;
}

bool file_exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::uintmax_t size_of_file(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

void truncate_file(const std::filesystem::path& path) {
  if (path.empty()) return;
  std::ofstream(path, std::ios::binary | std::ios::trunc);
}

void set_bitmap(HWND button, const char* name) {
  const std::wstring wide = widen(name);
  SendMessageW(button, kCgSetBitmap, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void label_track_buttons(ShellState& state, const LoadButtonStates& buttons) {
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    SetWindowTextW(state.controls.trackButtons[k], widen(track_label(state.engine.song, k)).c_str());
    EnableWindow(state.controls.trackButtons[k], k < buttons.tracksEnabled);
  }
  EnableWindow(state.controls.allTracksButton, buttons.allTracks);
  EnableWindow(state.controls.standardButton, buttons.standard);
  EnableWindow(state.controls.splitButton, buttons.split);
  set_button_check(state.controls.standardButton, state.engine.settings.play.MidiStandard == 1);
  set_button_check(state.controls.splitButton, state.engine.settings.play.TrackSplit == 1);
}

void fill_lists(ShellState& state) {
  fill_popup(state.controls.previousPopup, previous_popup(state.playlist.entries, state.playlist.currentIndex));
  fill_popup(state.controls.nextPopup, next_popup(state.playlist.entries, state.playlist.currentIndex));
  // An open that added nothing leaves no current file: there is nothing to
  // remember, and an empty name would show as a blank recent item.
  if (!state.playlist.currentFile.empty()) remember_recent(state.playlist.recent, state.playlist.currentFile);
  fill_popup(state.controls.recentPopup, recent_popup(state.playlist.recent, !state.playlist.currentFile.empty()));
}

void set_caption(ShellState& state, int inputType) {
  SetWindowTextW(state.hwnd, window_caption(inputType, state.playlist.currentFile).c_str());
}

// The device may hold the temporary file open while it plays; it is closed
// before the file is written again.
void release_temporary_file(ShellState& state) {
  SequencerPlayer& player = *state.playback.player;
  if (player.state() == PlayerState::Playing || player.held_open()) player.set_file(state.load.tempMidiPath);
}

}  // namespace

void set_button_check(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void set_song_buttons(ShellState& state, bool ok) {
  const int count = state.playlist.count();
  const bool previous = state.playlist.currentIndex >= 1;
  const bool next = state.playlist.currentIndex + 1 < count;
  set_bitmap(state.controls.buttons[kButtonKeyDown], key_down_bitmap(ok));
  set_bitmap(state.controls.buttons[kButtonKeyUp], key_up_bitmap(ok));
  set_bitmap(state.controls.buttons[kButtonTempoDown], tempo_down_bitmap(ok));
  set_bitmap(state.controls.buttons[kButtonTempoUp], tempo_up_bitmap(ok));
  set_bitmap(state.controls.buttons[kButtonSave], save_bitmap(ok));
  set_bitmap(state.controls.buttons[kButtonPrevious], previous_bitmap(previous));
  set_bitmap(state.controls.buttons[kButtonNext], next_bitmap(next));
  for (int i : {kButtonKeyDown, kButtonKeyUp, kButtonTempoDown, kButtonTempoUp, kButtonSave}) {
    EnableWindow(state.controls.buttons[i], ok);
  }
  EnableWindow(state.controls.buttons[kButtonPrevious], previous);
  EnableWindow(state.controls.buttons[kButtonNext], next);
  for (int i = kButtonKeyDown; i <= kButtonSave; ++i) InvalidateRect(state.controls.buttons[i], nullptr, TRUE);
}

void load_current_file(ShellState& state) {
  const std::filesystem::path& path = state.playlist.currentFile;
  PlaybackOptions& play = state.engine.settings.play;
  const int type = path.empty() ? static_cast<int>(kInputUnsupported) : state.engine.detect(path);
  play.KeepFileInstruments = keep_file_instruments_for(type, play.StandardInstrument);
  bool ok = false;
  if (type >= 1 && (file_exists(path) || is_clipboard_path(path))) {
    release_temporary_file(state);
    play.ForPlayback = 1;
    ok = state.engine.dispatch(path, state.load.tempMidiPath, type, kOutputMidi) == DispatchStatus::Written &&
         conversion_is_playable(state.engine.song, size_of_file(state.load.tempMidiPath));
  }
  state.load.inputType = type;
  state.load.songLoaded = ok;
  if (!ok) {
    release_temporary_file(state);
    truncate_file(state.load.tempMidiPath);
    reset_song_header(state.engine.song);
    state.playback.player->set_length(0);
    SetScrollRange(state.controls.scroll, SB_CTL, 0, -1, TRUE);
  }
  state.playback.player->set_file(state.load.tempMidiPath);

  LoadOutcome outcome;
  outcome.ok = ok;
  outcome.inputType = type;
  outcome.trackCount = state.engine.song.trackCount;
  outcome.currentIndex = state.playlist.currentIndex;
  outcome.fileCount = state.playlist.count();
  outcome.midiStandard = play.MidiStandard;
  set_song_buttons(state, ok);
  for (const ItemEnable& item : load_flow_menu_states(outcome)) set_item_enabled(state, item.id, item.enabled);
  label_track_buttons(state, load_flow_button_states(outcome));
  fill_lists(state);
  set_caption(state, type);
}

void create_file(ShellState& state, int outputKind) {
  const std::filesystem::path input = state.playlist.currentFile;
  const int type = input.empty() ? static_cast<int>(kInputUnsupported) : state.engine.detect(input);
  if (type <= 0) return;
  state.load.currentOutputKind = outputKind;
  Settings& settings = state.engine.settings;
  if (!create_target(outputKind, type, settings.play.MidiStandard, settings.writers.mailBase64 != 0, input)) return;

  // The format's settings dialog, when it has one; without one the format
  // table's writer writes with the dialog's start values.
  const FormatDialogContext context{state.engine.song, settings, type, counter_length_of(state.engine.song)};
  std::unique_ptr<FormatDialog> dialog = make_format_dialog(outputKind, context);
  if (dialog) {
    const ModalScope modal(state);
    if (run_model_dialog(state.hwnd, *dialog) != IDOK) return;
  }
  // OK may have changed the extension (MFi as mail text).
  const auto target = create_target(outputKind, type, settings.play.MidiStandard, settings.writers.mailBase64 != 0, input);
  const std::string extension = dialog ? dialog->extension(target->extension) : target->extension;
  std::filesystem::path name = proposed_create_path(input, extension, dialog && dialog->proposes_melody_name());
  bool chosen = false;
  {
    const ModalScope modal(state);
    chosen = state.options.saveDialog ? state.options.saveDialog(state.hwnd, name, outputKind)
                                      : save_file_dialog(state, name, outputKind);
  }
  if (!chosen) return;
  const int kind = adjust_dot_i_kind(outputKind, name);
  bool written = true;
  if (kind == kOutputPlaylist) {
    written = write_playlist_file(state.playlist, name);
  } else {
    settings.play.ForPlayback = 0;
    const DispatchStatus status = dialog ? state.engine.dispatch(input, name, type, kind, dialog->writer_for(kind))
                                         : state.engine.dispatch(input, name, type, kind);
    settings.play.ForPlayback = 1;
    written = status != DispatchStatus::WriteFailed;
    if (written && kind == kOutputMfi && settings.writers.mailBase64 != 0) {
      if (const char* warning = mail_size_warning(static_cast<long long>(size_of_file(name)))) {
        show_message(state, warning, kMailSizeCaption, MB_OK);
      }
    }
  }
  // The one failure a user must hear of: the file asked for was not written.
  if (!written) show_message(state, "ファイルを作成できませんでした。", kProductName, MB_OK | MB_ICONWARNING);
  state.playlist.lastCreated = name;
}

// What the open and save dialogs share: the texts they point to (kept alive
// while the dialog runs) and the fields filled the same way.
struct FileDialog {
  std::wstring filters;
  std::wstring title;
  std::vector<wchar_t> buffer;
  OPENFILENAMEW fields{};

  FileDialog(HWND owner, const std::vector<std::pair<const char*, const char*>>& filterList, const std::string& titleText,
             const std::wstring& initialName, DWORD flags)
      : filters(filter_text(filterList)), title(widen(titleText)), buffer(name_buffer(initialName)) {
    fields.lStructSize = sizeof(fields);
    fields.hwndOwner = owner;
    fields.lpstrFilter = filters.c_str();
    fields.nFilterIndex = 1;
    fields.lpstrFile = buffer.data();
    fields.nMaxFile = kDialogNameCapacity;
    fields.lpstrTitle = title.c_str();
    fields.Flags = flags;
  }
  // The fields point into the members: never copied.
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;
};

bool open_file_dialog(ShellState& state, std::filesystem::path& name) {
  FileDialog dialog(state.hwnd, open_dialog_filters(), open_dialog_title(),
                    name.empty() ? widen(open_dialog_default_pattern()) : name.wstring(),
                    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
  if (!GetOpenFileNameW(&dialog.fields)) return false;
  name = dialog.buffer.data();
  return true;
}

bool save_file_dialog(ShellState& state, std::filesystem::path& name, int outputKind) {
  const SaveDialogSetup setup = save_dialog_setup(name, outputKind);
  const std::wstring extension = widen(setup.defaultExtension);
  const std::wstring folder = state.playlist.saveFolder.wstring();
  FileDialog dialog(state.hwnd, setup.filters, setup.title, setup.initialName.wstring(),
                    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST);
  dialog.fields.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.fields.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  const bool chosen = GetSaveFileNameW(&dialog.fields) != 0;
  name = dialog.buffer.data();
  state.playlist.saveFolder = save_folder_of(name);
  return chosen;
}

}  // namespace mel
