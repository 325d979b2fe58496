#include "shell/model/load_flow_model.h"

#include <algorithm>
#include <cstdio>

#include "app/dialogs/track_values_dialog.h"
#include "common/cp932.h"
#include "convert/format_registry.h"
#include "score/format_codes.h"
#include "shell/model/command_ids.h"

namespace mel {

namespace fs = std::filesystem;

namespace {

constexpr long long kMailLimitPaldio = 3000;
constexpr long long kMailLimitImode = 500;

constexpr char kEmptyProposal[] = "*.*";
constexpr char kAllFilesFilterText[] = "すべてのﾌｧｲﾙ";
constexpr char kAllFilesPattern[] = "*.*";
constexpr char kMelodyPmdName[] = "melody";

int existing_tracks(const LoadOutcome& outcome) {
  return outcome.ok ? std::clamp(outcome.trackCount, 0, cmd::kTrackButtonCount) : 0;
}

template <class Char>
Char ascii_lower(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}


[[maybe_unused]] bool native_equal_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (is_cp932_lead_byte(a[i])) {
      if (a[i] != b[i]) return false;
      if (++i < a.size() && a[i] != b[i]) return false;
      continue;
    }
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

[[maybe_unused]] bool native_equal_ignoring_case(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

bool same_file_name(const fs::path& a, const fs::path& b) { return native_equal_ignoring_case(a.native(), b.native()); }

// An extension as text: UTF-8 on Windows, the bytes themselves elsewhere, so
// that fs::u8path gives the same extension back.
std::string extension_text(const fs::path& path) { return path.extension().u8string(); }

}  // namespace

int keep_file_instruments_for(int inputType, int standardInstrument) {
  return input_carries_instruments(inputType) ? standardInstrument : 0;
}

bool three_times_enabled(bool ok, int inputType, int midiStandard) {
  return ok && !(is_midi_input(inputType) && midiStandard == 1);
}

std::vector<ItemEnable> load_flow_menu_states(const LoadOutcome& outcome) {
  const bool ok = outcome.ok;
  const int t = outcome.inputType;
  std::vector<ItemEnable> items;
  auto add = [&items](int id, bool enabled) { items.push_back({id, enabled}); };
  auto add_range = [&add](int first, int last, bool enabled) {
    for (int id = first; id <= last; ++id) add(id, enabled);
  };

  // Items that need a song and nothing more.
  add(cmd::kProperties, ok);
  add(cmd::kCreateMidi, ok);
  add(cmd::kCreateMml, ok);
  add(cmd::kCreatePlaylist, ok);
  add_range(cmd::kCreateFirst, cmd::kCreateLast, ok);
  add_range(cmd::kExternalFirst, cmd::kExternalLast, ok);
  add(cmd::kResetKeySpeed, ok);
  add(cmd::kPseudoChord, ok);
  add(cmd::kPerTrackInstrument, ok);
  add_range(cmd::kInstrumentFirst, cmd::kInstrumentLast, ok);
  add(cmd::kStandardVolume, ok);
  add(cmd::kPerTrackVolume, ok);
  add_range(cmd::kVolumeFirst, cmd::kVolumeLast, ok);

  // Items that depend on the song.
  add(cmd::kStandardInstrument, ok && input_carries_instruments(t));
  add(cmd::kMidiStandard, ok && is_midi_input(t));
  add(cmd::kTrackSplit, ok && input_splits_chords(t));
  add(cmd::kAllTracks, ok && outcome.trackCount >= 1);
  add(cmd::kThreeTimes, three_times_enabled(ok, t, outcome.midiStandard));
  const int tracks = existing_tracks(outcome);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) add(cmd::kTrackFirst + k, k < tracks);

  // Items that depend on the playlist.
  add(cmd::kPrevious, outcome.currentIndex >= 1);
  add(cmd::kFirst, outcome.currentIndex >= 1);
  add(cmd::kNext, outcome.currentIndex + 1 < outcome.fileCount);
  add(cmd::kShuffle, outcome.fileCount >= 2);
  return items;
}

LoadButtonStates load_flow_button_states(const LoadOutcome& outcome) {
  LoadButtonStates states;
  states.keyTempoSave = outcome.ok;
  states.previous = outcome.currentIndex >= 1;
  states.next = outcome.currentIndex + 1 < outcome.fileCount;
  states.allTracks = outcome.ok && outcome.trackCount >= 1;
  states.standard = outcome.ok && is_midi_input(outcome.inputType);
  states.split = outcome.ok && input_splits_chords(outcome.inputType);
  states.tracksEnabled = existing_tracks(outcome);
  return states;
}

const char* key_down_bitmap(bool live) { return live ? "BITMAP_FLAT" : "BITMAP_NFLAT"; }
const char* key_up_bitmap(bool live) { return live ? "BITMAP_SHARP" : "BITMAP_NSHARP"; }
const char* tempo_down_bitmap(bool live) { return live ? "BITMAP_PLAYDOWN" : "BITMAP_NPLAYDOWN"; }
const char* tempo_up_bitmap(bool live) { return live ? "BITMAP_PLAYUP" : "BITMAP_NPLAYUP"; }
const char* previous_bitmap(bool live) { return live ? "BITMAP_PLAYBACK" : "BITMAP_NPLAYBACK"; }
const char* next_bitmap(bool live) { return live ? "BITMAP_PLAYNEXT" : "BITMAP_NPLAYNEXT"; }
const char* save_bitmap(bool live) { return live ? "BITMAP_REC" : "BITMAP_NREC"; }

std::string track_label(const SongInfo& song, int k) {
  if (k < 0 || k >= cmd::kTrackButtonCount) return "";
  return track_button_label(song, k, song.trackCount);
}

std::vector<PopupEntry> previous_popup(const std::vector<fs::path>& playlist, int currentIndex) {
  std::vector<PopupEntry> entries;
  const long long count = static_cast<long long>(playlist.size());
  for (int i = 0; i < cmd::kPopupLength; ++i) {
    const long long entry = static_cast<long long>(currentIndex) - 1 - i;
    if (entry < 0) break;
    if (entry >= count) continue;  // an index past the list names nothing
    entries.push_back({cmd::kPreviousPopupFirst + i, playlist[static_cast<std::size_t>(entry)]});
  }
  return entries;
}

std::vector<PopupEntry> next_popup(const std::vector<fs::path>& playlist, int currentIndex) {
  std::vector<PopupEntry> entries;
  const long long count = static_cast<long long>(playlist.size());
  for (int i = 0; i < cmd::kPopupLength; ++i) {
    const long long entry = static_cast<long long>(currentIndex) + 1 + i;
    if (entry >= count) break;
    if (entry < 0) continue;
    entries.push_back({cmd::kNextPopupFirst + i, playlist[static_cast<std::size_t>(entry)]});
  }
  return entries;
}

void remember_recent(std::vector<fs::path>& recent, const fs::path& path) {
  if (recent.size() > static_cast<std::size_t>(kRecentCapacity)) recent.resize(kRecentCapacity);
  // Only the first ten are searched: a match in the eleventh place is the
  // one that falls off when the new name goes on top.
  const std::size_t searched = std::min(recent.size(), static_cast<std::size_t>(kRecentCapacity - 1));
  std::size_t found = searched;
  for (std::size_t i = 0; i < searched; ++i) {
    if (same_file_name(recent[i], path)) {
      found = i;
      break;
    }
  }
  if (found < searched) {
    recent.erase(recent.begin() + static_cast<std::ptrdiff_t>(found));
  } else if (recent.size() == static_cast<std::size_t>(kRecentCapacity)) {
    recent.pop_back();
  }
  recent.insert(recent.begin(), path);
}

std::vector<PopupEntry> recent_popup(const std::vector<fs::path>& recent, bool firstIsCurrent) {
  std::vector<PopupEntry> entries;
  const std::size_t count = std::min(recent.size(), static_cast<std::size_t>(kRecentCapacity));
  const std::size_t first = firstIsCurrent ? 1 : 0;
  for (std::size_t i = first; i < count && entries.size() < static_cast<std::size_t>(cmd::kPopupLength); ++i) {
    entries.push_back({cmd::kRecentFirst + static_cast<int>(i - first), recent[i]});
  }
  return entries;
}

std::size_t recent_entry_for_command(int id, bool firstIsCurrent) {
  return static_cast<std::size_t>(id - cmd::kRecentFirst) + (firstIsCurrent ? 1 : 0);
}

fs::path name_and_extension(const fs::path& path) { return path.filename(); }

bool caption_names_file(int inputType) { return inputType >= 1; }

fs::path::string_type window_caption(int inputType, const fs::path& file) {
  fs::path caption = kProductName;
  if (caption_names_file(inputType)) {
    caption += "[";
    caption += name_and_extension(file).native();
    caption += "]";
  }
  return caption.native();
}

const char* open_dialog_default_pattern() { return all_melody_files_pattern(); }

const std::vector<std::pair<const char*, const char*>>& open_dialog_filters() { return melody_file_filters(); }

std::string open_dialog_title() { return std::string(kProductName) + " [ファイルを開く]"; }

SaveDialogSetup save_dialog_setup(const fs::path& proposed, int outputKind) {
  const fs::path name = proposed.empty() ? fs::path(kEmptyProposal) : proposed;
  SaveDialogSetup setup;
  const OutputFormat* format = find_output_format(outputKind);
  if (format && !format->saveFilters.empty()) {
    // Formats with several forms let the filter choose the extension.
    setup.initialName = name.stem();
    setup.filters = format->saveFilters;
  } else {
    setup.initialName = name.filename();
    setup.filters = {{kAllFilesFilterText, kAllFilesPattern}};
  }
  const std::string extension = extension_text(name);
  setup.defaultExtension = extension.empty() ? extension : extension.substr(1);
  setup.title = std::string(kProductName) + " [" + extension + "ファイルを作成]";
  return setup;
}

fs::path save_folder_of(const fs::path& chosen) {
  fs::path folder = chosen;
  folder.remove_filename();
  return folder;
}

std::optional<CreateTarget> create_target(int outputKind, int inputType, int midiStandard, bool mailBase64,
                                          const fs::path& inputPath) {
  const OutputFormat* format = find_output_format(outputKind);
  if (!format || !format->created) return std::nullopt;
  if (outputKind == kOutputRawCopy) return CreateTarget{0, "", extension_text(inputPath)};
  SettingsDialogRef dialog = format->dialog;
  // MIDI played as written goes through the direct MIDI-to-DXM settings.
  if (format->directMidiDialog.number != 0 && is_midi_input(inputType) && midiStandard == 1) {
    dialog = format->directMidiDialog;
  }
  const char* extension = mailBase64 && format->mailTextExtension ? format->mailTextExtension
                                                                   : format->extensions.front();
  return CreateTarget{dialog.number, dialog.title, extension};
}

bool kind_can_be_created(int outputKind) {
  if (outputKind == kOutputRawCopy) return true;
  const OutputFormat* format = find_output_format(outputKind);
  return format != nullptr && format->writer != nullptr;
}

fs::path proposed_create_path(const fs::path& input, const std::string& extension, bool melodyPmdName) {
  fs::path proposed = input;
  proposed.replace_filename(melodyPmdName ? fs::path(kMelodyPmdName) : input.stem());
  proposed += fs::u8path(extension);
  return proposed;
}

int adjust_dot_i_kind(int outputKind, const fs::path& chosen) {
  if (outputKind != kOutputDotI) return outputKind;
  const bool primary = same_file_name(chosen.extension(), fs::path(output_extension(kOutputDotI)));
  return primary ? kOutputDotI : kOutputMozio;
}

const char* mail_size_warning(long long size) {
  if (size > kMailLimitPaldio) return "3000byteを超えています。\r\niモードメール、パルディオEメールでは送れません。";
  if (size > kMailLimitImode) return "500byteを超えています。\r\niモードメールでは送れません。";
  return nullptr;
}

std::string counter_position_text(long position, long length, const std::string& title) {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%4lld / %4lld", static_cast<long long>(position) + 1,
                static_cast<long long>(length));
  // The separator is a full-width space.
  return std::string(numbers) + "　" + title;
}

}  // namespace mel
