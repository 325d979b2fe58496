// The main window in this process: start-up state, opening files, playing
// with the built-in sequencer, the layout, bad files and shutdown. The file
// dialogs and message boxes are replaced through the window's options, so
// nothing modal opens.
#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/format_dialog.h"
#include "cli/cli_app.h"
#include "convert/format_table.h"
#include "shell/model/layout_model.h"
#include "shell/model/menu_model.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/win_text.h"
#include "shell/win32/commands_dialogs.h"
#include "support/midi_builder.h"
#include "windows/shell/main_window_fixture.h"
#include "windows/shell/dialog_driver.h"

namespace mel {
namespace {

using namespace test_window;

// The control's own WS_VISIBLE (the window itself is never shown here).
bool shown(HWND control) { return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

std::string class_name(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return narrow(name);
}

TEST_F(MainWindowTest, StartsWithEveryControlAndTheMenuInTheStateWithoutAFile) {
  ShellState& state = open_window();
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO");
  EXPECT_EQ(class_name(state.hwnd), "MVWIN");
  for (HWND button : state.controls.buttons) {
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(class_name(button), "CGBUTTON");
  }
  EXPECT_EQ(GetDlgCtrlID(state.controls.buttons[kButtonSave]), cmd::kSaveButton);
  EXPECT_EQ(window_text(state.controls.buttons[kButtonKeyDown]), "BITMAP_NFLAT");
  EXPECT_TRUE(IsWindowEnabled(state.controls.buttons[kButtonPlay]));
  EXPECT_TRUE(IsWindowEnabled(state.controls.buttons[kButtonOpen]));
  for (int i = kButtonKeyDown; i <= kButtonSave; ++i) EXPECT_FALSE(IsWindowEnabled(state.controls.buttons[i])) << i;
  EXPECT_EQ(class_name(state.controls.scroll), "ScrollBar");
  EXPECT_EQ(class_name(state.controls.counter), "Static");
  EXPECT_EQ(window_text(state.controls.trackButtons[31]), "32");
  EXPECT_EQ(window_text(state.controls.allTracksButton), "全");
  for (HWND button : state.controls.trackButtons) EXPECT_FALSE(IsWindowEnabled(button));

  ASSERT_EQ(GetMenu(state.hwnd), state.controls.menu);
  EXPECT_EQ(GetMenuItemCount(state.controls.menu), kTopLevelMenuCount);
  for (int id : {cmd::kCreateMidi, cmd::kProperties, cmd::kResetKeySpeed, cmd::kPseudoChord, cmd::kPerTrackInstrument,
                 cmd::kStandardInstrument, cmd::kVolumeLast, cmd::kPrevious, cmd::kCreateFirst}) {
    EXPECT_FALSE(item_enabled(state, id)) << id;
  }
  for (int id : {cmd::kOpen, cmd::kPlay, cmd::kExit, cmd::kLoop, cmd::kConversionDetail}) {
    EXPECT_TRUE(item_enabled(state, id)) << id;
  }
  // Check marks from the defaults: counter shown, panel hidden, added track
  // selection on, "MIDI標準" and the standard instrument and volume on.
  EXPECT_TRUE(item_checked(state, cmd::kCounterDisplay));
  EXPECT_FALSE(item_checked(state, cmd::kTrackPanel));
  EXPECT_TRUE(item_checked(state, cmd::kMultiTrackSelect));
  EXPECT_TRUE(item_checked(state, cmd::kMidiStandard));
  EXPECT_TRUE(item_checked(state, cmd::kStandardInstrument));
  EXPECT_TRUE(item_checked(state, cmd::kInstrumentFirst));  // melody 1: the first entry
  EXPECT_TRUE(item_checked(state, cmd::kVolumeFirst + 2));  // volume 100
  EXPECT_TRUE(GetMenuState(state.controls.colourPopup, cmd::kColourFirst + 1, MF_BYCOMMAND) & MF_CHECKED);

  // The temporary MIDI file exists from start-up, named "dum…".
  ASSERT_FALSE(state.load.tempMidiPath.empty());
  EXPECT_TRUE(fs::exists(state.load.tempMidiPath));
  EXPECT_EQ(state.load.tempMidiPath.filename().wstring().substr(0, 3), L"dum");
  // An empty command line ends the promise to close after playing.
  EXPECT_EQ(state.display.controlFlags & kFlagExitAfterPlay, 0u);
}

TEST_F(MainWindowTest, OpeningAMidiFileEnablesWhatTheSongAllowsAndNamesItInTheCaption) {
  ShellState& state = open_window();
  open_file(state, song_);
  EXPECT_EQ(openDialogs_, 1);
  EXPECT_EQ(window_text(state.hwnd), narrow(L"MELVARINO[さくら.mid]"));
  EXPECT_EQ(window_text(state.controls.counter), "さくら");
  EXPECT_GT(fs::file_size(state.load.tempMidiPath), 0u);

  LoadOutcome outcome;
  outcome.ok = true;
  outcome.inputType = kInputMidi;
  outcome.trackCount = state.engine.song.trackCount;
  outcome.currentIndex = 0;
  outcome.fileCount = 1;
  outcome.midiStandard = 1;
  // Every item of the flow's list that the menu has (the track items and the
  // external programs exist only as buttons, or once configured).
  for (const ItemEnable& item : load_flow_menu_states(outcome)) {
    if (GetMenuState(state.controls.menu, item.id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
    EXPECT_EQ(item_enabled(state, item.id), item.enabled) << item.id;
  }
  EXPECT_TRUE(item_enabled(state, cmd::kCreateMidi));
  EXPECT_TRUE(item_enabled(state, cmd::kMidiStandard));
  EXPECT_FALSE(item_enabled(state, cmd::kThreeTimes));  // MIDI played "MIDI標準"
  EXPECT_FALSE(item_enabled(state, cmd::kPrevious));
  for (int i = kButtonKeyDown; i <= kButtonTempoUp; ++i) EXPECT_TRUE(IsWindowEnabled(state.controls.buttons[i])) << i;
  EXPECT_TRUE(IsWindowEnabled(state.controls.buttons[kButtonSave]));
  EXPECT_FALSE(IsWindowEnabled(state.controls.buttons[kButtonNext]));
  const int tracks = state.engine.song.trackCount;
  ASSERT_GE(tracks, 2);
  EXPECT_TRUE(IsWindowEnabled(state.controls.trackButtons[tracks - 1]));
  EXPECT_FALSE(IsWindowEnabled(state.controls.trackButtons[tracks]));
  EXPECT_EQ(window_text(state.controls.trackButtons[0]), track_label(state.engine.song, 0));

  // The same file opened again stays one recent entry, and an open that adds
  // nothing (a file of no known type) leaves no blank entry behind.
  open_file(state, song_);
  open_file(state, folder_ / L"notes.doc");
  open_file(state, song_);
  EXPECT_EQ(state.playlist.recent.size(), 1u);
  EXPECT_EQ(GetMenuItemCount(state.controls.recentPopup), 0);
  write_bytes(folder_ / L"二曲目.mid", two_track_song());
  open_file(state, folder_ / L"二曲目.mid");
  ASSERT_EQ(GetMenuItemCount(state.controls.recentPopup), 1);
  wchar_t label[64] = {};
  GetMenuStringW(state.controls.recentPopup, 0, label, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(label), L"さくら.mid");
}

TEST_F(MainWindowTest, SwitchingTheTrackButtonKindKeepsTheSongsTracksUsable) {
  ShellState& state = open_window();
  open_file(state, song_);
  const int tracks = state.engine.song.trackCount;
  ASSERT_GE(tracks, 2);
  ASSERT_TRUE(item_checked(state, cmd::kMultiTrackSelect));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kMultiTrackSelect, 0);
  EXPECT_FALSE(item_checked(state, cmd::kMultiTrackSelect));
  EXPECT_EQ(GetWindowLongPtrW(state.controls.trackButtons[0], GWL_STYLE) & BS_TYPEMASK, BS_RADIOBUTTON);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    EXPECT_EQ(IsWindowEnabled(state.controls.trackButtons[k]) != 0, k < tracks) << k;
  }
  // Without a song every track button stays disabled, whichever the kind.
  open_file(state, folder_ / L"missing.mid");
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kMultiTrackSelect, 0);
  EXPECT_EQ(GetWindowLongPtrW(state.controls.trackButtons[0], GWL_STYLE) & BS_TYPEMASK, BS_CHECKBOX);
  for (HWND button : state.controls.trackButtons) EXPECT_FALSE(IsWindowEnabled(button));
}

TEST_F(MainWindowTest, TheSaveButtonSendsItsCommandButNeverItself) {
  write_settings("[control]\r\nrecmode=1111\r\n");
  ShellState& state = open_window();
  open_file(state, song_);
  // Pinned to "MIDIﾌｧｲﾙ作成": the save dialog comes up, the choice stays.
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveButton, 0);
  EXPECT_EQ(proposedSaveName_, folder_ / L"さくら.mid");
  EXPECT_EQ(state.settings.recmode, 1111);
  // A value naming the save button itself does nothing (it used to send
  // itself until the stack ran out).
  proposedSaveName_.clear();
  for (int recmode : {19, 1019}) {
    state.settings.recmode = recmode;
    SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveButton, 0);
    EXPECT_TRUE(IsWindow(state.hwnd));
    EXPECT_TRUE(proposedSaveName_.empty());
  }
}

TEST_F(MainWindowTest, ACloseThatArrivesWhileADialogIsOpenWaitsUntilItReturns) {
  write_bytes(folder_ / L"empty.mid", {});
  bool aliveInDialog = false;
  duringDialog_ = [&](HWND owner) {
    duringDialog_ = nullptr;
    SendMessageW(owner, WM_CLOSE, 0, 0);  // the taskbar's "close window"
    aliveInDialog = IsWindow(owner) != 0;
  };
  // In the open dialog: the file chosen is still opened, then the window closes.
  ShellState& state = open_window();
  const fs::path temporary = state.load.tempMidiPath;
  open_file(state, song_);  // pumps: the deferred close runs
  EXPECT_TRUE(aliveInDialog);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(fs::exists(temporary));

  // In the device's error box, when playing a file that gave nothing to play.
  aliveInDialog = false;
  ShellState& second = open_window();
  const fs::path secondTemporary = second.load.tempMidiPath;
  open_file(second, folder_ / L"empty.mid");
  duringDialog_ = [&](HWND owner) {
    duringDialog_ = nullptr;
    SendMessageW(owner, WM_CLOSE, 0, 0);
    aliveInDialog = IsWindow(owner) != 0;
  };
  SendMessageW(second.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_FALSE(messages_.empty());
  EXPECT_TRUE(aliveInDialog);
  EXPECT_TRUE(IsWindow(window_));
  pump_messages();
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(fs::exists(secondTemporary));
}

TEST_F(MainWindowTest, TheCommandLineLoadsItsFileWithoutPlayingWhenAutoplayIsOff) {
  write_settings("[section]\r\nautoplay=0\r\n");
  ShellState& state = open_window(song_.wstring());
  ASSERT_EQ(state.playlist.entries.size(), 1u);
  EXPECT_EQ(window_text(state.hwnd), narrow(L"MELVARINO[さくら.mid]"));
  EXPECT_TRUE(item_enabled(state, cmd::kCreateMidi));
  pump_for(200);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);
  // A file from the command line keeps the promise to close after playing.
  EXPECT_NE(state.display.controlFlags & kFlagExitAfterPlay, 0u);
}

// "%4d / %4d　%s" with the title.
bool is_position_text(const std::string& text, const std::string& title) {
  const std::string separator = "　";
  const std::size_t at = text.find(separator);
  return text.size() > 11 && text[4] == ' ' && text[5] == '/' && at == 11 && text.substr(at + separator.size()) == title;
}

TEST_F(MainWindowTest, PlayingMovesTheCounterAndEndsWithTheEndOfPlaybackSignal) {
  write_settings("[section]\r\nautoplay=0\r\nautooff=0\r\n");
  ShellState& state = open_window(song_.wstring());
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_EQ(state.playback.player->state(), PlayerState::Playing);
  EXPECT_EQ(state.playback.player->length(), 64);

  std::vector<std::string> seen;
  ASSERT_TRUE(pump_until([&] {
    const std::string text = window_text(state.controls.counter);
    if (is_position_text(text, "さくら") && (seen.empty() || seen.back() != text)) seen.push_back(text);
    return seen.size() >= 3;
  }));
  // An end notification of an earlier play (the device says this one goes
  // on) neither stops the song nor puts the title back.
  SendMessageW(state.hwnd, MM_MCINOTIFY, kNotifySuccessful, 0);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Playing);
  EXPECT_NE(window_text(state.controls.counter), "さくら");
  EXPECT_TRUE(pump_until([&] { return state.playback.endOfPlaybackSignals > 0; }));
  EXPECT_EQ(state.playback.endOfPlaybackSignals, 1);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);
  // The last song of the list ended: its title is back on the counter.
  pump_for(50);
  EXPECT_EQ(window_text(state.controls.counter), "さくら");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowTest, PauseThenPlayGoesOnFromTheSamePosition) {
  write_settings("[section]\r\nautoplay=0\r\n");
  ShellState& state = open_window(song_.wstring());
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_TRUE(pump_until([&] { return state.playback.player->position() >= 8; }));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPause, 0);
  ASSERT_EQ(state.playback.player->state(), PlayerState::Paused);
  const long paused = state.playback.player->position();
  EXPECT_GE(paused, 8);
  EXPECT_LT(paused, 64);
  pump_for(150);
  EXPECT_EQ(state.playback.player->position(), paused);
  EXPECT_EQ(state.playback.endOfPlaybackSignals, 0);

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
  ASSERT_EQ(state.playback.player->state(), PlayerState::Playing);
  state.playback.player->poll_position();
  EXPECT_GE(state.playback.player->position(), paused);
  EXPECT_LT(state.playback.player->position(), paused + 16);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kStop, 0);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);
  EXPECT_EQ(state.playback.endOfPlaybackSignals, 1);
}

int client_width_of(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.right;
}

int client_height_of(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.bottom;
}

TEST_F(MainWindowTest, RelayoutGivesTheComputedWidthAndAFixedHeight) {
  ShellState& state = open_window();
  ViewState view{state.display.controlFlags, true, false};
  const int contentHeight = content_height(view);
  EXPECT_EQ(client_width_of(state.hwnd), relayout_client_width(view, 250));
  EXPECT_GT(client_height_of(state.hwnd), contentHeight - 1);
  EXPECT_LT(client_height_of(state.hwnd), contentHeight + 10);

  MINMAXINFO limits{};
  SendMessageW(state.hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  RECT frame{};
  GetWindowRect(state.hwnd, &frame);
  EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);
  EXPECT_EQ(limits.ptMaxTrackSize.y, frame.bottom - frame.top);
  EXPECT_EQ(limits.ptMinTrackSize.x, minimum_window_width(view, GetSystemMetrics(SM_CXFRAME)));

  // A wider window gives the scroll bar the extra width, and that width is
  // what the settings keep.
  SetWindowPos(state.hwnd, nullptr, 0, 0, frame.right - frame.left + 60, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);
  pump_messages();
  EXPECT_EQ(state.settings.scrollsizex, 310);

  // A caption double-click: the compact view without the menu bar, and back.
  SendMessageW(state.hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(40, 10));
  pump_messages();
  EXPECT_FALSE(state.display.fullView);
  EXPECT_EQ(GetMenu(state.hwnd), nullptr);
  ViewState compact{state.display.controlFlags, false, false};
  EXPECT_EQ(client_width_of(state.hwnd), relayout_client_width(compact, 310));
  EXPECT_FALSE(shown(state.controls.counter));
  EXPECT_FALSE(shown(state.controls.buttons[kButtonKeyDown]));
  EXPECT_TRUE(shown(state.controls.buttons[kButtonOpen]));
  SendMessageW(state.hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(40, 10));
  pump_messages();
  EXPECT_TRUE(state.display.fullView);
  EXPECT_EQ(GetMenu(state.hwnd), state.controls.menu);
  EXPECT_FALSE(IsZoomed(state.hwnd));
  // Other hit codes do nothing.
  SendMessageW(state.hwnd, WM_NCLBUTTONDBLCLK, HTLEFT, 0);
  EXPECT_TRUE(state.display.fullView);
}

// Makes the menu bar wider than the window, so that it wraps, or takes the
// extra titles away again; the frame is measured anew either way.
void widen_menu_bar(HMENU bar, HWND window, bool wide) {
  constexpr int kExtraTitles = 4;
  constexpr int kFirstExtraId = 9000;
  for (int i = 0; i < kExtraTitles; ++i) {
    if (wide) {
      AppendMenuW(bar, MF_STRING, kFirstExtraId + i, L"WWWWWWWWWWWW");
    } else {
      DeleteMenu(bar, kFirstExtraId + i, MF_BYCOMMAND);
    }
  }
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(MainWindowTest, PaintingRefitsTheHeightEveryTimeTheMenuBarWrapsOrUnwraps) {
  ShellState& state = open_window();
  const int contentHeight = content_height(ViewState{state.display.controlFlags, true, false});
  ASSERT_FALSE(needs_height_fix(client_height_of(state.hwnd), contentHeight));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    for (bool wide : {true, false}) {
      widen_menu_bar(state.controls.menu, state.hwnd, wide);
      ASSERT_TRUE(needs_height_fix(client_height_of(state.hwnd), contentHeight));
      SendMessageW(state.hwnd, WM_PAINT, 0, 0);
      pump_messages();
      EXPECT_FALSE(needs_height_fix(client_height_of(state.hwnd), contentHeight)) << client_height_of(state.hwnd);
    }
  }
}

TEST_F(MainWindowTest, BadFilesLeaveTheWindowWithoutAFile) {
  ShellState& state = open_window();
  std::mt19937 random(7);
  Bytes noise(700);
  for (auto& byte : noise) byte = static_cast<uint8_t>(random());
  write_bytes(folder_ / L"noise.mid", noise);
  const Bytes song = two_track_song();
  write_bytes(folder_ / L"cut.mid", Bytes(song.begin(), song.begin() + 30));
  write_bytes(folder_ / L"empty.mid", {});
  write_bytes(folder_ / L"noise.mld", noise);
  const std::vector<fs::path> bad = {folder_ / L"missing.mid", folder_ / L"noise.mid", folder_ / L"cut.mid",
                                     folder_ / L"empty.mid", folder_ / L"noise.mld", folder_ / L"notes.doc"};
  for (const fs::path& path : bad) {
    open_file(state, song_);  // a good file first, so the bad one has to undo it
    ASSERT_TRUE(item_enabled(state, cmd::kCreateMidi));
    open_file(state, path);
    SCOPED_TRACE(path.filename().string());
    EXPECT_FALSE(item_enabled(state, cmd::kCreateMidi));
    EXPECT_FALSE(item_enabled(state, cmd::kProperties));
    EXPECT_FALSE(IsWindowEnabled(state.controls.allTracksButton));
    EXPECT_FALSE(IsWindowEnabled(state.controls.buttons[kButtonKeyUp]));
    EXPECT_FALSE(IsWindowEnabled(state.controls.trackButtons[0]));
    EXPECT_EQ(fs::file_size(state.load.tempMidiPath), 0u);
    EXPECT_TRUE(state.engine.song.title.empty());
    // Playing what is left fails with the device's message, not a crash.
    messages_.clear();
    SendMessageW(state.hwnd, WM_COMMAND, cmd::kPlay, 0);
    pump_messages();
    EXPECT_NE(state.playback.player->state(), PlayerState::Playing);
  }
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO");  // "notes.doc" has no type
}

TEST_F(MainWindowTest, GarbageSettingsGiveTheDefaults) {
  std::mt19937 random(11);
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage.push_back(static_cast<char>(random()));
  garbage += "\r\n[control]\r\nscrollsizex=junk\r\nrecord=7\r\n[section]\r\nkey=99\r\n";
  write_settings(garbage);
  ShellState& state = open_window();
  EXPECT_EQ(state.settings.scrollsizex, 250);
  EXPECT_EQ(state.settings.record, 0);
  EXPECT_EQ(state.engine.settings.play.KeyOffset, 0);
  EXPECT_EQ(state.settings.files, 255);
  EXPECT_FALSE(shown(state.controls.buttons[kButtonSave]));
}

TEST_F(MainWindowTest, CreatingAMidiFileWritesItWhereTheSaveDialogSays) {
  ShellState& state = open_window();
  open_file(state, song_);
  saveAs_ = folder_ / L"出力.mid";
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kCreateMidi, 0);
  EXPECT_EQ(proposedSaveName_, folder_ / L"さくら.mid");
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_GT(fs::file_size(saveAs_), 0u);
  EXPECT_EQ(state.playlist.lastCreated, saveAs_);
  EXPECT_EQ(state.settings.recmode, cmd::kCreateMidi);

  // Cancelling the save dialog writes nothing.
  saveAs_.clear();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kCopyAs, 0);
  EXPECT_EQ(state.playlist.lastCreated, folder_ / L"出力.mid");

  // 103 opens the created file.
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kOpenLastCreated, 0);
  EXPECT_EQ(window_text(state.hwnd), narrow(L"MELVARINO[出力.mid]"));
  EXPECT_EQ(state.playlist.recent.size(), 2u);
}

// The create command of an output kind (0: none).
int create_command_for(int kind) {
  for (int id : {cmd::kCreateMidi, cmd::kCreateMml, cmd::kCreatePlaylist}) {
    if (output_kind_for_command(id) == kind) return id;
  }
  for (const CreateItem& item : create_items()) {
    if (item.outputKind == kind) return item.id;
  }
  return 0;
}

// The --to name of an output format: its first further name, else its extension.
std::string tool_name_of(const OutputFormat& format) {
  if (!format.aliases.empty()) return format.aliases.front();
  return std::string(format.extensions.front()).substr(1);
}

std::string bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every kind with a writer, its settings dialog confirmed as it opens: the
// window writes the bytes `convert` writes. New writers are covered as their
// rows gain a writer.
TEST_F(MainWindowTest, CreateItemsWriteWhatConvertWrites) {
  const fs::path song = folder_ / L"song.mid";
  write_bytes(song, two_track_song());
  ShellState& state = open_window();
  open_file(state, song);
  test::DialogDriver driver([](HWND dialog, const std::string&) { test::DialogDriver::press(dialog, IDOK); });
  int written = 0;
  for (const OutputFormat& format : output_formats()) {
    const int id = create_command_for(format.kind);
    if (!format.writer || !format.byDispatcher || id == 0) continue;
    const std::string to = tool_name_of(format);
    const std::wstring extension = widen(format.extensions.front());
    saveAs_ = folder_ / (L"window" + extension);
    const std::size_t dialogsBefore = driver.titles().size();
    SendMessageW(state.hwnd, WM_COMMAND, id, 0);
    ASSERT_TRUE(fs::exists(saveAs_)) << to;
    const bool hasDialog = std::any_of(format_dialog_entries().begin(), format_dialog_entries().end(),
                                       [&](const FormatDialogEntry& e) { return e.outputKind == format.kind; });
    EXPECT_EQ(driver.titles().size() - dialogsBefore, hasDialog ? 1u : 0u) << to;
    const fs::path converted = folder_ / (L"tool" + extension);
    std::ostringstream out, err;
    ASSERT_EQ(cli::run_cli({"convert", song.string(), "-o", converted.string(), "--to", to}, out, err), 0)
        << err.str();
    EXPECT_EQ(bytes_of(saveAs_), bytes_of(converted)) << to;
    EXPECT_EQ(state.settings.recmode, id);
    ++written;
  }
  EXPECT_GE(written, 12);  // every handset format, MIDI and MML
  // MIDI played as written gets the direct DXM dialog; MFi its 4-chord title.
  EXPECT_NE(std::find(driver.titles().begin(), driver.titles().end(), "MIDI > DXMファイル設定"), driver.titles().end());
  EXPECT_NE(std::find(driver.titles().begin(), driver.titles().end(), "MLDファイル設定(4和音モード)"),
            driver.titles().end());
}

// The title, tempo and start and end counters typed into a format's settings
// dialog write what `convert --set` writes with the same values, for every
// dialog that has these fields.
TEST_F(MainWindowTest, ValuesTypedIntoADialogWriteWhatConvertSetWrites) {
  const fs::path song = folder_ / L"song.mid";
  write_bytes(song, two_track_song());
  ShellState& state = open_window();
  open_file(state, song);
  struct Typed {
    int id;
    const char* name;
    std::string text;
  };
  const std::vector<Typed> typed = {
      {IDC_TITLE, "title", "うた"}, {IDC_TEMPO, "tempo", "100"}, {IDC_START, "start", "2"}, {IDC_END, "end", "12"}};
  std::vector<std::string> given;  // the --set arguments for the fields the open dialog has
  test::DialogDriver driver([&](HWND dialog, const std::string&) {
    given.clear();
    for (const Typed& t : typed) {
      if (!GetDlgItem(dialog, t.id)) continue;
      test::DialogDriver::type(dialog, t.id, t.text);
      given.push_back(std::string(t.name) + "=" + t.text);
    }
    test::DialogDriver::press(dialog, IDOK);
  });
  int compared = 0;
  for (const FormatDialogEntry& entry : format_dialog_entries()) {
    const int id = create_command_for(entry.outputKind);
    const OutputFormat* format = find_output_format(entry.outputKind);
    if (id == 0 || !format) continue;
    const std::wstring extension = widen(format->extensions.front());
    saveAs_ = folder_ / (L"typed" + extension);
    SendMessageW(state.hwnd, WM_COMMAND, id, 0);
    ASSERT_TRUE(fs::exists(saveAs_)) << entry.outputKind;
    const fs::path converted = folder_ / (L"set" + extension);
    std::vector<std::string> args = {"convert", song.string(), "-o", converted.string(), "--to", tool_name_of(*format)};
    for (const std::string& value : given) args.insert(args.end(), {"--set", value});
    std::ostringstream out, err;
    ASSERT_EQ(cli::run_cli(args, out, err), 0) << err.str();
    EXPECT_EQ(bytes_of(saveAs_), bytes_of(converted)) << tool_name_of(*format);
    EXPECT_FALSE(given.empty()) << tool_name_of(*format);
    ++compared;
  }
  EXPECT_GE(compared, 3);  // MFi, CMX and DXM at least
}

TEST_F(MainWindowTest, ClosingDeletesTheTemporaryFileAndSavesWhenAskedTo) {
  write_settings("[section]\r\nautosetsave=1\r\n[control]\r\nscroll=0\r\n");
  ShellState& state = open_window();
  const fs::path temporary = state.load.tempMidiPath;
  ASSERT_TRUE(fs::exists(temporary));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kTrackPanel, 0);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kExit, 0);
  pump_messages();
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_FALSE(fs::exists(temporary));
  std::ifstream saved(folder_ / L"korvani.ini", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("tracpanel=1"), std::string::npos) << text;
  EXPECT_NE(text.find("scroll=0"), std::string::npos) << text;  // never written, kept as set by hand
}

TEST_F(MainWindowTest, ASaveThatCannotBeWrittenIsReportedAndTheAboutBoxNamesTheVersion) {
  // The settings folder cannot be made: a file stands where it would be.
  write_bytes(folder_ / L"blocker", {0x41});
  options_.profilePath = (folder_ / L"blocker" / L"korvani.ini").wstring();
  ShellState& state = open_window();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveSettings, 0);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("MELVARINO: 設定を保存できませんでした。", 0), 0u) << messages_[0];

  messages_.clear();
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kAbout, 0);
  EXPECT_EQ(messages_, std::vector<std::string>{"このプログラムについて: MELVARINO V8.00"});
}


TEST_F(MainWindowTest, MovesThroughTheListAndChoosesTheCounterColour) {
  write_settings("[section]\r\nautoplay=0\r\n");
  write_bytes(folder_ / L"two.mid", two_track_song());
  write_bytes(folder_ / L"three.mid", two_track_song());
  ShellState& state = open_window(song_.wstring() + L" " + (folder_ / L"two.mid").wstring() + L" " +
                                  (folder_ / L"three.mid").wstring());
  ASSERT_EQ(state.playlist.entries.size(), 3u);
  EXPECT_FALSE(item_enabled(state, cmd::kPrevious));
  EXPECT_TRUE(IsWindowEnabled(state.controls.buttons[kButtonNext]));
  EXPECT_EQ(GetMenuItemCount(state.controls.nextPopup), 2);

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kNext, 0);
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO[two.mid]");
  EXPECT_EQ(GetMenuItemCount(state.controls.previousPopup), 1);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kNextPopupFirst, 0);
  EXPECT_EQ(window_text(state.hwnd), "MELVARINO[three.mid]");
  EXPECT_FALSE(IsWindowEnabled(state.controls.buttons[kButtonNext]));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kNext, 0);  // at the end: stays
  EXPECT_EQ(state.playlist.currentIndex, 2);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kFirst, 0);
  EXPECT_EQ(state.playlist.currentIndex, 0);
  pump_for(100);
  EXPECT_EQ(state.playback.player->state(), PlayerState::Stopped);  // moves do not start a stopped player

  SendMessageW(state.hwnd, WM_COMMAND, cmd::kColourFirst + 3, 0);
  EXPECT_EQ(state.settings.dispcolor, 4);
  EXPECT_EQ(state.display.effectiveColour, 4);
  EXPECT_TRUE(GetMenuState(state.controls.colourPopup, cmd::kColourFirst + 3, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(state.controls.colourPopup, cmd::kColourFirst + 1, MF_BYCOMMAND) & MF_CHECKED);
}

// ---------------------------------------------------------------------------
// Between processes: melvarino.exe started twice. This suite runs on its own
// (no other main window may be open on the desktop while it looks for the
// running instance).

// ---- The dialogs, opened for real and driven through their controls.

TEST_F(MainWindowTest, FormatDialogOkClampsTypedValuesAndTheFileCarriesThem) {
  ShellState& state = open_window();
  open_file(state, song_);
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_TITLE, "abc");
    test::DialogDriver::type(dialog, IDC_SIZE_LIMIT, "999999");
    test::DialogDriver::type(dialog, IDC_KEY, "99");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"typed.mld";
  SendMessageW(state.hwnd, WM_COMMAND, create_command_for(kOutputMfi), 0);
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.mldbyte, 0x2D000);
  const std::string file = bytes_of(saveAs_);
  EXPECT_NE(file.find(std::string("titl\0\x03" "abc", 9)), std::string::npos);

  // The typed velocity of the DXM dialog never reaches the writer above 127.
  test::DialogDriver dxm([](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_VELOCITY, "200");
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"typed.dxm";
  SendMessageW(state.hwnd, WM_COMMAND, create_command_for(kOutputDxm), 0);
  ASSERT_TRUE(fs::exists(saveAs_));
  EXPECT_EQ(state.engine.settings.writers.dxmVelocity, 127);
}

TEST_F(MainWindowTest, CancellingTheFormatDialogOrTheSaveDialogWritesNothing) {
  ShellState& state = open_window();
  open_file(state, song_);
  int saveDialogs = 0;
  options_.saveDialog = nullptr;
  state.options.saveDialog = [&](HWND, fs::path&, int) {
    ++saveDialogs;
    return false;
  };
  test::DialogDriver cancel([](HWND dialog, const std::string&) { test::DialogDriver::press(dialog, IDCANCEL); });
  const int mldbyte = state.engine.settings.writers.mldbyte;
  SendMessageW(state.hwnd, WM_COMMAND, create_command_for(kOutputMfi), 0);
  EXPECT_EQ(cancel.titles().size(), 1u);
  EXPECT_EQ(saveDialogs, 0);
  EXPECT_EQ(state.engine.settings.writers.mldbyte, mldbyte);
  test::DialogDriver ok([](HWND dialog, const std::string&) { test::DialogDriver::press(dialog, IDOK); });
  SendMessageW(state.hwnd, WM_COMMAND, create_command_for(kOutputDxm), 0);
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_TRUE(state.playlist.lastCreated.empty());
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_NE(entry.path().extension(), L".mld");
    EXPECT_NE(entry.path().extension(), L".dxm");
  }
}

TEST_F(MainWindowTest, KeyDetailDialogOpensFromTheFormatDialogAndStoresItsShifts) {
  ShellState& state = open_window();
  open_file(state, song_);
  std::string rangeAfter;
  test::DialogDriver driver([&rangeAfter](HWND dialog, const std::string& title) {
    if (title == "キー詳細設定") {
      EXPECT_EQ(test::DialogDriver::text(dialog, IDC_KEY_ROW_LABEL_FIRST), "主旋律");
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_KEY_ROW_SHIFT_FIRST + 2)));
      HWND bar = GetDlgItem(dialog, IDC_KEY_ROW_SHIFT_FIRST);
      SendMessageW(dialog, WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(bar));
      EXPECT_EQ(GetScrollPos(bar, SB_CTL), 1);
      test::DialogDriver::press(dialog, IDOK);
      return;
    }
    const std::string before = test::DialogDriver::text(dialog, IDC_KEY_HIGH);
    test::DialogDriver::press(dialog, IDC_DETAIL);
    rangeAfter = before + " -> " + test::DialogDriver::text(dialog, IDC_KEY_HIGH);
    test::DialogDriver::press(dialog, IDOK);
  });
  saveAs_ = folder_ / L"shifted.dxm";
  SendMessageW(state.hwnd, WM_COMMAND, create_command_for(kOutputDxm), 0);
  ASSERT_EQ(driver.titles().size(), 2u);
  EXPECT_EQ(driver.titles()[1], "キー詳細設定");
  EXPECT_EQ(state.engine.settings.conv.octaveShift[0], 1);
  EXPECT_EQ(rangeAfter, "67 -> 79");  // the melody (60..67) an octave up
}

TEST_F(MainWindowTest, PerTrackDialogsStoreTheirRowsAndConvertAgain) {
  ShellState& state = open_window();
  open_file(state, song_);
  test::DialogDriver driver([](HWND dialog, const std::string& title) {
    if (title == "音色設定") {
      EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRACK_VALUE_FIRST + 1)));
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_TRACK_VALUE_FIRST + 2)));
      test::DialogDriver::type(dialog, IDC_TRACK_VALUE_FIRST, "40");
      test::DialogDriver::type(dialog, IDC_TRACK_VALUE_FIRST + 1, "-5");
      test::DialogDriver::press(dialog, IDOK);
    } else {
      test::DialogDriver::type(dialog, IDC_TRACK_VALUE_FIRST, "70");
      test::DialogDriver::press(dialog, IDC_APPLY);
      test::DialogDriver::type(dialog, IDC_TRACK_VALUE_FIRST, "10");
      test::DialogDriver::press(dialog, IDCANCEL);
    }
  });
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPerTrackInstrument, 0);
  pump_messages();
  EXPECT_EQ(state.engine.settings.play.PerTrackProgram[0], 41);
  EXPECT_EQ(state.engine.settings.play.PerTrackProgram[1], 0);
  EXPECT_TRUE(item_checked(state, cmd::kPerTrackInstrument));
  EXPECT_FALSE(item_checked(state, cmd::kStandardInstrument));
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kPerTrackVolume, 0);
  pump_messages();
  EXPECT_EQ(state.engine.settings.play.PerTrackVolume[0], 71);  // applied, then cancelled
  EXPECT_TRUE(item_checked(state, cmd::kPerTrackVolume));
  EXPECT_EQ(driver.titles(), (std::vector<std::string>{"音色設定", "音量設定"}));
}

TEST_F(MainWindowTest, ConversionDetailDialogReachesTheEngineAndTheSettingsFile) {
  ShellState& state = open_window();
  test::DialogDriver driver([](HWND dialog, const std::string&) {
    test::DialogDriver::type(dialog, IDC_CHORD_SPLIT_COUNT, "99");
    test::DialogDriver::press(dialog, IDC_HIGH_NOTE_FIRST);
    test::DialogDriver::press(dialog, IDOK);
  });
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kConversionDetail, 0);
  EXPECT_EQ(state.engine.settings.conv.chsepcnt, 16);
  EXPECT_EQ(state.engine.settings.conv.highmld, 1);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kSaveSettings, 0);
  const std::string text = bytes_of(folder_ / L"korvani.ini");
  EXPECT_NE(text.find("chsepcnt=16"), std::string::npos) << text;
  EXPECT_NE(text.find("highmld=1"), std::string::npos) << text;
}

TEST_F(MainWindowTest, PropertyReportIsOneModelessWindowThatRefreshes) {
  ShellState& state = open_window();
  open_file(state, song_);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kProperties, 0);
  HWND report = property_report_window();
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(GetWindow(report, GW_OWNER), nullptr);
  EXPECT_NE(test::DialogDriver::text(report, IDC_REPORT_TEXT).find("ﾃﾝﾎﾟ=120"), std::string::npos);
  // The whole report fits its text box in the font the box draws with.
  HWND text = GetDlgItem(report, IDC_REPORT_TEXT);
  HDC dc = GetDC(text);
  SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
  RECT box{};
  GetClientRect(text, &box);
  RECT needed = box;
  const std::wstring report_text = widen(test::DialogDriver::text(report, IDC_REPORT_TEXT));
  DrawTextW(dc, report_text.c_str(), -1, &needed, DT_CALCRECT | DT_LEFT | DT_WORDBREAK);
  ReleaseDC(text, dc);
  EXPECT_LE(needed.bottom - needed.top, box.bottom - box.top);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kProperties, 0);
  EXPECT_EQ(property_report_window(), report);
  state.engine.settings.play.KeyOffset = 3;
  test::DialogDriver::press(report, IDC_REFRESH);
  EXPECT_NE(test::DialogDriver::text(report, IDC_REPORT_TEXT).find("ｷｰｺﾝﾄﾛｰﾙ #3"), std::string::npos);
  test::DialogDriver::press(report, IDOK);
  EXPECT_EQ(property_report_window(), nullptr);
  EXPECT_FALSE(IsWindow(report));
}

#ifdef MEL_APP_PATH

HWND find_main_window_captioned(const std::wstring& caption) {
  return FindWindowW(kMainWindowClassName, caption.c_str());
}

BOOL CALLBACK count_if_main_window(HWND window, LPARAM counter) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) == kMainWindowClassName) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int count_main_windows() {
  int count = 0;
  EnumWindows(count_if_main_window, reinterpret_cast<LPARAM>(&count));
  return count;
}

PROCESS_INFORMATION start_program(const fs::path& file) {
  std::wstring commandLine = L"\"" + fs::path(MEL_APP_PATH).wstring() + L"\" " + file.wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  EXPECT_TRUE(started) << GetLastError();
  return process;
}

void close_process_handles(PROCESS_INFORMATION& process) {
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  process = {};
}

TEST(MainWindowProcess, ASecondInstanceWithOnerunHandsItsFileToTheFirstAndCloses) {
  const fs::path folder = fs::temp_directory_path() / (L"melvarino_instances_" + std::to_wstring(GetCurrentProcessId()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  write_bytes(folder / L"first.mid", two_track_song());
  write_bytes(folder / L"second.mid", two_track_song());
  const fs::path settings = folder / L"korvani.ini";
  std::ofstream(settings, std::ios::binary) << "[section]\r\nonerun=1\r\nautoplay=0\r\nautooff=0\r\n";
  SetEnvironmentVariableW(L"MELVARINO_SETTINGS", settings.c_str());

  PROCESS_INFORMATION first = start_program(folder / L"first.mid");
  HWND firstWindow = nullptr;
  ASSERT_TRUE(pump_until([&] { return (firstWindow = find_main_window_captioned(L"MELVARINO[first.mid]")) != nullptr; }));

  PROCESS_INFORMATION second = start_program(folder / L"second.mid");
  ASSERT_EQ(WaitForSingleObject(second.hProcess, kPumpTimeoutMs), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(second.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(pump_until([&] { return window_text(firstWindow) == "MELVARINO[second.mid]"; }));
  EXPECT_EQ(count_main_windows(), 1);

  PostMessageW(firstWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(first.hProcess, kPumpTimeoutMs), WAIT_OBJECT_0);
  close_process_handles(first);
  close_process_handles(second);
  SetEnvironmentVariableW(L"MELVARINO_SETTINGS", nullptr);
  std::error_code error;
  fs::remove_all(folder, error);
}

#endif  // MEL_APP_PATH

}  // namespace
}  // namespace mel
