// The key range of the tracks a writer will write, and the "キー詳細設定"
// dialog that shows it per output track against the target's valid keys and
// shifts each output track by whole octaves.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/dialog_model.h"
#include "common/limits.h"
#include "score/score_stream.h"

namespace mel {

// An output track in the order the writer writes it.
struct KeyRow {
  int track = 0;        // score track, 1-based
  bool rhythm = false;  // labelled "リズム"
};

// The lowest and highest key of the rows that count (rows with notes;
// rhythm rows only when countRhythm), each + key + 12 x its octave shift.
std::optional<std::pair<int, int>> used_key_range(const SongInfo& song, const std::vector<KeyRow>& rows,
                                                  const std::array<int, kMaxTracks>& octaveShift, int key,
                                                  bool countRhythm);
// "(キー有効値 %d～%d)"
std::string key_hint_text(int lowest, int highest);

constexpr int kKeyDetailRows = 16;
constexpr int kMinOctaveShift = -2;
constexpr int kMaxOctaveShift = 2;

class KeyDetailDialog : public DialogModel {
 public:
  KeyDetailDialog(const SongInfo& song, std::vector<KeyRow> rows, int key, int lowestValid, int highestValid,
                  std::array<int, kMaxTracks>& octaveShift);

  int template_id() const override;
  std::string title() const override;
  const std::vector<ControlBinding>& controls() const override { return controls_; }
  std::string text(int id) const override;
  int state(int id) const override;
  void set_text(int, const std::string&) override {}
  void set_state(int id, int state) override;
  bool enabled(int id) const override;
  bool warns(int id) const override;
  std::pair<int, int> slider_range(int) const override { return {kMinOctaveShift, kMaxOctaveShift}; }
  void ok() override;

 private:
  // The row of a control of the given first id, or -1.
  static int row_of(int id, int firstId);
  // The shown key (lowest or highest) of row i, or nullopt for a row without notes.
  std::optional<int> shown_key(int row, bool highest) const;

  const SongInfo& song_;
  std::vector<KeyRow> rows_;
  int key_;
  int lowestValid_;
  int highestValid_;
  std::array<int, kMaxTracks>& octaveShift_;
  std::array<int, kKeyDetailRows> working_{};
  std::vector<ControlBinding> controls_;
};

}  // namespace mel
