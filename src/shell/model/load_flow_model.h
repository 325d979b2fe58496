// The rules of the load and create flows that need no window: which items and
// buttons a load enables, the track-button labels, the previous/next popups,
// the recent list, the caption, the open and save dialogs' texts and filters,
// the create table (settings dialog and extension per OutputKind) and the
// mail-size warnings. Fixed texts are CP932 bytes; paths stay paths.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "score/score_stream.h"

namespace mel {

constexpr char kProductName[] = "MELVARINO";
constexpr char kVersionText[] = "V8.00";
constexpr int kRecentCapacity = 11;  // entry 0 is the current file

// What the load flow found.
struct LoadOutcome {
  bool ok = false;
  int inputType = 0;
  int trackCount = 0;      // SongInfo::trackCount after the load
  int currentIndex = 0;
  int fileCount = 0;
  int midiStandard = 1;
};

// KeepFileInstruments after detection: standardInstrument for the types that
// carry their own instruments (3, 4, 5, 8, 12, 13, 15, 18), else 0.
int keep_file_instruments_for(int inputType, int standardInstrument);

struct ItemEnable {
  int id;
  bool enabled;
};
// Every menu item whose state the load flow sets, with its state.
std::vector<ItemEnable> load_flow_menu_states(const LoadOutcome& outcome);
// Item 207 (three times): greyed iff MIDI input is played "MIDI標準".
bool three_times_enabled(bool ok, int inputType, int midiStandard);

struct LoadButtonStates {
  bool keyTempoSave = false;  // key down/up, tempo down/up, save
  bool previous = false;
  bool next = false;
  bool allTracks = false;     // "全"
  bool standard = false;      // "標準"
  bool split = false;         // "分解"
  int tracksEnabled = 0;      // track buttons 1..tracksEnabled are enabled
};
LoadButtonStates load_flow_button_states(const LoadOutcome& outcome);

// Bitmap names of the buttons that have a greyed look, live or greyed.
const char* key_down_bitmap(bool live);
const char* key_up_bitmap(bool live);
const char* tempo_down_bitmap(bool live);
const char* tempo_up_bitmap(bool live);
const char* previous_bitmap(bool live);
const char* next_bitmap(bool live);
const char* save_bitmap(bool live);

// The label of track button k (0..31): "R  ", "*  ", or the number "%d  ".
std::string track_label(const SongInfo& song, int k);

// Popup entries: the command id and the playlist entry it names (the label is
// the entry's file name and extension).
struct PopupEntry {
  int id;
  std::filesystem::path path;
};
std::vector<PopupEntry> previous_popup(const std::vector<std::filesystem::path>& playlist, int currentIndex);
std::vector<PopupEntry> next_popup(const std::vector<std::filesystem::path>& playlist, int currentIndex);

// Puts path at the top of the recent list (case-insensitive match moves the
// entry up; a new one pushes the others down; at most 11 are kept).
void remember_recent(std::vector<std::filesystem::path>& recent, const std::filesystem::path& path);
// Ids 1201.. for entries 1..count-1: entry 0 is the current file and is not
// listed. With no current file (an open that added nothing), entry 0 is the
// file just unloaded and is listed too, from 1201 on.
std::vector<PopupEntry> recent_popup(const std::vector<std::filesystem::path>& recent, bool firstIsCurrent = true);
// The recent entry a popup id opens (the same numbering).
std::size_t recent_entry_for_command(int id, bool firstIsCurrent);

// The file-name part shown in captions and popups: name and extension.
std::filesystem::path name_and_extension(const std::filesystem::path& path);
// True when the caption names the file ("MELVARINO[name.ext]"): a recognised type.
bool caption_names_file(int inputType);
// The window caption after a load: "MELVARINO[name.ext]" for a recognised
// type, else "MELVARINO". Native characters, so the name is never converted.
std::filesystem::path::string_type window_caption(int inputType, const std::filesystem::path& file);

// Open dialog.
const char* open_dialog_default_pattern();
const std::vector<std::pair<const char*, const char*>>& open_dialog_filters();
std::string open_dialog_title();  // "MELVARINO [ファイルを開く]"

// Save dialog for a proposed path and an OutputKind.
struct SaveDialogSetup {
  std::filesystem::path initialName;  // the name alone (kinds 6, 9) or name + extension
  std::vector<std::pair<const char*, const char*>> filters;
  std::string defaultExtension;  // without the dot
  std::string title;             // "MELVARINO [.mldファイルを作成]"
};
SaveDialogSetup save_dialog_setup(const std::filesystem::path& proposed, int outputKind);
// The SaveFolder remembered after the dialog: drive and directory of name.
std::filesystem::path save_folder_of(const std::filesystem::path& chosen);

// The create table.
struct CreateTarget {
  int dialog = 0;             // settings dialog number, 0 = none
  const char* dialogTitle = "";
  std::string extension;      // with its dot; a copy's extension that is not
                              // plain ASCII is UTF-8 (what path::u8string gives)
};
// mailBase64: the MLD dialog's Base64 option; inputPath gives the extension
// of a raw copy (kind -3).
std::optional<CreateTarget> create_target(int outputKind, int inputType, int midiStandard, bool mailBase64,
                                          const std::filesystem::path& inputPath);
// True when the create flow can write this output kind: a raw copy, or a kind
// whose writer the format table has. Until a format's settings dialog exists
// the file is written with the dialog's start values, as `convert` writes it;
// the items of kinds without a writer do nothing.
bool kind_can_be_created(int outputKind);
// The proposed path of the create flow: folder and name of the input, the
// target's extension ("melody" as the name when melodyPmdName is set for
// kind 3; pass false for every other kind). The extension is read as UTF-8.
std::filesystem::path proposed_create_path(const std::filesystem::path& input, const std::string& extension,
                                           bool melodyPmdName);
// Kind 6 named other than ".mmd" becomes 14 (the .mel/.sml variant).
int adjust_dot_i_kind(int outputKind, const std::filesystem::path& chosen);
// The warning for a Base64 mail text of size bytes, or nullptr.
const char* mail_size_warning(long long size);
constexpr char kMailSizeCaption[] = "サイズオーバー";

// The counter text while playing: "%4d / %4d　%s" with position + 1, length
// and the title.
std::string counter_position_text(long position, long length, const std::string& title);

}  // namespace mel
