// The settings dialog of an output format, opened by the create flow before
// the file name is asked for. Adding a format's dialog is one template (a
// resources/dialogs/*.rc), one model deriving from FormatDialog over a field
// table, and one entry in format_dialog_entries(); until then the create flow
// writes with the format table's writer, which takes the dialog's start values.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_model.h"
#include "app/dialogs/key_detail.h"
#include "convert/engine.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

class FormatDialog : public DialogModel {
 public:
  // The writer with the values OK stored (the start values before OK).
  virtual DialogWriter writer() const = 0;
  // The extension the proposed name gets; the create table's by default.
  virtual std::string extension(const std::string& tableExtension) const { return tableExtension; }
  // The writer for the output kind the chosen file name gives (a dot-i file
  // saved under another extension is written as MOZiO); writer() by default.
  virtual DialogWriter writer_for(int /*outputKind*/) const { return writer(); }
  // Whether the proposed file name is "melody" instead of the input's name.
  virtual bool proposes_melody_name() const { return false; }
};

// What a format's dialog opens over: the loaded song, the settings OK writes
// into, the input type and the song's length in counter steps.
struct FormatDialogContext {
  const SongInfo& song;
  Settings& settings;
  int inputType = 0;
  int counterLength = 0;
};

using FormatDialogFactory = std::unique_ptr<FormatDialog> (*)(int outputKind, const FormatDialogContext& context);

struct FormatDialogEntry {
  int outputKind;
  FormatDialogFactory make;
};

// One entry per output kind that has a dialog.
const std::vector<FormatDialogEntry>& format_dialog_entries();

// The dialog of an output kind, or nullptr when the kind has none yet.
std::unique_ptr<FormatDialog> make_format_dialog(int outputKind, const FormatDialogContext& context);

// Ranges shared by the format dialogs.
constexpr int kDialogMinTempo = 30;
constexpr int kDialogMaxTempo = 250;
constexpr int kDialogMinKey = -36;
constexpr int kDialogMaxKey = 36;
constexpr int kDialogMaxVelocity = 127;
constexpr int kDialogMaxTitleBytes = 255;

// Every format dialog clears the octave shifts when it opens.
const Settings& cleared_octave_shifts(Settings& settings);

constexpr int kDialogMaxSizeLimit = 184320;
constexpr int kDialogMaxCounter = 0x7FFF;

// The title, key and counter controls every format dialog has, over a values
// record V with the members title, key, startCounter and endCounter. The
// counters show empty while they are 0 (no limit).
template <class V>
std::vector<BoundField<V>> title_key_counter_fields(int titleBytes = kDialogMaxTitleBytes) {
  return {
      {IDC_TITLE, ControlKind::Text, &V::title, 0, titleBytes},
      {IDC_KEY, ControlKind::Number, &V::key, kDialogMinKey, kDialogMaxKey, IDC_KEY_SPIN, 1, 12},
      {IDC_START, ControlKind::Number, &V::startCounter, 0, kDialogMaxCounter, IDC_START_SPIN, 0, 0, true},
      {IDC_END, ControlKind::Number, &V::endCounter, 0, kDialogMaxCounter, IDC_END_SPIN, 0, 0, true},
  };
}

// Those controls and the size limit and velocity, over a values record V that
// also has the members sizeLimit and velocity.
template <class V>
std::vector<BoundField<V>> shared_format_fields() {
  std::vector<BoundField<V>> fields = title_key_counter_fields<V>();
  fields.insert(fields.end(), {
      {IDC_SIZE_LIMIT, ControlKind::Number, &V::sizeLimit, 0, kDialogMaxSizeLimit, IDC_SIZE_SPIN, 0, 0},
      {IDC_VELOCITY, ControlKind::Number, &V::velocity, 0, kDialogMaxVelocity, IDC_VELOCITY_SPIN, 0, 0, true},
  });
  return fields;
}

// The start and end counters' spin rules: true when the control was one of them.
template <class V>
bool spin_counter_field(V& values, int id, int direction, int counterLength) {
  switch (id) {
    case IDC_START: values.startCounter = spin_start_counter(values.startCounter, direction, counterLength); return true;
    case IDC_END: values.endCounter = spin_end_counter(values.endCounter, direction, counterLength); return true;
    default: return false;
  }
}

// The spin rules of the shared controls that are not plain steps: true when
// the control was one of them.
template <class V>
bool spin_shared_format_field(V& values, int id, int direction, bool ctrl, int counterLength) {
  switch (id) {
    case IDC_SIZE_LIMIT: values.sizeLimit = spin_size_limit(values.sizeLimit, direction, ctrl); return true;
    case IDC_VELOCITY: values.velocity = spin_velocity(values.velocity, direction); return true;
    default: return spin_counter_field(values, id, direction, counterLength);
  }
}

// The labels of the key range display: the valid keys and the used range.
inline std::vector<ControlBinding> key_range_labels() {
  return {{IDC_KEY_HINT, ControlKind::Label}, {IDC_KEY_LOW, ControlKind::Label}, {IDC_KEY_HIGH, ControlKind::Label}};
}

// The text of a key range label (IDC_KEY_LOW or IDC_KEY_HIGH) over the output
// tracks `rows` (see used_key_range); empty when no row counts or for another id.
std::string key_range_text(int id, const SongInfo& song, const std::vector<KeyRow>& rows,
                           const std::array<int, kMaxTracks>& octaveShift, int key, bool countRhythm);

// The "詳細" button: the key details dialog over `rows`, after which the
// format dialog shows its values (and key range) again.
DialogAction key_detail_action(const SongInfo& song, std::vector<KeyRow> rows, int key, int lowestValid,
                               int highestValid, std::array<int, kMaxTracks>& octaveShift);

// The handset tempo table's next tempo above (direction +1) or below (-1) the
// value, staying at the table's ends.
int spin_table_tempo(int value, int direction);

// The song's length in counter steps (sixteenth notes).
int counter_length_of(const SongInfo& song);

}  // namespace mel
