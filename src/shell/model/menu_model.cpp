#include "shell/model/menu_model.h"

#include "shell/model/command_ids.h"

namespace mel {

namespace {

constexpr int kItem = kMenuItemString;
constexpr int kPopup = kMenuItemPopup;
constexpr int kSeparator = kMenuItemSeparator;

// The menu bar, one row per item. A popup row's children follow it with the
// next level; a separator has no text.
const std::vector<MenuRow> kMainMenuRows = {
    {0, kPopup, 0, "ファイル(&F)"},
    {1, kItem, cmd::kOpen, "ファイルを開く(&O)\tCtrl+O"},
    {1, kItem, cmd::kOpenLastCreated, "作成したﾌｧｲﾙを開く\tCtrl+R"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kCreateMidi, "MIDIﾌｧｲﾙ作成"},
    {1, kItem, cmd::kCreateMml, "MMLﾌｧｲﾙ作成"},
    {1, kPopup, 0, "その他ﾌｧｲﾙ作成"},
    {2, kItem, cmd::kCreatePlaylist, "ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ作成"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kConversionDetail, "ファイル変換詳細設定(&S)"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kProperties, "ファイルプロパティ(&R)\tCtrl+P"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kExit, "終了(&X)"},

    {0, kPopup, 0, "設定(&S)"},
    {1, kItem, cmd::kResetKeySpeed, "キー・速度の初期化(&R)"},
    {1, kPopup, 0, "和音再生モード(&M)"},
    {2, kItem, cmd::kMidiStandard, "MIDI標準"},
    {2, kItem, cmd::kTrackSplit, "トラック分解"},
    {2, kItem, cmd::kPseudoChord, "擬似和音"},
    {2, kSeparator, 0, ""},
    {2, kItem, cmd::kMultiTrackSelect, "ﾄﾗｯｸ追加選択"},
    {1, kPopup, 0, "楽器選択(&S)"},
    {2, kItem, cmd::kStandardInstrument, "標準"},
    {2, kItem, cmd::kPerTrackInstrument, "トラック別指定"},
    {2, kSeparator, 0, ""},
    {2, kItem, 271, "ピアノ"},
    {2, kItem, 272, "ハープシコード"},
    {2, kItem, 273, "パーカッション"},
    {2, kItem, 274, "オルガン"},
    {2, kItem, 275, "アコーディオン"},
    {2, kItem, 276, "ハーモニカ"},
    {2, kItem, 277, "ギター"},
    {2, kItem, 278, "バイオリン"},
    {2, kItem, 279, "トランペット"},
    {2, kItem, 280, "フルート"},
    {1, kPopup, 0, "音量選択(&V)"},
    {2, kItem, cmd::kStandardVolume, "標準"},
    {2, kItem, cmd::kPerTrackVolume, "トラック別指定"},
    {2, kSeparator, 0, ""},
    {2, kItem, 293, "特大(127)"},
    {2, kItem, 294, "大(120)"},
    {2, kItem, 295, "中(100)"},
    {2, kItem, 296, "小(80)"},
    {2, kItem, 297, "特小(60)"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kTopmost, "常に手前に表示(&W)"},
    {1, kItem, cmd::kCounterDisplay, "ｶｳﾝﾀﾃﾞｨｽﾌﾟﾚｲ表示(&C)"},
    {1, kItem, cmd::kTrackPanel, "ﾄﾗｯｸ選択ﾊﾟﾈﾙ表示(&T)"},
    {1, kPopup, 0, "ｺﾝﾄﾛｰﾙﾎﾞﾀﾝ表示"},
    {2, kItem, cmd::kShowOpenButton, "開くボタン"},
    {2, kItem, cmd::kShowKeyButtons, "キーボタン"},
    {2, kItem, cmd::kShowTempoButtons, "スピードボタン"},
    {2, kItem, cmd::kShowBackNextButtons, "曲順ボタン"},
    {2, kItem, cmd::kShowSaveButton, "保存ボタン"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kSettingsProgram, "設定ソフト起動"},

    {0, kPopup, 0, "再生(&P)"},
    {1, kItem, cmd::kPlay, "再生(&P)\tSpace"},
    {1, kItem, cmd::kStop, "停止(&S)\tPeriod"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kPrevious, "前曲移動(&B)\tCtrl+B"},
    {1, kItem, cmd::kNext, "次曲移動(&N)\tCtrl+N"},
    {1, kItem, cmd::kFirst, "先頭曲移動(&T)\tCtrl+T"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kLoop, "繰り返し演奏(&L)"},
    {1, kItem, cmd::kThreeTimes, "3回連続演奏"},
    {1, kItem, cmd::kIntro, "イントロ演奏(&I)"},
    {1, kItem, cmd::kShuffle, "曲順シャッフル"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kClipboardPlay, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞ再生(&V)\tCtrl+V"},

    {0, kPopup, 0, "ヘルプ(&H)"},
    {1, kItem, cmd::kHelp, "目次(&C)"},
    {1, kSeparator, 0, ""},
    {1, kItem, cmd::kAbout, "このプログラムについて(&A)"},

    {0, 0, 0, ""},
};

bool is_end_row(const MenuRow& row) { return row.flags == 0 && row.id == 0; }

std::vector<CreateItem> build_create_items() {
  std::vector<CreateItem> items;
  int id = cmd::kCreateFirst;
  for (const OutputFormat* format : create_menu_formats()) {
    items.push_back({id++, format->menuText, format->placement, format->kind});
  }
  return items;
}

constexpr int kProgramMin = 0;
constexpr int kProgramMax = 127;
constexpr int kFirstExtraInstrumentKey = kStandardInstrumentCount + 1;  // melody11no

const std::array<int, 10> kStandardPrograms = {1, 6, 8, 16, 21, 22, 24, 40, 56, 73};
const std::array<int, 5> kVolumes = {127, 120, 100, 80, 60};

bool valid_program(int program) { return program >= kProgramMin && program <= kProgramMax; }

// The table text of a standard instrument item.
const char* table_text(int id) {
  for (const MenuRow& row : kMainMenuRows) {
    if (row.id == id && row.flags == kMenuItemString) return row.text;
  }
  return "";
}

void append_range(std::vector<int>& ids, int first, int last) {
  for (int id = first; id <= last; ++id) ids.push_back(id);
}

std::vector<int> build_commands_needing_a_file() {
  std::vector<int> ids = {cmd::kCreateMidi, cmd::kCreateMml, cmd::kCreatePlaylist};
  append_range(ids, cmd::kCreateFirst, cmd::kCreateLast);
  ids.push_back(cmd::kProperties);
  ids.push_back(cmd::kResetKeySpeed);
  append_range(ids, cmd::kPrevious, cmd::kShuffle);
  ids.push_back(cmd::kThreeTimes);
  ids.push_back(cmd::kMidiStandard);
  ids.push_back(cmd::kPseudoChord);
  ids.push_back(cmd::kTrackSplit);
  append_range(ids, cmd::kAllTracks, cmd::kTrackLast);
  ids.push_back(cmd::kStandardInstrument);
  ids.push_back(cmd::kPerTrackInstrument);
  append_range(ids, cmd::kInstrumentFirst, cmd::kInstrumentLast);
  ids.push_back(cmd::kStandardVolume);
  ids.push_back(cmd::kPerTrackVolume);
  append_range(ids, cmd::kVolumeFirst, cmd::kVolumeLast);
  return ids;
}

}  // namespace

const std::vector<MenuRow>& main_menu_rows() { return kMainMenuRows; }

void build_main_menu(MenuSink& sink, intptr_t bar) {
  std::array<intptr_t, kMenuSlots> slots{};
  slots[0] = bar;
  for (std::size_t i = 0; i < kMainMenuRows.size() && !is_end_row(kMainMenuRows[i]); ++i) {
    const MenuRow& row = kMainMenuRows[i];
    if (row.level < 0 || row.level >= kMenuSlots || slots[static_cast<std::size_t>(row.level)] == 0) continue;
    const intptr_t menu = slots[static_cast<std::size_t>(row.level)];
    if (row.flags != kMenuItemPopup) {
      sink.append(menu, row.flags, row.id, 0, row.text);
      continue;
    }
    const intptr_t popup = sink.create_popup();
    sink.append(menu, row.flags, 0, popup, row.text);
    // The popup's items follow it one level deeper; the level of the next row
    // names the slot that holds it. The end row names nothing.
    if (i + 1 < kMainMenuRows.size()) {
      const MenuRow& next = kMainMenuRows[i + 1];
      if (!is_end_row(next) && next.level > 0 && next.level < kMenuSlots)
        slots[static_cast<std::size_t>(next.level)] = popup;
    }
  }
}

const std::vector<CreateItem>& create_items() {
  static const std::vector<CreateItem> items = build_create_items();
  return items;
}

unsigned create_placement(const ShellSettings& settings) {
  unsigned placement = 0;
  if (settings.makeddip != 0) placement |= kPlaceDdip;
  if (settings.makedocomo != 0) placement |= kPlaceDocomo;
  if (settings.makeastel != 0) placement |= kPlaceAstel;
  if (settings.makejphone != 0) placement |= kPlaceJphone;
  if (settings.makekddi != 0) placement |= kPlaceKddi;
  return placement;
}

bool create_item_in_file_menu(const CreateItem& item, unsigned placement) {
  return (item.placementBits & placement) != 0;
}

int output_kind_for_command(int id) {
  switch (id) {
    case cmd::kCreateMidi: return kOutputMidi;
    case cmd::kCreateMml: return kOutputMml;
    case cmd::kCreatePlaylist: return kOutputPlaylist;
    case cmd::kCopyAs: return kOutputRawCopy;
    default: break;
  }
  for (const CreateItem& item : create_items()) {
    if (item.id == id) return item.outputKind;
  }
  return 0;
}

const std::array<int, 10>& standard_instrument_programs() { return kStandardPrograms; }
const std::array<int, 5>& volume_table() { return kVolumes; }

std::vector<InstrumentEntry> instrument_entries(const ShellSettings& settings) {
  std::vector<InstrumentEntry> entries;
  for (int j = 0; j < kStandardInstrumentCount; ++j) {
    const auto index = static_cast<std::size_t>(j);
    const int id = cmd::kInstrumentFirst + j;
    const int program = valid_program(settings.melodyNo[index]) ? settings.melodyNo[index] : kStandardPrograms[index];
    const std::string& name = settings.melodyName[index];
    entries.push_back({id, program, name.empty() ? std::string(table_text(id)) : name});
  }
  int extra = 0;
  for (int j = kFirstExtraInstrumentKey; j <= kInstrumentKeyCount; ++j) {
    const auto index = static_cast<std::size_t>(j - 1);
    if (!valid_program(settings.melodyNo[index])) continue;
    const std::string& name = settings.melodyName[index];
    entries.push_back({cmd::kInstrumentExtraFirst + extra, settings.melodyNo[index],
                       name.empty() ? "音色" + std::to_string(j) : name});
    ++extra;
  }
  return entries;
}

int instrument_index_for_program(const std::vector<InstrumentEntry>& entries, int melody) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].program == melody) return static_cast<int>(i);
  }
  return -1;
}

int volume_index_for_value(int volume) {
  for (std::size_t i = 0; i < kVolumes.size(); ++i) {
    if (kVolumes[i] == volume) return static_cast<int>(i);
  }
  return -1;
}

std::vector<ExternalProgram> external_programs(const ShellSettings& settings) {
  std::vector<ExternalProgram> programs;
  for (int k = 1; k <= kExternalProgramCount; ++k) {
    const auto index = static_cast<std::size_t>(k - 1);
    if (settings.appFile[index].empty()) continue;
    const std::string& name = settings.appName[index];
    programs.push_back({cmd::kExternalFirst + static_cast<int>(programs.size()), settings.appFile[index],
                        name.empty() ? "外部ソフト" + std::to_string(k) : name});
  }
  return programs;
}

const std::vector<int>& commands_needing_a_file() {
  static const std::vector<int> ids = build_commands_needing_a_file();
  return ids;
}

const std::array<const char*, 8>& colour_menu_texts() {
  static const std::array<const char*, 8> texts = {"赤", "緑", "黄", "青", "紫", "水", "白", "ﾗﾝﾀﾞﾑ"};
  return texts;
}

}  // namespace mel
