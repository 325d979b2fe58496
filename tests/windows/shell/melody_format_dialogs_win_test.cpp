// The dot-i / MOZiO, ALS and pana settings dialogs opened for real by their
// create items: a value typed into a control reaches the written file and the
// settings on OK, and Cancel writes nothing and stores nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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

namespace mel::test_window {
namespace {

class MelodyFormatDialogWinTest : public MainWindowTest {
 protected:
  // Runs the create item of kind with the driver's handler on its dialog.
  void create(ShellState& state, int kind, const test::DialogDriver::Handler& handler) {
    test::DialogDriver driver(handler);
    for (const CreateItem& item : create_items()) {
      if (item.outputKind == kind) SendMessageW(state.hwnd, WM_COMMAND, item.id, 0);
    }
    ASSERT_EQ(driver.titles().size(), 1u);
  }
  // What `melvarino convert` writes for the song with these extra arguments.
  std::string converted(const std::vector<std::string>& extra) {
    const fs::path out = folder_ / L"tool.out";
    std::vector<std::string> args = {"convert", song_.string(), "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream text, err;
    EXPECT_EQ(cli::run_cli(args, text, err), 0) << err.str();
    return bytes_of(out);
  }
  static std::string bytes_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static test::DialogDriver::Handler cancel() {
    return [](HWND dialog, const std::string&) { test::DialogDriver::press(dialog, IDCANCEL); };
  }
};

TEST_F(MelodyFormatDialogWinTest, DotiNoteLimitReachesAMozioFileAndMmdnum) {
  ShellState& state = open_window();
  open_file(state, song_);
  saveAs_ = folder_ / L"out.mel";
  create(state, kOutputDotI, cancel());
  EXPECT_FALSE(fs::exists(saveAs_));

  create(state, kOutputDotI, [](HWND dialog, const std::string& title) {
    EXPECT_EQ(title, "ドットi/MOZiOファイル設定");
    test::DialogDriver::type(dialog, IDC_DOTI_NOTE_LIMIT, "3");
    test::DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(state.engine.settings.writers.mmdnum, 3);
  EXPECT_EQ(bytes_of(saveAs_), converted({"--to", "mel", "--set", "mmdnum=3"}));
  EXPECT_EQ(bytes_of(saveAs_).rfind("<MEL=0,", 0), 0u);
}

TEST_F(MelodyFormatDialogWinTest, AlsChordOptionAndNoteLimitReachTheFileAndTheSettingsFile) {
  ShellState& state = open_window();
  open_file(state, song_);
  saveAs_ = folder_ / L"out.als";
  create(state, kOutputAls, [](HWND dialog, const std::string&) {
    test::DialogDriver::press(dialog, IDC_ALS_CHORDS);
    test::DialogDriver::type(dialog, IDC_ALS_NOTE_LIMIT, "7");
    test::DialogDriver::press(dialog, IDCANCEL);
  });
  EXPECT_FALSE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.alshmn, 1);
  EXPECT_EQ(state.engine.settings.writers.alsnum, 128);

  std::string range;
  create(state, kOutputAls, [&range](HWND dialog, const std::string&) {
    test::DialogDriver::press(dialog, IDC_ALS_CHORDS);
    range = test::DialogDriver::text(dialog, IDC_KEY_LOW);  // shown at once: the bass counts
    test::DialogDriver::type(dialog, IDC_KEY, "14");
    test::DialogDriver::type(dialog, IDC_ALS_NOTE_LIMIT, "7");
    test::DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(range, "60");  // bass 48 + the key 12 fitted over the melody alone
  EXPECT_EQ(state.engine.settings.writers.alshmn, 3);
  EXPECT_EQ(state.engine.settings.writers.alsnum, 7);
  // Key 14 lies in the valid range, so `convert` keeps it as the dialog did.
  EXPECT_EQ(bytes_of(saveAs_), converted({"--to", "als", "--key", "14", "--set", "alshmn=3", "--set", "alsnum=7"}));

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveSettings, 0);
  const std::string ini = bytes_of(folder_ / L"korvani.ini");
  EXPECT_NE(ini.find("alsnum=7"), std::string::npos) << ini;
}

TEST_F(MelodyFormatDialogWinTest, PanaInstrumentAndMelodyFileName) {
  ShellState& state = open_window();
  open_file(state, song_);
  saveAs_ = folder_ / L"out.pmd";
  create(state, kOutputPana, cancel());
  EXPECT_FALSE(fs::exists(saveAs_));

  create(state, kOutputPana, [](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_PANA_INSTRUMENT, "9(口笛)");
    test::DialogDriver::press(dialog, IDC_PANA_MELODY_NAME);
    test::DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(proposedSaveName_.filename(), fs::path(L"melody.pmd"));
  EXPECT_EQ(state.engine.settings.writers.panaMelodyFileName, 1);
  // `convert` writes the empty box's instrument bytes 1, 3, 0; the whistle is 1, 4, 12.
  std::string expected = converted({"--to", "pmd-pana"});
  ASSERT_NE(expected.find(std::string{0x40, 3, 1, 3, 0}), std::string::npos);
  for (char tag : {0x40, 0x41, 0x42}) {
    const std::size_t at = expected.find(std::string{tag, 3, 1, 3, 0});
    if (at != std::string::npos) expected.replace(at, 5, std::string{tag, 3, 1, 4, 12});
  }
  EXPECT_EQ(bytes_of(saveAs_), expected);
}

}  // namespace
}  // namespace mel::test_window
