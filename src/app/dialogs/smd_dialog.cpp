#include "app/dialogs/smd_dialog.h"

#include <algorithm>

#include "app/dialogs/dialog_ids.h"
#include "formats/smd/smd_format.h"

namespace mel {

namespace {

constexpr int kTitleBytes = 24;
constexpr int kMaxNoteLimit = 0x7FFF;
// The tempos a track head can name, in rising order.
constexpr int kLowestTempo = smd::kTempoChars.front().tempo;
constexpr int kHighestTempo = smd::kTempoChars.back().tempo;

using V = SmdWriterSettings;

std::vector<BoundField<V>> smd_fields() {
  std::vector<BoundField<V>> fields = title_key_counter_fields<V>(kTitleBytes);
  fields.insert(fields.end(), {
      // The tempo steps through the choices; OK takes the choice a typed tempo falls to.
      {IDC_TEMPO, ControlKind::Number, &V::tempo, kLowestTempo, kHighestTempo, IDC_TEMPO_SPIN, 0, 0},
      {IDC_SMD_NOTE_LIMIT, ControlKind::Number, &V::noteLimit, 0, kMaxNoteLimit, IDC_SMD_NOTE_LIMIT_SPIN, 0, 0},
  });
  return fields;
}

// The next tempo choice above (direction +1) or below (-1) a tempo; the
// highest or lowest choice when there is none.
int spin_tempo_choice(int tempo, int direction) {
  int next = direction > 0 ? kHighestTempo : kLowestTempo;
  for (const smd::TempoChar& choice : smd::kTempoChars) {
    if (direction > 0 && choice.tempo > tempo) return choice.tempo;
    if (direction < 0 && choice.tempo < tempo) next = choice.tempo;
  }
  return next;
}

}  // namespace

SmdDialog::SmdDialog(const FormatDialogContext& context)
    : BoundDialog(smd_dialog_values(context.song, cleared_octave_shifts(context.settings)), smd_fields()),
      song_(context.song),
      settings_(context.settings),
      counterLength_(context.counterLength),
      stored_(values_) {
  for (const ControlBinding& label : key_range_labels()) add_binding(label);
}

std::unique_ptr<FormatDialog> SmdDialog::make(int, const FormatDialogContext& context) {
  return std::make_unique<SmdDialog>(context);
}

int SmdDialog::template_id() const { return IDD_SMD_SETTINGS; }

std::string SmdDialog::title() const { return "SMDファイル設定"; }

void SmdDialog::spin(int id, int direction, bool ctrl) {
  if (spin_counter_field(values_, id, direction, counterLength_)) return;
  if (id == IDC_TEMPO) {
    values_.tempo = spin_tempo_choice(values_.tempo, direction);
  } else if (id == IDC_SMD_NOTE_LIMIT) {
    values_.noteLimit = spin_note_limit(values_.noteLimit, direction, ctrl);
  } else {
    BoundDialog::spin(id, direction, ctrl);
  }
}

std::vector<KeyRow> SmdDialog::rows() const {
  std::vector<KeyRow> rows;
  for (int track : smd_written_tracks(song_, settings_)) rows.push_back({track, song_.is_rhythm_track(track)});
  return rows;
}

std::string SmdDialog::label(int id) const {
  if (id == IDC_KEY_HINT) return key_hint_text(smd::kLowBase, smd::kHighestKey);
  // The handset sounds rhythm tracks at their keys like any other track.
  return key_range_text(id, song_, rows(), settings_.conv.octaveShift, values_.key, true);
}

DialogAction SmdDialog::command(int id) {
  if (id != IDC_DETAIL) return {};
  return key_detail_action(song_, rows(), values_.key, smd::kLowBase, smd::kHighestKey, settings_.conv.octaveShift);
}

void SmdDialog::ok() {
  // Control bytes are left out before the cut, as the file stores the title.
  values_.title = smd_title(values_.title);
  values_.tempo = smd_tempo_choice(values_.tempo);
  clamp_fields();
  stored_ = values_;
  settings_.writers.smdnum = values_.noteLimit;
}

DialogWriter SmdDialog::writer() const {
  SmdWriterSettings smd = stored_;
  return [smd](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_smd(score, song, settings, smd);
  };
}

}  // namespace mel
