#include "app/dialogs/track_values_dialog.h"

#include <algorithm>
#include <cstdio>

#include "app/dialogs/dialog_ids.h"
#include "score/format_codes.h"

namespace mel {

namespace {

constexpr int kMaxOverride = 128;  // value + 1 of program or volume 127
constexpr int kListLines = 128;

}  // namespace

std::string track_button_label(const SongInfo& song, int k, int count) {
  if (k < 0 || k >= kMaxTracks) return {};
  if (song.program[k] == kRhythmProgram) return "R  ";
  const bool exists = k < count;
  if (song.part[k] == kMixedChannelPart && exists) return "*  ";
  const int number = song.part[k] == 0 || !exists ? k + 1 : song.part[k];
  return std::to_string(number) + "  ";
}

int track_value_of_text(const std::string& text, const std::vector<TrackValueEntry>& entries) {
  if (text == "*") return kFollowScore;
  for (const TrackValueEntry& entry : entries) {
    if (text == entry.text) return entry.value + 1;
  }
  std::optional<int> n = parse_typed_count(text);
  if (!n) return 0;
  return static_cast<int>(std::min<long long>(static_cast<long long>(*n) + 1, kMaxOverride));
}

TrackValuesDialog::TrackValuesDialog(TrackValueMode mode, const SongInfo& song, Settings& settings,
                                     std::vector<TrackValueEntry> entries, std::vector<std::string> instrumentNames,
                                     bool standardEnabled, std::function<void()> applied)
    : mode_(mode),
      song_(song),
      settings_(settings),
      entries_(std::move(entries)),
      standardEnabled_(standardEnabled),
      applied_(std::move(applied)) {
  const auto& overrides = mode_ == TrackValueMode::Instrument ? settings_.play.PerTrackProgram
                                                              : settings_.play.PerTrackVolume;
  for (int k = 0; k < kTrackValueRows; ++k) {
    rows_[k] = overrides[k] != 0 ? value_text(overrides[k]) : own_text(k);
    controls_.push_back({IDC_TRACK_LABEL_FIRST + k, ControlKind::Label});
    controls_.push_back({IDC_TRACK_VALUE_FIRST + k, ControlKind::ChoiceText});
  }
  if (mode_ == TrackValueMode::Instrument) {
    for (int n = 0; n < kListLines; ++n) {
      const std::string name = n < static_cast<int>(instrumentNames.size()) ? instrumentNames[n] : std::string();
      listLines_.push_back(name + "(" + std::to_string(n) + ")");
    }
  }
  controls_.push_back({IDC_INSTRUMENT_LIST, ControlKind::List});
}

int TrackValuesDialog::template_id() const { return IDD_TRACK_VALUES; }

std::string TrackValuesDialog::title() const {
  return mode_ == TrackValueMode::Instrument ? "音色設定" : "音量設定";
}

int TrackValuesDialog::row_of(int id, int firstId) {
  return id >= firstId && id < firstId + kTrackValueRows ? id - firstId : -1;
}

std::string TrackValuesDialog::value_text(int value) const {
  if (value == kFollowScore) return "*";
  if (value < 1 || value > kMaxOverride) return {};
  std::string text = std::to_string(value - 1);
  for (const TrackValueEntry& entry : entries_) {
    if (entry.value + 1 == value) text = entry.text;
  }
  return text;
}

std::string TrackValuesDialog::own_text(int row) const {
  return value_text(mode_ == TrackValueMode::Instrument ? song_.program[row] : song_.volume[row]);
}

std::vector<std::string> TrackValuesDialog::choices(int id) const {
  if (id == IDC_INSTRUMENT_LIST) return listLines_;
  std::vector<std::string> texts;
  if (row_of(id, IDC_TRACK_VALUE_FIRST) >= 0) {
    for (const TrackValueEntry& entry : entries_) texts.push_back(entry.text);
  }
  return texts;
}

std::string TrackValuesDialog::text(int id) const {
  if (int row = row_of(id, IDC_TRACK_VALUE_FIRST); row >= 0) return rows_[row];
  if (int row = row_of(id, IDC_TRACK_LABEL_FIRST); row >= 0) {
    if (settings_.conv.pseudo_chord_mode() && row < song_.scoreTrackCount) return "G" + std::to_string(row + 1) + "  ";
    return track_button_label(song_, row, song_.scoreTrackCount);
  }
  return {};
}

int TrackValuesDialog::state(int id) const { return id == IDC_INSTRUMENT_LIST ? listLine_ : 0; }

void TrackValuesDialog::set_text(int id, const std::string& text) {
  if (int row = row_of(id, IDC_TRACK_VALUE_FIRST); row >= 0) rows_[row] = text;
}

void TrackValuesDialog::set_state(int id, int state) {
  if (id == IDC_INSTRUMENT_LIST) listLine_ = state >= 0 && state < static_cast<int>(listLines_.size()) ? state : -1;
}

bool TrackValuesDialog::enabled(int id) const {
  if (id == IDC_INSTRUMENT_LIST) return mode_ == TrackValueMode::Instrument;
  for (int first : {IDC_TRACK_LABEL_FIRST, IDC_TRACK_VALUE_FIRST}) {
    if (int row = row_of(id, first); row >= 0) return row < song_.scoreTrackCount;
  }
  return true;
}

// The row being edited becomes the current row; its number selects its line.
void TrackValuesDialog::focused(int id) {
  int row = row_of(id, IDC_TRACK_VALUE_FIRST);
  if (row < 0) return;
  currentRow_ = row;
  select_list_line(row);
}

void TrackValuesDialog::select_list_line(int row) {
  if (mode_ != TrackValueMode::Instrument) return;
  std::optional<int> n = parse_typed_count(rows_[row]);
  if (n && *n < kListLines) listLine_ = *n;
}

DialogAction TrackValuesDialog::command(int id) {
  DialogAction action;
  action.refresh = true;
  switch (id) {
    case IDC_INSTRUMENT_LIST:  // a double-click on a line
      if (listLine_ >= 0 && mode_ == TrackValueMode::Instrument) rows_[currentRow_] = std::to_string(listLine_);
      return action;
    case IDC_RESET:
      for (int k = 0; k < kTrackValueRows; ++k) rows_[k] = own_text(k);
      return action;
    case IDC_APPLY: apply(); return action;
    default: action.refresh = false; return action;
  }
}

void TrackValuesDialog::apply() {
  PlaybackOptions& play = settings_.play;
  auto& overrides = mode_ == TrackValueMode::Instrument ? play.PerTrackProgram : play.PerTrackVolume;
  for (int k = 0; k < kTrackValueRows; ++k) overrides[k] = track_value_of_text(rows_[k], entries_);
  if (mode_ == TrackValueMode::Instrument) {
    if (standardEnabled_) {
      play.StandardInstrument = 0;
      play.KeepFileInstruments = 0;
    }
  } else {
    play.StandardVolume = 0;
  }
  if (applied_) applied_();
}

void TrackValuesDialog::ok() { apply(); }

}  // namespace mel
