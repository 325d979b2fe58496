// The menu: the static table the menu bar is built from, how it is built, the
// items the settings add (create items, instrument names, extra instruments,
// external programs), the items greyed until a file is loaded, and the fixed
// instrument and volume tables. Texts are CP932 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_model.h"
#include "convert/format_table.h"

namespace mel {

// AppendMenu flags used by the table.
constexpr int kMenuItemString = 0;
constexpr int kMenuItemPopup = 0x10;      // MF_POPUP
constexpr int kMenuItemSeparator = 0x800; // MF_SEPARATOR
constexpr int kMenuSlots = 10;
constexpr int kMenuTextCapacity = 30;

struct MenuRow {
  int level;   // slot of the menu this row is appended to; 0 is the menu bar
  int flags;   // kMenuItem*
  int id;      // command id; 0 for popup titles and separators
  const char* text;
};

// The table, ending with its {0, 0, 0, ""} row.
const std::vector<MenuRow>& main_menu_rows();

// Whatever builds real menus: handles are opaque numbers.
class MenuSink {
 public:
  virtual ~MenuSink() = default;
  virtual intptr_t create_popup() = 0;
  // Appends a string item (id), a separator, or a popup (child) to menu.
  virtual void append(intptr_t menu, int flags, int id, intptr_t child, const char* text) = 0;
};

// Builds the menu into bar (slot 0) following the table: a popup row creates
// a popup, appends it to its level's menu and stores it in the slot named by
// the level of the row after it. Stops at the first row whose flags and id
// are both 0, and ignores rows whose slot holds no menu.
void build_main_menu(MenuSink& sink, intptr_t bar);

// The four top-level titles, by position.
constexpr int kTopLevelMenuCount = 4;

// Create items added by the settings (ids 121..130): the format table's rows
// with a menu text, numbered in their order.
struct CreateItem {
  int id;
  const char* text;
  unsigned placementBits;  // kPlace*: in the File menu when any of them is set
  int outputKind;
};
const std::vector<CreateItem>& create_items();
// The placement bits the settings set (makeddip 1, makedocomo 2, ...).
unsigned create_placement(const ShellSettings& settings);
// True when the item goes before "MMLﾌｧｲﾙ作成" in the File menu, false when
// it goes before "ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ作成" inside "その他ﾌｧｲﾙ作成".
bool create_item_in_file_menu(const CreateItem& item, unsigned placement);
// The OutputKind of a create command id (111 MIDI, 112 MML, 113 playlist,
// 104 copy, 121..130 the table); 0 for other ids.
int output_kind_for_command(int id);

// The ten standard instrument programs of items 271..280 (0-based GM) and the
// volumes of items 293..297.
const std::array<int, 10>& standard_instrument_programs();
const std::array<int, 5>& volume_table();

// One instrument entry of the "楽器選択(&S)" popup after the settings load.
struct InstrumentEntry {
  int id;             // 271..286
  int program;        // 0..127
  std::string text;   // CP932; empty for a standard entry keeps the table text
};
// Entries 271..280 (standard programs, replaced by melody1no..melody10no when
// valid, texts by non-empty melody%dname), then the extra entries 281.. for
// each valid melody11no..melody16no, texted melody%dname or "音色%d".
std::vector<InstrumentEntry> instrument_entries(const ShellSettings& settings);
// The index (0-based, into instrument_entries) whose program equals melody,
// or -1.
int instrument_index_for_program(const std::vector<InstrumentEntry>& entries, int melody);
// The index (0..4) of the volume table entry equal to volume, or -1.
int volume_index_for_value(int volume);

// External programs (ids 152..156): the non-empty app%dfile in order, texted
// app%dname or "外部ソフト%d".
struct ExternalProgram {
  int id;
  std::string path;  // CP932
  std::string text;  // CP932
};
std::vector<ExternalProgram> external_programs(const ShellSettings& settings);

// The commands greyed at start-up, until a file is loaded.
const std::vector<int>& commands_needing_a_file();

// The colour popup: ids 1301..1307 with their texts, then a separator and
// 1308 "ﾗﾝﾀﾞﾑ".
const std::array<const char*, 8>& colour_menu_texts();

}  // namespace mel
