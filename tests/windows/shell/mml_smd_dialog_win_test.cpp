// The MML, MML2MMF and SMD settings dialogs opened by the create commands and
// driven through their controls: OK writes with the typed values (the bytes
// `convert` writes with the same value), Cancel writes and stores nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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
using test::DialogDriver;

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

class TextFormatDialogTest : public MainWindowTest {
 protected:
  // The window with the small song open under a name the tool's narrow
  // command line can carry.
  ShellState& open_song() {
    ShellState& state = open_window();
    write_bytes(song(), two_track_song());
    open_file(state, song());
    return state;
  }
  fs::path song() const { return folder_ / L"song.mid"; }

  // The file the create command of kind writes through the driven dialog.
  std::string create(ShellState& state, int kind, const wchar_t* name) {
    saveAs_ = folder_ / name;
    SendMessageW(state.hwnd, WM_COMMAND, create_command(kind), 0);
    EXPECT_TRUE(fs::exists(saveAs_)) << kind;
    return file_bytes(saveAs_);
  }
  // What `melvarino convert` writes for the song with the arguments added.
  std::string converted(const std::string& to, std::vector<std::string> extra) {
    const fs::path out = folder_ / ("tool." + to);
    std::vector<std::string> args = {"convert", song().string(), "-o", out.string(), "--to", to};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream output, errors;
    EXPECT_EQ(cli::run_cli(args, output, errors), 0) << errors.str();
    return file_bytes(out);
  }
};

TEST_F(TextFormatDialogTest, SmdDialogWritesTheTypedNoteLimitAndTempo) {
  ShellState& state = open_song();
  DialogDriver limit([](HWND dialog, const std::string&) {
    DialogDriver::type(dialog, IDC_SMD_NOTE_LIMIT, "8");
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(create(state, kOutputSmd, L"limited.smd"), converted("smd", {"--set", "smdnum=8"}));
  EXPECT_EQ(state.engine.settings.writers.smdnum, 8);

  DialogDriver tempo([](HWND dialog, const std::string&) {
    SendMessageW(dialog, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_TEMPO_SPIN)));
    EXPECT_EQ(DialogDriver::text(dialog, IDC_TEMPO), "150");  // from the song's 120, shown as 126
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_NE(create(state, kOutputSmd, L"fast.smd").find("\x1B$D!("), std::string::npos);
}

TEST_F(TextFormatDialogTest, MmlDialogsWriteTheTypedKeyTitleAndTempo) {
  ShellState& state = open_song();
  DialogDriver key([](HWND dialog, const std::string&) {
    DialogDriver::type(dialog, IDC_KEY, "3");
    EXPECT_EQ(DialogDriver::text(dialog, IDC_KEY_LOW), "51");  // the song's keys 48..67
    EXPECT_EQ(DialogDriver::text(dialog, IDC_KEY_HIGH), "70");
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(create(state, kOutputMml, L"key.mml"), converted("mml", {"--key", "3"}));

  DialogDriver typed([](HWND dialog, const std::string&) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_MML_RHYTHM_VOICES)));  // no rhythm track
    DialogDriver::type(dialog, IDC_TITLE, "a,b");
    DialogDriver::type(dialog, IDC_TEMPO, "2000");
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(create(state, kOutputMml2Mmf, L"typed.mus").rfind("1[T1024]\r\nC[ST:a\\,b,]\r\n", 0), 0u);
}

TEST_F(TextFormatDialogTest, CancellingATextFormatDialogWritesAndStoresNothing) {
  ShellState& state = open_song();
  saveAs_ = folder_ / L"cancelled.out";
  const int smdnum = state.engine.settings.writers.smdnum;
  DialogDriver driver([](HWND dialog, const std::string&) {
    DialogDriver::type(dialog, IDC_SMD_NOTE_LIMIT, "32");
    DialogDriver::press(dialog, IDCANCEL);
  });
  for (int kind : {kOutputSmd, kOutputMml, kOutputMml2Mmf}) {
    SendMessageW(state.hwnd, WM_COMMAND, create_command(kind), 0);
  }
  EXPECT_EQ(driver.titles(), (std::vector<std::string>{"SMDファイル設定", "MMLファイル設定", "MML2MMFファイル設定"}));
  EXPECT_FALSE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.smdnum, smdnum);
}

}  // namespace
}  // namespace mel
