#include "app/settings_editor_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/file_io.h"

namespace mel {
namespace {

std::size_t row_of(const SettingsEditorModel& editor, const std::string& key) {
  const std::optional<std::size_t> row = editor.find_row(key);
  EXPECT_TRUE(row.has_value()) << key;
  return row.value_or(0);
}

TEST(SettingsEditorModel, EveryKeyOfTheFileIsOnExactlyOnePageWithALabel) {
  std::map<std::string, int> pagesOf;
  for (const EditorPage& page : settings_editor_pages()) {
    EXPECT_FALSE(page.title.empty());
    for (const EditorRow& row : page.rows) {
      ++pagesOf[row.key];
      EXPECT_FALSE(row.label.empty()) << row.key;
      if (row.kind == EditorRowKind::Number) {
        EXPECT_FALSE(editor_range_text(row).empty()) << row.key;
      }
    }
  }
  for (const auto& [key, count] : pagesOf) EXPECT_EQ(count, 1) << key;
  for (const SettingsIntKey& key : settings_int_keys()) EXPECT_EQ(pagesOf.count(key.key), 1u) << key.key;
  for (const OptionInfo& option : option_table()) {
    if (option.settingsKey) {
      EXPECT_EQ(pagesOf.count(option.settingsKey), 1u) << option.settingsKey;
    }
  }
  for (const char* key : {"melody1no", "melody16no", "melody1name", "melody16name", "app1file", "app5file", "app1name",
                          "app5name"}) {
    EXPECT_EQ(pagesOf.count(key), 1u) << key;
  }
}

struct TypedValue {
  const char* key;
  std::string typed;
  bool accepted;
};

class SettingsEditorRanges : public ::testing::TestWithParam<TypedValue> {};

// A refused value names its key and range, and nothing at all is written;
// an accepted one is written as "%d" (or as typed, for texts).
TEST_P(SettingsEditorRanges, RefusesWhatTheWindowWouldNotKeep) {
  const TypedValue& value = GetParam();
  const std::string original = "[section]\r\nvolume=90\r\nmelody3no=5\r\n";
  SettingsEditorModel editor(IniProfile(original), 0);
  const std::size_t row = row_of(editor, value.key);
  editor.set_text(row, value.typed);
  const std::optional<SettingsEditorModel::Refusal> refused = editor.apply();
  if (value.accepted) {
    EXPECT_FALSE(refused) << refused->message;
    EXPECT_NE(editor.file().text(), original);
    return;
  }
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->row, row);
  EXPECT_NE(refused->message.find(std::string("(") + value.key + ")"), std::string::npos) << refused->message;
  const EditorRow& r = editor.row(row);
  if (r.kind == EditorRowKind::Number) {
    const std::string range = std::to_string(r.minValue) + "〜" + std::to_string(r.maxValue);
    EXPECT_NE(refused->message.find(range), std::string::npos) << refused->message;
  }
  EXPECT_EQ(editor.file().text(), original);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsEditorRanges,
    ::testing::Values(TypedValue{"volume", "127", true}, TypedValue{"volume", "128", false},
                      TypedValue{"volume", "-1", false}, TypedValue{"volume", "abc", false},
                      TypedValue{"volume", "", false}, TypedValue{"volume", "12x", false},
                      TypedValue{"key", "-24", true}, TypedValue{"key", "-25", false},
                      TypedValue{"speed", "0", false}, TypedValue{"giziwaon", "4", false},
                      TypedValue{"mldbyte", "184320", true}, TypedValue{"mldbyte", "184321", false},
                      TypedValue{"dxmhmn", "3", false}, TypedValue{"dispcolor", "0", false},
                      TypedValue{"recmode", "1104", true}, TypedValue{"melody3no", " ", true},
                      TypedValue{"melody3no", "128", false}, TypedValue{"app1name", std::string(255, 'a'), true},
                      TypedValue{"app1name", std::string(256, 'a'), false},
                      TypedValue{"volume", "99999999999999999999", false}));

TEST(SettingsEditorModel, SavingChangesOnlyTheEditedKeyAndKeepsEverythingElse) {
  // Unknown keys and sections, a comment, an out-of-range value the window
  // replaces (key=25) and a CP932 name.
  const std::string original =
      "; by hand\r\n[control]\r\nscroll=0\r\n[section]\r\nkey=25\r\nvolume=100\r\nmelody1name=ギター\r\n"
      "future=7\r\n[mine]\r\na=b\r\n";
  SettingsEditorModel editor(IniProfile(original), 0);
  EXPECT_EQ(editor.text(row_of(editor, "key")), "0");  // what the window uses
  EXPECT_EQ(editor.text(row_of(editor, "melody1name")), "ギター");
  EXPECT_FALSE(editor.changed());

  editor.set_text(row_of(editor, "volume"), " 080 ");
  ASSERT_FALSE(editor.apply());
  EXPECT_EQ(editor.file().text(),
            "; by hand\r\n[control]\r\nscroll=0\r\n[section]\r\nkey=25\r\nvolume=80\r\nmelody1name=ギター\r\n"
            "future=7\r\n[mine]\r\na=b\r\n");
  EXPECT_EQ(editor.text(row_of(editor, "volume")), "80");
  EXPECT_FALSE(editor.changed());
}

TEST(SettingsEditorModel, MissingKeysGoToTheirSectionsAndAnEmptyInstrumentIsNone) {
  SettingsEditorModel editor(IniProfile("[section]\r\nmelody2no=30\r\n"), 0);
  EXPECT_EQ(editor.text(row_of(editor, "melody2no")), "30");
  EXPECT_EQ(editor.text(row_of(editor, "melody3no")), "");
  editor.set_text(row_of(editor, "melody2no"), "");
  editor.set_text(row_of(editor, "record"), "1");
  ASSERT_FALSE(editor.apply());
  EXPECT_EQ(editor.file().text(), "[section]\r\nmelody2no=-1\r\n\r\n[control]\r\nrecord=1\r\n");
  EXPECT_EQ(editor.text(row_of(editor, "melody2no")), "");
}

TEST(SettingsEditorModel, ShowsTheValuesAgainAsTheWindowReadsThem) {
  // The sixteenth-note grid counts only with rest merging: clearing the one
  // shows the other cleared too.
  SettingsEditorModel editor(IniProfile("[section]\r\nrelnflg=1\r\nl16nouse=1\r\n"), 0);
  EXPECT_EQ(editor.text(row_of(editor, "l16nouse")), "1");
  editor.set_text(row_of(editor, "relnflg"), "0");
  ASSERT_FALSE(editor.apply());
  EXPECT_EQ(editor.text(row_of(editor, "l16nouse")), "0");
}

TEST(SettingsEditorModel, SaveMakesTheFolderAndWritesNothingWhenNothingChanged) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "melvarino_editor_save_test";
  std::filesystem::remove_all(folder);
  const std::filesystem::path file = folder / "MELVARINO" / "korvani.ini";
  SettingsEditorModel editor(IniProfile(), 0);
  std::optional<SettingsEditorModel::Refusal> refused;
  EXPECT_TRUE(editor.save(file, refused));
  EXPECT_FALSE(std::filesystem::exists(file));

  editor.set_text(row_of(editor, "loop"), "1");
  EXPECT_TRUE(editor.save(file, refused));
  EXPECT_FALSE(refused);
  EXPECT_EQ(IniProfile::from_file(file).get_int("section", "loop", 0), 1);

  editor.set_text(row_of(editor, "files"), "0");
  EXPECT_FALSE(editor.save(file, refused));
  ASSERT_TRUE(refused);
  EXPECT_EQ(IniProfile::from_file(file).get_int("section", "files", 255), 255);

  // A file stands where the folder would be: the failure is reported, not a refusal.
  editor.set_text(row_of(editor, "files"), "20");
  EXPECT_FALSE(editor.save(file / "korvani.ini", refused));
  EXPECT_FALSE(refused);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace mel
