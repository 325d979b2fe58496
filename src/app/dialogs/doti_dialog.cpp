#include "app/dialogs/doti_dialog.h"

#include <algorithm>

namespace mel {

namespace {

using V = DotiWriterSettings;

constexpr MelodyDialogRules kDotiRules{
    {72, 108},                                                                   // valid keys
    {IDC_DOTI_NOTE_LIMIT, IDC_DOTI_NOTE_LIMIT_SPIN, 32767, 64, 64, 1024, true},  // note limit: multiples of 64
    {60, 168, 0},                                                                // tempo: the code table
};
// The tracks written: mmdhmn, within the writer's 1..10.
constexpr int kMaxTracksWritten = 10;

DotiWriterSettings start_values(const FormatDialogContext& context) {
  DotiWriterSettings d = doti_dialog_values(context.song, cleared_octave_shifts(context.settings));
  d.sixteenthTriplets = context.settings.writers.dotiSixteenthTriplets != 0;
  return d;
}

}  // namespace

DotiDialog::DotiDialog(const FormatDialogContext& context)
    : MelodyFormatDialog(start_values(context),
                         {{IDC_TITLE, ControlKind::Text, &V::title, 0, kDialogMaxTitleBytes},
                          {IDC_DOTI_TRIPLETS, ControlKind::Check, &V::sixteenthTriplets}},
                         context, kDotiRules, write_doti) {}

int DotiDialog::track_limit() const { return std::clamp(settings_.writers.mmdhmn, 1, kMaxTracksWritten); }

void DotiDialog::ok() {
  store_values();
  settings_.writers.mmdnum = values_.noteLimit;
  settings_.writers.dotiSixteenthTriplets = values_.sixteenthTriplets;
}

DialogWriter DotiDialog::writer_for(int outputKind) const {
  DotiWriterSettings d = stored_;
  d.mozio = outputKind == kOutputMozio;
  return writer_with(d);
}

}  // namespace mel
