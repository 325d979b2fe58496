// Small builders for SMAF test input: sequence events, setup voices, score
// track chunks and the file chunk around them, in the handy-phone and the
// mobile-standard forms, and a small Huffman coder for compressed sequences.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
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

// ---------------------------------------------------------------------------
// Mobile-standard form

// A MIDI-style variable-length number: 7 bits a byte, most significant first
// (128 is 81 00).
inline Bytes mobile_number(uint32_t value) {
  Bytes out{static_cast<uint8_t>(value & 0x7F)};
  for (value >>= 7; value > 0; value >>= 7) out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  return out;
}

// Sequence records of the mobile-standard forms: a duration, then a status
// byte with the channel in its low nibble and the event's data.
class MobileSequence {
 public:
  // 9n key velocity gate.
  MobileSequence& note(uint32_t duration, int channel, int key, int velocity, uint32_t gate) {
    event(duration, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)});
    append(bytes_, mobile_number(gate));
    return *this;
  }
  // 8n key gate: the channel's last velocity.
  MobileSequence& note_again(uint32_t duration, int channel, int key, uint32_t gate) {
    event(duration, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key)});
    append(bytes_, mobile_number(gate));
    return *this;
  }
  MobileSequence& control(uint32_t duration, int channel, int controller, int value) {
    return event(duration, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
  }
  MobileSequence& bank(uint32_t duration, int channel, int msb) { return control(duration, channel, 0x00, msb); }
  MobileSequence& volume(uint32_t duration, int channel, int value) { return control(duration, channel, 0x07, value); }
  MobileSequence& pan(uint32_t duration, int channel, int value) { return control(duration, channel, 0x0A, value); }
  MobileSequence& expression(uint32_t duration, int channel, int value) { return control(duration, channel, 0x0B, value); }
  MobileSequence& program(uint32_t duration, int channel, int program) {
    return event(duration, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
  }
  MobileSequence& pitch_bend(uint32_t duration, int channel, int value) {
    return event(duration, {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>(value >> 7)});
  }
  // F0 length data.
  MobileSequence& exclusive(uint32_t duration, const Bytes& data) {
    append(bytes_, mobile_number(duration));
    bytes_.push_back(0xF0);
    append(bytes_, mobile_number(static_cast<uint32_t>(data.size())));
    append(bytes_, data);
    return *this;
  }
  MobileSequence& nop(uint32_t duration) { return event(duration, {0xFF, 0x00}); }
  MobileSequence& end(uint32_t duration = 0) { return event(duration, {0xFF, 0x2F, 0x00}); }
  MobileSequence& event(uint32_t duration, const Bytes& data) {
    append(bytes_, mobile_number(duration));
    append(bytes_, data);
    return *this;
  }
  MobileSequence& raw(const Bytes& data) {
    append(bytes_, data);
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A mobile-standard score track chunk: format type, sequence type 0, the two
// timebase codes, one status byte per channel, then the sub-chunks.
struct MobileTrack {
  uint8_t number = 5;
  uint8_t formatType = 0x02;     // 1 compressed, 2 plain, 3 32-channel
  uint8_t durationBase = 0x02;   // 4 ms
  uint8_t gateBase = 0x02;
  std::vector<uint8_t> channelStatus = std::vector<uint8_t>(16, 0x00);
  Bytes setup;                   // "Mtsu" data, omitted when empty
  Bytes sequence;                // "Mtsq" data as it is stored
  Bytes streamWaves;             // "Mtsp" data, omitted when empty

  Bytes build() const {
    Bytes data{formatType, 0x00, durationBase, gateBase};
    append(data, channelStatus);
    if (!setup.empty()) append(data, smaf_chunk("Mtsu", setup));
    append(data, smaf_chunk("Mtsq", sequence));
    if (!streamWaves.empty()) append(data, smaf_chunk("Mtsp", streamWaves));
    return smaf_chunk(std::string("MTR") + static_cast<char>(number), data);
  }
};

// A "Mwa" wave chunk: mono ADPCM at 8000 Hz and a few data bytes.
inline Bytes smaf_wave(uint8_t number) { return smaf_chunk(std::string("Mwa") + static_cast<char>(number), {0x20, 0x1F, 0x40, 0x00, 0x00}); }

// Contents information with the given text encoding code and no texts.
inline Bytes smaf_contents_coded(uint8_t code, const std::string& text = "") {
  Bytes data{0x00, 0x32, code, 0x00, 0x00};
  data.insert(data.end(), text.begin(), text.end());
  return smaf_chunk("CNTI", data);
}

// One text record of a "Dch" chunk: tag, 16-bit length, text.
inline Bytes smaf_text_record(const std::string& tag, const Bytes& text) {
  Bytes out(tag.begin(), tag.end());
  out.push_back(static_cast<uint8_t>(text.size() >> 8));
  out.push_back(static_cast<uint8_t>(text.size()));
  append(out, text);
  return out;
}

// Optional data with one "Dch" chunk of the given encoding code and records.
inline Bytes smaf_optional_data(uint8_t code, const Bytes& records) {
  return smaf_chunk("OPDA", smaf_chunk(std::string("Dch") + static_cast<char>(code), records));
}

// A Huffman coder of the compressed form: the expanded size, the code tree in
// pre-order (1 inner node, 0 leaf + 8 bits) and the codes, most significant
// bit first, the last byte padded with 0 bits. The tree is built from the
// byte frequencies, as an encoder would.
class HuffmanEncoder {
 public:
  static Bytes compress(const Bytes& data) {
    HuffmanEncoder e;
    Bytes out;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(data.size() >> shift));
    if (data.empty()) {
      e.put_bits(0x00, 9);  // a single leaf
    } else {
      Node* root = e.build_tree(data);
      e.write_tree(root, {});
      for (uint8_t b : data) {
        for (bool bit : e.codes_[b]) e.put_bits(bit ? 1 : 0, 1);
      }
    }
    append(out, e.bits_);
    return out;
  }

 private:
  struct Node {
    uint64_t weight = 0;
    int value = -1;  // -1 for an inner node
    Node* left = nullptr;
    Node* right = nullptr;
  };

  Node* make(uint64_t weight, int value, Node* left, Node* right) {
    nodes_.push_back(std::make_unique<Node>(Node{weight, value, left, right}));
    return nodes_.back().get();
  }

  Node* build_tree(const Bytes& data) {
    uint64_t counts[256] = {};
    for (uint8_t b : data) ++counts[b];
    std::vector<Node*> pool;
    for (int v = 0; v < 256; ++v) {
      if (counts[v] > 0) pool.push_back(make(counts[v], v, nullptr, nullptr));
    }
    while (pool.size() > 1) {
      std::sort(pool.begin(), pool.end(), [](const Node* a, const Node* b) {
        return a->weight != b->weight ? a->weight > b->weight : a->value > b->value;
      });
      Node* a = pool.back();
      pool.pop_back();
      Node* b = pool.back();
      pool.pop_back();
      pool.push_back(make(a->weight + b->weight, -1, a, b));
    }
    return pool.front();
  }

  void write_tree(const Node* node, std::vector<bool> path) {
    if (node->value >= 0) {
      put_bits(0, 1);
      put_bits(static_cast<uint32_t>(node->value), 8);
      codes_[node->value] = path;
      return;
    }
    put_bits(1, 1);
    path.push_back(false);
    write_tree(node->left, path);
    path.back() = true;
    write_tree(node->right, path);
  }

  void put_bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (bitCount_ % 8 == 0) bits_.push_back(0);
      if ((value >> i) & 1) bits_.back() |= static_cast<uint8_t>(0x80 >> (bitCount_ % 8));
      ++bitCount_;
    }
  }

  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<bool> codes_[256];
  Bytes bits_;
  std::size_t bitCount_ = 0;
};

// A whole mobile-standard file: contents information and the given chunks.
inline Bytes mobile_file(const MobileSequence& seq, uint8_t formatType = 0x02) {
  MobileTrack track;
  track.formatType = formatType;
  track.sequence = formatType == 0x01 ? HuffmanEncoder::compress(seq.bytes()) : seq.bytes();
  return smaf_file({smaf_contents_coded(0x00), track.build()});
}

}  // namespace mel::test
