// The dot-i / MOZiO, ALS and pana settings dialogs opened for real by their
// create items: values typed into controls reach the file and the settings on
// OK; Cancel writes and stores nothing.
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

namespace mel::test_window {
namespace {

using test::DialogDriver;

std::string bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class MelodyFormatDialogWinTest : public MainWindowTest {
 protected:
  // The song under an ASCII name, which the tool's arguments carry unchanged.
  ShellState& open_song(const std::wstring& saveAs) {
    song_ = folder_ / L"song.mid";
    write_bytes(song_, two_track_song());
    ShellState& state = open_window();
    open_file(state, song_);
    saveAs_ = folder_ / saveAs;
    return state;
  }
  // Runs the create item of kind with handler on its dialog.
  void create(ShellState& state, int kind, const DialogDriver::Handler& handler) {
    DialogDriver driver(handler);
    for (const CreateItem& item : create_items()) {
      if (item.outputKind == kind) SendMessageW(state.hwnd, WM_COMMAND, item.id, 0);
    }
    EXPECT_EQ(driver.titles().size(), 1u);
  }
  static void cancel(HWND dialog, const std::string&) { DialogDriver::press(dialog, IDCANCEL); }
  // What `melvarino convert` writes for the song with these arguments.
  std::string converted(std::vector<std::string> args) {
    const fs::path out = folder_ / L"tool.out";
    args.insert(args.begin(), {"convert", song_.string(), "-o", out.string()});
    std::ostringstream text, err;
    EXPECT_EQ(cli::run_cli(args, text, err), 0) << err.str();
    return bytes_of(out);
  }
};

TEST_F(MelodyFormatDialogWinTest, DotiNoteLimitReachesAMozioFileAndMmdnum) {
  ShellState& state = open_song(L"out.mel");
  create(state, kOutputDotI, cancel);
  EXPECT_FALSE(fs::exists(saveAs_));
  create(state, kOutputDotI, [](HWND dialog, const std::string& title) {
    EXPECT_EQ(title, "ドットi/MOZiOファイル設定");
    DialogDriver::type(dialog, IDC_DOTI_NOTE_LIMIT, "3");
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(state.engine.settings.writers.mmdnum, 3);
  EXPECT_EQ(bytes_of(saveAs_), converted({"--to", "mel", "--set", "mmdnum=3"}));
}

TEST_F(MelodyFormatDialogWinTest, AlsChordOptionAndNoteLimitReachTheFileAndTheSettingsFile) {
  ShellState& state = open_song(L"out.als");
  create(state, kOutputAls, [](HWND dialog, const std::string&) {
    DialogDriver::press(dialog, IDC_ALS_CHORDS);
    DialogDriver::type(dialog, IDC_ALS_NOTE_LIMIT, "7");
    DialogDriver::press(dialog, IDCANCEL);
  });
  EXPECT_FALSE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.alshmn, 1);
  EXPECT_EQ(state.engine.settings.writers.alsnum, 128);
  std::string lowest;
  create(state, kOutputAls, [&lowest](HWND dialog, const std::string&) {
    DialogDriver::press(dialog, IDC_ALS_CHORDS);
    lowest = DialogDriver::text(dialog, IDC_KEY_LOW);  // shown at once: the bass counts now
    DialogDriver::type(dialog, IDC_KEY, "14");
    DialogDriver::type(dialog, IDC_ALS_NOTE_LIMIT, "7");
    DialogDriver::press(dialog, IDOK);
  });
  EXPECT_EQ(lowest, "60");  // bass 48 + the key 12 fitted over the melody alone
  EXPECT_EQ(state.engine.settings.writers.alshmn, 3);
  EXPECT_EQ(state.engine.settings.writers.alsnum, 7);
  // Key 14 lies in the valid range, so `convert` keeps it as the dialog did.
  EXPECT_EQ(bytes_of(saveAs_), converted({"--to", "als", "--key", "14", "--set", "alshmn=3", "--set", "alsnum=7"}));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveSettings, 0);
  EXPECT_NE(bytes_of(folder_ / L"korvani.ini").find("alsnum=7"), std::string::npos);
}

TEST_F(MelodyFormatDialogWinTest, PanaInstrumentAndMelodyFileName) {
  ShellState& state = open_song(L"out.pmd");
  create(state, kOutputPana, cancel);
  EXPECT_FALSE(fs::exists(saveAs_));
  create(state, kOutputPana, [](HWND dialog, const std::string&) {
    DialogDriver::type(dialog, IDC_PANA_INSTRUMENT, "9(口笛)");
    DialogDriver::press(dialog, IDC_PANA_MELODY_NAME);
    DialogDriver::press(dialog, IDOK);
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
