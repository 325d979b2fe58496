#include "app/dialogs/conversion_detail_dialog.h"

#include <algorithm>
#include <cstdio>

#include "app/dialogs/dialog_ids.h"

namespace mel {

namespace {

constexpr int kChannels = 16;
constexpr int kMinScale = 4;
constexpr int kMaxScale = 64;
constexpr int kKeyStep = 12;  // Ctrl moves key levels by an octave

using V = ConversionDetailValues;

std::vector<BoundField<V>> detail_fields() {
  return {
      {IDC_SHORT_NOTE_CUT, ControlKind::Number, &V::shortNoteCut, 0, 100, IDC_SHORT_NOTE_CUT_SPIN, 1, 10},
      {IDC_LOW_NOTE_CUT, ControlKind::Number, &V::lowNoteCut, 0, 127, IDC_LOW_NOTE_CUT_SPIN, 1, kKeyStep},
      {IDC_LOW_NOTE_FOLD, ControlKind::Number, &V::lowNoteFold, 0, 127, IDC_LOW_NOTE_FOLD_SPIN, 1, kKeyStep},
      {IDC_PSEUDO_CHORD_LEVEL, ControlKind::Number, &V::pseudoChordLevel, 1, 3, IDC_PSEUDO_CHORD_LEVEL_SPIN, 1, 1},
      {IDC_PSEUDO_CHORD_VOICES, ControlKind::Number, &V::pseudoChordVoices, 1, 8, IDC_PSEUDO_CHORD_VOICES_SPIN, 1, 1},
      {IDC_ACCOMPANIMENT, ControlKind::Number, &V::accompaniment, 0, 2, IDC_ACCOMPANIMENT_SPIN, 1, 1},
      {IDC_CHORD_SPLIT_COUNT, ControlKind::Number, &V::chordSplitCount, 2, 16, IDC_CHORD_SPLIT_COUNT_SPIN, 1, 1},
      {IDC_REST_MERGE, ControlKind::Check, &V::restMerge},
      {IDC_SIXTEENTH_GRID, ControlKind::Check, &V::sixteenthGrid},
      {IDC_HIGH_NOTE_FIRST, ControlKind::Check, &V::highNoteFirst},
      {IDC_LEADING_REST_CUT, ControlKind::Check, &V::leadingRestCut},
  };
}

V values_of(const ConversionOptions& o) {
  V v;
  v.shortNoteCut = o.shortNoteCutLevel;
  v.lowNoteCut = o.lowNoteCutLevel;
  v.lowNoteFold = o.lowNoteFoldLevel;
  v.lengthScale = o.noteLengthScale;
  v.pseudoChordLevel = o.pseudo_chord_level();
  v.pseudoChordVoices = o.gizino;
  v.accompaniment = o.accompanimentLevel;
  v.chordSplitCount = o.chsepcnt;
  v.splitChannels = o.chordSplitChannels;
  v.restMerge = o.relnflg != 0;
  v.sixteenthGrid = o.l16nouse != 0;
  v.highNoteFirst = o.highmld != 0;
  v.leadingRestCut = o.restcut != 0;
  return v;
}

}  // namespace

ConversionDetailDialog::ConversionDetailDialog(ConversionOptions& options)
    : BoundDialog(values_of(options), detail_fields()), options_(options) {
  add_binding({IDC_LENGTH_SCALE, ControlKind::Label, IDC_LENGTH_SCALE_SPIN});
  for (int c = 0; c < kChannels; ++c) add_binding({IDC_SPLIT_CHANNEL_FIRST + c, ControlKind::Check});
}

int ConversionDetailDialog::template_id() const { return IDD_CONVERSION_DETAIL; }

std::string ConversionDetailDialog::title() const { return "ファイル変換詳細設定"; }

int ConversionDetailDialog::channel_of(int id) {
  return id >= IDC_SPLIT_CHANNEL_FIRST && id < IDC_SPLIT_CHANNEL_FIRST + kChannels ? id - IDC_SPLIT_CHANNEL_FIRST : -1;
}

std::string ConversionDetailDialog::scale_text(int scale) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", scale / kScaleAsWritten, (scale % kScaleAsWritten) * 25 / 4);
  return text;
}

std::string ConversionDetailDialog::label(int id) const {
  return id == IDC_LENGTH_SCALE ? scale_text(values_.lengthScale) : std::string();
}

int ConversionDetailDialog::state(int id) const {
  int c = channel_of(id);
  return c >= 0 ? (values_.splitChannels >> c) & 1 : BoundDialog::state(id);
}

void ConversionDetailDialog::set_state(int id, int state) {
  int c = channel_of(id);
  if (c < 0) {
    BoundDialog::set_state(id, state);
  } else if (state) {
    values_.splitChannels |= 1 << c;
  } else {
    values_.splitChannels &= ~(1 << c);
  }
}

bool ConversionDetailDialog::enabled(int id) const {
  return id != IDC_SIXTEENTH_GRID || values_.restMerge;
}

void ConversionDetailDialog::spin(int id, int direction, bool ctrl) {
  if (id != IDC_LENGTH_SCALE) {
    BoundDialog::spin(id, direction, ctrl);
    return;
  }
  int& scale = values_.lengthScale;
  if (direction > 0 && scale < kMaxScale) scale *= 2;
  if (direction < 0 && scale > kMinScale) scale /= 2;
}

// Ctrl keeps only the clicked channel; Shift clears the clicked channel and
// the checked run after it when it was checked, else checks it and the
// unchecked run after it. The box has already toggled when this runs.
void ConversionDetailDialog::clicked(int id, bool ctrl, bool shift) {
  const int c = channel_of(id);
  if (c < 0) return;
  int& mask = values_.splitChannels;
  if (ctrl && !shift) {
    mask = 1 << c;
  } else if (shift) {
    const bool wasChecked = ((mask >> c) & 1) == 0;
    for (int k = c + 1; k < kChannels && (((mask >> k) & 1) != 0) == wasChecked; ++k) {
      mask ^= 1 << k;
    }
    if (wasChecked) {
      mask &= ~(1 << c);
    } else {
      mask |= 1 << c;
    }
  }
}

DialogAction ConversionDetailDialog::command(int id) {
  DialogAction action;
  if (id != IDC_RESET) return action;
  const int channels = values_.splitChannels;
  values_ = ConversionDetailValues{};
  values_.splitChannels = channels;  // the channel boxes are not reset
  action.refresh = true;
  return action;
}

void ConversionDetailDialog::ok() {
  clamp_fields();
  ConversionOptions& o = options_;
  o.shortNoteCutLevel = values_.shortNoteCut;
  o.lowNoteCutLevel = values_.lowNoteCut;
  o.lowNoteFoldLevel = values_.lowNoteFold;
  o.noteLengthScale = std::clamp(values_.lengthScale, kMinScale, kMaxScale);
  o.giziwaon = (o.giziwaon & ~kPseudoChordLevelMask) | values_.pseudoChordLevel;
  o.gizino = values_.pseudoChordVoices;
  o.accompanimentLevel = values_.accompaniment;
  o.chsepcnt = values_.chordSplitCount;
  o.chordSplitChannels = values_.splitChannels & 0xFFFF;
  o.relnflg = values_.restMerge;
  o.l16nouse = values_.sixteenthGrid;
  o.highmld = values_.highNoteFirst;
  o.restcut = values_.leadingRestCut;
}

}  // namespace mel
