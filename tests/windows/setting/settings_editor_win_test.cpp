// The settings editor's real window, in this process over a temporary
// settings file, and started by the main window's settings command.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/settings_editor_model.h"
#include "setting/setting_ids.h"
#include "setting/settings_editor_window.h"
#include "shell/model/command_ids.h"
#include "windows/shell/dialog_driver.h"
#include "windows/shell/main_window_fixture.h"

namespace mel {
namespace {

namespace fs = std::filesystem;
using test::DialogDriver;

// The control of a key's row, counted over the pages as the window makes them.
int control_of(const std::string& key) {
  std::size_t row = 0;
  for (const EditorPage& page : settings_editor_pages()) {
    for (const EditorRow& r : page.rows) {
      if (r.key == key) return settings_editor_control_id(row);
      ++row;
    }
  }
  ADD_FAILURE() << key;
  return 0;
}

struct FoundControl {
  int id;
  HWND window;
};

BOOL CALLBACK find_control(HWND child, LPARAM found) {
  auto& control = *reinterpret_cast<FoundControl*>(found);
  if (GetDlgCtrlID(child) != control.id) return TRUE;
  control.window = child;
  return FALSE;
}

// The page that holds a key's control (also in another process), and its id.
struct KeyControl {
  HWND page;
  int id;
};
KeyControl key_control(HWND editor, const std::string& key) {
  FoundControl found{control_of(key), nullptr};
  EnumChildWindows(editor, find_control, reinterpret_cast<LPARAM>(&found));
  EXPECT_NE(found.window, nullptr) << key;
  return {GetParent(found.window), found.id};
}

void type_into(HWND editor, const std::string& key, const std::string& text) {
  const KeyControl c = key_control(editor, key);
  DialogDriver::type(c.page, c.id, text);
}

std::string text_of(HWND editor, const std::string& key) {
  const KeyControl c = key_control(editor, key);
  return DialogDriver::text(c.page, c.id);
}

bool is_editor(HWND dialog) { return GetDlgItem(dialog, IDC_SETTINGS_TABS) != nullptr; }

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

BOOL CALLBACK add_child_text(HWND child, LPARAM texts) {
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  *reinterpret_cast<std::string*>(texts) += narrow(text) + "\n";
  return TRUE;
}

class SettingsEditorWindowTest : public ::testing::Test {
 protected:
  // An unknown key and section, which every save keeps.
  static constexpr char kOriginal[] = "[section]\r\nvolume=100\r\nmine=1\r\n[control]\r\nrecord=0\r\n[other]\r\nx=y\r\n";

  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              (L"melvarino_setting_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial_));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / L"korvani.ini";
    std::ofstream(file_, std::ios::binary) << kOriginal;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
  INT_PTR run_editor() { return run_settings_editor(nullptr, {file_, file_, {}}); }

  fs::path folder_;
  fs::path file_;
  static inline int serial_ = 0;
};

TEST_F(SettingsEditorWindowTest, ApplyAndOkSaveWhatIsTypedAndKeepEveryOtherLine) {
  std::string shown, applied;
  DialogDriver driver([&](HWND dialog, const std::string&) {
    shown = text_of(dialog, "volume");
    type_into(dialog, "volume", "70");
    DialogDriver::press(dialog, IDC_SETTINGS_APPLY);
    applied = read_file(file_);
    type_into(dialog, "volume", "80");
    const KeyControl record = key_control(dialog, "record");
    CheckDlgButton(record.page, record.id, BST_CHECKED);
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(run_editor(), IDOK);
  EXPECT_EQ(driver.titles(), std::vector<std::string>{"MELVARINO 設定"});
  EXPECT_EQ(shown, "100");
  EXPECT_EQ(applied, "[section]\r\nvolume=70\r\nmine=1\r\n[control]\r\nrecord=0\r\n[other]\r\nx=y\r\n");
  EXPECT_EQ(read_file(file_), "[section]\r\nvolume=80\r\nmine=1\r\n[control]\r\nrecord=1\r\n[other]\r\nx=y\r\n");
}

TEST_F(SettingsEditorWindowTest, AValueOutOfRangeIsRefusedWithItsKeyAndRangeAndCancelWritesNothing) {
  std::string message;
  bool stillOpen = false;
  DialogDriver driver([&](HWND dialog, const std::string&) {
    if (!is_editor(dialog)) {  // the message box of the refusal
      EnumChildWindows(dialog, add_child_text, reinterpret_cast<LPARAM>(&message));
      DialogDriver::press(dialog, IDOK);
      return;
    }
    type_into(dialog, "volume", "200");
    type_into(dialog, "key", "3");
    DialogDriver::press(dialog, IDOK);
    stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
    DialogDriver::press(dialog, IDCANCEL);
  });
  EXPECT_EQ(run_editor(), IDCANCEL);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(driver.titles().size(), 2u);
  EXPECT_NE(message.find("(volume)"), std::string::npos) << message;
  EXPECT_NE(message.find("0〜127"), std::string::npos) << message;
  EXPECT_EQ(read_file(file_), kOriginal);
}

// Started by the window as a program of its own: named after the
// MainWindowProcess tests so that it runs alone, looking at the desktop.
class MainWindowProcessSettings : public test_window::MainWindowTest {};

struct FoundEditor {
  HWND window = nullptr;
  DWORD process = 0;
};

BOOL CALLBACK find_other_process_editor(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() || test_window::window_text(window) != "MELVARINO 設定") return TRUE;
  *reinterpret_cast<FoundEditor*>(found) = {window, process};
  return FALSE;
}

TEST_F(MainWindowProcessSettings, TheSettingsCommandStartsTheEditorOnTheWindowsFileAndTheWindowTakesItsSave) {
  write_settings("[section]\r\nvolume=77\r\n");
  ShellState& state = open_window();
  ASSERT_TRUE(fs::exists(program_folder() / L"setting.exe"));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSettingsProgram, 0);
  FoundEditor editor;
  ASSERT_TRUE(test_window::pump_until([&] {
    EnumWindows(find_other_process_editor, reinterpret_cast<LPARAM>(&editor));
    // Shown once its rows are made and filled.
    return editor.window != nullptr && IsWindowVisible(editor.window);
  }));
  EXPECT_TRUE(messages_.empty());
  // It reads the file the window was told to use.
  EXPECT_EQ(text_of(editor.window, "volume"), "77");

  type_into(editor.window, "volume", "90");
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, editor.process);
  ASSERT_NE(process, nullptr);
  PostMessageW(editor.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForSingleObject(process, test_window::kPumpTimeoutMs), WAIT_OBJECT_0);
  CloseHandle(process);
  EXPECT_EQ(read_file(folder_ / L"korvani.ini"), "[section]\r\nvolume=90\r\n");
  // The window reads the file again, so its own save keeps the new value.
  EXPECT_TRUE(test_window::pump_until([&] { return state.settings.volume == 90; }));
}

}  // namespace
}  // namespace mel
