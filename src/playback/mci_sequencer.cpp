// The MCI "sequencer" device: opens the file with its element name, plays it
// with an end notification to the window, and reports position and length in
// song pointers (sixteenth notes).
#include <windows.h>
#include <mmsystem.h>

#include <climits>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "playback/sequencer_devices.h"
#include "midi/midi_timing.h"

namespace mel {

namespace {

constexpr DWORD kSongPointerFormat = MCI_SEQ_FORMAT_SONGPTR;  // 0x4001: sixteenth notes
constexpr UINT kErrorTextSize = 256;
constexpr long kMicrosPerMilli = 1000;

long clamp_to_long(long long value) {
  if (value < 0) return 0;
  return value > LONG_MAX ? LONG_MAX : static_cast<long>(value);
}

class MciSequencer final : public SequencerDevice {
 public:
  explicit MciSequencer(HWND window) : window_(window) {}
  ~MciSequencer() override { close(); }

  int open(const std::filesystem::path& file) override {
    close();
    MCI_OPEN_PARMSW params{};
    params.lpstrDeviceType = L"sequencer";
    params.lpstrElementName = file.c_str();
    MCIERROR error = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                                     reinterpret_cast<DWORD_PTR>(&params));
    if (error != 0) return static_cast<int>(error);
    device_ = params.wDeviceID;
    // Some sequencers (Wine's among them) refuse song pointers. The device
    // then stays in milliseconds, and positions are turned into sixteenths
    // and back here with the file's own tempo map, so the player still sees
    // sixteenth notes.
    inMilliseconds_ = set_time_format(kSongPointerFormat) != 0;
    if (inMilliseconds_) {
      set_time_format(MCI_FORMAT_MILLISECONDS);
      std::optional<std::vector<uint8_t>> bytes = read_whole_file(file);
      timeline_ = bytes ? MidiTimeline::parse(ByteView(*bytes)) : MidiTimeline();
    }
    return 0;
  }

  int play(std::optional<long> from) override {
    if (device_ == 0) return MCIERR_INVALID_DEVICE_ID;
    MCI_PLAY_PARMS params{};
    params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
    DWORD flags = MCI_NOTIFY;
    if (from) {
      params.dwFrom = to_device(*from);
      flags |= MCI_FROM;
    }
    return static_cast<int>(mciSendCommandW(device_, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&params)));
  }

  int stop() override {
    if (device_ == 0) return MCIERR_INVALID_DEVICE_ID;
    MCI_GENERIC_PARMS params{};
    return static_cast<int>(mciSendCommandW(device_, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&params)));
  }

  int seek(long position) override {
    if (device_ == 0) return MCIERR_INVALID_DEVICE_ID;
    MCI_SEEK_PARMS params{};
    params.dwTo = to_device(position);
    return static_cast<int>(
        mciSendCommandW(device_, MCI_SEEK, MCI_TO | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&params)));
  }

  int close() override {
    if (device_ == 0) return 0;
    MCI_GENERIC_PARMS params{};
    MCIERROR error = mciSendCommandW(device_, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&params));
    device_ = 0;
    inMilliseconds_ = false;
    timeline_ = MidiTimeline();
    return static_cast<int>(error);
  }

  long length() override {
    DWORD value = 0;
    if (!status(MCI_STATUS_LENGTH, value)) return -1;
    return from_device(value);
  }

  long position() override {
    DWORD value = 0;
    if (!status(MCI_STATUS_POSITION, value)) return -1;
    return from_device(value);
  }

  long length_ms() override {
    if (device_ == 0) return 0;
    DWORD value = 0;
    if (inMilliseconds_) return status(MCI_STATUS_LENGTH, value) ? clamp_to_long(value) : 0;
    set_time_format(MCI_FORMAT_MILLISECONDS);
    bool ok = status(MCI_STATUS_LENGTH, value);
    set_time_format(kSongPointerFormat);
    return ok ? clamp_to_long(value) : 0;
  }

  bool is_open_device(long deviceId) override { return device_ != 0 && deviceId == static_cast<long>(device_); }

  std::wstring error_text(int code) override {
    wchar_t text[kErrorTextSize] = {};
    if (!mciGetErrorStringW(static_cast<MCIERROR>(code), text, kErrorTextSize)) {
      return L"MCIエラー " + std::to_wstring(code);
    }
    return text;
  }

 private:
  MCIERROR set_time_format(DWORD format) {
    MCI_SET_PARMS params{};
    params.dwTimeFormat = format;
    return mciSendCommandW(device_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&params));
  }

  bool status(DWORD item, DWORD& value) {
    if (device_ == 0) return false;
    MCI_STATUS_PARMS params{};
    params.dwItem = item;
    if (mciSendCommandW(device_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&params)) != 0) {
      return false;
    }
    value = static_cast<DWORD>(params.dwReturn);
    return true;
  }

  // Sixteenths to the device's unit. Milliseconds are rounded up, so that a
  // position turned into milliseconds and back is the same sixteenth.
  DWORD to_device(long sixteenths) const {
    if (!inMilliseconds_) return static_cast<DWORD>(sixteenths < 0 ? 0 : sixteenths);
    uint64_t micros = timeline_.tick_to_microseconds(timeline_.sixteenths_to_tick(sixteenths));
    uint64_t ms = (micros + kMicrosPerMilli - 1) / kMicrosPerMilli;
    return ms > MAXDWORD ? MAXDWORD : static_cast<DWORD>(ms);
  }

  // The device's unit to sixteenths. Length and position go through the same
  // conversion, so a song played to its end stands exactly at its length.
  long from_device(DWORD value) const {
    if (!inMilliseconds_) return clamp_to_long(value);
    return clamp_to_long(timeline_.tick_to_sixteenths(timeline_.ms_to_tick(value)));
  }

  HWND window_;
  MCIDEVICEID device_ = 0;
  bool inMilliseconds_ = false;
  MidiTimeline timeline_;
};

}  // namespace

std::unique_ptr<SequencerDevice> make_mci_sequencer(HWND window) { return std::make_unique<MciSequencer>(window); }

bool mci_sequencer_can_play() { return midiOutGetNumDevs() > 0; }

}  // namespace mel
