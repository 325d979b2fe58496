#include "app/dialogs/doti_dialog.h"

#include <algorithm>

namespace mel {

namespace {

using V = DotiWriterSettings;

constexpr MelodyDialogRules kDotiRules = [] {
  MelodyDialogRules r;
  r.lowestKey = 72;
  r.highestKey = 108;
  r.noteLimitId = IDC_DOTI_NOTE_LIMIT;
  r.noteLimitSpinId = IDC_DOTI_NOTE_LIMIT_SPIN;
  r.maxNoteLimit = 32767;
  r.noteStep = 64;
  r.noteCtrlStep = 64;
  r.noteSpinTop = 1024;
  r.noteMultiples = true;
  r.minTempo = 60;
  r.maxTempo = 168;
  return r;
}();
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
                         context, kDotiRules),
      stored_(values_) {}

int DotiDialog::track_limit() const { return std::clamp(settings_.writers.mmdhmn, 1, kMaxTracksWritten); }

void DotiDialog::ok() {
  clamp_fields();
  stored_ = values_;
  settings_.writers.mmdnum = values_.noteLimit;
  settings_.writers.dotiSixteenthTriplets = values_.sixteenthTriplets;
}

DialogWriter DotiDialog::writer_for(int outputKind) const {
  DotiWriterSettings d = stored_;
  d.mozio = outputKind == kOutputMozio;
  return [d](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_doti(score, song, settings, d);
  };
}

}  // namespace mel
