// What the settings dialogs of the small handset formats (dot-i / MOZiO, ALS,
// pana) share: tempo, key, note limit and start and end counters over the
// writer's values record; the key range over the tracks the writer will
// write (rhythm tracks included) with its "詳細" key detail dialog; and the
// spin rules of tempo and note limit, which differ per format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/format_dialog.h"
#include "app/dialogs/key_detail.h"

namespace mel {

// The rules one dialog differs by.
struct MelodyDialogRules {
  // The valid output keys the hint shows and the key detail dialog checks.
  struct Keys {
    int lowest;
    int highest;
  } keys;
  // The note limit: its controls, the most OK keeps, and its spin: steps of
  // step (ctrlStep with Ctrl) within 0..spinTop, or to the multiples of step.
  struct NoteLimit {
    int id;
    int spinId;
    int max;
    int step;
    int ctrlStep;
    int spinTop;
    bool multiples;
  } notes;
  // The tempo: the range OK clamps to; a spin steps through the tempo code
  // table when step is 0, else by step.
  struct Tempo {
    int min;
    int max;
    int step;
  } tempo;
};

// A note limit stepped as the rules say.
int spin_note_limit(int value, int direction, bool ctrl, const MelodyDialogRules::NoteLimit& rules);
// The key detail rows of the tracks a small-format writer writes, at most limit.
std::vector<KeyRow> small_format_key_rows(const SongInfo& song, const Settings& settings, int limit);

// The fields every one of these dialogs has, over a values record V with the
// members tempo, key, noteLimit, startCounter and endCounter.
template <class V>
std::vector<BoundField<V>> melody_format_fields(const MelodyDialogRules& r) {
  return {
      {IDC_TEMPO, ControlKind::Number, &V::tempo, r.tempo.min, r.tempo.max, IDC_TEMPO_SPIN, r.tempo.step, r.tempo.step},
      {IDC_KEY, ControlKind::Number, &V::key, kDialogMinKey, kDialogMaxKey, IDC_KEY_SPIN, 1, 12},
      {r.notes.id, ControlKind::Number, &V::noteLimit, 0, r.notes.max, r.notes.spinId, 0, 0},
      {IDC_START, ControlKind::Number, &V::startCounter, 0, kDialogMaxCounter, IDC_START_SPIN, 0, 0, true},
      {IDC_END, ControlKind::Number, &V::endCounter, 0, kDialogMaxCounter, IDC_END_SPIN, 0, 0, true},
  };
}

template <class V>
class MelodyFormatDialog : public BoundDialog<V, FormatDialog> {
 public:
  using Write = std::vector<uint8_t> (*)(const Score&, const SongInfo&, const Settings&, const V&);

  // extraFields: the format's own controls besides the shared ones; write:
  // the format's writer, which writer() runs with the values OK stored.
  MelodyFormatDialog(V values, std::vector<BoundField<V>> extraFields, const FormatDialogContext& context,
                     const MelodyDialogRules& rules, Write write)
      : BoundDialog<V, FormatDialog>(std::move(values), with_shared_fields(std::move(extraFields), rules)),
        song_(context.song),
        settings_(context.settings),
        stored_(this->values_),
        counterLength_(context.counterLength),
        rules_(rules),
        write_(write) {
    this->add_binding({IDC_KEY_HINT, ControlKind::Label});
    this->add_binding({IDC_KEY_LOW, ControlKind::Label});
    this->add_binding({IDC_KEY_HIGH, ControlKind::Label});
  }

  void spin(int id, int direction, bool ctrl) override {
    V& v = this->values_;
    if (id == IDC_START) {
      v.startCounter = spin_start_counter(v.startCounter, direction, counterLength_);
    } else if (id == IDC_END) {
      v.endCounter = spin_end_counter(v.endCounter, direction, counterLength_);
    } else if (id == rules_.notes.id) {
      v.noteLimit = spin_note_limit(v.noteLimit, direction, ctrl, rules_.notes);
    } else if (id == IDC_TEMPO && rules_.tempo.step == 0) {
      v.tempo = spin_table_tempo(v.tempo, direction);
    } else {
      BoundDialog<V, FormatDialog>::spin(id, direction, ctrl);
    }
  }

  DialogWriter writer() const override { return writer_with(stored_); }

  DialogAction command(int id) override {
    DialogAction action;
    if (id != IDC_DETAIL) return action;
    action.child = std::make_unique<KeyDetailDialog>(song_, rows(), this->values_.key, rules_.keys.lowest,
                                                     rules_.keys.highest, settings_.conv.octaveShift);
    action.refresh = true;
    return action;
  }

 protected:
  // How many tracks the writer writes with the current values.
  virtual int track_limit() const = 0;

  std::string label(int id) const override {
    if (id == IDC_KEY_HINT) return key_hint_text(rules_.keys.lowest, rules_.keys.highest);
    if (id != IDC_KEY_LOW && id != IDC_KEY_HIGH) return {};
    auto range = used_key_range(song_, rows(), settings_.conv.octaveShift, this->values_.key, true);
    if (!range) return {};
    return std::to_string(id == IDC_KEY_LOW ? range->first : range->second);
  }

  // OK: every field into its range, then the format's own rules on the
  // values; the result is what writer() writes with.
  void store_values() {
    this->clamp_fields();
    finish_values(this->values_);
    stored_ = this->values_;
  }
  virtual void finish_values(V&) {}

  DialogWriter writer_with(V values) const {
    return [values, write = write_](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
      return write(score, song, settings, values);
    };
  }

  const SongInfo& song_;
  Settings& settings_;
  V stored_;

 private:
  static std::vector<BoundField<V>> with_shared_fields(std::vector<BoundField<V>> extra, const MelodyDialogRules& r) {
    std::vector<BoundField<V>> fields = melody_format_fields<V>(r);
    fields.insert(fields.end(), extra.begin(), extra.end());
    return fields;
  }
  std::vector<KeyRow> rows() const { return small_format_key_rows(song_, settings_, track_limit()); }

  int counterLength_;
  MelodyDialogRules rules_;
  Write write_;
};

}  // namespace mel
