// The menu table as built through a recording sink, the settings-driven items
// (create items, instruments, external programs) and the start-up grey list.
#include "shell/model/menu_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell/model/command_ids.h"

namespace mel {
namespace {

// Records the menu tree the builder produces.
class RecordingSink : public MenuSink {
 public:
  struct Item {
    int flags;
    int id;
    intptr_t child;
    std::string text;
  };
  intptr_t create_popup() override {
    menus_[next_] = {};
    return next_++;
  }
  void append(intptr_t menu, int flags, int id, intptr_t child, const char* text) override {
    menus_[menu].push_back({flags, id, child, text});
  }
  const std::vector<Item>& items(intptr_t menu) { return menus_[menu]; }
  // The popup titled `title` inside `menu`.
  intptr_t popup(intptr_t menu, const std::string& title) {
    for (const Item& item : items(menu))
      if (item.flags == kMenuItemPopup && item.text == title) return item.child;
    ADD_FAILURE() << "no popup " << title;
    return -1;
  }
  std::vector<int> ids(intptr_t menu) {
    std::vector<int> out;
    for (const Item& item : items(menu)) out.push_back(item.id);
    return out;
  }

 private:
  std::map<intptr_t, std::vector<Item>> menus_;
  intptr_t next_ = 100;
};

constexpr intptr_t kBar = 1;

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

TEST(MenuModel, BuildsTheWholeTreeFromTheTable) {
  RecordingSink sink;
  build_main_menu(sink, kBar);

  const auto& bar = sink.items(kBar);
  ASSERT_EQ(bar.size(), static_cast<std::size_t>(kTopLevelMenuCount));
  for (const auto& title : bar) EXPECT_EQ(title.flags, kMenuItemPopup);
  // "ファイル(&F)" in CP932.
  EXPECT_EQ(bar[0].text, bytes({0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B, '(', '&', 'F', ')'}));
  EXPECT_EQ(bar[3].text, "ヘルプ(&H)");

  const intptr_t file = sink.popup(kBar, "ファイル(&F)");
  EXPECT_EQ(sink.ids(file), (std::vector<int>{14, 103, 0, 111, 112, 0, 0, 203, 0, 101, 0, 102}));
  EXPECT_EQ(sink.items(file)[1].text, "作成したﾌｧｲﾙを開く\tCtrl+R");
  EXPECT_EQ(sink.items(file)[2].flags, kMenuItemSeparator);
  const intptr_t others = sink.popup(file, "その他ﾌｧｲﾙ作成");
  ASSERT_EQ(sink.items(others).size(), 1u);
  // "ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ作成": half-width katakana stay single bytes.
  EXPECT_EQ(sink.items(others)[0].text,
            bytes({0xCC, 0xDF, 0xDA, 0xB2, 0xD8, 0xBD, 0xC4, 0xCC, 0xA7, 0xB2, 0xD9, 0x8D, 0xEC, 0x90, 0xAC}));

  // Popups at the same depth reuse a slot: every one gets its own items.
  const intptr_t settings = sink.popup(kBar, "設定(&S)");
  EXPECT_EQ(sink.ids(sink.popup(settings, "和音再生モード(&M)")), (std::vector<int>{211, 214, 212, 0, 213}));
  EXPECT_EQ(sink.ids(sink.popup(settings, "楽器選択(&S)")),
            (std::vector<int>{261, 262, 0, 271, 272, 273, 274, 275, 276, 277, 278, 279, 280}));
  EXPECT_EQ(sink.ids(sink.popup(settings, "音量選択(&V)")), (std::vector<int>{291, 292, 0, 293, 294, 295, 296, 297}));
  EXPECT_EQ(sink.ids(sink.popup(settings, "ｺﾝﾄﾛｰﾙﾎﾞﾀﾝ表示")), (std::vector<int>{321, 322, 323, 324, 325}));
  // After the nested popups the settings menu itself continues.
  EXPECT_EQ(sink.items(settings).back().id, cmd::kSettingsProgram);
  EXPECT_EQ(sink.items(settings).size(), 11u);

  const intptr_t play = sink.popup(kBar, "再生(&P)");
  EXPECT_EQ(sink.ids(play), (std::vector<int>{11, 12, 0, 301, 302, 303, 0, 201, 207, 306, 304, 0, 305}));
  EXPECT_EQ(sink.ids(sink.popup(kBar, "ヘルプ(&H)")), (std::vector<int>{401, 0, 403}));
}

TEST(MenuModel, TableRowsFitTheirTextFieldAndEndWithTheEndRow) {
  const auto& rows = main_menu_rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().flags, 0);
  EXPECT_EQ(rows.back().id, 0);
  std::set<int> ids;
  for (const MenuRow& row : rows) {
    EXPECT_LT(std::strlen(row.text), static_cast<std::size_t>(kMenuTextCapacity)) << row.id;
    if (row.id != 0) {
      EXPECT_TRUE(ids.insert(row.id).second) << "duplicate id " << row.id;
    }
    // Only the end row has neither flags nor id: the builder stops there.
    if (&row != &rows.back()) {
      EXPECT_FALSE(row.flags == 0 && row.id == 0) << row.text;
    }
  }
  for (const CreateItem& item : create_items())
    EXPECT_LT(std::strlen(item.text), static_cast<std::size_t>(kMenuTextCapacity)) << item.id;
}

TEST(MenuModel, CreateItemsPlacementAndKinds) {
  ShellSettings settings;  // makeddip, makedocomo, makeastel on; makejphone, makekddi off
  const unsigned placement = create_placement(settings);
  const auto in_file_menu = [](unsigned placement) {
    std::vector<int> ids;
    for (const CreateItem& item : create_items())
      if (create_item_in_file_menu(item, placement)) ids.push_back(item.id);
    return ids;
  };
  EXPECT_EQ(in_file_menu(placement), (std::vector<int>{121, 122, 123, 124, 125, 126, 127}));
  // The MML2MMF item follows either of its two keys.
  EXPECT_EQ(in_file_menu(kPlaceKddi), (std::vector<int>{129, 130}));

  EXPECT_EQ(output_kind_for_command(cmd::kCopyAs), kOutputRawCopy);
  EXPECT_EQ(output_kind_for_command(122), kOutputDxm);
  EXPECT_EQ(output_kind_for_command(cmd::kPlay), 0);
}

TEST(MenuModel, InstrumentEntriesFromTheSettings) {
  ShellSettings settings;
  settings.melodyNo[0] = 0;
  settings.melodyName[0] = "ぴあの";
  settings.melodyNo[1] = 128;              // out of range: standard program, table text
  settings.melodyName[2] = "ﾍﾞｰｽ";          // name without a program still renames
  settings.melodyNo[10] = -1;              // melody11no unset: no extra entry
  settings.melodyNo[11] = 10;              // melody12no: first extra, default text
  settings.melodyNo[12] = 200;             // invalid
  settings.melodyNo[13] = 5;               // melody14no: second extra, named
  settings.melodyName[13] = "X";

  const std::vector<InstrumentEntry> entries = instrument_entries(settings);
  ASSERT_EQ(entries.size(), 12u);
  EXPECT_EQ(entries[0].program, 0);
  EXPECT_EQ(entries[0].text, "ぴあの");
  EXPECT_EQ(entries[1].program, 6);
  EXPECT_EQ(entries[1].text, "ハープシコード");
  EXPECT_EQ(entries[2].text, "ﾍﾞｰｽ");
  // Extra entries are numbered by their count, texted by their key number.
  EXPECT_EQ(entries[10].id, 281);
  EXPECT_EQ(entries[10].program, 10);
  EXPECT_EQ(entries[10].text, bytes({0x89, 0xB9, 0x90, 0x46, '1', '2'}));  // "音色12"
  EXPECT_EQ(entries[11].id, 282);
  EXPECT_EQ(entries[11].text, "X");
  EXPECT_EQ(instrument_index_for_program(entries, 5), 11);
}

TEST(MenuModel, ExternalProgramsArePackedInOrder) {
  ShellSettings settings;
  settings.appFile[1] = "C:\\tools\\a.exe";
  settings.appFile[3] = "b.exe";
  settings.appName[3] = "ビューア";
  settings.appName[4] = "no program";  // a name alone adds nothing
  const std::vector<ExternalProgram> programs = external_programs(settings);
  ASSERT_EQ(programs.size(), 2u);
  EXPECT_EQ(programs[0].id, 152);
  EXPECT_EQ(programs[0].text, "外部ソフト2");
  EXPECT_EQ(programs[1].id, 153);
  EXPECT_EQ(programs[1].text, "ビューア");
}

TEST(MenuModel, StartUpGreyList) {
  const std::vector<int>& grey = commands_needing_a_file();
  const std::set<int> greySet(grey.begin(), grey.end());
  for (int id : {111, 112, 113, 121, 130, 101, 202, 301, 304, 207, 211, 212, 214, 221, 253, 261, 262, 271, 286, 291,
                 292, 293, 297})
    EXPECT_TRUE(greySet.count(id)) << id;
  // Commands that work without a file stay live.
  for (int id : {11, 12, 14, 103, 102, 203, 204, 213, 201, 305, 306, 401, 120, 131, 254, 270, 287, 298})
    EXPECT_FALSE(greySet.count(id)) << id;
}

}  // namespace
}  // namespace mel
