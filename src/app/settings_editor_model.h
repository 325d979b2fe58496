// The settings editor (setting.exe): every key of the settings file on one of
// a few pages, each with a Japanese label, the values it accepts and the text
// it shows. The editor shows what the window would use (values read through
// load_settings), refuses a value out of range or not a number before
// anything is written, and writes only the keys whose value was changed:
// every other line of the file, keys it does not know included, stays as it
// was. Texts are CP932 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_model.h"

namespace mel {

enum class EditorRowKind {
  Number,  // an edit box for a whole number within minValue..maxValue
  Check,   // a check box: 0 or 1
  Text,    // an edit box for at most maxValue bytes of text
};

// The numbered keys, which live in arrays of ShellSettings.
enum class NumberedKey { None, InstrumentProgram, InstrumentName, ProgramFile, ProgramName };

struct EditorRow {
  const char* section = kBehaviourSection;
  std::string key;
  std::string label;
  EditorRowKind kind = EditorRowKind::Number;
  int minValue = 0;
  int maxValue = 0;
  // An empty box stands for "not set" (written as blankValue).
  bool blankAllowed = false;
  int blankValue = 0;
  int ShellSettings::*field = nullptr;  // the integer keys
  NumberedKey numbered = NumberedKey::None;
  int number = 0;  // 1-based, for the numbered keys
};

struct EditorPage {
  std::string title;
  std::vector<EditorRow> rows;
};

// Every page in order; every key of the file is on exactly one of them.
const std::vector<EditorPage>& settings_editor_pages();

// What the editor shows beside a number box: "(0〜127)", with "空欄可"
// where an empty box is allowed; empty for check boxes and texts.
std::string editor_range_text(const EditorRow& row);

class SettingsEditorModel {
 public:
  // A refused value: the row (numbered across the pages in order) and the
  // message that names its key and range.
  struct Refusal {
    std::size_t row = 0;
    std::string message;
  };

  // file: the settings file as read; systemVersion: GetVersion() (the start
  // value of `win2000`).
  SettingsEditorModel(IniProfile file, uint32_t systemVersion);

  std::size_t row_count() const { return rows_.size(); }
  const EditorRow& row(std::size_t index) const { return *rows_[index]; }
  // The index of the row of a key (ASCII case as in the table).
  std::optional<std::size_t> find_row(const std::string& key) const;

  // What the row's control shows ("0"/"1" for a check box); set_text takes
  // what the user typed or clicked.
  const std::string& text(std::size_t index) const { return typed_[index]; }
  void set_text(std::size_t index, const std::string& text);

  // Whether a row holds a value other than the one shown at first (a
  // refused value counts as a change).
  bool changed() const;
  // The first row whose value cannot be saved, in page order.
  std::optional<Refusal> check() const;
  // Writes every changed row into the file (nothing when a row is refused)
  // and shows the file's values again as the window reads them. Returns the
  // refusal.
  std::optional<Refusal> apply();
  // apply(), then the file to path (its folder created) when something
  // changed. False with no refusal: the file could not be written.
  bool save(const std::filesystem::path& path, std::optional<Refusal>& refused);

  const IniProfile& file() const { return file_; }

 private:
  std::optional<std::string> canonical(std::size_t index) const;
  void show_file();

  IniProfile file_;
  uint32_t systemVersion_;
  std::vector<const EditorRow*> rows_;
  std::vector<std::string> shown_;  // as read, or as last written
  std::vector<std::string> typed_;
};

}  // namespace mel
