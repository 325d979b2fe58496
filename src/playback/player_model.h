// The sequencer player: plays the temporary MIDI file on a sequencer device,
// reports position (sixteenth notes) and length, pauses by closing the device
// and remembering the position, and tells the window when playback ends.
// The device and the window are behind small interfaces, so the rules run
// the same with the MCI device, the built-in sequencer and the tests' fakes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mel {

// Device answers: 0 success, else the device's error code.
constexpr int kDeviceOk = 0;
// Playing from a position at or beyond the end; never shown to the user.
constexpr int kDeviceErrorOutOfRange = 282;  // MCIERR_OUTOFRANGE
// The built-in device's codes for a file it cannot open or play.
constexpr int kDeviceErrorCannotOpen = 0x8001;
constexpr int kDeviceErrorNoFile = 0x8002;

// End-of-play notification codes (MM_MCINOTIFY's wParam).
constexpr int kNotifySuccessful = 1;  // MCI_NOTIFY_SUCCESSFUL
constexpr int kNotifySuperseded = 2;
constexpr int kNotifyAborted = 4;
constexpr int kNotifyFailure = 8;

// A sequencer that plays a Standard MIDI File. Positions and lengths are in
// sixteenth notes. play() notifies the window when the song ends.
class SequencerDevice {
 public:
  virtual ~SequencerDevice() = default;
  virtual int open(const std::filesystem::path& file) = 0;
  // Plays from the position, or from where the device stands; notifies the
  // window (MM_MCINOTIFY, kNotifySuccessful) when it reaches the end.
  virtual int play(std::optional<long> from) = 0;
  virtual int stop() = 0;
  virtual int seek(long position) = 0;
  virtual int close() = 0;
  // Both give a negative value when the device cannot tell.
  virtual long length() = 0;
  virtual long position() = 0;
  // The length in milliseconds (the device switches its time format for the
  // query and back to sixteenths).
  virtual long length_ms() = 0;
  // The device's text for an error code, in UTF-16 as the system gives it
  // (narrowing it to CP932 would lose what that code page lacks).
  virtual std::wstring error_text(int code) = 0;
  // True while a play is under way that has not reached its end. An end
  // notification can be posted just before a stop and arrive after the next
  // play has started; while that play is still going, it is not its end.
  // A device that cannot tell answers false.
  virtual bool play_in_progress() { return false; }
  // True when a notification carrying this device id comes from the device
  // open now. The end of a device closed since (its play was stopped, and a
  // new file opened) must not stop the play that followed it. A device that
  // cannot tell answers true.
  virtual bool is_open_device(long deviceId) {
    (void)deviceId;
    return true;
  }
};

// What the player asks of the window.
class PlayerHost {
 public:
  virtual ~PlayerHost() = default;
  // A message box with caption "ERROR" and a warning icon.
  virtual void show_device_error(const std::wstring& text) = 0;
  virtual void start_tick_timer() = 0;  // timer 1, 100 ms
  virtual void stop_tick_timer() = 0;
  // Sends (synchronously) the end-of-playback signal WM_USER.
  virtual void end_of_playback() = 0;
};

enum class PlayerState : int { Stopped = 0, Playing = 1, Paused = 2 };

class SequencerPlayer {
 public:
  SequencerPlayer(SequencerDevice& device, PlayerHost& host) : device_(device), host_(host) {}

  // Takes a new file; stops first when playing or held open.
  void set_file(const std::filesystem::path& file);
  void play_from_start();
  void resume();
  // The length, when not playing: open, read, close.
  void probe_length();
  long length_ms();
  int poll_position();
  void stop();
  // Stops the device and remembers the position; closes it, or holds it open
  // (scroll-bar drags).
  void pause(bool close);
  // MM_MCINOTIFY with the id of the device that sent it (none: unknown).
  void notify(int code, std::optional<long> deviceId = std::nullopt);

  PlayerState state() const { return state_; }
  // The window sets Paused itself after probing the length for a scroll.
  void set_state(PlayerState state) { state_ = state; }
  long position() const { return position_; }
  void set_position(long position) { position_ = position; }
  long length() const { return length_; }
  void set_length(long length) { length_ = length; }
  bool held_open() const { return heldOpen_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  int open();
  void report(int code);
  void close_device();
  void read_length();

  SequencerDevice& device_;
  PlayerHost& host_;
  std::filesystem::path file_;
  PlayerState state_ = PlayerState::Stopped;
  long position_ = 0;
  long length_ = 0;
  long lengthMs_ = 0;
  bool heldOpen_ = false;
};

}  // namespace mel
