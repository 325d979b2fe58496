#include "app/dialogs/als_dialog.h"

#include "common/saturate.h"

namespace mel {

namespace {

using V = AlsWriterSettings;

constexpr MelodyDialogRules kAlsRules{
    {62, 108},                                                                  // valid keys
    {IDC_ALS_NOTE_LIMIT, IDC_ALS_NOTE_LIMIT_SPIN, 32767, 32, 128, 1024, false},  // note limit: steps of 32 (128)
    {60, 182, 2},                                                               // tempo: even steps
};
// The chord option writes three parts when ticked, one when cleared.
constexpr int kChordParts = 3;
constexpr int kMelodyParts = 1;

AlsWriterSettings start_values(const FormatDialogContext& context) {
  AlsWriterSettings als = als_dialog_values(context.song, cleared_octave_shifts(context.settings));
  const WriterSettings& w = context.settings.writers;
  als.tiesAsRests = w.alsTiesAsRests != 0;
  als.restBetweenRepeats = w.alsRestBetweenRepeats != 0;
  als.approximateTriplets = w.alsApproximateTriplets != 0;
  return als;
}

}  // namespace

AlsDialog::AlsDialog(const FormatDialogContext& context)
    : MelodyFormatDialog(start_values(context),
                         {{IDC_TITLE, ControlKind::Text, &V::title, 0, kDialogMaxTitleBytes},
                          {IDC_ALS_TIES_AS_RESTS, ControlKind::Check, &V::tiesAsRests},
                          {IDC_ALS_REPEAT_REST, ControlKind::Check, &V::restBetweenRepeats},
                          {IDC_ALS_TRIPLETS, ControlKind::Check, &V::approximateTriplets}},
                         context, kAlsRules, write_als) {
  add_binding({IDC_ALS_CHORDS, ControlKind::Check});
}

int AlsDialog::state(int id) const {
  if (id == IDC_ALS_CHORDS) return values_.parts > kMelodyParts ? 1 : 0;
  return MelodyFormatDialog::state(id);
}

// Only a change of the box switches the parts: a song opened with alshmn 5
// keeps its five parts while the box stays ticked.
void AlsDialog::set_state(int id, int state) {
  if (id != IDC_ALS_CHORDS) {
    MelodyFormatDialog::set_state(id, state);
  } else if ((state != 0) != (values_.parts > kMelodyParts)) {
    values_.parts = state != 0 ? kChordParts : kMelodyParts;
  }
}

void AlsDialog::finish_values(AlsWriterSettings& als) { als.tempo -= floor_mod(als.tempo, 2); }

void AlsDialog::ok() {
  store_values();
  WriterSettings& w = settings_.writers;
  w.alsnum = values_.noteLimit;
  w.alshmn = values_.parts;
  w.alsTiesAsRests = values_.tiesAsRests;
  w.alsRestBetweenRepeats = values_.restBetweenRepeats;
  w.alsApproximateTriplets = values_.approximateTriplets;
}

}  // namespace mel
