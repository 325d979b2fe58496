// A bounds-checked cursor over input bytes. Every read past the end returns 0
// and clears the sticky ok flag, so a reader can parse hostile input without
// checking each step and test ok() where it matters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mel {

// A non-owning view of bytes.
struct ByteView {
  const uint8_t* data = nullptr;
  std::size_t size = 0;

  ByteView() = default;
  ByteView(const uint8_t* d, std::size_t n) : data(d), size(n) {}
  template <class Container>
  explicit ByteView(const Container& c) : data(c.data()), size(c.size()) {}

  uint8_t at(std::size_t i) const { return i < size ? data[i] : 0; }
  // True when the bytes at offset equal the tag (false when they run past the end).
  bool matches(std::size_t offset, const char* tag, std::size_t n) const {
    // An empty tag matches without memcmp, which must not see a null view.
    return offset <= size && n <= size - offset && (n == 0 || std::memcmp(data + offset, tag, n) == 0);
  }
};

class ByteReader {
 public:
  explicit ByteReader(ByteView view, std::size_t start = 0) : view_(view), pos_(start) {
    if (pos_ > view_.size) {
      pos_ = view_.size;
      ok_ = false;
    }
  }

  bool ok() const { return ok_; }
  bool at_end() const { return pos_ >= view_.size; }
  std::size_t pos() const { return pos_; }
  std::size_t remaining() const { return view_.size - pos_; }
  ByteView view() const { return view_; }

  void seek(std::size_t pos) {
    if (pos > view_.size) {
      ok_ = false;
      pos = view_.size;
    }
    pos_ = pos;
  }

  uint8_t peek(std::size_t ahead = 0) const {
    return ahead < remaining() ? view_.data[pos_ + ahead] : 0;
  }

  uint8_t u8() {
    if (pos_ >= view_.size) {
      ok_ = false;
      return 0;
    }
    return view_.data[pos_++];
  }

  uint32_t u16be() {
    uint32_t hi = u8();
    return (hi << 8) | u8();
  }

  uint32_t u24be() {
    uint32_t v = u16be();
    return (v << 8) | u8();
  }

  uint32_t u32be() {
    uint32_t v = u16be();
    return (v << 16) | u16be();
  }

  // A MIDI variable-length quantity of at most four bytes.
  uint32_t vlq() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = u8();
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    return value;
  }

  void skip(std::size_t n) {
    if (n > remaining()) {
      ok_ = false;
      pos_ = view_.size;
    } else {
      pos_ += n;
    }
  }

  bool matches(const char* tag, std::size_t n) const { return view_.matches(pos_, tag, n); }

 private:
  ByteView view_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace mel
