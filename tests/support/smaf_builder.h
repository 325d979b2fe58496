// Small builders for SMAF test input: sequence events, setup voices, score
// track chunks and the file chunk around them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mel::test {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A SMAF variable-length number: each continuation byte counts one more, so
// 256 is 81 00 and 128 is 80 00.
inline Bytes smaf_number(uint32_t value) {
  Bytes out{static_cast<uint8_t>(value & 0x7F)};
  value >>= 7;
  while (value > 0) {
    value -= 1;
    out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    value >>= 7;
  }
  return out;
}

// A chunk: four-byte tag, 32-bit big-endian size, data.
inline Bytes smaf_chunk(const std::string& tag, const Bytes& data) {
  Bytes out(tag.begin(), tag.end());
  uint32_t n = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(n >> shift));
  append(out, data);
  return out;
}

// Sequence events of the handy-phone form. Every event starts with its
// duration (ticks since the previous event).
class SmafSequence {
 public:
  SmafSequence& note(uint32_t duration, int channel, int octave, int note, uint32_t gate) {
    put_duration(duration);
    bytes_.push_back(static_cast<uint8_t>((channel << 6) | (octave << 4) | note));
    append(bytes_, smaf_number(gate));
    return *this;
  }
  // 00 C V: control type 0x30-0x3F on a channel.
  SmafSequence& control(uint32_t duration, int channel, int type, int value) {
    put_duration(duration);
    append(bytes_, {0x00, static_cast<uint8_t>((channel << 6) | type), static_cast<uint8_t>(value)});
    return *this;
  }
  SmafSequence& program(uint32_t duration, int channel, int value) { return control(duration, channel, 0x30, value); }
  SmafSequence& bank(uint32_t duration, int channel, int value) { return control(duration, channel, 0x31, value); }
  SmafSequence& octave_shift(uint32_t duration, int channel, int value) { return control(duration, channel, 0x32, value); }
  SmafSequence& volume(uint32_t duration, int channel, int value) { return control(duration, channel, 0x37, value); }
  SmafSequence& pan(uint32_t duration, int channel, int value) { return control(duration, channel, 0x3A, value); }
  SmafSequence& expression(uint32_t duration, int channel, int value) { return control(duration, channel, 0x3B, value); }
  // 00 C with C bits 5-4 = 00: short expression x (0-15).
  SmafSequence& short_expression(uint32_t duration, int channel, int x) {
    put_duration(duration);
    append(bytes_, {0x00, static_cast<uint8_t>((channel << 6) | x)});
    return *this;
  }
  SmafSequence& nop(uint32_t duration) {
    put_duration(duration);
    append(bytes_, {0xFF, 0x00});
    return *this;
  }
  SmafSequence& exclusive(uint32_t duration, const Bytes& data) {
    put_duration(duration);
    append(bytes_, {0xFF, 0xF0, static_cast<uint8_t>(data.size())});
    append(bytes_, data);
    return *this;
  }
  // FF followed by anything but 00 or F0.
  SmafSequence& end_marker(uint32_t duration) {
    put_duration(duration);
    append(bytes_, {0xFF, 0x2F});
    return *this;
  }
  // Duration 0, then 00 00 00.
  SmafSequence& end() {
    append(bytes_, {0x00, 0x00, 0x00, 0x00});
    return *this;
  }
  SmafSequence& raw(const Bytes& data) {
    append(bytes_, data);
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  void put_duration(uint32_t duration) { append(bytes_, smaf_number(duration)); }
  Bytes bytes_;
};

// A voice definition for the setup: FF F0 n, 43 03, two bytes, the voice
// number (byte 7 from the FF), two bytes, the ten voice parameters (bytes
// 10-19), F7.
inline Bytes smaf_voice(int voice, const Bytes& params) {
  Bytes data{0x43, 0x03, 0x00, 0x00, static_cast<uint8_t>(voice), 0x00, 0x00};
  append(data, params);
  data.push_back(0xF7);
  Bytes out{0xFF, 0xF0, static_cast<uint8_t>(data.size())};
  append(out, data);
  return out;
}

// One score track chunk ("MTR" + number) with its 14-byte header.
struct SmafTrack {
  uint8_t number = 0;
  uint8_t formatType = 0;        // 0 = handy-phone form
  uint8_t timebaseCode = 0x02;   // 4 ms: timebase 125, tempo 120
  uint8_t channelStatus[2] = {0x00, 0x00};  // two bits 11 in a nibble = rhythm channel
  Bytes setup;                   // "Mtsu" data, omitted when empty
  Bytes sequence;                // "Mtsq" data

  SmafTrack& rhythm_channel(int channel) {
    uint8_t& b = channelStatus[channel / 2];
    b |= channel % 2 == 0 ? 0x30 : 0x03;
    return *this;
  }

  Bytes build() const {
    Bytes data{formatType, 0x00, timebaseCode, timebaseCode, channelStatus[0], channelStatus[1]};
    if (!setup.empty()) append(data, smaf_chunk("Mtsu", setup));
    append(data, smaf_chunk("Mtsq", sequence));
    return smaf_chunk(std::string("MTR") + static_cast<char>(number), data);
  }
};

// Contents information with the given text (e.g. "ST:title,CR:author").
inline Bytes smaf_contents(const std::string& text) {
  Bytes data{0x00, 0x00, 0x00, 0x00, 0x00};  // class, type, code type, status, counts
  data.insert(data.end(), text.begin(), text.end());
  return smaf_chunk("CNTI", data);
}

// The file chunk around the given chunks, with the two check bytes after it.
inline Bytes smaf_file(const std::vector<Bytes>& chunks) {
  Bytes body;
  for (const Bytes& c : chunks) append(body, c);
  Bytes out = smaf_chunk("MMMD", body);
  append(out, {0x00, 0x00});
  return out;
}

inline Bytes smaf_file_with_sequence(const SmafSequence& seq, uint8_t timebaseCode = 0x02) {
  SmafTrack track;
  track.timebaseCode = timebaseCode;
  track.sequence = seq.bytes();
  return smaf_file({smaf_contents(""), track.build()});
}

}  // namespace mel::test
