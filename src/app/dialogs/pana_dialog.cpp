#include "app/dialogs/pana_dialog.h"

#include <algorithm>
#include <array>

namespace mel {

namespace {

using V = PanaWriterSettings;

constexpr int kMaxNoteLimit = 160;
constexpr MelodyDialogRules kPanaRules = [] {
  MelodyDialogRules r;
  r.lowestKey = 72;
  r.highestKey = 107;
  r.noteLimitId = IDC_PANA_NOTE_LIMIT;
  r.noteLimitSpinId = IDC_PANA_NOTE_LIMIT_SPIN;
  r.maxNoteLimit = kMaxNoteLimit;
  r.noteStep = 32;
  r.noteCtrlStep = 32;
  r.noteSpinTop = kMaxNoteLimit;
  r.minTempo = 60;
  r.maxTempo = 168;
  return r;
}();
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
                         context, kPanaRules),
      stored_(values_) {
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

void PanaDialog::ok() {
  clamp_fields();
  // The handset takes at most 160 notes a track; 0 means that many too.
  if (values_.noteLimit == 0) values_.noteLimit = kMaxNoteLimit;
  values_.instrument = instrument_code(instrument_);
  stored_ = values_;
  settings_.writers.panaMelodyFileName = values_.melodyFileName;
}

DialogWriter PanaDialog::writer() const {
  PanaWriterSettings pana = stored_;
  return [pana](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_pana(score, song, settings, pana);
  };
}

}  // namespace mel
