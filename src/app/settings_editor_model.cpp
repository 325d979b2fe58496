#include "app/settings_editor_model.h"

#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "app/dialogs/dialog_model.h"
#include "common/limits.h"

namespace mel {

namespace {

enum Page { kPlaybackPage, kDisplayPage, kBehaviourPage, kConversionPage, kWritersPage, kPageCount };

const char* const kPageTitles[kPageCount] = {"再生", "表示", "動作", "変換", "ﾌｧｲﾙ作成"};

// The integer keys: the page each one is on and its label, in the order the
// page shows them. Their ranges come from the settings file's own rules.
struct KeyLabel {
  const char* key;
  Page page;
  const char* label;
};

const KeyLabel kKeyLabels[] = {
    {"volume", kPlaybackPage, "音量"},
    {"velocity", kPlaybackPage, "ﾍﾞﾛｼﾃｨ"},
    {"key", kPlaybackPage, "キーの初期値"},
    {"speed", kPlaybackPage, "速度の初期値(16=原速)"},
    {"melody", kPlaybackPage, "標準の楽器(音色番号)"},
    {"sequencer", kPlaybackPage, "音源(0=自動 1=MCI 2=内蔵)"},
    {"autoplay", kPlaybackPage, "ﾌｧｲﾙを受け取ったら再生する"},
    {"loop", kPlaybackPage, "繰り返し演奏"},
    {"autoreset", kPlaybackPage, "ﾌｧｲﾙを開くたびにキー・速度を初期化"},
    {"addtrac", kPlaybackPage, "ﾄﾗｯｸ追加選択"},
    {"excutplay", kPlaybackPage, "MIDI標準再生でｴｸｽｸﾙｰｼﾌﾞを除く"},
    {"autooff", kPlaybackPage, "起動時のﾌｧｲﾙを再生し終えたら閉じる"},

    {"display", kDisplayPage, "ｶｳﾝﾀﾃﾞｨｽﾌﾟﾚｲ表示"},
    {"scroll", kDisplayPage, "位置ｽｸﾛｰﾙﾊﾞｰ表示"},
    {"eject", kDisplayPage, "開くボタン表示"},
    {"keyupdown", kDisplayPage, "キーボタン表示"},
    {"tempoupdown", kDisplayPage, "スピードボタン表示"},
    {"backnext", kDisplayPage, "曲順ボタン表示"},
    {"record", kDisplayPage, "保存ボタン表示"},
    {"tracpanel", kDisplayPage, "ﾄﾗｯｸ選択ﾊﾟﾈﾙ表示"},
    {"menu", kDisplayPage, "メニューバー表示"},
    {"small", kDisplayPage, "小さいボタン"},
    {"topmost", kDisplayPage, "常に手前に表示"},
    {"dispcolor", kDisplayPage, "ｶｳﾝﾀの色(8=ﾗﾝﾀﾞﾑ)"},
    {"scrollsizex", kDisplayPage, "ｽｸﾛｰﾙﾊﾞｰの幅(ﾄﾞｯﾄ)"},
    {"recmode", kDisplayPage, "保存ボタンのｺﾏﾝﾄﾞ(0=MML作成)"},

    {"onerun", kBehaviourPage, "二重起動しない(先の窓で開く)"},
    {"autosetsave", kBehaviourPage, "終了時に設定を保存"},
    {"files", kBehaviourPage, "ﾌﾟﾚｲﾘｽﾄの最大曲数"},
    {"txtfileas", kBehaviourPage, ".txtの読み方(0=自動 1=きゃら 2=MML 3=iﾒﾛﾃﾞｨ)"},
    {"win2000", kBehaviourPage, "Windows2000互換ﾌﾗｸﾞ"},
    {"makeddip", kBehaviourPage, "PDX/feelsound作成をﾌｧｲﾙﾒﾆｭｰに"},
    {"makedocomo", kBehaviourPage, "きゃら/ﾊﾟﾅ/iﾒﾛﾃﾞｨ作成をﾌｧｲﾙﾒﾆｭｰに"},
    {"makeastel", kBehaviourPage, "ﾄﾞｯﾄi/AsMelo作成をﾌｧｲﾙﾒﾆｭｰに"},
    {"makejphone", kBehaviourPage, "J-SKY/MML2MMF作成をﾌｧｲﾙﾒﾆｭｰに"},
    {"makekddi", kBehaviourPage, "ezweb/MML2MMF作成をﾌｧｲﾙﾒﾆｭｰに"},

    {"giziwaon", kConversionPage, "擬似和音の強さ"},
    {"gizino", kConversionPage, "擬似和音の声部数"},
    {"chsepcnt", kConversionPage, "和音分解数"},
    {"relnflg", kConversionPage, "短い休符を前の音符に結合"},
    {"l16nouse", kConversionPage, "16分音符単位で丸める(休符結合時)"},
    {"highmld", kConversionPage, "高音優先"},
    {"restcut", kConversionPage, "曲頭の無音を削る"},

    {"mldhmn", kWritersPage, "iﾒﾛﾃﾞｨ(MLD) 和音数"},
    {"mldbyte", kWritersPage, "iﾒﾛﾃﾞｨ(MLD) ｻｲｽﾞ上限(0=なし)"},
    {"ezpmdhmn", kWritersPage, "ezweb(PMD) 和音数"},
    {"ezpmdbyte", kWritersPage, "ezweb(PMD) ｻｲｽﾞ上限(0=なし)"},
    {"dxmhmn", kWritersPage, "DXM 和音数"},
    {"dxmbyte", kWritersPage, "DXM ｻｲｽﾞ上限(0=なし)"},
    {"smdhmn", kWritersPage, "J-SKY(SMD) ﾄﾗｯｸ数"},
    {"smdnum", kWritersPage, "J-SKY(SMD) 音符数上限(0=なし)"},
    {"mmdhmn", kWritersPage, "ﾄﾞｯﾄi ﾄﾗｯｸ数"},
    {"mmdnum", kWritersPage, "ﾄﾞｯﾄi 音符数上限(0=なし)"},
    {"alshmn", kWritersPage, "AsMelo(ALS) ﾊﾟｰﾄ数"},
    {"alsnum", kWritersPage, "AsMelo(ALS) 音符数上限(0=なし)"},
};

constexpr int kInstrumentsPerPage = 8;
constexpr int kMaxProgram = 127;
constexpr int kNoInstrument = -1;
constexpr int kMaxTextBytes = static_cast<int>(kMaxTextLength);

std::string formatted(const char* format, int n) {
  char text[96];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

std::string formatted(const char* format, int a, int b) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

EditorRow numbered_row(NumberedKey numbered, int n, const char* keyFormat, std::string label) {
  EditorRow row;
  row.key = formatted(keyFormat, n);
  row.label = std::move(label);
  row.numbered = numbered;
  row.number = n;
  if (numbered == NumberedKey::InstrumentProgram) {
    row.kind = EditorRowKind::Number;
    row.maxValue = kMaxProgram;
    row.blankAllowed = true;
    row.blankValue = kNoInstrument;
  } else {
    row.kind = EditorRowKind::Text;
    row.maxValue = kMaxTextBytes;
  }
  return row;
}

// melody%dno / melody%dname side by side, eight instruments a page.
EditorPage instrument_page(int first) {
  EditorPage page{formatted("楽器%d〜%d", first, first + kInstrumentsPerPage - 1), {}};
  for (int n = first; n < first + kInstrumentsPerPage; ++n) {
    page.rows.push_back(numbered_row(NumberedKey::InstrumentProgram, n, "melody%dno", formatted("楽器%d 音色番号", n)));
    page.rows.push_back(numbered_row(NumberedKey::InstrumentName, n, "melody%dname", formatted("楽器%d 名前", n)));
  }
  return page;
}

EditorPage program_page() {
  EditorPage page{"外部ｿﾌﾄ", {}};
  for (int n = 1; n <= kExternalProgramCount; ++n) {
    page.rows.push_back(numbered_row(NumberedKey::ProgramFile, n, "app%dfile", formatted("外部ｿﾌﾄ%d ﾊﾟｽ", n)));
    page.rows.push_back(numbered_row(NumberedKey::ProgramName, n, "app%dname", formatted("外部ｿﾌﾄ%d 名前", n)));
  }
  return page;
}

std::vector<EditorPage> build_pages() {
  std::vector<EditorPage> pages;
  for (const char* title : kPageTitles) pages.push_back({title, {}});
  const std::vector<SettingsIntKey> keys = settings_int_keys();
  for (const KeyLabel& label : kKeyLabels) {
    for (const SettingsIntKey& key : keys) {
      if (std::strcmp(key.key, label.key) != 0) continue;
      EditorRow row;
      row.section = key.section;
      row.key = key.key;
      row.label = label.label;
      row.kind = key.boolean ? EditorRowKind::Check : EditorRowKind::Number;
      row.minValue = key.minValue;
      row.maxValue = key.maxValue;
      row.field = key.field;
      pages[label.page].rows.push_back(std::move(row));
    }
  }
  for (int first = 1; first <= kInstrumentKeyCount; first += kInstrumentsPerPage) pages.push_back(instrument_page(first));
  pages.push_back(program_page());
  return pages;
}

// The value the window uses for a row, as the row's control shows it.
std::string shown_text(const ShellSettings& settings, const EditorRow& row) {
  const std::size_t i = static_cast<std::size_t>(row.number - 1);
  switch (row.numbered) {
    case NumberedKey::InstrumentProgram: {
      const int program = settings.melodyNo[i];
      return program == row.blankValue ? std::string() : std::to_string(program);
    }
    case NumberedKey::InstrumentName: return settings.melodyName[i];
    case NumberedKey::ProgramFile: return settings.appFile[i];
    case NumberedKey::ProgramName: return settings.appName[i];
    case NumberedKey::None: break;
  }
  return std::to_string(settings.*row.field);
}

bool only_blanks(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

std::string refusal_message(const EditorRow& row) {
  const std::string name = row.label + " (" + row.key + ")";
  if (row.kind == EditorRowKind::Text) return name + formatted(" は%dﾊﾞｲﾄ以内で入力してください。", row.maxValue);
  std::string message = name + formatted(" には %d〜%d の数を入力", row.minValue, row.maxValue);
  return message + (row.blankAllowed ? "するか、空欄にしてください。" : "してください。");
}

}  // namespace

const std::vector<EditorPage>& settings_editor_pages() {
  static const std::vector<EditorPage> pages = build_pages();
  return pages;
}

std::string editor_range_text(const EditorRow& row) {
  if (row.kind != EditorRowKind::Number) return {};
  return formatted("(%d〜%d", row.minValue, row.maxValue) + (row.blankAllowed ? " 空欄=なし)" : ")");
}

SettingsEditorModel::SettingsEditorModel(IniProfile file, uint32_t systemVersion)
    : file_(std::move(file)), systemVersion_(systemVersion) {
  for (const EditorPage& page : settings_editor_pages()) {
    for (const EditorRow& row : page.rows) rows_.push_back(&row);
  }
  show_file();
}

void SettingsEditorModel::show_file() {
  const ShellSettings settings = load_settings(file_, systemVersion_);
  shown_.clear();
  for (const EditorRow* row : rows_) shown_.push_back(shown_text(settings, *row));
  typed_ = shown_;
}

std::optional<std::size_t> SettingsEditorModel::find_row(const std::string& key) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i]->key == key) return i;
  }
  return std::nullopt;
}

void SettingsEditorModel::set_text(std::size_t index, const std::string& text) {
  if (index < typed_.size()) typed_[index] = text;
}

// The typed text as it is written ("%d" for a number, "" for an allowed
// blank), or nothing when the value cannot be saved.
std::optional<std::string> SettingsEditorModel::canonical(std::size_t index) const {
  const EditorRow& row = *rows_[index];
  const std::string& text = typed_[index];
  switch (row.kind) {
    case EditorRowKind::Check: return std::string(text == "1" ? "1" : "0");
    case EditorRowKind::Text:
      if (text.size() > static_cast<std::size_t>(row.maxValue)) return std::nullopt;
      return text;
    case EditorRowKind::Number: break;
  }
  if (row.blankAllowed && only_blanks(text)) return std::string();
  const std::optional<int> value = parse_typed_number(text);
  if (!value || *value < row.minValue || *value > row.maxValue) return std::nullopt;
  return std::to_string(*value);
}

std::optional<SettingsEditorModel::Refusal> SettingsEditorModel::check() const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!canonical(i)) return Refusal{i, refusal_message(*rows_[i])};
  }
  return std::nullopt;
}

bool SettingsEditorModel::changed() const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (canonical(i) != shown_[i]) return true;
  }
  return false;
}

std::optional<SettingsEditorModel::Refusal> SettingsEditorModel::apply() {
  if (std::optional<Refusal> refused = check()) return refused;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::string value = *canonical(i);
    if (value == shown_[i]) continue;  // untouched keys keep their lines as they are
    const EditorRow& row = *rows_[i];
    const bool blankNumber = row.kind == EditorRowKind::Number && value.empty();
    file_.write_string(row.section, row.key.c_str(), blankNumber ? std::to_string(row.blankValue) : value);
  }
  // Shown again as the window reads them: a key may depend on another
  // (the sixteenth-note grid only counts with rest merging).
  show_file();
  return std::nullopt;
}

bool SettingsEditorModel::save(const std::filesystem::path& path, std::optional<Refusal>& refused) {
  // Nothing changed: the file is not touched (nor made when it is missing).
  if (!changed()) return true;
  refused = apply();
  if (refused) return false;
  std::error_code error;
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  return file_.save(path);
}

}  // namespace mel
