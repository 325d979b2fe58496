// The chara and WAM settings dialogs opened for real by the create command:
// values set through their controls reach the written file; Cancel writes
// nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/dialogs/dialog_ids.h"
#include "score/format_codes.h"
#include "shell/model/menu_model.h"
#include "windows/shell/dialog_driver.h"
#include "windows/shell/main_window_fixture.h"

namespace mel {
namespace {

using namespace test_window;

int create_command(int outputKind) {
  for (const CreateItem& item : create_items()) {
    if (item.outputKind == outputKind) return item.id;
  }
  return 0;
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void spin_down(HWND dialog, int spinId) {
  SendMessageW(dialog, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(GetDlgItem(dialog, spinId)));
}

class OnePartDialogWinTest : public MainWindowTest {
 protected:
  // Runs the create command of the kind, first cancelling its dialog, then
  // with the handler in it, and gives the written file's bytes.
  std::string create(int outputKind, const fs::path& name, test::DialogDriver::Handler handler) {
    ShellState& state = open_window();
    open_file(state, song_);
    saveAs_ = folder_ / name;
    {
      test::DialogDriver cancel([](HWND dialog, const std::string&) {
        test::DialogDriver::type(dialog, IDC_TEMPO, "60");
        test::DialogDriver::press(dialog, IDCANCEL);
      });
      SendMessageW(state.hwnd, WM_COMMAND, create_command(outputKind), 0);
      EXPECT_EQ(cancel.titles().size(), 1u);
      EXPECT_FALSE(fs::exists(saveAs_));
    }
    test::DialogDriver driver(std::move(handler));
    SendMessageW(state.hwnd, WM_COMMAND, create_command(outputKind), 0);
    EXPECT_EQ(driver.titles().size(), 1u);
    return fs::exists(saveAs_) ? file_bytes(saveAs_) : std::string();
  }
};

TEST_F(OnePartDialogWinTest, CharaDialogCancelledWritesNothingConfirmedWritesItsValues) {
  std::string keyRange;
  const std::string text = create(kOutputChara, L"typed.cmd", [&keyRange](HWND dialog, const std::string& title) {
    EXPECT_EQ(title, "きゃらメロディー設定");
    EXPECT_EQ(test::DialogDriver::text(dialog, IDC_TEMPO), "126");  // 120 rounded up to the table
    keyRange = test::DialogDriver::text(dialog, IDC_KEY_LOW) + "-" + test::DialogDriver::text(dialog, IDC_KEY_HIGH);
    test::DialogDriver::type(dialog, IDC_CHARA_HEADER_MARK, "*6*6");
    spin_down(dialog, IDC_TEMPO_SPIN);  // 114: code 5
    test::DialogDriver::type(dialog, IDC_ONE_PART_NOTE_LIMIT, "2");
    test::DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(keyRange, "84-91");  // keys 60..67 fitted up two octaves
  const std::string head = "さくら\r\n*6*65";
  ASSERT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.size(), head.size() + 2 * 3);  // two notes of three characters
}

TEST_F(OnePartDialogWinTest, WamDialogCancelledWritesNothingConfirmedWritesItsValues) {
  const std::string file = create(kOutputWam, L"typed.wam", [](HWND dialog, const std::string& title) {
    EXPECT_EQ(title, "WAMファイル設定");
    test::DialogDriver::type(dialog, IDC_TITLE, "abc");
    test::DialogDriver::type(dialog, IDC_ONE_PART_NOTE_LIMIT, "99");  // above 64: all 64 slots
    test::DialogDriver::type(dialog, IDC_END, "4");                   // the first quarter note only
    test::DialogDriver::press(dialog, IDOK);
  });
  ASSERT_EQ(file.size(), 18u + 3 + 1 + 128 + 3);
  EXPECT_EQ(file.substr(16, 5), std::string("\x03\x00" "abc", 5));  // character count, title
  const std::size_t pitches = 18 + 3 + 1;
  EXPECT_NE(file[pitches], 0);
  EXPECT_EQ(file[pitches + 1], 0);
}

}  // namespace
}  // namespace mel
