#include "app/dialogs/dxm_dialog.h"

#include <algorithm>

#include "app/dialogs/dialog_ids.h"

namespace mel {

namespace {

// The keys a DXM handset plays.
constexpr int kLowestDxmKey = 32;
constexpr int kHighestDxmKey = 83;

using V = DxmWriterSettings;

std::vector<BoundField<V>> dxm_fields(bool direct) {
  std::vector<BoundField<V>> fields = shared_format_fields<V>();
  fields.insert(fields.end(), {
      {IDC_DXM_SHARED_CHANNELS, ControlKind::Check, &V::sharedChannels},
      {IDC_DXM_CHORD_LIMIT, ControlKind::Check, &V::chordLimit},
  });
  if (direct) {
    fields.push_back({IDC_DXM_PITCH_BEND, ControlKind::Check, &V::keepPitchBend});
  } else {
    fields.push_back({IDC_TEMPO, ControlKind::Number, &V::tempo, kDialogMinTempo, kDialogMaxTempo, IDC_TEMPO_SPIN, 1, 1});
    fields.push_back({IDC_DXM_RHYTHM_REPLACE, ControlKind::Check, &V::rhythmReplace});
  }
  return fields;
}

}  // namespace

DxmDialog::DxmDialog(bool direct, const FormatDialogContext& context)
    : BoundDialog(dxm_dialog_values(context.song, cleared_octave_shifts(context.settings)), dxm_fields(direct)),
      direct_(direct),
      song_(context.song),
      settings_(context.settings),
      counterLength_(context.counterLength),
      stored_(values_) {
  for (const ControlBinding& label : key_range_labels()) add_binding(label);
}

int DxmDialog::template_id() const { return direct_ ? IDD_DXM_DIRECT_SETTINGS : IDD_DXM_SETTINGS; }

std::string DxmDialog::title() const { return direct_ ? "MIDI > DXMファイル設定" : "DXMファイル設定"; }

void DxmDialog::spin(int id, int direction, bool ctrl) {
  if (!spin_shared_format_field(values_, id, direction, ctrl, counterLength_)) BoundDialog::spin(id, direction, ctrl);
}

// The melodic tracks the score path writes, in the order of their octave-shift
// rows; rhythm tracks have no row.
std::vector<KeyRow> DxmDialog::rows() const {
  std::vector<KeyRow> rows;
  for (const DxmTrackPlan& p : plan_dxm_tracks(song_, settings_.play, settings_.conv, values_)) {
    if (p.octaveRow >= 0) rows.push_back({p.track, false});
  }
  return rows;
}

std::string DxmDialog::label(int id) const {
  if (id == IDC_KEY_HINT) return key_hint_text(kLowestDxmKey, kHighestDxmKey);
  return key_range_text(id, song_, rows(), settings_.conv.octaveShift, values_.key, false);
}

const char* DxmDialog::explanation() {
  return "分からない部分は設定しなくても大丈夫です。\r\n効果がない場合もありますが、まずは変換後を聞き比べて下さい。\r\n\r\n"
         "[ﾍﾞﾛｼﾃｨ調整]\r\n音が小さい時に使用。音の強さを調整できます。\r\n\r\n"
         "[ﾋﾟｯﾁﾍﾞﾝﾄﾞやﾋﾞﾌﾞﾗｰﾄを有効]\r\n微妙な曲調が反映されます。\r\n\r\n"
         "[同じ音色は同一ﾁｬﾝﾈﾙに結合]\r\n違うﾄﾗｯｸで同じ音色番号を使っていれば5ﾄﾗｯｸ以上の変換が可能になります。\r\n\r\n"
         "[13和音目以降を切捨て]\r\n同時発音された13和音目以降を削除して曲のもたれを抑えます。\r\n";
}

DialogAction DxmDialog::command(int id) {
  DialogAction action;
  if (id == IDC_EXPLAIN && direct_) {
    action.message = explanation();
    action.caption = "簡単な説明";
  } else if (id == IDC_DETAIL) {
    action = key_detail_action(song_, rows(), values_.key, kLowestDxmKey, kHighestDxmKey, settings_.conv.octaveShift);
  }
  return action;
}

void DxmDialog::ok() {
  clamp_fields();
  stored_ = values_;
  WriterSettings& w = settings_.writers;
  w.dxmbyte = values_.sizeLimit;
  w.dxmVelocity = values_.velocity;
  w.dxmSharedChannels = values_.sharedChannels;
  w.dxmChordLimit = values_.chordLimit;
  if (direct_) {
    w.dxmPitchBend = values_.keepPitchBend;
  } else {
    w.dxmRhythmReplace = values_.rhythmReplace;
  }
}

DialogWriter DxmDialog::writer() const {
  DxmWriterSettings dxm = stored_;
  if (direct_) {
    return [dxm](const Score&, ByteView held, const SongInfo& song, const Settings& settings) {
      std::vector<uint8_t> tracks = write_dxm_tracks_from_midi(held, song, settings, dxm);
      return finish_dxm(ByteView(tracks), dxm);
    };
  }
  return [dxm](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    std::vector<uint8_t> tracks = write_dxm_tracks(score, song, settings, dxm);
    return finish_dxm(ByteView(tracks), dxm);
  };
}

}  // namespace mel
