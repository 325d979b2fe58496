#include "playback/player_model.h"

namespace mel {

void SequencerPlayer::set_file(const std::filesystem::path& file) {
  file_ = file;
  if (state_ == PlayerState::Playing || heldOpen_) stop();
  state_ = PlayerState::Stopped;
  heldOpen_ = false;
  lengthMs_ = 0;
}

int SequencerPlayer::open() {
  // The device is already open while it plays or while a drag holds it open.
  if (state_ == PlayerState::Playing || heldOpen_) return kDeviceOk;
  int code = device_.open(file_);
  report(code);
  return code;
}

// Shows the device's text for a failure. Playing from at or beyond the end
// is not worth a message: it only means there is nothing left to play.
void SequencerPlayer::report(int code) {
  if (code == kDeviceOk || code == kDeviceErrorOutOfRange) return;
  host_.show_device_error(device_.error_text(code));
}

void SequencerPlayer::close_device() {
  device_.close();
  heldOpen_ = false;
}

void SequencerPlayer::read_length() {
  long length = device_.length();
  if (length >= 0) length_ = length;
}

void SequencerPlayer::play_from_start() {
  if (state_ == PlayerState::Playing) return;
  if (open() != kDeviceOk) return;
  int code = device_.play(std::nullopt);
  if (code != kDeviceOk) {
    // The state stays what it was; the device is closed, so it is no
    // longer held open either.
    close_device();
    report(code);
    return;
  }
  read_length();
  state_ = PlayerState::Playing;
  heldOpen_ = false;
  host_.start_tick_timer();
}

void SequencerPlayer::resume() {
  if (state_ == PlayerState::Playing) return;
  if (open() != kDeviceOk) return;
  read_length();
  if (heldOpen_) device_.seek(0);
  int code = device_.play(position_);
  if (code != kDeviceOk) {
    close_device();
    report(code);
    return;
  }
  host_.start_tick_timer();
  state_ = PlayerState::Playing;
  heldOpen_ = false;
}

void SequencerPlayer::probe_length() {
  if (state_ == PlayerState::Playing) return;
  // A device held open for a drag stays open: the drag resumes on it.
  bool openedHere = !heldOpen_;
  if (open() != kDeviceOk) return;
  read_length();
  if (openedHere) device_.close();
}

long SequencerPlayer::length_ms() {
  if (lengthMs_ != 0) return lengthMs_;
  // Only a device opened for this query is closed after it; one that plays
  // or is held open for a drag stays as it was.
  bool openedHere = state_ != PlayerState::Playing && !heldOpen_;
  if (openedHere && open() != kDeviceOk) return 0;
  long ms = device_.length_ms();
  lengthMs_ = ms > 0 ? ms : 0;
  if (openedHere) device_.close();
  return lengthMs_;
}

int SequencerPlayer::poll_position() {
  long position = device_.position();
  if (position < 0) return kDeviceErrorNoFile;  // the device could not tell: keep the last known one
  position_ = position;
  return kDeviceOk;
}

void SequencerPlayer::stop() {
  if (state_ == PlayerState::Stopped) return;
  device_.close();
  state_ = PlayerState::Stopped;
  heldOpen_ = false;
  host_.stop_tick_timer();
  // Sent last: the window may start the next song from inside this call.
  host_.end_of_playback();
}

void SequencerPlayer::pause(bool close) {
  if (state_ != PlayerState::Playing) return;
  device_.stop();
  poll_position();
  if (close) {
    device_.close();
  } else {
    heldOpen_ = true;
  }
  state_ = PlayerState::Paused;
  host_.stop_tick_timer();
}

void SequencerPlayer::notify(int code, std::optional<long> deviceId) {
  // A device closed since has nothing to say about the one playing now.
  if (deviceId && !device_.is_open_device(*deviceId)) return;
  if (state_ == PlayerState::Playing) poll_position();
  // Superseded, aborted and failed plays (a stop or pause closes the device
  // while it plays) leave the state alone: only the end of the song stops.
  if (code != kNotifySuccessful) return;
  // The end of an earlier play, still queued when this one started.
  if (state_ == PlayerState::Playing && device_.play_in_progress()) return;
  stop();
}

}  // namespace mel
