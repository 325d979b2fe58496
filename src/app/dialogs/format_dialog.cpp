#include "app/dialogs/format_dialog.h"

#include <algorithm>

#include "app/dialogs/als_dialog.h"
#include "app/dialogs/doti_dialog.h"
#include "app/dialogs/dxm_dialog.h"
#include "app/dialogs/mfi_dialog.h"
#include "app/dialogs/mml_dialog.h"
#include "app/dialogs/one_part_dialog.h"
#include "app/dialogs/pana_dialog.h"
#include "app/dialogs/smd_dialog.h"
#include "formats/shared/handset_codes.h"
#include "score/format_codes.h"

namespace mel {

namespace {

constexpr int kCounterStepsPerQuarter = 4;

std::unique_ptr<FormatDialog> make_mfi(int, const FormatDialogContext& context) {
  return std::make_unique<MfiDialog>(false, context);
}

std::unique_ptr<FormatDialog> make_cmx(int, const FormatDialogContext& context) {
  return std::make_unique<MfiDialog>(true, context);
}

// MIDI input played as written is written to DXM from its MIDI bytes, with
// the dialog of that path.
std::unique_ptr<FormatDialog> make_dxm(int, const FormatDialogContext& context) {
  bool direct = is_midi_input(context.inputType) && context.settings.play.MidiStandard == 1;
  return std::make_unique<DxmDialog>(direct, context);
}

template <class Dialog>
std::unique_ptr<FormatDialog> make_small_format(int, const FormatDialogContext& context) {
  return std::make_unique<Dialog>(context);
}

std::unique_ptr<FormatDialog> make_one_part(int outputKind, const FormatDialogContext& context) {
  return std::make_unique<OnePartDialog>(outputKind, context);
}

}  // namespace

const Settings& cleared_octave_shifts(Settings& settings) {
  settings.conv.octaveShift.fill(0);
  return settings;
}

const std::vector<FormatDialogEntry>& format_dialog_entries() {
  static const std::vector<FormatDialogEntry> entries = {
      {kOutputMfi, make_mfi},
      {kOutputCmx, make_cmx},
      {kOutputDxm, make_dxm},
      {kOutputDotI, make_small_format<DotiDialog>},
      {kOutputAls, make_small_format<AlsDialog>},
      {kOutputPana, make_small_format<PanaDialog>},
      {kOutputChara, make_one_part},
      {kOutputWam, make_one_part},
      {kOutputMml, MmlDialog::make},
      {kOutputMml2Mmf, MmlDialog::make},
      {kOutputSmd, SmdDialog::make},
  };
  return entries;
}

std::unique_ptr<FormatDialog> make_format_dialog(int outputKind, const FormatDialogContext& context) {
  for (const FormatDialogEntry& entry : format_dialog_entries()) {
    if (entry.outputKind == outputKind) return entry.make(outputKind, context);
  }
  return nullptr;
}

std::string key_range_text(int id, const SongInfo& song, const std::vector<KeyRow>& rows,
                           const std::array<int, kMaxTracks>& octaveShift, int key, bool countRhythm) {
  if (id != IDC_KEY_LOW && id != IDC_KEY_HIGH) return {};
  auto range = used_key_range(song, rows, octaveShift, key, countRhythm);
  if (!range) return {};
  return std::to_string(id == IDC_KEY_LOW ? range->first : range->second);
}

DialogAction key_detail_action(const SongInfo& song, std::vector<KeyRow> rows, int key, int lowestValid,
                               int highestValid, std::array<int, kMaxTracks>& octaveShift) {
  DialogAction action;
  action.child = std::make_unique<KeyDetailDialog>(song, std::move(rows), key, lowestValid, highestValid, octaveShift);
  action.refresh = true;
  return action;
}

int spin_table_tempo(int value, int direction) {
  if (direction > 0) {
    for (int t : kTempoByCode) {
      if (t > value) return t;
    }
    return kTempoByCode.back();
  }
  for (auto it = kTempoByCode.rbegin(); it != kTempoByCode.rend(); ++it) {
    if (*it < value) return *it;
  }
  return kTempoByCode.front();
}

int counter_length_of(const SongInfo& song) {
  int step = std::max(1, song.timebase / kCounterStepsPerQuarter);
  return song.songLength <= 0 ? 0 : (song.songLength - 1) / step + 1;
}

}  // namespace mel
