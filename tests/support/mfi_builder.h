// Builds MFi / CMX files in tests: the 13-byte file header, header sub-chunks
// (title, copyright, note event size, anything else) and track chunks of
// delta-timed events.
//
//   MfiBuilder b;                       // "melo"
//   b.title("song");
//   b.track().tempo(0, 0xC3, 120).note(0, 0, 15, 40).note(48, 0, 17, 40).end(48);
//   std::vector<uint8_t> file = b.bytes();
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace mel {
namespace test {

class MfiTrack {
 public:
  // A note event: delta, status (slot in bits 7-6, key 0-63), gate.
  MfiTrack& note(int delta, int slot, int key, int gate) {
    put(delta);
    put((slot << 6) | (key & 0x3F));
    put(gate);
    return *this;
  }

  // A 4-byte note event: the fourth byte holds velocity (0-63) in bits 7-2 and
  // the octave shift (-2..1) as a signed 2-bit number in bits 1-0.
  MfiTrack& note4(int delta, int slot, int key, int gate, int velocity, int octave = 0) {
    note(delta, slot, key, gate);
    put((velocity << 2) | (octave & 0x03));
    return *this;
  }

  // An extended event: delta, 0xFF, status, data.
  MfiTrack& ext(int delta, int status, int data) {
    put(delta);
    put(0xFF);
    put(status);
    put(data);
    return *this;
  }

  MfiTrack& tempo(int delta, int status, int quarterNotesPerMinute) { return ext(delta, status, quarterNotesPerMinute); }
  MfiTrack& voice(int delta, int slot, int voice) { return ext(delta, 0xE0, (slot << 6) | voice); }
  MfiTrack& bank(int delta, int slot, int bank) { return ext(delta, 0xE1, (slot << 6) | bank); }
  MfiTrack& volume(int delta, int slot, int volume) { return ext(delta, 0xE2, (slot << 6) | volume); }
  MfiTrack& pan(int delta, int slot, int pan) { return ext(delta, 0xE3, (slot << 6) | pan); }
  MfiTrack& assign(int delta, int slot, int channel) { return ext(delta, 0xE5, (slot << 6) | channel); }
  MfiTrack& rhythm(int delta, int channel, bool drum) { return ext(delta, 0xBA, (channel << 3) | (drum ? 1 : 0)); }
  MfiTrack& end_marker(int delta) { return ext(delta, 0xD0, 1); }
  MfiTrack& filler(int delta) { return ext(delta, 0xDE, 0); }
  MfiTrack& end(int delta) { return ext(delta, 0xDF, 0); }

  // A long event (status 0xF0-0xFF): 16-bit length and data.
  MfiTrack& long_event(int delta, int status, const std::vector<uint8_t>& payload) {
    put(delta);
    put(0xFF);
    put(status);
    put(static_cast<int>(payload.size() >> 8));
    put(static_cast<int>(payload.size() & 0xFF));
    data.insert(data.end(), payload.begin(), payload.end());
    return *this;
  }

  // Makes the chunk claim a length other than its data's.
  MfiTrack& declare_length(uint32_t length) {
    declaredLength = static_cast<int64_t>(length);
    return *this;
  }

  std::vector<uint8_t> data;
  int64_t declaredLength = -1;

 private:
  void put(int b) { data.push_back(static_cast<uint8_t>(b)); }
};

class MfiBuilder {
 public:
  explicit MfiBuilder(const std::string& magic = "melo") : magic_(magic) {}

  MfiBuilder& sub_chunk(const std::string& tag, const std::vector<uint8_t>& payload) {
    header_.insert(header_.end(), tag.begin(), tag.end());
    header_.push_back(static_cast<uint8_t>(payload.size() >> 8));
    header_.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    header_.insert(header_.end(), payload.begin(), payload.end());
    return *this;
  }
  MfiBuilder& title(const std::string& text) { return sub_chunk("titl", {text.begin(), text.end()}); }
  MfiBuilder& copyright(const std::string& text) { return sub_chunk("copy", {text.begin(), text.end()}); }
  MfiBuilder& four_byte_notes(bool on = true) { return sub_chunk("note", {0x00, static_cast<uint8_t>(on ? 1 : 0)}); }

  // Starts a new track chunk; the reference stays valid for the builder's life.
  MfiTrack& track() {
    tracks_.emplace_back();
    return tracks_.back();
  }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out(magic_.begin(), magic_.end());
    put_be(out, 0, 4);  // file length - 8, patched below
    put_be(out, static_cast<uint32_t>(3 + header_.size()), 2);
    out.push_back(0x01);  // content type
    out.push_back(0x02);  // content subtype
    out.push_back(static_cast<uint8_t>(tracks_.size()));
    out.insert(out.end(), header_.begin(), header_.end());
    for (const MfiTrack& t : tracks_) {
      out.insert(out.end(), {'t', 'r', 'a', 'c'});
      uint32_t length = t.declaredLength >= 0 ? static_cast<uint32_t>(t.declaredLength)
                                              : static_cast<uint32_t>(t.data.size());
      put_be(out, length, 4);
      out.insert(out.end(), t.data.begin(), t.data.end());
    }
    uint32_t rest = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(rest >> (8 * (3 - i)));
    return out;
  }

 private:
  static void put_be(std::vector<uint8_t>& out, uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }

  std::string magic_;
  std::vector<uint8_t> header_;
  std::deque<MfiTrack> tracks_;
};

}  // namespace test
}  // namespace mel
