#include "app/dialogs/one_part_dialog.h"

#include <algorithm>
#include <array>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/key_detail.h"
#include "common/limits.h"
#include "formats/chara/chara_writer.h"
#include "formats/shared/handset_codes.h"
#include "formats/shared/written_tracks.h"
#include "formats/wam/wam_format.h"
#include "formats/wam/wam_writer.h"
#include "score/format_codes.h"

namespace mel {

using V = OnePartDialogValues;

// What differs between the chara and the WAM dialog.
struct OnePartFormat {
  int outputKind;
  int templateId;
  const char* title;
  // The keys the handset plays, named by "(キー有効値 ...)".
  int lowestKey;
  int highestKey;
  // Only the WAM dialog clears the per-track octave shifts on opening.
  bool clearsOctaveShifts;
  // The text control: chara's header mark or WAM's title.
  BoundField<V> textField;
  // The note limit OK clamps to, and the top of its spin.
  int maxNoteLimit;
  int maxNoteSpin;
  V (*start)(const SongInfo& song, const Settings& settings);
  // Format rules on top of the clamping of OK.
  void (*finish)(V& values);
  DialogWriter (*writer)(const V& values);
};

namespace {

constexpr int kNoteSpinStep = 32;
constexpr int kMaxCharaNoteLimit = 32767;
constexpr int kMaxCharaNoteSpin = 1024;
// The keys the handsets play.
constexpr int kLowestCharaKey = 79;
constexpr int kLowestWamKey = 72;
constexpr int kHighestOnePartKey = 107;
const std::array<const char*, 2> kCharaHeaderMarks = {"]]", "*6*6"};
constexpr std::size_t kMaxWamTitleBytes = 22;

// The values both writers' settings share, each way.
template <class W>
V shared_start(const W& w) {
  V v;
  v.tempo = w.tempo;
  v.key = w.key;
  v.noteLimit = w.noteLimit;
  return v;
}

template <class W>
W shared_settings(const V& v) {
  W w;
  w.tempo = v.tempo;
  w.key = v.key;
  w.noteLimit = v.noteLimit;
  w.startCounter = v.startCounter;
  w.endCounter = v.endCounter;
  return w;
}

V chara_start(const SongInfo& song, const Settings& settings) {
  CharaWriterSettings c = chara_dialog_values(song, settings);
  V v = shared_start(c);
  v.headerMark = c.headerMark;
  return v;
}

DialogWriter chara_writer(const V& v) {
  CharaWriterSettings chara = shared_settings<CharaWriterSettings>(v);
  chara.headerMark = v.headerMark;
  return [chara](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_chara(score, song, settings, chara);
  };
}

V wam_start(const SongInfo& song, const Settings& settings) {
  WamWriterSettings w = wam_dialog_values(song, settings);
  V v = shared_start(w);
  v.title = w.title;
  return v;
}

// The title keeps whole characters (no lead byte left at its end), and a
// note limit of 0 means the whole 64 slots.
void wam_finish(V& v) {
  v.title = wam_title(v.title);
  if (v.noteLimit < 1) v.noteLimit = wam::kSlots;
}

DialogWriter wam_writer(const V& v) {
  WamWriterSettings wam = shared_settings<WamWriterSettings>(v);
  wam.title = v.title;
  return [wam](const Score& score, ByteView, const SongInfo& song, const Settings& settings) {
    return write_wam(score, song, settings, wam);
  };
}

const std::array<OnePartFormat, 2> kFormats = {{
    {kOutputChara, IDD_CHARA_SETTINGS, "きゃらメロディー設定", kLowestCharaKey, kHighestOnePartKey, false,
     {IDC_CHARA_HEADER_MARK, ControlKind::ChoiceText, &V::headerMark, 0, static_cast<int>(kMaxTextLength)},
     kMaxCharaNoteLimit, kMaxCharaNoteSpin, chara_start, [](V&) {}, chara_writer},
    {kOutputWam, IDD_WAM_SETTINGS, "WAMファイル設定", kLowestWamKey, kHighestOnePartKey, true,
     {IDC_TITLE, ControlKind::Text, &V::title, 0, static_cast<int>(kMaxWamTitleBytes)}, wam::kSlots, wam::kSlots,
     wam_start, wam_finish, wam_writer},
}};

const OnePartFormat& format_of(int outputKind) {
  for (const OnePartFormat& f : kFormats) {
    if (f.outputKind == outputKind) return f;
  }
  return kFormats.front();
}

std::vector<BoundField<V>> one_part_fields(const OnePartFormat& format) {
  return {
      format.textField,
      {IDC_TEMPO, ControlKind::Number, &V::tempo, kTempoByCode.front(), kTempoByCode.back(), IDC_TEMPO_SPIN, 0, 0},
      {IDC_KEY, ControlKind::Number, &V::key, kDialogMinKey, kDialogMaxKey, IDC_KEY_SPIN, 1, 12},
      {IDC_ONE_PART_NOTE_LIMIT, ControlKind::Number, &V::noteLimit, 0, format.maxNoteLimit, IDC_ONE_PART_NOTE_SPIN,
       0, 0},
      // The counters start empty: 0 cuts nothing.
      {IDC_START, ControlKind::Number, &V::startCounter, 0, kDialogMaxCounter, IDC_START_SPIN, 0, 0, true},
      {IDC_END, ControlKind::Number, &V::endCounter, 0, kDialogMaxCounter, IDC_END_SPIN, 0, 0, true},
  };
}

Settings& opening_settings(const OnePartFormat& format, Settings& settings) {
  if (format.clearsOctaveShifts) cleared_octave_shifts(settings);
  return settings;
}

}  // namespace

OnePartDialog::OnePartDialog(int outputKind, const FormatDialogContext& context)
    : BoundDialog(format_of(outputKind).start(context.song, opening_settings(format_of(outputKind), context.settings)),
                  one_part_fields(format_of(outputKind))),
      format_(format_of(outputKind)),
      song_(context.song),
      settings_(context.settings),
      counterLength_(context.counterLength),
      stored_(values_) {
  add_binding({IDC_KEY_HINT, ControlKind::Label});
  add_binding({IDC_KEY_LOW, ControlKind::Label});
  add_binding({IDC_KEY_HIGH, ControlKind::Label});
}

int OnePartDialog::template_id() const { return format_.templateId; }

std::string OnePartDialog::title() const { return format_.title; }

std::vector<std::string> OnePartDialog::choices(int id) const {
  if (id == IDC_CHARA_HEADER_MARK) return {kCharaHeaderMarks.begin(), kCharaHeaderMarks.end()};
  return {};
}

void OnePartDialog::spin(int id, int direction, bool ctrl) {
  switch (id) {
    case IDC_TEMPO: values_.tempo = spin_table_tempo(values_.tempo, direction); return;
    case IDC_ONE_PART_NOTE_LIMIT: {
      long long next = static_cast<long long>(values_.noteLimit) + static_cast<long long>(direction) * kNoteSpinStep;
      values_.noteLimit = static_cast<int>(std::clamp<long long>(next, 0, format_.maxNoteSpin));
      return;
    }
    case IDC_START: values_.startCounter = spin_start_counter(values_.startCounter, direction, counterLength_); return;
    case IDC_END: values_.endCounter = spin_end_counter(values_.endCounter, direction, counterLength_); return;
    default: BoundDialog::spin(id, direction, ctrl);
  }
}

// The range of the one written track (a rhythm track counts) plus the key;
// the writers apply no octave shift.
std::string OnePartDialog::label(int id) const {
  if (id == IDC_KEY_HINT) return key_hint_text(format_.lowestKey, format_.highestKey);
  if (id != IDC_KEY_LOW && id != IDC_KEY_HIGH) return {};
  std::vector<int> tracks = written_track_numbers(song_, settings_, 1);
  if (tracks.empty()) return {};
  static const std::array<int, kMaxTracks> kNoShifts{};
  auto range = used_key_range(song_, {{tracks.front(), song_.is_rhythm_track(tracks.front())}}, kNoShifts,
                              values_.key, true);
  if (!range) return {};
  return std::to_string(id == IDC_KEY_LOW ? range->first : range->second);
}

void OnePartDialog::ok() {
  clamp_fields();
  format_.finish(values_);
  stored_ = values_;
}

DialogWriter OnePartDialog::writer() const { return format_.writer(stored_); }

}  // namespace mel
