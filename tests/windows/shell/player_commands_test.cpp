// The player's commands in the window: key and tempo buttons, the track
// panel with Ctrl and Shift, the keyboard, the position scroll bar, moves and
// loops through a playlist on the built-in sequencer's sped-up clock, files
// dropped on the window, playlists and folders, the clipboard, and the
// promise to close after playing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "controls/cg_button.h"
#include "formats/mfi/mail_text.h"
#include "shell/win32/shell_menu.h"
#include "windows/shell/dialog_driver.h"
#include "windows/shell/main_window_fixture.h"

namespace mel {
namespace {

using namespace test_window;

// A song of `quarters` quarter notes at 120 per minute (4 sixteenths each).
Bytes song_of_quarters(int quarters) {
  TrackBuilder conductor;
  conductor.track_name(0, "long").tempo_bpm(0, 120).end();
  TrackBuilder melody;
  for (int i = 0; i < quarters; ++i) melody.note_on(0, 0, 60 + i % 12).note_off(480, 0, 60 + i % 12);
  melody.end();
  return MidiFileBuilder(1, 480).track(conductor).track(melody).bytes();
}

// Holds the modifier keys down, as the thread's key state says, while it lives.
class HeldKeys {
 public:
  HeldKeys(std::initializer_list<int> keys) {
    GetKeyboardState(saved_);
    BYTE state[256];
    GetKeyboardState(state);
    for (int key : keys) state[key] = 0x80;
    SetKeyboardState(state);
  }
  ~HeldKeys() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

LPARAM key_lparam(int scanCode) { return static_cast<LPARAM>(scanCode) << 16; }

class PlayerCommandsTest : public MainWindowTest {
 protected:
  ShellState& open_song(const std::string& settings = "") {
    write_settings("[section]\r\nautoplay=0\r\n" + settings);
    return open_window(song_.wstring());
  }

  // The button is pressed and let go the way the bitmap button reports it.
  void press(ShellState& state, int id) {
    HWND button = GetDlgItem(state.hwnd, id);
    SendMessageW(state.hwnd, kCgNotifyPressed, id, reinterpret_cast<LPARAM>(button));
  }
  void release(ShellState& state, int id) {
    SendMessageW(state.hwnd, WM_COMMAND, id, reinterpret_cast<LPARAM>(GetDlgItem(state.hwnd, id)));
  }
  void click_panel(ShellState& state, int id) {
    SendMessageW(state.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(state.hwnd, id)));
  }
  bool checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

TEST_F(PlayerCommandsTest, KeyButtonsStepRepeatWhileHeldAndStopAtTheLimit) {
  ShellState& state = open_song();
  PlaybackOptions& play = state.engine.settings.play;
  press(state, cmd::kKeyUp);
  EXPECT_EQ(window_text(state.controls.counter), "key 1");
  // Held: the repeat timer goes on until the key stands at two octaves.
  ASSERT_TRUE(pump_until([&] { return play.KeyOffset == 24; }));
  release(state, cmd::kKeyUp);
  pump_for(300);  // released: no more repeats, and the text stays
  EXPECT_EQ(window_text(state.controls.counter), "key 24");
  {
    HeldKeys ctrl{VK_CONTROL};  // an octave with Ctrl
    press(state, cmd::kKeyDown);
    release(state, cmd::kKeyDown);
  }
  EXPECT_EQ(play.KeyOffset, 12);
  press(state, cmd::kTempoUp);
  release(state, cmd::kTempoUp);
  EXPECT_EQ(window_text(state.controls.counter), "speed 1.12");
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);
}

TEST_F(PlayerCommandsTest, AKeyChangeWhilePlayingPausesAndPlaysOnWithTheNewFile) {
  ShellState& state = open_song();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_TRUE(pump_until([&] { return state.playback.player->position() >= 8; }));
  press(state, cmd::kTempoDown);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Paused);
  const long position = state.playback.player->position();
  release(state, cmd::kTempoDown);
  EXPECT_EQ(state.engine.settings.play.SpeedFactor, 15);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  state.playback.player->poll_position();
  EXPECT_GE(state.playback.player->position(), position);
  EXPECT_EQ(state.playback.endOfPlaybackSignals, 0);  // a pause, not a stop
  // The press ended the promise to close after playing.
  EXPECT_EQ(state.display.controlFlags & kFlagExitAfterPlay, 0u);
}

TEST_F(PlayerCommandsTest, TrackButtonsFollowCtrlAndShiftClicks) {
  ShellState& state = open_song("addtrac=0\r\n");
  PlaybackOptions& play = state.engine.settings.play;
  ASSERT_GE(state.engine.song.trackCount, 2);
  click_panel(state, cmd::kTrackFirst + 1);  // track 2 alone
  EXPECT_EQ(play.TrackSelection, 2);
  EXPECT_TRUE(checked(state.controls.trackButtons[1]));
  EXPECT_FALSE(checked(state.controls.allTracksButton));
  {
    HeldKeys ctrl{VK_CONTROL};
    click_panel(state, cmd::kTrackFirst);  // Ctrl adds track 1
  }
  EXPECT_EQ(play.TrackMask, 3u);
  EXPECT_EQ(play.TrackSelection, 1);
  EXPECT_TRUE(checked(state.controls.trackButtons[0]));
  click_panel(state, cmd::kAllTracks);
  EXPECT_TRUE(checked(state.controls.allTracksButton));
  click_panel(state, cmd::kTrackFirst);
  {
    HeldKeys shift{VK_SHIFT};
    click_panel(state, cmd::kTrackFirst + 3);  // Shift: tracks 2..4 join track 1
  }
  EXPECT_EQ(play.TrackMask, 0xFu);
  EXPECT_TRUE(checked(state.controls.trackButtons[3]));
  EXPECT_FALSE(checked(state.controls.trackButtons[4]));
}

TEST_F(PlayerCommandsTest, DigitsSpacePeriodAndCtrlLettersPostTheirCommands) {
  write_bytes(folder_ / L"two.mid", two_track_song());
  write_settings("[section]\r\nautoplay=0\r\naddtrac=0\r\n");
  ShellState& state = open_window(song_.wstring() + L" " + (folder_ / L"two.mid").wstring());
  PlaybackOptions& play = state.engine.settings.play;
  SendMessageW(state.hwnd, WM_KEYDOWN, '2', key_lparam(3));
  pump_messages();
  EXPECT_EQ(play.TrackSelection, 2);
  SendMessageW(state.hwnd, WM_KEYDOWN, '0', key_lparam(11));
  pump_messages();
  EXPECT_EQ(play.TrackSelection, 0);

  SendMessageW(state.hwnd, WM_KEYDOWN, VK_SPACE, key_lparam(57));
  pump_messages();
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  SendMessageW(state.hwnd, WM_KEYDOWN, VK_SPACE, key_lparam(57));
  pump_messages();
  EXPECT_EQ(state.playback.player->state(), PlayerState::Paused);
  SendMessageW(state.hwnd, WM_KEYDOWN, VK_OEM_PERIOD, key_lparam(52));
  pump_messages();
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);

  SendMessageW(state.hwnd, WM_KEYDOWN, VK_CONTROL, key_lparam(29));
  SendMessageW(state.hwnd, WM_KEYDOWN, 'N', key_lparam(49));
  pump_messages();
  EXPECT_EQ(state.playlist.currentIndex, 1);
  SendMessageW(state.hwnd, WM_KEYDOWN, 'T', key_lparam(20));
  pump_messages();
  EXPECT_EQ(state.playlist.currentIndex, 0);
  SendMessageW(state.hwnd, WM_KEYDOWN, 'O', key_lparam(24));
  pump_messages();
  EXPECT_EQ(openDialogs_, 1);
}

TEST_F(PlayerCommandsTest, CtrlReleasedWhileAnotherWindowHadTheFocusDoesNotStick) {
  ShellState& state = open_song();
  SendMessageW(state.hwnd, WM_KEYDOWN, VK_CONTROL, key_lparam(29));
  SendMessageW(state.hwnd, WM_KILLFOCUS, 0, 0);  // its key-up goes to the other window
  SendMessageW(state.hwnd, WM_KEYDOWN, 'O', key_lparam(24));
  pump_messages();
  EXPECT_EQ(openDialogs_, 0);
}

TEST_F(PlayerCommandsTest, TheWindowsOwnCommandsKeepThePromiseToCloseAfterPlaying) {
  // Applied at start-up and on the load: topmost on, single track selection,
  // and the automatic reset of every load.
  ShellState& state = open_song("autooff=1\r\ntopmost=1\r\naddtrac=0\r\nautoreset=1\r\n");
  EXPECT_EQ(state.settings.topmost, 1);
  EXPECT_EQ(state.engine.settings.play.MultiTrackSelect, 0);
  EXPECT_NE(state.display.controlFlags & kFlagExitAfterPlay, 0u);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kLoop, 0);  // the user's command ends it
  EXPECT_EQ(state.display.controlFlags & kFlagExitAfterPlay, 0u);
}

TEST_F(PlayerCommandsTest, ResetThreeTimesAndTheChordModes) {
  ShellState& state = open_song("key=2\r\n");
  PlaybackOptions& play = state.engine.settings.play;
  play.KeyOffset = 7;
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kResetKeySpeed, 0);
  EXPECT_EQ(play.KeyOffset, 2);
  EXPECT_EQ(window_text(state.controls.counter), "RESET");

  const long length = state.playback.player->length();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kMidiStandard, 0);  // MIDI played through the score
  EXPECT_EQ(play.MidiStandard, 0);
  EXPECT_FALSE(checked(state.controls.standardButton));
  ASSERT_TRUE(item_enabled(state, cmd::kThreeTimes));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kThreeTimes, 0);
  EXPECT_TRUE(item_checked(state, cmd::kThreeTimes));
  EXPECT_EQ(state.playback.player->length(), 3 * length);

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kTrackSplit, 0);
  EXPECT_TRUE(checked(state.controls.splitButton));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kMidiStandard, 0);
  EXPECT_TRUE(checked(state.controls.standardButton));
  EXPECT_FALSE(checked(state.controls.splitButton));
  EXPECT_FALSE(item_enabled(state, cmd::kThreeTimes));  // MIDI as written again
}

TEST_F(PlayerCommandsTest, DraggingTheScrollBarWhilePlayingPausesAndGoesOnFromTheThumb) {
  ShellState& state = open_song();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_EQ(state.playback.player->state(), PlayerState::Playing);
  SendMessageW(state.hwnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), reinterpret_cast<LPARAM>(state.controls.scroll));
  EXPECT_EQ(state.playback.player->state(), PlayerState::Paused);
  EXPECT_EQ(state.playback.player->position(), 40);
  EXPECT_EQ(GetScrollPos(state.controls.scroll, SB_CTL), 40);
  SendMessageW(state.hwnd, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(state.controls.scroll));
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  state.playback.player->poll_position();
  EXPECT_GE(state.playback.player->position(), 40);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kStop, 0);

  // From Stopped the song stays paused where the bar was put.
  SendMessageW(state.hwnd, WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(state.controls.scroll));
  SendMessageW(state.hwnd, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(state.controls.scroll));
  EXPECT_EQ(state.playback.player->state(), PlayerState::Paused);
  EXPECT_EQ(state.playback.player->position(), 10);
}

TEST_F(PlayerCommandsTest, AListPlaysThroughOnceWithoutLoopAndAgainWithIt) {
  write_bytes(folder_ / L"a.mid", song_of_quarters(2));
  write_bytes(folder_ / L"b.mid", song_of_quarters(2));
  write_settings("[section]\r\nautoplay=1\r\nautooff=0\r\n");
  ShellState& state = open_window((folder_ / L"a.mid").wstring() + L" " + (folder_ / L"b.mid").wstring());
  ASSERT_TRUE(pump_until([&] { return state.playback.endOfPlaybackSignals >= 2; }));
  pump_for(300);
  EXPECT_EQ(state.playback.endOfPlaybackSignals, 2);
  EXPECT_EQ(state.playlist.currentIndex, 1);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kLoop, 0);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  // With loop on the last song is followed by the first one, and so on.
  bool wrapped = false;
  ASSERT_TRUE(pump_until([&] {
    if (state.playback.endOfPlaybackSignals == 3 && state.playlist.currentIndex == 0) wrapped = true;
    return state.playback.endOfPlaybackSignals >= 4;
  }));
  EXPECT_TRUE(wrapped);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kStop, 0);
}

TEST_F(PlayerCommandsTest, TheWindowClosesAfterTheLastSongWhenStartedToDoSo) {
  write_bytes(folder_ / L"a.mid", song_of_quarters(2));
  write_bytes(folder_ / L"b.mid", song_of_quarters(2));
  write_settings("[section]\r\nautoplay=1\r\nautooff=1\r\n");
  open_window((folder_ / L"a.mid").wstring() + L" " + (folder_ / L"b.mid").wstring());
  EXPECT_TRUE(pump_until([&] { return !IsWindow(window_); }));
}

TEST_F(PlayerCommandsTest, IntroPlayMovesOnAfterTheIntroAndLoopsToTheFirstSong) {
  options_.clockScale = 32.0;
  write_bytes(folder_ / L"a.mid", song_of_quarters(40));  // 160 sixteenths
  write_bytes(folder_ / L"b.mid", song_of_quarters(40));
  write_settings("[section]\r\nautoplay=0\r\nautooff=0\r\nloop=1\r\n");
  ShellState& state = open_window((folder_ / L"a.mid").wstring() + L" " + (folder_ / L"b.mid").wstring());
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kIntro, 0);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_TRUE(pump_until([&] { return state.playlist.currentIndex == 1; }));
  ASSERT_TRUE(pump_until([&] { return state.playlist.currentIndex == 0; }));
  // Each song was left after its intro, never played to its end.
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kStop, 0);
}

// A real WM_DROPFILES: the drop handle made the way the shell makes it.
HDROP make_drop(const std::vector<fs::path>& files) {
  std::wstring names;
  for (const fs::path& file : files) names += file.wstring() + L'\0';
  names += L'\0';
  const SIZE_T size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(PlayerCommandsTest, ADropOfThreeFilesAndAFolderReplacesTheList) {
  const fs::path songs = folder_ / L"songs";
  fs::create_directories(songs / L"inner");
  write_bytes(songs / L"b.mid", two_track_song());
  write_bytes(songs / L"A.mid", two_track_song());
  write_bytes(songs / L"notes.doc", {'x'});
  write_bytes(songs / L"inner" / L"deep.mid", two_track_song());  // subfolders are not entered
  std::vector<fs::path> files;
  for (const wchar_t* name : {L"one.mid", L"two.mid", L"three.mid"}) {
    write_bytes(folder_ / name, two_track_song());
    files.push_back(folder_ / name);
  }
  files.push_back(songs);
  ShellState& state = open_song();
  SendMessageW(state.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(files)), 0);
  ASSERT_EQ(state.playlist.entries.size(), 5u);
  EXPECT_EQ(state.playlist.entries[2], folder_ / L"three.mid");
  EXPECT_EQ(state.playlist.entries[3], songs / L"A.mid");
  EXPECT_EQ(state.playlist.entries[4], songs / L"b.mid");
  EXPECT_EQ(state.playlist.currentFile, folder_ / L"one.mid");
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO[one.mid]");

  // Only unrecognised files: the list and the song stay as they were.
  SendMessageW(state.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({songs / L"notes.doc"})), 0);
  EXPECT_EQ(state.playlist.entries.size(), 5u);
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO[one.mid]");
  // With Ctrl the drop is appended and its first file loaded.
  {
    HeldKeys ctrl{VK_CONTROL};
    SendMessageW(state.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({song_})), 0);
  }
  EXPECT_EQ(state.playlist.entries.size(), 6u);
  EXPECT_EQ(state.playlist.currentIndex, 5);
}

TEST_F(PlayerCommandsTest, PlaylistsAreReadAndWritten) {
  write_bytes(folder_ / L"b.mid", two_track_song());
  const std::string list = path_to_cp932(song_) + "\r\n" + path_to_cp932(folder_ / L"missing.mid") + "\r\nb.mid\r\n";
  write_bytes(folder_ / L"list.m3u", Bytes(list.begin(), list.end()));
  ShellState& state = open_song();
  open_file(state, folder_ / L"list.m3u");
  // The missing line is skipped; a relative name is found beside the list.
  ASSERT_EQ(state.playlist.entries.size(), 2u);
  EXPECT_EQ(state.playlist.entries[1], folder_ / L"b.mid");

  saveAs_ = folder_ / L"out.m3u";
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kCreatePlaylist, 0);
  EXPECT_EQ(read_text(saveAs_), path_to_cp932(song_) + "\r\n" + path_to_cp932(folder_ / L"b.mid") + "\r\n");
  EXPECT_TRUE(messages_.empty());

  // A playlist that cannot be created is reported, not passed as written.
  saveAs_ = folder_ / L"no such folder" / L"out.m3u";
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kCreatePlaylist, 0);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("ファイルを作成できませんでした。"), std::string::npos);
}

TEST_F(PlayerCommandsTest, AnOpenThatAddsNothingLeavesTheUnloadedFileInTheRecentPopup) {
  ShellState& state = open_song();
  write_bytes(folder_ / L"notes.doc", {'x'});
  open_file(state, folder_ / L"notes.doc");
  EXPECT_TRUE(state.playlist.entries.empty());
  ASSERT_GE(GetMenuItemCount(state.controls.recentPopup), 1);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kRecentFirst, 0);
  ASSERT_EQ(state.playlist.entries.size(), 1u);
  EXPECT_EQ(state.playlist.currentFile, song_);
}

void put_on_clipboard(HWND owner, const std::string& text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  SetClipboardData(CF_TEXT, memory);
  CloseClipboard();
}

TEST_F(PlayerCommandsTest, TheClipboardTextPlaysAsAMelody) {
  ShellState& state = open_song();
  // The song as MFi mail text, the way it is pasted from a mail.
  saveAs_ = folder_ / L"song.mld";
  {
    // The MFi settings dialog opens first; its start values are taken.
    test::DialogDriver driver([](HWND dialog, const std::string&) { test::DialogDriver::press(dialog, IDOK); });
    SendMessageW(state.hwnd, WM_COMMAND, cmd::kCreateFirst + 4, 0);  // "iﾒﾛﾃﾞｨﾌｧｲﾙ作成"
  }
  const std::string mfi = read_text(saveAs_);
  ASSERT_FALSE(mfi.empty());
  const std::vector<uint8_t> mail = encode_mail_text(ByteView(reinterpret_cast<const uint8_t*>(mfi.data()), mfi.size()));
  put_on_clipboard(state.hwnd, std::string(mail.begin(), mail.end()));

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kClipboardPlay, 0);
  ASSERT_EQ(state.playlist.entries.size(), 1u);
  EXPECT_EQ(state.playlist.entries[0], fs::path(L"clip.txt"));
  EXPECT_TRUE(state.load.songLoaded);
  EXPECT_EQ(state.load.inputType, kInputMfi);
  pump_messages();
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kStop, 0);
}

}  // namespace
}  // namespace mel
