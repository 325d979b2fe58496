// A fixed-capacity output buffer. Writers position themselves by the byte
// offsets their formats define; anything that would land past the capacity is
// dropped (and remembered), so no writer can run off its buffer. Only what is
// written is filled in, so a small file does not pay for clearing the whole
// capacity; unwritten bytes read as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mel {

class ByteSink {
 public:
  // The whole capacity is reserved at once: the pages stay untouched until
  // written, and the buffer never moves.
  explicit ByteSink(std::size_t capacity) : capacity_(capacity) { bytes_.reserve(capacity); }

  std::size_t pos() const { return pos_; }
  std::size_t capacity() const { return capacity_; }
  bool overflowed() const { return overflowed_; }

  // Moves the write position back (to discard) or forward within the capacity.
  void set_pos(std::size_t pos) {
    pos_ = pos <= capacity_ ? pos : capacity_;
    if (bytes_.size() < pos_) bytes_.resize(pos_, 0);
  }

  void put(uint8_t b) {
    if (pos_ >= capacity_) {
      overflowed_ = true;
    } else if (pos_ == bytes_.size()) {
      bytes_.push_back(b);
      ++pos_;
    } else {
      bytes_[pos_++] = b;
    }
  }

  // Stores value as n big-endian bytes; bytes above the value's four are 0.
  void put_be(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) put(byte_of(value, i));
  }

  void put_bytes(const uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) put(data[i]);
  }

  void put_text(const std::string& text) {
    put_bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

  // Overwrites n big-endian bytes at an earlier offset (length fields).
  void patch_be(std::size_t at, uint32_t value, int n) {
    for (int i = 0; i < n; ++i) {
      std::size_t p = at + static_cast<std::size_t>(i);
      if (p >= capacity_) continue;
      if (p >= bytes_.size()) bytes_.resize(p + 1, 0);
      bytes_[p] = byte_of(value, n - 1 - i);
    }
  }

  uint8_t at(std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
  // The bytes [0, pos): always held (the memory never ends before pos).
  const uint8_t* data() const { return bytes_.data(); }

  // The written bytes, [0, pos).
  std::vector<uint8_t> take() {
    bytes_.resize(pos_);
    return std::move(bytes_);
  }

 private:
  // Byte number index of value, counted from the least significant; a shift
  // by 32 or more would be undefined, so such bytes are 0.
  static uint8_t byte_of(uint32_t value, int index) {
    return index < 4 ? static_cast<uint8_t>(value >> (8 * index)) : 0;
  }

  std::vector<uint8_t> bytes_;
  std::size_t capacity_;
  std::size_t pos_ = 0;
  bool overflowed_ = false;
};

// Writes a MIDI variable-length quantity of at most three bytes; larger values
// are clamped to 0x1FFFFF, the largest three-byte quantity.
inline void put_vlq3(ByteSink& out, uint32_t value) {
  if (value > 0x1FFFFF) value = 0x1FFFFF;
  if (value >= 0x4000) out.put(static_cast<uint8_t>(0x80 | (value >> 14)));
  if (value >= 0x80) out.put(static_cast<uint8_t>(0x80 | ((value >> 7) & 0x7F)));
  out.put(static_cast<uint8_t>(value & 0x7F));
}

// Writes a text length the way the song texts store it: one byte below 128,
// else (length div 128) | 0x80 and length mod 128.
inline void put_text_length(ByteSink& out, std::size_t length) {
  if (length >= 128) {
    out.put(static_cast<uint8_t>((length / 128) | 0x80));
    out.put(static_cast<uint8_t>(length % 128));
  } else {
    out.put(static_cast<uint8_t>(length));
  }
}

}  // namespace mel
