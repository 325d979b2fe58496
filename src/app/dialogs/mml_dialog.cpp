#include "app/dialogs/mml_dialog.h"

#include <algorithm>

#include "app/dialogs/dialog_ids.h"
#include "common/limits.h"
#include "formats/mml/mml_format.h"
#include "score/format_codes.h"

namespace mel {

namespace {

// The tracks whose keys the dialogs look at: every written one in MML.
constexpr std::size_t kMmlRows = kMaxTracks;
constexpr std::size_t kMml2MmfRows = mml::kMml2MmfConsideredTracks;
// The drum voices' spin stays within 1..15; a typed 0 keeps no slot for them.
constexpr int kLowestSpunRhythmVoices = 1;

using V = MmlWriterSettings;

std::vector<BoundField<V>> mml_fields(bool mml2mmf) {
  std::vector<BoundField<V>> fields = title_key_counter_fields<V>();
  fields.push_back({IDC_TEMPO, ControlKind::Number, &V::tempo, mml::kMinTempo, mml::kMaxTempo, IDC_TEMPO_SPIN, 1, 1});
  if (mml2mmf) {
    fields.push_back({IDC_MML_RHYTHM_VOICES, ControlKind::Number, &V::rhythmVoices, 0, mml::kMaxRhythmVoices,
                      IDC_MML_RHYTHM_VOICES_SPIN, 0, 0});
  }
  return fields;
}

MmlWriterSettings start_values(bool mml2mmf, const SongInfo& song, const Settings& settings) {
  return mml2mmf ? mml2mmf_dialog_values(song, settings) : mml_dialog_values(song, settings);
}

}  // namespace

MmlDialog::MmlDialog(bool mml2mmf, const FormatDialogContext& context)
    : BoundDialog(start_values(mml2mmf, context.song, cleared_octave_shifts(context.settings)), mml_fields(mml2mmf)),
      mml2mmf_(mml2mmf),
      song_(context.song),
      settings_(context.settings),
      counterLength_(context.counterLength),
      stored_(values_) {
  for (const ControlBinding& label : key_range_labels()) add_binding(label);
  const std::vector<KeyRow> written = rows();
  hasRhythmTrack_ = std::any_of(written.begin(), written.end(), [](const KeyRow& r) { return r.rhythm; });
}

std::unique_ptr<FormatDialog> MmlDialog::make(int outputKind, const FormatDialogContext& context) {
  return std::make_unique<MmlDialog>(outputKind == kOutputMml2Mmf, context);
}

int MmlDialog::template_id() const { return mml2mmf_ ? IDD_MML2MMF_SETTINGS : IDD_MML_SETTINGS; }

std::string MmlDialog::title() const { return mml2mmf_ ? "MML2MMFファイル設定" : "MMLファイル設定"; }

int MmlDialog::lowest_valid_key() const { return mml2mmf_ ? mml::kMml2MmfLowestKey : mml::kMmlLowestKey; }

int MmlDialog::highest_valid_key() const { return mml2mmf_ ? mml::kMml2MmfHighestKey : mml::kMmlHighestKey; }

bool MmlDialog::enabled(int id) const {
  // Without a rhythm track there are no drum voices to keep slots for.
  return id != IDC_MML_RHYTHM_VOICES || hasRhythmTrack_;
}

void MmlDialog::spin(int id, int direction, bool ctrl) {
  if (spin_counter_field(values_, id, direction, counterLength_)) return;
  if (id == IDC_MML_RHYTHM_VOICES) {
    values_.rhythmVoices = std::clamp(values_.rhythmVoices + direction, kLowestSpunRhythmVoices, mml::kMaxRhythmVoices);
    return;
  }
  BoundDialog::spin(id, direction, ctrl);
}

std::vector<KeyRow> MmlDialog::rows() const {
  std::vector<KeyRow> rows;
  for (int track : mml_written_tracks(song_, settings_)) {
    if (rows.size() == (mml2mmf_ ? kMml2MmfRows : kMmlRows)) break;
    rows.push_back({track, song_.is_rhythm_track(track)});
  }
  return rows;
}

std::string MmlDialog::label(int id) const {
  if (id == IDC_KEY_HINT) return key_hint_text(lowest_valid_key(), highest_valid_key());
  // Rhythm tracks keep their keys: they are left out of the range.
  return key_range_text(id, song_, rows(), settings_.conv.octaveShift, values_.key, false);
}

DialogAction MmlDialog::command(int id) {
  if (id != IDC_DETAIL) return {};
  return key_detail_action(song_, rows(), values_.key, lowest_valid_key(), highest_valid_key(),
                           settings_.conv.octaveShift);
}

void MmlDialog::ok() {
  clamp_fields();
  stored_ = values_;
}

DialogWriter MmlDialog::writer() const {
  MmlWriterSettings mml = stored_;
  return [mml](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_mml(score, song, settings, mml);
  };
}

}  // namespace mel
