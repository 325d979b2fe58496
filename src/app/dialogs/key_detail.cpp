#include "app/dialogs/key_detail.h"

#include <algorithm>
#include <cstdio>

#include "app/dialogs/dialog_ids.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using midi::kSemitonesPerOctave;

bool has_notes(const SongInfo& song, int track) {
  int i = track - 1;
  return i >= 0 && i < kMaxTracks && song.noteCount[i] > 0 && song.lowestPitch[i] > 0;
}

}  // namespace

std::optional<std::pair<int, int>> used_key_range(const SongInfo& song, const std::vector<KeyRow>& rows,
                                                  const std::array<int, kMaxTracks>& octaveShift, int key,
                                                  bool countRhythm) {
  std::optional<std::pair<int, int>> range;
  for (std::size_t row = 0; row < rows.size() && row < octaveShift.size(); ++row) {
    const KeyRow& r = rows[row];
    if (!has_notes(song, r.track) || (r.rhythm && !countRhythm)) continue;
    int shift = key + kSemitonesPerOctave * octaveShift[row];
    int lo = song.lowestPitch[r.track - 1] + shift;
    int hi = song.highestPitch[r.track - 1] + shift;
    if (!range) range = std::make_pair(lo, hi);
    range->first = std::min(range->first, lo);
    range->second = std::max(range->second, hi);
  }
  return range;
}

std::string key_hint_text(int lowest, int highest) {
  char text[64];
  std::snprintf(text, sizeof text, "(キー有効値 %d～%d)", lowest, highest);
  return text;
}

KeyDetailDialog::KeyDetailDialog(const SongInfo& song, std::vector<KeyRow> rows, int key, int lowestValid,
                                 int highestValid, std::array<int, kMaxTracks>& octaveShift)
    : song_(song),
      rows_(std::move(rows)),
      key_(key),
      lowestValid_(lowestValid),
      highestValid_(highestValid),
      octaveShift_(octaveShift) {
  if (rows_.size() > static_cast<std::size_t>(kKeyDetailRows)) rows_.resize(kKeyDetailRows);
  for (int i = 0; i < kKeyDetailRows; ++i) {
    working_[i] = std::clamp(octaveShift_[i], kMinOctaveShift, kMaxOctaveShift);
    controls_.push_back({IDC_KEY_ROW_LABEL_FIRST + i, ControlKind::Label});
    controls_.push_back({IDC_KEY_ROW_LOW_FIRST + i, ControlKind::Label});
    controls_.push_back({IDC_KEY_ROW_HIGH_FIRST + i, ControlKind::Label});
    controls_.push_back({IDC_KEY_ROW_SHIFT_FIRST + i, ControlKind::Slider});
  }
  controls_.push_back({IDC_KEY_HINT, ControlKind::Label});
}

int KeyDetailDialog::template_id() const { return IDD_KEY_DETAIL; }

std::string KeyDetailDialog::title() const { return "キー詳細設定"; }

int KeyDetailDialog::row_of(int id, int firstId) {
  return id >= firstId && id < firstId + kKeyDetailRows ? id - firstId : -1;
}

std::optional<int> KeyDetailDialog::shown_key(int row, bool highest) const {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || !has_notes(song_, rows_[row].track)) return std::nullopt;
  int t = rows_[row].track - 1;
  int pitch = highest ? song_.highestPitch[t] : song_.lowestPitch[t];
  return pitch + key_ + kSemitonesPerOctave * working_[row];
}

std::string KeyDetailDialog::text(int id) const {
  if (id == IDC_KEY_HINT) return key_hint_text(lowestValid_, highestValid_);
  if (int row = row_of(id, IDC_KEY_ROW_LABEL_FIRST); row >= 0) {
    if (row < static_cast<int>(rows_.size()) && rows_[row].rhythm) return "リズム";
    if (row == 0) return "主旋律";
    return "副旋律" + std::to_string(row);
  }
  for (int first : {IDC_KEY_ROW_LOW_FIRST, IDC_KEY_ROW_HIGH_FIRST}) {
    if (int row = row_of(id, first); row >= 0) {
      std::optional<int> key = shown_key(row, first == IDC_KEY_ROW_HIGH_FIRST);
      return key ? std::to_string(*key) : std::string();
    }
  }
  return {};
}

int KeyDetailDialog::state(int id) const {
  int row = row_of(id, IDC_KEY_ROW_SHIFT_FIRST);
  return row >= 0 ? working_[row] : 0;
}

void KeyDetailDialog::set_state(int id, int state) {
  int row = row_of(id, IDC_KEY_ROW_SHIFT_FIRST);
  if (row >= 0) working_[row] = std::clamp(state, kMinOctaveShift, kMaxOctaveShift);
}

bool KeyDetailDialog::enabled(int id) const {
  if (id == IDC_KEY_HINT) return true;
  for (int first : {IDC_KEY_ROW_LABEL_FIRST, IDC_KEY_ROW_LOW_FIRST, IDC_KEY_ROW_HIGH_FIRST, IDC_KEY_ROW_SHIFT_FIRST}) {
    if (int row = row_of(id, first); row >= 0) return row < static_cast<int>(rows_.size());
  }
  return true;
}

bool KeyDetailDialog::warns(int id) const {
  for (int first : {IDC_KEY_ROW_LOW_FIRST, IDC_KEY_ROW_HIGH_FIRST}) {
    if (int row = row_of(id, first); row >= 0) {
      std::optional<int> key = shown_key(row, first == IDC_KEY_ROW_HIGH_FIRST);
      return key && (*key < lowestValid_ || *key > highestValid_);
    }
  }
  return false;
}

void KeyDetailDialog::ok() { std::copy(working_.begin(), working_.end(), octaveShift_.begin()); }

}  // namespace mel
