#include "app/dialogs/mfi_dialog.h"

#include <algorithm>
#include <array>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/key_detail.h"
#include "formats/mfi/mfi_output.h"

namespace mel {

namespace {

constexpr int kVoiceNumberLimit = 256;  // a typed voice n gives n + 1, at most this

const std::array<const char*, 4> kLayoutNames = {"標準(1ﾄﾗｯｸ4和音)", "SH系(4ﾄﾗｯｸ4和音)", "F系(4ﾄﾗｯｸ4和音/全ch0)",
                                                 "503i系(4ﾄﾗｯｸ16和音)"};
// Entries 0..5 give the voices 1..6; the last one gives kNoVoiceOrVolume.
const std::array<const char*, 7> kVoiceNames = {"B1(ピアノ風)", "C1(鉄琴風)", "A1(オルガン風)", "B2(ギター風)",
                                                "C2(木琴風)", "A2(リード風)", "音色/音量なし"};

using V = MfiDialogValues;

std::vector<BoundField<V>> mfi_fields(bool cmx) {
  std::vector<BoundField<V>> fields = shared_format_fields<V>();
  fields.insert(fields.end(), {
      {IDC_TEMPO, ControlKind::Number, &V::tempo, kDialogMinTempo, kDialogMaxTempo, IDC_TEMPO_SPIN, 1, 1},
      {IDC_CHORDS_IN_CHANNEL, ControlKind::Check, &V::chordsInChannel},
      {IDC_EXTENDED_SCALE, ControlKind::Check, &V::extendedScale},
  });
  if (!cmx) {
    fields.push_back({IDC_LAYOUT, ControlKind::Choice, &V::layout, kMfiLayoutStandard, kMfiLayout503i});
    fields.push_back({IDC_OUTPUT_VOICE, ControlKind::ChoiceText, &V::voice});
    fields.push_back({IDC_MAIL_BASE64, ControlKind::Check, &V::mailBase64});
  }
  return fields;
}

MfiDialogValues start_values(const MfiWriterSettings& m, const WriterSettings& w, bool cmx) {
  MfiDialogValues v;
  v.title = m.title;
  v.tempo = m.tempo;
  v.key = m.key;
  v.sizeLimit = cmx ? w.ezpmdbyte : w.mldbyte;
  v.velocity = m.outputVelocity;
  v.layout = m.layout;
  v.voice = MfiDialog::voice_text(m.outputVoice);
  v.mailBase64 = m.mailBase64;
  v.chordsInChannel = m.chordsInChannel;
  v.extendedScale = m.extendedScale;
  return v;
}

}  // namespace

MfiDialog::MfiDialog(bool cmx, const FormatDialogContext& context)
    : BoundDialog(start_values(mfi_dialog_values(context.song, cleared_octave_shifts(context.settings), cmx),
                               context.settings.writers, cmx),
                  mfi_fields(cmx)),
      cmx_(cmx),
      song_(context.song),
      settings_(context.settings),
      counterLength_(context.counterLength) {
  for (const ControlBinding& label : key_range_labels()) add_binding(label);
  stored_ = writer_settings();
}

int MfiDialog::template_id() const { return cmx_ ? IDD_CMX_SETTINGS : IDD_MFI_SETTINGS; }

bool MfiDialog::sixteen_chord() const {
  return cmx_ ? settings_.writers.ezpmdhmn > 4 : values_.layout == kMfiLayout503i;
}

std::string MfiDialog::title() const {
  std::string title = cmx_ ? "PMDファイル設定" : "MLDファイル設定";
  return title + (sixteen_chord() ? "(16和音モード)" : "(4和音モード)");
}

std::vector<std::string> MfiDialog::choices(int id) const {
  if (id == IDC_LAYOUT) return {kLayoutNames.begin(), kLayoutNames.end()};
  if (id == IDC_OUTPUT_VOICE) return {kVoiceNames.begin(), kVoiceNames.end()};
  return {};
}

bool MfiDialog::enabled(int id) const {
  switch (id) {
    case IDC_CHORDS_IN_CHANNEL:
    case IDC_EXTENDED_SCALE: return sixteen_chord();
    case IDC_VELOCITY:
    case IDC_VELOCITY_SPIN: return sixteen_chord() && values_.extendedScale;
    default: return true;
  }
}

void MfiDialog::spin(int id, int direction, bool ctrl) {
  if (!spin_shared_format_field(values_, id, direction, ctrl, counterLength_)) BoundDialog::spin(id, direction, ctrl);
}

std::string MfiDialog::label(int id) const {
  MfiWriterSettings m = writer_settings();
  if (id == IDC_KEY_HINT) return key_hint_text(m.lowest_key(), m.highest_key());
  return key_range_text(id, song_, rows(m), settings_.conv.octaveShift, m.key, !m.sixteenChord);
}

// The tracks the writer writes with the settings m, in output order.
std::vector<KeyRow> MfiDialog::rows(const MfiWriterSettings& m) const {
  std::vector<KeyRow> rows;
  for (const MfiTrackPlan& p : plan_mfi_tracks(song_, settings_, m)) rows.push_back({p.track, song_.is_rhythm_track(p.track)});
  return rows;
}

DialogAction MfiDialog::command(int id) {
  if (id != IDC_DETAIL) return {};
  MfiWriterSettings m = writer_settings();
  return key_detail_action(song_, rows(m), m.key, m.lowest_key(), m.highest_key(), settings_.conv.octaveShift);
}

int MfiDialog::voice_value(const std::string& text) {
  for (std::size_t i = 0; i < kVoiceNames.size(); ++i) {
    if (text == kVoiceNames[i]) return i + 1 == kVoiceNames.size() ? kNoVoiceOrVolume : static_cast<int>(i) + 1;
  }
  std::optional<int> n = parse_typed_count(text);
  if (!n) return 0;
  return static_cast<int>(std::min<long long>(static_cast<long long>(*n) + 1, kVoiceNumberLimit));
}

std::string MfiDialog::voice_text(int outputVoice) {
  if (outputVoice == kNoVoiceOrVolume) return kVoiceNames.back();
  if (outputVoice >= 1 && outputVoice <= 6) return kVoiceNames[outputVoice - 1];
  if (outputVoice > 6 && outputVoice <= kVoiceNumberLimit) return std::to_string(outputVoice - 1);
  return {};
}

MfiWriterSettings MfiDialog::writer_settings() const {
  Settings s = settings_;
  WriterSettings& w = s.writers;
  w.extendedScale = values_.extendedScale;
  w.chordsInChannel = values_.chordsInChannel;
  w.outputVelocity = std::clamp(values_.velocity, 0, kDialogMaxVelocity);
  if (!cmx_) {
    w.mldLayout = std::clamp(values_.layout, static_cast<int>(kMfiLayoutStandard), static_cast<int>(kMfiLayout503i));
    w.outputVoice = voice_value(values_.voice);
    w.mailBase64 = values_.mailBase64;
  }
  MfiWriterSettings m = mfi_dialog_values(song_, s, cmx_);
  m.title = cut_text(values_.title, kDialogMaxTitleBytes);
  m.tempo = std::clamp(values_.tempo, kDialogMinTempo, kDialogMaxTempo);
  m.key = std::clamp(values_.key, kDialogMinKey, kDialogMaxKey);
  m.startCounter = std::clamp(values_.startCounter, 0, kDialogMaxCounter);
  m.endCounter = std::clamp(values_.endCounter, 0, kDialogMaxCounter);
  return m;
}

void MfiDialog::ok() {
  clamp_fields();
  stored_ = writer_settings();
  WriterSettings& w = settings_.writers;
  w.extendedScale = stored_.extendedScale;
  w.chordsInChannel = stored_.chordsInChannel;
  w.outputVelocity = stored_.outputVelocity;
  if (cmx_) {
    w.ezpmdbyte = values_.sizeLimit;
    return;
  }
  w.mldbyte = values_.sizeLimit;
  w.mldLayout = stored_.layout;
  w.mfiTrackMerge = stored_.track_merge();
  w.outputVoice = stored_.outputVoice;
  w.mailBase64 = stored_.mailBase64;
}

DialogWriter MfiDialog::writer() const {
  MfiWriterSettings m = stored_;
  return [m](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_mfi_output(score, song, settings, m);
  };
}

std::string MfiDialog::extension(const std::string& tableExtension) const {
  return !cmx_ && stored_.mailBase64 ? ".txt" : tableExtension;
}

}  // namespace mel
