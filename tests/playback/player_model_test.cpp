// The sequencer player's rules, over a fake device that keeps a position and
// a length like a sequencer and a fake window that records what it is asked.
#include "playback/player_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using mel::PlayerState;
using mel::SequencerPlayer;

constexpr int kDeviceNotOpen = 263;  // any failure the device may answer

class FakeDevice : public mel::SequencerDevice {
 public:
  int open(const std::filesystem::path&) override {
    ++opens;
    if (openError != 0) return openError;
    isOpen = true;
    id = nextId++;  // a device that hands out ids as MCI does, one per open
    pos = 0;
    return mel::kDeviceOk;
  }
  int play(std::optional<long> from) override {
    froms.push_back(from.value_or(-1));
    if (!isOpen) return kDeviceNotOpen;
    if (playError != 0) return playError;
    long start = from.value_or(pos);
    if (start >= len) return mel::kDeviceErrorOutOfRange;
    pos = start;
    playing = true;
    return mel::kDeviceOk;
  }
  int stop() override {
    playing = false;
    return mel::kDeviceOk;
  }
  int seek(long position) override {
    seeks.push_back(position);
    pos = position;
    return mel::kDeviceOk;
  }
  int close() override {
    isOpen = false;
    playing = false;
    return mel::kDeviceOk;
  }
  long length() override { return isOpen ? len : -1; }
  long position() override { return isOpen ? pos : -1; }
  long length_ms() override {
    ++msQueries;
    return isOpen ? ms : 0;
  }
  std::wstring error_text(int code) override { return L"error " + std::to_wstring(code); }
  bool play_in_progress() override { return tellsProgress && playing && pos < len; }
  bool is_open_device(long deviceId) override { return isOpen && deviceId == id; }

  bool tellsProgress = false;  // like the built-in device; the MCI one cannot tell
  long id = 0;
  long nextId = 1;
  bool isOpen = false;
  bool playing = false;
  long pos = 0;
  long len = 64;
  long ms = 8000;
  int openError = 0;
  int playError = 0;
  int opens = 0;
  int msQueries = 0;
  std::vector<long> froms;  // -1: from where it stands
  std::vector<long> seeks;
};

class FakeHost : public mel::PlayerHost {
 public:
  void show_device_error(const std::wstring& text) override { errors.push_back(text); }
  void start_tick_timer() override { timerOn = true; }
  void stop_tick_timer() override { timerOn = false; }
  void end_of_playback() override {
    ++endSignals;
    if (onEnd) onEnd();
  }

  std::vector<std::wstring> errors;
  bool timerOn = false;
  int endSignals = 0;
  std::function<void()> onEnd;
};

class SequencerPlayerTest : public ::testing::Test {
 protected:
  SequencerPlayerTest() : player(device, host) { player.set_file("dum1.tmp"); }

  void play_to(long position) {
    player.play_from_start();
    ASSERT_EQ(player.state(), PlayerState::Playing);
    device.pos = position;
  }

  FakeDevice device;
  FakeHost host;
  SequencerPlayer player;
};

TEST_F(SequencerPlayerTest, PauseAndResumeContinueFromTheSamePositionOnAReopenedDevice) {
  play_to(20);
  player.play_from_start();  // already playing: nothing happens
  EXPECT_EQ(device.opens, 1);
  player.pause(true);
  EXPECT_EQ(player.state(), PlayerState::Paused);
  EXPECT_EQ(player.position(), 20);
  EXPECT_FALSE(device.isOpen);
  EXPECT_FALSE(host.timerOn);
  EXPECT_EQ(host.endSignals, 0);

  player.resume();
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_EQ(device.opens, 2);
  EXPECT_EQ(device.froms.back(), 20);
  EXPECT_EQ(device.pos, 20);
  EXPECT_TRUE(host.timerOn);
}

TEST_F(SequencerPlayerTest, ADragHoldsTheDeviceOpenAndResumesWhereTheBarWasLeft) {
  play_to(10);
  player.pause(false);
  EXPECT_TRUE(player.held_open());
  EXPECT_TRUE(device.isOpen);
  player.set_position(30);
  player.resume();
  EXPECT_EQ(device.opens, 1);  // no second open while held
  EXPECT_EQ(device.seeks, std::vector<long>{0});
  EXPECT_EQ(device.froms.back(), 30);
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_FALSE(player.held_open());
}

TEST_F(SequencerPlayerTest, ResumingAtOrBeyondTheEndIsSilentAndStaysPaused) {
  for (long position : {64L, 100L}) {
    play_to(5);
    player.pause(true);
    player.set_position(position);
    player.resume();
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(player.state(), PlayerState::Paused);
    EXPECT_FALSE(device.isOpen);
    EXPECT_FALSE(host.timerOn);
    player.stop();
  }
}

TEST_F(SequencerPlayerTest, DeviceFailuresShowTheDevicesTextAndChangeNoState) {
  device.openError = mel::kDeviceErrorCannotOpen;
  player.play_from_start();
  EXPECT_EQ(host.errors, std::vector<std::wstring>{L"error 32769"});
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_FALSE(host.timerOn);
  EXPECT_TRUE(device.froms.empty());

  device.openError = 0;
  device.playError = 277;
  player.play_from_start();
  EXPECT_EQ(host.errors.back(), L"error 277");
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_FALSE(device.isOpen);  // closed again after the failed play
  EXPECT_EQ(host.endSignals, 0);
}

TEST_F(SequencerPlayerTest, LengthInMillisecondsIsAskedOncePerFile) {
  device.openError = mel::kDeviceErrorNoFile;
  EXPECT_EQ(player.length_ms(), 0);  // a failed query is not kept
  device.openError = 0;
  EXPECT_EQ(player.length_ms(), 8000);
  EXPECT_EQ(player.length_ms(), 8000);
  EXPECT_EQ(device.msQueries, 1);
  EXPECT_FALSE(device.isOpen);  // opened for the query only

  player.set_file("dum2.tmp");
  device.ms = 3000;
  EXPECT_EQ(player.length_ms(), 3000);
  EXPECT_EQ(device.msQueries, 2);

  // While playing the device is used as it is and stays open.
  player.set_file("dum3.tmp");
  play_to(3);
  EXPECT_EQ(player.length_ms(), 3000);
  EXPECT_EQ(device.opens, 4);  // the failed query, two queries, the play
  EXPECT_TRUE(device.isOpen);
}

// Reading the length during a drag must not close the device the drag holds
// open: the resume after it would then play on a closed device.
TEST_F(SequencerPlayerTest, LengthQueriesDuringADragKeepTheDeviceOpenForTheResume) {
  play_to(12);
  player.pause(false);
  player.probe_length();
  EXPECT_EQ(player.length_ms(), 8000);
  EXPECT_TRUE(device.isOpen);
  player.resume();
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_EQ(device.froms.back(), 12);
}

TEST_F(SequencerPlayerTest, StopClosesAndSignalsTheEndOnce) {
  play_to(7);
  player.stop();
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_FALSE(device.isOpen);
  EXPECT_FALSE(host.timerOn);
  EXPECT_EQ(host.endSignals, 1);
  player.stop();
  player.notify(mel::kNotifySuccessful);  // a late end notification
  EXPECT_EQ(host.endSignals, 1);
}

TEST_F(SequencerPlayerTest, OnlyASuccessfulNotificationStopsAndItReadsThePositionFirst) {
  play_to(30);
  for (int code : {mel::kNotifySuperseded, mel::kNotifyAborted, mel::kNotifyFailure}) {
    player.notify(code);
    EXPECT_EQ(player.state(), PlayerState::Playing);
  }
  EXPECT_EQ(host.endSignals, 0);
  EXPECT_EQ(player.position(), 30);

  // The window decides from position and length whether the song ended.
  long positionSeen = -1;
  host.onEnd = [&] { positionSeen = player.position(); };
  device.pos = 64;
  player.notify(mel::kNotifySuccessful);
  EXPECT_EQ(positionSeen, 64);
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_EQ(host.endSignals, 1);
}

// The end of a play, posted just before a key change paused it, is still
// queued when the play resumes on the reconverted file: it must not end the
// new play. Once the new play has ended, its own notification stops it.
TEST_F(SequencerPlayerTest, AnEndNotificationOfAnEarlierPlayLeavesTheNewPlayGoing) {
  device.tellsProgress = true;
  play_to(63);
  player.pause(true);
  player.set_file("dum2.tmp");
  player.set_position(20);
  player.resume();
  ASSERT_EQ(player.state(), PlayerState::Playing);

  player.notify(mel::kNotifySuccessful);  // the stale one
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_TRUE(host.timerOn);
  EXPECT_EQ(host.endSignals, 0);

  device.pos = 64;
  device.playing = false;
  player.notify(mel::kNotifySuccessful);
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_EQ(host.endSignals, 1);
}

// The MCI device cannot tell whether its play is still going; the id in the
// notification tells which device ended. A device closed by a stop and
// followed by a new open and play must not stop that play with its end.
TEST_F(SequencerPlayerTest, AnEndNotificationOfAClosedDeviceLeavesTheNextPlayGoing) {
  play_to(63);
  const long closedDevice = device.id;
  player.stop();
  player.play_from_start();
  ASSERT_EQ(player.state(), PlayerState::Playing);
  ASSERT_NE(device.id, closedDevice);

  player.notify(mel::kNotifySuccessful, closedDevice);
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_EQ(host.endSignals, 1);  // the user's stop alone

  device.pos = 64;
  player.notify(mel::kNotifySuccessful, device.id);
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_EQ(host.endSignals, 2);
}

// Repeat and next-song start a new play from inside the end signal.
TEST_F(SequencerPlayerTest, TheWindowCanStartTheNextPlayFromInsideTheEndSignal) {
  play_to(64);
  host.onEnd = [&] { player.play_from_start(); };
  player.notify(mel::kNotifySuccessful);
  EXPECT_EQ(player.state(), PlayerState::Playing);
  EXPECT_TRUE(host.timerOn);
  EXPECT_TRUE(device.isOpen);
  EXPECT_EQ(host.endSignals, 1);
}

TEST_F(SequencerPlayerTest, SetFileStopsAPlayButNotAClosedPause) {
  play_to(3);
  player.set_file("next.tmp");
  EXPECT_EQ(host.endSignals, 1);
  EXPECT_EQ(player.state(), PlayerState::Stopped);

  play_to(3);
  player.pause(true);
  player.set_file("again.tmp");
  EXPECT_EQ(host.endSignals, 1);
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_EQ(player.file(), std::filesystem::path("again.tmp"));
}

}  // namespace
