#include "app/dialogs/pana_dialog.h"

#include <algorithm>
#include <array>

namespace mel {

namespace {

using V = PanaWriterSettings;

constexpr int kMaxNoteLimit = 160;
constexpr MelodyDialogRules kPanaRules{
    {72, 107},                                                                                   // valid keys
    {IDC_PANA_NOTE_LIMIT, IDC_PANA_NOTE_LIMIT_SPIN, kMaxNoteLimit, 32, 32, kMaxNoteLimit, false},  // steps of 32
    {60, 168, 0},                                                                                // the code table
};
// The writer writes three tracks at most.
constexpr int kTracksWritten = 3;
// A typed instrument number n gives code n + 1, at most this.
constexpr int kMaxTypedCode = 10;

// The list entries; each text begins with its instrument code.
constexpr std::array<const char*, 8> kInstrumentNames = {"1(シンセ)",         "2(ピアノ)", "3(電子オルガン)",
                                                         "4(チャペルオルガン)", "5(木琴)",   "6(鉄琴)",
                                                         "7(リコーダー)",     "9(口笛)"};
constexpr std::array<int, 8> kInstrumentCodes = {1, 2, 3, 4, 5, 6, 7, 9};

PanaWriterSettings start_values(const FormatDialogContext& context) {
  PanaWriterSettings pana = pana_dialog_values(context.song, cleared_octave_shifts(context.settings));
  pana.melodyFileName = context.settings.writers.panaMelodyFileName != 0;
  return pana;
}

}  // namespace

PanaDialog::PanaDialog(const FormatDialogContext& context)
    : MelodyFormatDialog(start_values(context), {{IDC_PANA_MELODY_NAME, ControlKind::Check, &V::melodyFileName}},
                         context, kPanaRules, write_pana) {
  add_binding({IDC_PANA_INSTRUMENT, ControlKind::ChoiceText});
}

int PanaDialog::track_limit() const { return kTracksWritten; }

std::vector<std::string> PanaDialog::choices(int id) const {
  if (id != IDC_PANA_INSTRUMENT) return {};
  return {kInstrumentNames.begin(), kInstrumentNames.end()};
}

std::string PanaDialog::text(int id) const {
  return id == IDC_PANA_INSTRUMENT ? instrument_ : MelodyFormatDialog::text(id);
}

void PanaDialog::set_text(int id, const std::string& text) {
  if (id == IDC_PANA_INSTRUMENT) {
    instrument_ = text;
  } else {
    MelodyFormatDialog::set_text(id, text);
  }
}

int PanaDialog::instrument_code(const std::string& text) {
  for (std::size_t i = 0; i < kInstrumentNames.size(); ++i) {
    if (text == kInstrumentNames[i]) return kInstrumentCodes[i];
  }
  std::optional<int> n = parse_typed_count(text);
  if (!n) return 0;
  return static_cast<int>(std::min<long long>(static_cast<long long>(*n) + 1, kMaxTypedCode));
}

// The handset takes at most 160 notes a track; 0 means that many too.
void PanaDialog::finish_values(PanaWriterSettings& pana) {
  if (pana.noteLimit == 0) pana.noteLimit = kMaxNoteLimit;
  pana.instrument = instrument_code(instrument_);
}

void PanaDialog::ok() {
  store_values();
  settings_.writers.panaMelodyFileName = values_.melodyFileName;
}

}  // namespace mel
