// The sequencer devices on Windows: the built-in one plays a short file on a
// sped-up clock to a hidden window's end notification; the MCI one opens a
// file and measures it. Nothing here needs a sound device.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "playback/sequencer_devices.h"
#include "support/midi_builder.h"

namespace {

namespace fs = std::filesystem;
using mel::test::Bytes;
using mel::test::MidiFileBuilder;
using mel::test::TrackBuilder;

// Generous: a slow machine may run the sped-up clock late, never this late.
constexpr DWORD kNotifyTimeoutMs = 20000;
constexpr double kFastClock = 20.0;

// Quarter notes at 120 per minute, division 480: quarters * 500 ms, and
// quarters * 4 sixteenths.
Bytes song_of_quarters(int quarters) {
  TrackBuilder t;
  t.tempo_bpm(0, 120).program(0, 0, 0);
  for (int i = 0; i < quarters; ++i) t.note_on(0, 0, 60 + i % 12).note_off(480, 0, 60 + i % 12);
  t.end();
  return MidiFileBuilder(0, 480).track(t).bytes();
}

class SequencerDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    ASSERT_NE(window_, nullptr);
    dir_ = fs::temp_directory_path() / (L"melvarino_seq_" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    DestroyWindow(window_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path write(const wchar_t* name, const Bytes& bytes) {
    fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Pumps the window's messages until an MM_MCINOTIFY arrives; its wParam,
  // or 0 after the timeout.
  WPARAM wait_for_notify(DWORD timeoutMs = kNotifyTimeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      MSG msg;
      if (PeekMessageW(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) return msg.wParam;
      Sleep(5);
    }
    return 0;
  }

  // Waits (generously) until the device stands beyond a position.
  bool wait_beyond(mel::SequencerDevice& device, long position) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kNotifyTimeoutMs) {
      if (device.position() > position) return true;
      Sleep(5);
    }
    return false;
  }

  HWND window_ = nullptr;
  fs::path dir_;
};

using BuiltinSequencer = SequencerDeviceTest;
using MciSequencer = SequencerDeviceTest;

TEST_F(BuiltinSequencer, PlaysToTheEndAndNotifiesTheWindow) {
  fs::path file = write(L"短い曲.mid", song_of_quarters(8));
  auto device = mel::make_builtin_sequencer(window_, kFastClock);
  ASSERT_EQ(device->open(file), mel::kDeviceOk);
  EXPECT_EQ(device->length(), 32);
  EXPECT_EQ(device->length_ms(), 4000);
  EXPECT_EQ(device->position(), 0);

  ASSERT_EQ(device->play(std::nullopt), mel::kDeviceOk);
  EXPECT_EQ(wait_for_notify(), static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));
  EXPECT_EQ(device->position(), device->length());
  // Playing again from the end: nothing left to play.
  EXPECT_EQ(device->play(std::nullopt), mel::kDeviceErrorOutOfRange);
  EXPECT_EQ(device->close(), mel::kDeviceOk);
}

TEST_F(BuiltinSequencer, ContinuesFromTheRememberedPositionAfterAPause) {
  fs::path file = write(L"long.mid", song_of_quarters(64));  // 32 s of song
  auto device = mel::make_builtin_sequencer(window_, kFastClock);
  ASSERT_EQ(device->open(file), mel::kDeviceOk);
  ASSERT_EQ(device->play(std::nullopt), mel::kDeviceOk);
  ASSERT_TRUE(wait_beyond(*device, 4));

  // Pause the way the player does: stop, remember, close.
  ASSERT_EQ(device->stop(), mel::kDeviceOk);
  long remembered = device->position();
  Sleep(100);
  EXPECT_EQ(device->position(), remembered);  // the clock stopped with the play
  ASSERT_EQ(device->close(), mel::kDeviceOk);

  ASSERT_EQ(device->open(file), mel::kDeviceOk);
  ASSERT_EQ(device->play(remembered), mel::kDeviceOk);
  EXPECT_GE(device->position(), remembered);
  EXPECT_TRUE(wait_beyond(*device, remembered));
  EXPECT_LT(device->position(), device->length());
  ASSERT_EQ(device->close(), mel::kDeviceOk);

  // Neither stopped play notifies the window afterwards.
  EXPECT_EQ(wait_for_notify(200), 0u);
}

// The end of one play can still be queued when the next play starts (a key
// change right at the end); the device then tells the player that its play
// has not ended, and only its own end clears that.
TEST_F(BuiltinSequencer, TellsAQueuedEndOfAnEarlierPlayFromItsOwnEnd) {
  fs::path file = write(L"short.mid", song_of_quarters(2));
  auto device = mel::make_builtin_sequencer(window_, kFastClock);
  ASSERT_EQ(device->open(file), mel::kDeviceOk);
  EXPECT_FALSE(device->play_in_progress());
  ASSERT_EQ(device->play(std::nullopt), mel::kDeviceOk);
  EXPECT_TRUE(device->play_in_progress());
  DWORD start = GetTickCount();
  while (device->play_in_progress() && GetTickCount() - start < kNotifyTimeoutMs) Sleep(5);
  ASSERT_FALSE(device->play_in_progress());  // ended: its notification is posted

  // The reconverted file, long enough to still play while the queue is read.
  ASSERT_EQ(device->open(write(L"long.mid", song_of_quarters(64))), mel::kDeviceOk);
  ASSERT_EQ(device->play(0L), mel::kDeviceOk);
  EXPECT_TRUE(device->play_in_progress());
  EXPECT_EQ(wait_for_notify(), static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));  // the earlier play's
  EXPECT_TRUE(device->play_in_progress());
  EXPECT_EQ(wait_for_notify(), static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));  // its own
  EXPECT_FALSE(device->play_in_progress());
  ASSERT_EQ(device->close(), mel::kDeviceOk);
}

TEST_F(BuiltinSequencer, RefusesFilesThatAreNotMidiFiles) {
  Bytes noise;
  uint32_t seed = 2024;
  for (int i = 0; i < 512; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise.push_back(static_cast<uint8_t>(seed >> 16));
  }
  auto device = mel::make_builtin_sequencer(window_, kFastClock);
  EXPECT_EQ(device->open(write(L"noise.mid", noise)), mel::kDeviceErrorCannotOpen);
  EXPECT_NE(device->play(std::nullopt), mel::kDeviceOk);
  EXPECT_EQ(device->open(dir_ / L"missing.mid"), mel::kDeviceErrorNoFile);
  EXPECT_FALSE(device->error_text(mel::kDeviceErrorCannotOpen).empty());
  EXPECT_EQ(device->length(), -1);
}

TEST_F(MciSequencer, ErrorTextsAreTheSystemsOwnUtf16Texts) {
  auto device = mel::make_mci_sequencer(window_);
  // MCI's error codes start at 257 (MCIERR_BASE + 1).
  for (int code = 257; code < 400; ++code) {
    wchar_t expected[256] = {};
    if (!mciGetErrorStringW(static_cast<MCIERROR>(code), expected, 256)) continue;
    EXPECT_EQ(device->error_text(code), std::wstring(expected)) << code;
  }
  EXPECT_EQ(mel::make_builtin_sequencer(window_, kFastClock)->error_text(mel::kDeviceErrorNoFile),
            L"ファイルが見つかりません。");
}

TEST_F(MciSequencer, MeasuresAMidiFileInMilliseconds) {
  fs::path file = write(L"mci.mid", song_of_quarters(8));
  auto device = mel::make_mci_sequencer(window_);
  int code = device->open(file);
  if (code != mel::kDeviceOk) GTEST_SKIP() << "no MCI sequencer here: " << device->error_text(code);
  long ms = device->length_ms();
  EXPECT_GT(ms, 0);
  EXPECT_NEAR(ms, 4000, 100);
  EXPECT_EQ(device->length(), 32);
  EXPECT_EQ(device->length_ms(), ms);  // the unit is sixteenths again afterwards
  EXPECT_EQ(device->length(), 32);
  EXPECT_EQ(device->close(), mel::kDeviceOk);
}

}  // namespace
