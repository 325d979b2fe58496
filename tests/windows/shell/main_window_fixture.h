// The main window in this process, for the tests of the window: message
// pumps, a small song, and a fixture that opens the window with its file
// dialogs and message boxes replaced, so nothing modal opens.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "shell/win32/main_window.h"
#include "shell/win32/win_text.h"
#include "support/midi_builder.h"

namespace mel::test_window {

using test::Bytes;
using test::MidiFileBuilder;
using test::TrackBuilder;

namespace fs = std::filesystem;

inline constexpr DWORD kPumpTimeoutMs = 20000;

// Handles every waiting message; a quit message left by a closed window of an
// earlier test is dropped.
inline void pump_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

inline bool pump_until(const std::function<bool()>& done, DWORD timeoutMs = kPumpTimeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    pump_messages();
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(2);
  }
  return true;
}

inline void pump_for(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    pump_messages();
    Sleep(2);
  }
}

inline std::string window_text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return narrow(text);
}

inline void write_bytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Two tracks of 16 quarter notes at 120 per minute: 64 sixteenths, 8 s.
inline Bytes two_track_song() {
  TrackBuilder conductor;
  conductor.track_name(0, "さくら").tempo_bpm(0, 120);
  TrackBuilder melody;
  TrackBuilder bass;
  for (int i = 0; i < 16; ++i) {
    melody.note_on(0, 0, 60 + (i % 8)).note_off(480, 0, 60 + (i % 8));
    bass.note_on(0, 1, 48).note_off(480, 1, 48);
  }
  conductor.end();
  melody.end();
  bass.end();
  return MidiFileBuilder(1, 480).track(conductor).track(melody).track(bass).bytes();
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleW(nullptr);
    ASSERT_TRUE(register_main_window_class(instance_));
    folder_ = fs::temp_directory_path() /
              (L"melvarino_window_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial_));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    song_ = folder_ / L"さくら.mid";
    write_bytes(song_, two_track_song());
    options_.profilePath = (folder_ / L"korvani.ini").wstring();
    options_.sequencerOverride = kSequencerBuiltin;
    options_.clockScale = 8.0;
    options_.openDialog = [this](HWND owner, fs::path& name) {
      ++openDialogs_;
      if (duringDialog_) duringDialog_(owner);
      if (chosen_.empty()) return false;
      name = chosen_;
      return true;
    };
    options_.saveDialog = [this](HWND, fs::path& name, int) {
      proposedSaveName_ = name;
      if (saveAs_.empty()) return false;
      name = saveAs_;
      return true;
    };
    options_.messageBox = [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT) {
      messages_.push_back(narrow(caption) + ": " + narrow(text));
      if (duringDialog_) duringDialog_(owner);
      return IDOK;
    };
  }

  void TearDown() override {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    pump_messages();
    std::error_code error;
    fs::remove_all(folder_, error);
  }

  void write_settings(const std::string& text) {
    std::ofstream(folder_ / L"korvani.ini", std::ios::binary) << text;
  }

  ShellState& open_window(const std::wstring& commandLine = L"") {
    window_ = create_main_window(instance_, commandLine, options_);
    EXPECT_NE(window_, nullptr);
    // The window stays hidden: without a window manager, Wine takes about two
    // seconds to destroy a shown top-level window.
    pump_messages();
    return *shell_state_of(window_);
  }

  void open_file(ShellState& state, const fs::path& path) {
    chosen_ = path;
    SendMessageW(state.hwnd, WM_COMMAND, cmd::kOpen, 0);
    pump_messages();
  }

  HINSTANCE instance_ = nullptr;
  fs::path folder_;
  fs::path song_;
  fs::path chosen_;
  fs::path saveAs_;
  fs::path proposedSaveName_;
  int openDialogs_ = 0;
  std::vector<std::string> messages_;
  // Runs inside the open dialog and the message boxes, while they are "open".
  std::function<void(HWND owner)> duringDialog_;
  MainWindowOptions options_;
  HWND window_ = nullptr;
  static inline int serial_ = 0;
};


}  // namespace mel::test_window
