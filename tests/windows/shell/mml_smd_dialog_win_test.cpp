// The MML, MML2MMF and SMD settings dialogs opened for real by the create
// commands and driven through their controls: OK writes with the typed
// values (the bytes `convert` writes with the same value), Cancel writes
// nothing and stores nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "app/dialogs/dialog_ids.h"
#include "cli/cli_app.h"
#include "score/format_codes.h"
#include "shell/model/command_ids.h"
#include "shell/model/menu_model.h"
#include "windows/shell/dialog_driver.h"
#include "windows/shell/main_window_fixture.h"

namespace mel {
namespace {

using namespace test_window;

int create_command(int kind) {
  for (const CreateItem& item : create_items()) {
    if (item.outputKind == kind) return item.id;
  }
  return output_kind_for_command(cmd::kCreateMml) == kind ? cmd::kCreateMml : 0;
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What `melvarino convert` writes for the song with the given arguments added.
std::string converted(const fs::path& song, const fs::path& out, const std::string& to,
                      const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"convert", song.string(), "-o", out.string(), "--to", to};
  args.insert(args.end(), extra.begin(), extra.end());
  std::ostringstream output, errors;
  EXPECT_EQ(cli::run_cli(args, output, errors), 0) << errors.str();
  return file_bytes(out);
}

void spin_up(HWND dialog, int spinId) {
  SendMessageW(dialog, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(GetDlgItem(dialog, spinId)));
}

class TextFormatDialogTest : public MainWindowTest {
 protected:
  // The window with the small song open, under a name the tool's narrow
  // command line can carry.
  ShellState& open_song() {
    ShellState& state = open_window();
    write_bytes(song(), two_track_song());
    open_file(state, song());
    return state;
  }
  fs::path song() const { return folder_ / L"song.mid"; }
};

TEST_F(TextFormatDialogTest, SmdDialogWritesTheTypedNoteLimitAndStoresIt) {
  ShellState& state = open_song();
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_SMD_NOTE_LIMIT, "8");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"limited.smd";
  SendMessageW(state.hwnd, WM_COMMAND, create_command(kOutputSmd), 0);
  ASSERT_EQ(driver.titles(), std::vector<std::string>{"SMDファイル設定"});
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.smdnum, 8);
  EXPECT_EQ(file_bytes(saveAs_), converted(song(), folder_ / L"tool.smd", "smd", {"--set", "smdnum=8"}));

  // The tempo spin moves from the song's 120 (shown as 126) to 150: "!(".
  test::DialogDriver tempo([](HWND dialog, const std::string&) {
    spin_up(dialog, IDC_TEMPO_SPIN);
    EXPECT_EQ(test::DialogDriver::text(dialog, IDC_TEMPO), "150");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"fast.smd";
  SendMessageW(state.hwnd, WM_COMMAND, create_command(kOutputSmd), 0);
  EXPECT_NE(file_bytes(saveAs_).find("\x1B$D!("), std::string::npos);
}

TEST_F(TextFormatDialogTest, CancellingATextFormatDialogWritesAndStoresNothing) {
  ShellState& state = open_song();
  saveAs_ = folder_ / L"cancelled.out";
  const int smdnum = state.engine.settings.writers.smdnum;
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_SMD_NOTE_LIMIT, "32");
    test::DialogDriver::press(dialog, IDCANCEL);
  });
  for (int kind : {kOutputSmd, kOutputMml, kOutputMml2Mmf}) {
    SendMessageW(state.hwnd, WM_COMMAND, create_command(kind), 0);
  }
  EXPECT_EQ(driver.titles(), (std::vector<std::string>{"SMDファイル設定", "MMLファイル設定", "MML2MMFファイル設定"}));
  EXPECT_FALSE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.smdnum, smdnum);
  EXPECT_TRUE(state.playlist.lastCreated.empty());
}

TEST_F(TextFormatDialogTest, MmlDialogWritesTheTypedKey) {
  ShellState& state = open_song();
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    EXPECT_EQ(test::DialogDriver::text(dialog, IDC_KEY_HINT), "(キー有効値 2～127)");
    test::DialogDriver::type(dialog, IDC_KEY, "3");
    // The range follows the typed key: the song's keys 48..67.
    EXPECT_EQ(test::DialogDriver::text(dialog, IDC_KEY_LOW), "51");
    EXPECT_EQ(test::DialogDriver::text(dialog, IDC_KEY_HIGH), "70");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"key.mml";
  SendMessageW(state.hwnd, WM_COMMAND, create_command(kOutputMml), 0);
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_EQ(file_bytes(saveAs_), converted(song(), folder_ / L"tool.mml", "mml", {"--key", "3"}));
}

TEST_F(TextFormatDialogTest, Mml2MmfDialogWritesTheTypedTitleAndTempo) {
  ShellState& state = open_song();
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    // The song has no rhythm track: no drum voices to set.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_MML_RHYTHM_VOICES)));
    test::DialogDriver::type(dialog, IDC_TITLE, "a,b");
    test::DialogDriver::type(dialog, IDC_TEMPO, "2000");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"typed.mus";
  SendMessageW(state.hwnd, WM_COMMAND, create_command(kOutputMml2Mmf), 0);
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_EQ(file_bytes(saveAs_).rfind("1[T1024]\r\nC[ST:a\\,b,]\r\n", 0), 0u);
}

}  // namespace
}  // namespace mel
