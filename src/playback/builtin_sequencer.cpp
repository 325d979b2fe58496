// The built-in sequencer device: plays a Standard MIDI File on its own clock,
// on a worker thread, to the first MIDI output when the system has one (and
// silently when it has none, still keeping time), and posts MM_MCINOTIFY with
// MCI_NOTIFY_SUCCESSFUL to the window when the song has played to its end.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "playback/builtin_sequencer_model.h"
#include "playback/sequencer_devices.h"

namespace mel {

namespace {

// The id the built-in devices put in lParam of their notifications. MCI
// numbers its devices from 1 upwards, so these stay clear of them.
constexpr UINT kFirstBuiltinDeviceId = 0xB000;
// The worker wakes at least this often (real time) while playing, so a clock
// that jumps is followed without waiting for a long gap between events.
constexpr std::chrono::milliseconds kMaxWorkerWait{250};
constexpr int kDataByteShift = 8;

UINT next_device_id() {
  static std::atomic<UINT> next{kFirstBuiltinDeviceId};
  return next++;
}

// The built-in device's error texts, in Japanese (UTF-16, like the MCI
// device's texts).
std::wstring builtin_error_text(int code) {
  switch (code) {
    case kDeviceErrorCannotOpen: return L"MIDIファイルとして開けません。";
    case kDeviceErrorNoFile: return L"ファイルが見つかりません。";
    case kDeviceErrorOutOfRange: return L"指定された位置は曲の終わりを越えています。";
    default: return L"内蔵シーケンサーでエラーが発生しました。";
  }
}

// The first MIDI output, opened on first use when the system has one.
class MidiOutput {
 public:
  MidiOutput() = default;
  MidiOutput(const MidiOutput&) = delete;
  MidiOutput& operator=(const MidiOutput&) = delete;
  ~MidiOutput() {
    if (handle_ == nullptr) return;
    midiOutReset(handle_);
    midiOutClose(handle_);
  }

  void open_if_any() {
    if (handle_ != nullptr || tried_) return;
    tried_ = true;
    if (midiOutGetNumDevs() == 0) return;
    if (midiOutOpen(&handle_, MIDI_MAPPER, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) return;
    if (midiOutOpen(&handle_, 0, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) handle_ = nullptr;
  }

  void send(const ShortMidiMessage& message) {
    if (handle_ == nullptr) return;
    DWORD packed = message.status;
    if (message.size > 1) packed |= DWORD{message.data1} << kDataByteShift;
    if (message.size > 2) packed |= DWORD{message.data2} << (2 * kDataByteShift);
    midiOutShortMsg(handle_, packed);
  }

 private:
  HMIDIOUT handle_ = nullptr;
  bool tried_ = false;
};

class BuiltinSequencer final : public SequencerDevice {
 public:
  BuiltinSequencer(HWND window, double clockScale)
      : window_(window),
        scale_(clockScale > 0 ? clockScale : 1.0),
        origin_(std::chrono::steady_clock::now()),
        schedule_([this] { return clock_ms(); }),
        id_(next_device_id()) {}

  ~BuiltinSequencer() override { halt_worker(); }

  int open(const std::filesystem::path& file) override {
    halt_worker();
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.load_file(file);
  }

  // A play while playing starts again from the new place, without a
  // notification for the play it replaces.
  int play(std::optional<long> from) override {
    halt_worker();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      int code = from ? schedule_.start(*from) : schedule_.start_here();
      if (code != kDeviceOk) return code;
      stopRequested_ = false;
      output_.open_if_any();
    }
    worker_ = std::thread([this] { run(); });
    return kDeviceOk;
  }

  int stop() override {
    halt_worker();
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.loaded() ? kDeviceOk : kDeviceErrorNoFile;
  }

  int seek(long position) override {
    halt_worker();
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.seek(position);
  }

  int close() override {
    halt_worker();
    std::lock_guard<std::mutex> lock(mutex_);
    schedule_.unload();
    return kDeviceOk;
  }

  long length() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.loaded() ? schedule_.length() : -1;
  }

  long position() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.loaded() ? schedule_.position() : -1;
  }

  long length_ms() override {
    std::lock_guard<std::mutex> lock(mutex_);
    long long ms = schedule_.length_ms();
    return ms > LONG_MAX ? LONG_MAX : static_cast<long>(ms);
  }

  std::wstring error_text(int code) override { return builtin_error_text(code); }

  bool is_open_device(long deviceId) override { return deviceId == static_cast<long>(id_); }

  // The worker halts the schedule before it posts the end notification, so
  // while the schedule plays, no notification of this play has been posted.
  bool play_in_progress() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return schedule_.playing();
  }

 private:
  // The scaled clock of the schedule, in milliseconds since the device was made.
  long long clock_ms() const {
    std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - origin_;
    return static_cast<long long>(elapsed.count() * scale_);
  }

  // Sends the due events and sleeps until the next one; at the end of the
  // song posts the notification and leaves. The notification is posted
  // under the lock after checking for a stop, so a play that was stopped
  // never notifies.
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopRequested_) {
      for (const ShortMidiMessage& message : schedule_.take_due()) output_.send(message);
      if (schedule_.ended()) {
        schedule_.halt();
        PostMessageW(window_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id_));
        return;
      }
      std::chrono::duration<double, std::milli> wait(static_cast<double>(schedule_.ms_until_next()) / scale_);
      auto realWait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(wait), kMaxWorkerWait);
      cv_.wait_for(lock, realWait, [this] { return stopRequested_; });
    }
  }

  // Ends the worker (promptly: it waits on the condition variable), stops
  // the clock where the song stands and silences the output.
  void halt_worker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopRequested_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    schedule_.halt();
    for (const ShortMidiMessage& message : schedule_.take_silence()) output_.send(message);
  }

  HWND window_;
  double scale_;
  std::chrono::steady_clock::time_point origin_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::thread worker_;
  bool stopRequested_ = false;
  BuiltinSchedule schedule_;
  MidiOutput output_;
  UINT id_;
};

}  // namespace

std::unique_ptr<SequencerDevice> make_builtin_sequencer(HWND window, double clockScale) {
  return std::make_unique<BuiltinSequencer>(window, clockScale);
}

}  // namespace mel
