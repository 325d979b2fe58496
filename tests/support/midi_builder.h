// Small builders for Standard MIDI File and DXM test inputs.
//
//   using namespace mel::test;
//   TrackBuilder t;                       // an "MTrk" chunk (Flavour::Dxm: "CTrk")
//   t.tempo_bpm(0, 120)                   // every event takes its delta time first
//    .note_on(0, 0, 60)                   // delta 0, channel index 0, key 60, velocity 100
//    .note_off(480, 0, 60)                // DXM: the key only, no velocity byte
//    .end();                              // FF 2F 00
//   std::vector<uint8_t> file = MidiFileBuilder(1, 480).track(t).bytes();
//
// Channels are indices 0-15 (MIDI channel 10 is index 9). The track count in
// the header is the number of tracks added unless set_track_count() says
// otherwise. Nothing is validated: tests may build broken files on purpose
// (raw(), running(), header_length(), chunk lengths that lie).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace mel::test {

using Bytes = std::vector<uint8_t>;

enum class Flavour { Midi, Dxm };

// Appends value as n big-endian bytes.
inline void append_be(Bytes& out, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Appends a MIDI variable-length quantity (any 28-bit value).
inline void append_vlq(Bytes& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0 && n < 5);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

inline Bytes vlq(uint32_t value) {
  Bytes out;
  append_vlq(out, value);
  return out;
}

inline void append_text(Bytes& out, const std::string& text) {
  for (char c : text) out.push_back(static_cast<uint8_t>(c));
}

inline void append_bytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// The events of one track chunk.
class TrackBuilder {
 public:
  explicit TrackBuilder(Flavour flavour = Flavour::Midi) : flavour_(flavour) {}

  // With running status on, a channel event whose status equals the previous
  // one is written without its status byte.
  TrackBuilder& running_status(bool on) {
    running_status_ = on;
    return *this;
  }

  // --- channel events -------------------------------------------------------
  TrackBuilder& note_on(uint32_t delta, int channel, int key, int velocity = 100) {
    return channel_event(delta, 0x90, channel, {key, velocity});
  }
  // MIDI: key and velocity. DXM: the key only.
  TrackBuilder& note_off(uint32_t delta, int channel, int key, int velocity = 64) {
    if (flavour_ == Flavour::Dxm) return channel_event(delta, 0x80, channel, {key});
    return channel_event(delta, 0x80, channel, {key, velocity});
  }
  TrackBuilder& poly_pressure(uint32_t delta, int channel, int key, int value) {
    return channel_event(delta, 0xA0, channel, {key, value});
  }
  TrackBuilder& control(uint32_t delta, int channel, int controller, int value) {
    return channel_event(delta, 0xB0, channel, {controller, value});
  }
  TrackBuilder& volume(uint32_t delta, int channel, int value) { return control(delta, channel, 7, value); }
  TrackBuilder& pan(uint32_t delta, int channel, int value) { return control(delta, channel, 10, value); }
  TrackBuilder& program(uint32_t delta, int channel, int program) {
    return channel_event(delta, 0xC0, channel, {program});
  }
  TrackBuilder& channel_pressure(uint32_t delta, int channel, int value) {
    return channel_event(delta, 0xD0, channel, {value});
  }
  // MIDI: 14-bit value as LSB, MSB. DXM: one byte, the high seven bits.
  TrackBuilder& pitch_bend(uint32_t delta, int channel, int value14 = 0x2000) {
    if (flavour_ == Flavour::Dxm) return channel_event(delta, 0xE0, channel, {(value14 >> 7) & 0x7F});
    return channel_event(delta, 0xE0, channel, {value14 & 0x7F, (value14 >> 7) & 0x7F});
  }
  // Data bytes with no status byte: they use the running status.
  TrackBuilder& running(uint32_t delta, std::initializer_list<int> data) {
    append_vlq(bytes_, delta);
    for (int d : data) bytes_.push_back(static_cast<uint8_t>(d));
    return *this;
  }

  // --- meta and system-exclusive events --------------------------------------
  TrackBuilder& meta(uint32_t delta, int type, const Bytes& data) {
    append_vlq(bytes_, delta);
    bytes_.push_back(0xFF);
    bytes_.push_back(static_cast<uint8_t>(type));
    append_vlq(bytes_, static_cast<uint32_t>(data.size()));
    append_bytes(bytes_, data);
    last_status_ = 0;
    return *this;
  }
  TrackBuilder& meta_text(uint32_t delta, int type, const std::string& text) {
    return meta(delta, type, Bytes(text.begin(), text.end()));
  }
  TrackBuilder& text(uint32_t delta, const std::string& t) { return meta_text(delta, 0x01, t); }
  TrackBuilder& copyright(uint32_t delta, const std::string& t) { return meta_text(delta, 0x02, t); }
  TrackBuilder& track_name(uint32_t delta, const std::string& t) { return meta_text(delta, 0x03, t); }
  TrackBuilder& tempo_usec(uint32_t delta, uint32_t microsecondsPerQuarter) {
    Bytes data;
    append_be(data, microsecondsPerQuarter, 3);
    return meta(delta, 0x51, data);
  }
  TrackBuilder& tempo_bpm(uint32_t delta, int quartersPerMinute) {
    return tempo_usec(delta, 60000000u / static_cast<uint32_t>(quartersPerMinute));
  }
  TrackBuilder& time_signature(uint32_t delta, int numerator, int denominatorPower) {
    return meta(delta, 0x58, Bytes{static_cast<uint8_t>(numerator), static_cast<uint8_t>(denominatorPower), 24, 8});
  }
  // F0 (or F7), length, data.
  TrackBuilder& sysex(uint32_t delta, const Bytes& data, uint8_t status = 0xF0) {
    append_vlq(bytes_, delta);
    bytes_.push_back(status);
    append_vlq(bytes_, static_cast<uint32_t>(data.size()));
    append_bytes(bytes_, data);
    last_status_ = 0;
    return *this;
  }
  // FF 2F 00.
  TrackBuilder& end(uint32_t delta = 0) { return meta(delta, 0x2F, {}); }

  // Any bytes, as they are (no delta time).
  TrackBuilder& raw(const Bytes& data) {
    append_bytes(bytes_, data);
    return *this;
  }

  Flavour flavour() const { return flavour_; }
  const Bytes& events() const { return bytes_; }

  // The chunk: tag, 4-byte length of the events (or lengthOverride), events.
  Bytes chunk(long lengthOverride = -1) const {
    Bytes out;
    append_text(out, flavour_ == Flavour::Dxm ? "CTrk" : "MTrk");
    append_be(out, lengthOverride >= 0 ? static_cast<uint32_t>(lengthOverride) : static_cast<uint32_t>(bytes_.size()), 4);
    append_bytes(out, bytes_);
    return out;
  }

 private:
  TrackBuilder& channel_event(uint32_t delta, int kind, int channel, std::initializer_list<int> data) {
    append_vlq(bytes_, delta);
    uint8_t status = static_cast<uint8_t>(kind | (channel & 0x0F));
    if (!running_status_ || status != last_status_) bytes_.push_back(status);
    last_status_ = status;
    for (int d : data) bytes_.push_back(static_cast<uint8_t>(d & 0x7F));
    return *this;
  }

  Flavour flavour_;
  Bytes bytes_;
  bool running_status_ = false;
  uint8_t last_status_ = 0;
};

// A whole file: optional leading bytes, the header chunk, then track chunks
// and any other bytes in the order they were added.
class MidiFileBuilder {
 public:
  explicit MidiFileBuilder(int format = 1, int division = 480, Flavour flavour = Flavour::Midi)
      : flavour_(flavour), format_(format), division_(division) {}

  // A track chunk (its own flavour decides the tag).
  MidiFileBuilder& track(const TrackBuilder& t, long lengthOverride = -1) {
    append_bytes(body_, t.chunk(lengthOverride));
    ++tracks_;
    return *this;
  }
  // Bytes after the header (foreign chunks, stray bytes, truncated chunks).
  MidiFileBuilder& raw(const Bytes& data) {
    append_bytes(body_, data);
    return *this;
  }
  // Bytes before the header (a DXM container's directory, an RIFF wrapper...).
  MidiFileBuilder& prefix(const Bytes& data) {
    append_bytes(prefix_, data);
    return *this;
  }
  MidiFileBuilder& set_track_count(int n) {
    trackCountOverride_ = n;
    return *this;
  }
  // The header chunk's length field (normally 6, whatever the bytes that
  // follow), and how many zero bytes to add after the six field bytes.
  MidiFileBuilder& header_length(uint32_t field, std::size_t padding = 0) {
    headerLength_ = field;
    headerPadding_ = padding;
    return *this;
  }

  Bytes header() const {
    Bytes out;
    append_text(out, flavour_ == Flavour::Dxm ? "CThd" : "MThd");
    append_be(out, headerLength_, 4);
    Bytes fields;
    append_be(fields, static_cast<uint32_t>(format_), 2);
    append_be(fields, static_cast<uint32_t>(trackCountOverride_ >= 0 ? trackCountOverride_ : tracks_), 2);
    append_be(fields, static_cast<uint32_t>(division_), 2);
    fields.resize(fields.size() + headerPadding_, 0);
    append_bytes(out, fields);
    return out;
  }

  Bytes bytes() const {
    Bytes out = prefix_;
    append_bytes(out, header());
    append_bytes(out, body_);
    return out;
  }

 private:
  Flavour flavour_;
  int format_;
  int division_;
  int tracks_ = 0;
  int trackCountOverride_ = -1;
  uint32_t headerLength_ = 6;
  std::size_t headerPadding_ = 0;
  Bytes prefix_;
  Bytes body_;
};

// A DXM directory entry that points at a text: type 02, identifier (C0 title,
// C3 copyright), 4-byte offset from the start of the file, 4-byte size (for
// any real text its high byte is 0 and the length sits in its last two bytes).
inline Bytes dxm_text_entry(uint8_t identifier, uint32_t offset, uint32_t size) {
  Bytes out{0x02, identifier};
  append_be(out, offset, 4);
  append_be(out, size, 4);
  return out;
}
constexpr uint8_t kDxmTitleEntry = 0xC0;
constexpr uint8_t kDxmCopyrightEntry = 0xC3;

}  // namespace mel::test
