#include "formats/smaf/smaf_mobile_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/cp932.h"
#include "common/text_encoding.h"
#include "formats/smaf/smaf_format.h"
#include "midi/midi_bytes.h"
#include "formats/midi/midi_reader.h"

namespace mel {
namespace {

// ---------------------------------------------------------------------------
// Chunks inside a score track and inside the optional data

using smaf::kChunkHeaderSize;
using smaf::kChunkSizeOffset;
using smaf::kSequenceTag;
using smaf::kSetupTag;
using smaf::kTagSize;

constexpr std::size_t kShortTagSize = 3;  // tags whose 4th byte is a number or code
constexpr char kStreamWaveTag[] = "Mtsp";
constexpr char kWaveTag[] = "Mwa";
constexpr char kTextDataTag[] = "Dch";

// Score track header, from the format type on: format type, sequence type,
// the duration and gate timebase codes, then one status byte per channel.
constexpr std::size_t kDurationBaseAt = smaf::kTimebaseCodeOffset - smaf::kFormatTypeOffset;
constexpr std::size_t kGateBaseAt = smaf::kGateTimebaseOffset - smaf::kFormatTypeOffset;
constexpr std::size_t kChannelStatusAt = smaf::kChannelStatusOffset - smaf::kFormatTypeOffset;
constexpr std::size_t kChannelCount = midi::kChannelCount;
constexpr std::size_t kWideChannelCount = 32;
constexpr uint8_t kChannelTypeMask = 0x03;
constexpr uint8_t kRhythmChannelType = 3;

// ---------------------------------------------------------------------------
// Sequence events: a duration (variable-length number) before every event.

// The status bytes are MIDI's, with other data after them.
constexpr uint8_t kStatusBit = midi::kStatusBit;
constexpr uint8_t kStatusKindMask = midi::kStatusMask;
constexpr uint8_t kChannelMask = midi::kChannelMask;
constexpr uint8_t kNoteRunningVelocity = midi::kNoteOff;  // key, gate
constexpr uint8_t kNoteWithVelocity = midi::kNoteOn;      // key, velocity, gate
constexpr uint8_t kReservedTwoBytes = midi::kKeyPressure;
constexpr uint8_t kControlChange = midi::kControlChange;  // controller, value
constexpr uint8_t kProgramChange = midi::kProgramChange;  // program
constexpr uint8_t kReservedOneByte = midi::kChannelPressure;
constexpr uint8_t kPitchBend = midi::kPitchBend;          // low, high
constexpr uint8_t kExclusive = midi::kSysEx;              // length, data
constexpr uint8_t kMeta = midi::kMeta;                    // FF 00 no operation, FF 2F 00 end
constexpr uint8_t kNoOperation = 0x00;
constexpr uint8_t kEndOfSequence = midi::kMetaEndOfTrack;

// In the 32-channel form every status but F0 and FF is packed: bit 7 picks
// channels 16-31, bits 6-4 the event kind (as the high nibble's low bits in
// the 16-channel form), bits 3-0 the channel.
constexpr uint8_t kWideBankBit = 0x80;
constexpr int kWideKindShift = 4;
constexpr uint8_t kWideKindMask = 0x07;

// A variable-length number: 7 bits a byte, most significant first, without
// the handy-phone form's extra count per continuation byte.
using smaf::kMaxNumberBytes;
using smaf::kNumberBitsMask;
using smaf::kNumberMoreBit;
constexpr int kNumberBitsPerByte = 7;

// Controllers and banks.
constexpr uint8_t kBankSelect = 0x00;
constexpr uint8_t kVolumeController = midi::kControllerVolume;
constexpr uint8_t kPanController = midi::kControllerPan;
constexpr uint8_t kExpressionController = 0x0B;
constexpr int kMelodyBank = 0x7C;
constexpr int kRhythmBank = 0x7D;
constexpr int kNoBank = -1;
constexpr int kFullLevel = midi::kMaxDataByte;
constexpr int kStartVelocity = 64;  // for a running-velocity note before any velocity
constexpr int kStreamWaveKeys = 16;  // keys below this start a stream wave on a rhythm bank

// Times are held below the largest delta a MIDI file can carry (and a
// conversion of them can never overflow).
constexpr int64_t kMaxTime = 0x0FFFFFFF;

// ---------------------------------------------------------------------------
// Timing: each tick code is a number of milliseconds; the score keeps the
// ticks and gets a timebase and tempo that give a tick that length.

struct TickCode {
  uint8_t code;
  int ms;
  int timebase;  // ticks per quarter note
  int tempo;     // quarter notes per minute
};

constexpr std::array<TickCode, 8> kTickCodes{{
    {0x00, 1, 500, 120},
    {0x01, 2, 250, 120},
    {0x02, 4, 125, 120},
    {0x03, 5, 100, 120},
    {0x10, 10, 50, 120},
    {0x11, 20, 24, 125},
    {0x12, 40, 12, 125},
    {0x13, 50, 10, 120},
}};
// An unknown code reads as the handy-phone form's default timing.
constexpr TickCode kUnknownTickCode{0xFF, 0, 24, 126};

const TickCode& tick_code(uint8_t code) {
  for (const TickCode& t : kTickCodes) {
    if (t.code == code) return t;
  }
  return kUnknownTickCode;
}

// ---------------------------------------------------------------------------
// Notices

constexpr char kExpansionNotice[] = "SMAF compressed sequence could not be expanded; its track was skipped";
constexpr char kUnknownEventNotice[] =
    "SMAF sequence has an event of unknown form; reading stopped there, the notes before it were kept";
constexpr char kCutOffNotice[] = "SMAF sequence is cut off inside an event; the notes before it were kept";
constexpr char kWideFormNotice[] =
    "SMAF sequence in the 32-channel form: channels 17-32 were read as channels 1-16";
constexpr char kStreamWaveNotesNotice[] = "SMAF stream wave notes were left out: the score holds no audio";
constexpr char kWaveDataNotice[] = "SMAF wave data was skipped: the score holds no audio";
constexpr char kVoiceSetupNotice[] =
    "SMAF voice definitions were skipped: programs are read as General MIDI programs";
constexpr char kTickCodeNotice[] = "SMAF sequence has an unknown timebase code; read at timebase 24, tempo 126";

void add_notice(SongInfo& song, const char* text) {
  if (std::find(song.notices.begin(), song.notices.end(), text) == song.notices.end()) song.notices.emplace_back(text);
}

// ---------------------------------------------------------------------------
// Chunk walking: every chunk is a tag, a 32-bit big-endian size and its data.
// The size is trusted only as far as the parent's end; fewer bytes than a
// chunk header end the walk.

template <class Visit>
void for_each_chunk(ByteView parent, Visit visit) {
  std::size_t pos = 0;
  while (parent.size - pos >= kChunkHeaderSize) {
    ByteReader r(parent, pos + kChunkSizeOffset);
    uint32_t size = r.u32be();
    std::size_t data = pos + kChunkHeaderSize;
    std::size_t end = size > parent.size - data ? parent.size : data + size;
    visit(pos, ByteView(parent.data + data, end - data));
    pos = end;
  }
}

// ---------------------------------------------------------------------------
// The compressed sequence: the expanded size, then a bit stream (most
// significant bit first) holding the code tree in pre-order (1 = inner node
// with its two subtrees after it, 0 = leaf and its 8-bit byte) and the codes.

constexpr int kMaxInnerNodes = 255;  // a full tree over 256 byte values
constexpr int kLeafFlag = 0x100;     // a child reference to a leaf: flag | byte
constexpr int kByteBits = 8;

class BitReader {
 public:
  explicit BitReader(ByteView data) : data_(data) {}
  bool ok() const { return ok_; }
  int bit() {
    if (pos_ >= data_.size * kByteBits) {
      ok_ = false;
      return 0;
    }
    int b = (data_.data[pos_ / kByteBits] >> (kByteBits - 1 - pos_ % kByteBits)) & 1;
    ++pos_;
    return b;
  }
  int byte() {
    int value = 0;
    for (int i = 0; i < kByteBits; ++i) value = (value << 1) | bit();
    return value;
  }

 private:
  ByteView data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

class CodeTree {
 public:
  // Reads the tree; false when it is malformed or cut off.
  bool read(BitReader& bits) {
    root_ = read_node(bits);
    return bits.ok() && root_ >= 0;
  }

  // One byte: the walk from the root to a leaf (no bits when the root is one).
  int decode(BitReader& bits) const {
    int node = root_;
    while (!(node & kLeafFlag)) node = bits.bit() ? right_[node] : left_[node];
    return node & ~kLeafFlag;
  }

 private:
  // The reference of the subtree at the bit reader, or -1. The recursion is as
  // deep as the tree, which the inner-node limit keeps at 255.
  int read_node(BitReader& bits) {
    if (!bits.ok()) return -1;
    if (bits.bit() == 0) return kLeafFlag | bits.byte();
    if (innerCount_ == kMaxInnerNodes) return -1;
    int node = innerCount_++;
    int left = read_node(bits);
    if (left < 0) return -1;
    int right = read_node(bits);
    if (right < 0) return -1;
    left_[node] = left;
    right_[node] = right;
    return node;
  }

  int root_ = -1;
  int innerCount_ = 0;
  std::array<int, kMaxInnerNodes> left_{};
  std::array<int, kMaxInnerNodes> right_{};
};

// ---------------------------------------------------------------------------
// Decoding a sequence into one timeline

// One event of the timeline, before the channels are laid out for the MIDI
// reader. Notes carry their end; controls only their time.
struct TimedEvent {
  enum Kind : uint8_t { Note, Program, Volume, Pan };
  int64_t time = 0;
  int64_t end = 0;
  Kind kind = Note;
  uint8_t channel = 0;  // 0-15
  bool rhythm = false;  // played on a rhythm channel
  uint8_t value = 0;    // key, program, volume or pan
  uint8_t velocity = 0;
};

struct Timeline {
  std::vector<TimedEvent> events;
  int64_t end = 0;  // the end of the sequence
};

struct ChannelState {
  int velocity = kStartVelocity;
  int bank = kNoBank;
  int volume = kFullLevel;
  int expression = kFullLevel;
  bool rhythmType = false;  // the channel status says rhythm
};

// Reads one track's sequence into the timeline.
class SequenceDecoder {
 public:
  SequenceDecoder(Timeline& timeline, SongInfo& song, bool wide, bool hasWaves, int gateMs, int durationMs)
      : timeline_(timeline), song_(song), wide_(wide), hasWaves_(hasWaves), gateMs_(gateMs), durationMs_(durationMs) {}

  void set_rhythm_type(int channel) { channels_[static_cast<std::size_t>(channel)].rhythmType = true; }

  void run(ByteView sequence) {
    ByteReader in(sequence);
    while (!in.at_end()) {
      int64_t duration = 0;
      bool read = read_number(in, duration) && read_event(in, duration);
      if (!in.ok()) add_notice(song_, kCutOffNotice);
      if (!read || !in.ok() || ended_) break;
    }
    timeline_.end = std::max(timeline_.end, now_);
  }

 private:
  // Reads a variable-length number of at most four bytes; false (with a
  // notice) for a longer one.
  bool read_number(ByteReader& in, int64_t& value) {
    value = 0;
    for (int i = 0; i < kMaxNumberBytes; ++i) {
      uint8_t b = in.u8();
      value = (value << kNumberBitsPerByte) | (b & kNumberBitsMask);
      if (!(b & kNumberMoreBit)) return in.ok();
    }
    add_notice(song_, kUnknownEventNotice);
    return false;
  }

  // Reads the event after a duration; false when reading must stop.
  bool read_event(ByteReader& in, int64_t duration) {
    uint8_t status = in.u8();
    if (!in.ok()) return false;
    now_ = std::min(now_ + duration, kMaxTime);
    if (status == kExclusive) {
      int64_t length = 0;
      if (!read_number(in, length)) return false;
      in.skip(static_cast<std::size_t>(length));
      return in.ok();
    }
    if (status == kMeta) return read_meta(in);
    if (!(status & kStatusBit) && !wide_) return unknown_event();
    uint8_t kind = status & kStatusKindMask;
    int channel = status & kChannelMask;
    if (wide_) {
      // Channels 16-31 fold onto 0-15.
      kind = static_cast<uint8_t>(kStatusBit | (((status >> kWideKindShift) & kWideKindMask) << kWideKindShift));
      if (status & kWideBankBit) add_notice(song_, kWideFormNotice);
    }
    return read_channel_event(in, kind, channel);
  }

  bool read_meta(ByteReader& in) {
    uint8_t type = in.u8();
    if (type == kNoOperation) return in.ok();
    if (type == kEndOfSequence && in.u8() == 0 && in.ok()) {
      ended_ = true;
      return true;
    }
    return in.ok() ? unknown_event() : false;
  }

  bool unknown_event() {
    add_notice(song_, kUnknownEventNotice);
    return false;
  }

  bool read_channel_event(ByteReader& in, uint8_t kind, int channel) {
    ChannelState& state = channels_[static_cast<std::size_t>(channel)];
    switch (kind) {
      case kNoteRunningVelocity:
      case kNoteWithVelocity: {
        uint8_t key = in.u8();
        if (kind == kNoteWithVelocity) state.velocity = in.u8();
        int64_t gate = 0;
        if (!read_number(in, gate)) return false;
        add_note(state, channel, key, gate);
        return true;
      }
      case kControlChange: {
        uint8_t controller = in.u8();
        uint8_t value = in.u8();
        if (in.ok()) apply_control(state, channel, controller, value);
        return in.ok();
      }
      case kProgramChange: {
        uint8_t program = in.u8();
        if (in.ok()) add(TimedEvent::Program, state, channel, std::min<int>(program, midi::kMaxDataByte));
        return in.ok();
      }
      case kReservedTwoBytes:
      case kPitchBend: in.skip(2); return in.ok();
      case kReservedOneByte: in.skip(1); return in.ok();
      default: return unknown_event();
    }
  }

  // Rhythm channels: bank 0x7D, the rhythm type in the channel status, or
  // channel 10 unless it was given the melody bank.
  static bool is_rhythm(const ChannelState& state, int channel) {
    return state.bank == kRhythmBank || state.rhythmType ||
           (channel == midi::kRhythmChannel && state.bank != kMelodyBank);
  }

  void add_note(const ChannelState& state, int channel, uint8_t key, int64_t gate) {
    // Gates count in their own ticks; the timeline counts in duration ticks.
    if (gateMs_ > 0 && durationMs_ > 0 && gateMs_ != durationMs_) {
      gate = gate > 0 ? std::max<int64_t>(1, (gate * gateMs_ + durationMs_ / 2) / durationMs_) : 0;
    }
    // A note of no length or no velocity is silent: it only takes time.
    if (gate == 0 || state.velocity == 0 || key > midi::kMaxDataByte) return;
    if (hasWaves_ && state.bank == kRhythmBank && key < kStreamWaveKeys) {
      add_notice(song_, kStreamWaveNotesNotice);
      return;
    }
    TimedEvent& e = add(TimedEvent::Note, state, channel, key);
    e.end = std::min(now_ + gate, kMaxTime);
    e.velocity = static_cast<uint8_t>(std::min(state.velocity, kFullLevel));
  }

  void apply_control(ChannelState& state, int channel, uint8_t controller, uint8_t value) {
    switch (controller) {
      case kBankSelect: state.bank = value; break;
      case kVolumeController:
        state.volume = std::min<int>(value, kFullLevel);
        add_volume(state, channel);
        break;
      case kExpressionController:
        state.expression = std::min<int>(value, kFullLevel);
        add_volume(state, channel);
        break;
      case kPanController: add(TimedEvent::Pan, state, channel, std::min<int>(value, kFullLevel)); break;
      default: break;  // modulation, hold, parameters and modes: no score event
    }
  }

  // The score has one volume: channel volume scaled by expression.
  void add_volume(const ChannelState& state, int channel) {
    add(TimedEvent::Volume, state, channel, state.volume * state.expression / kFullLevel);
  }

  TimedEvent& add(TimedEvent::Kind kind, const ChannelState& state, int channel, int value) {
    TimedEvent e;
    e.time = now_;
    e.kind = kind;
    e.channel = static_cast<uint8_t>(channel);
    e.rhythm = is_rhythm(state, channel);
    e.value = static_cast<uint8_t>(value);
    timeline_.events.push_back(e);
    return timeline_.events.back();
  }

  Timeline& timeline_;
  SongInfo& song_;
  bool wide_;
  bool hasWaves_;
  int gateMs_;
  int durationMs_;
  std::array<ChannelState, kChannelCount> channels_{};
  int64_t now_ = 0;
  bool ended_ = false;
};

// ---------------------------------------------------------------------------
// One score track chunk

struct TrackParts {
  ByteView sequence;
  bool hasSequence = false;
  bool hasWaves = false;
};

TrackParts find_track_parts(ByteView subChunks, SongInfo& song) {
  TrackParts parts;
  for_each_chunk(subChunks, [&](std::size_t pos, ByteView data) {
    if (subChunks.matches(pos, kSequenceTag, kTagSize) && !parts.hasSequence) {
      parts.sequence = data;
      parts.hasSequence = true;
    } else if (subChunks.matches(pos, kSetupTag, kTagSize)) {
      add_notice(song, kVoiceSetupNotice);
    } else if (subChunks.matches(pos, kStreamWaveTag, kTagSize)) {
      for_each_chunk(data, [&](std::size_t wavePos, ByteView) {
        if (data.matches(wavePos, kWaveTag, kShortTagSize)) parts.hasWaves = true;
      });
      add_notice(song, kWaveDataNotice);
    }
  });
  return parts;
}

// Decodes one track into the timeline and returns its duration tick code.
uint8_t decode_track(ByteView track, Timeline& timeline, SongInfo& song) {
  uint8_t form = track.at(0);
  bool wide = form == smaf::kThirtyTwoChannelForm;
  std::size_t statusCount = wide ? kWideChannelCount : kChannelCount;
  std::size_t headerSize = std::min(kChannelStatusAt + statusCount, track.size);
  TrackParts parts = find_track_parts(ByteView(track.data + headerSize, track.size - headerSize), song);
  uint8_t durationCode = track.at(kDurationBaseAt);
  if (!parts.hasSequence) return durationCode;

  std::vector<uint8_t> expanded;
  ByteView sequence = parts.sequence;
  if (form == smaf::kMobileStandardCompressedForm) {
    if (!expand_smaf_sequence(sequence, expanded)) {
      add_notice(song, kExpansionNotice);
      return durationCode;
    }
    sequence = ByteView(expanded);
  }
  SequenceDecoder decoder(timeline, song, wide, parts.hasWaves, tick_code(track.at(kGateBaseAt)).ms,
                          tick_code(durationCode).ms);
  for (std::size_t c = 0; c < statusCount && kChannelStatusAt + c < headerSize; ++c) {
    if ((track.at(kChannelStatusAt + c) & kChannelTypeMask) == kRhythmChannelType) {
      decoder.set_rhythm_type(static_cast<int>(c % kChannelCount));
    }
  }
  decoder.run(sequence);
  return durationCode;
}

// ---------------------------------------------------------------------------
// The timeline as a format-0 MIDI file for the MIDI reader. Every rhythm
// channel plays on the MIDI rhythm channel; a melodic channel 10 moves to a
// free channel when rhythm notes need channel 10.

class MidiImage {
 public:
  std::vector<uint8_t> build(const Timeline& timeline, const TickCode& timing) {
    std::array<int, kChannelCount> melodic = melodic_channels(timeline);
    std::vector<Message> messages;
    messages.reserve(timeline.events.size() * 2);
    std::array<std::array<int, midi::kMaxDataByte + 1>, kChannelCount> lastNote;
    for (auto& row : lastNote) row.fill(-1);

    for (const TimedEvent& e : timeline.events) {
      uint8_t channel = static_cast<uint8_t>(e.rhythm ? midi::kRhythmChannel : melodic[e.channel]);
      switch (e.kind) {
        case TimedEvent::Note: {
          // A key struck again while it sounds ends the earlier note there.
          int& last = lastNote[channel][e.value];
          if (last >= 0) {
            Message& earlierEnd = messages[static_cast<std::size_t>(last)];
            earlierEnd.time = std::min(earlierEnd.time, e.time);
          }
          messages.push_back(message(e.time, kOrderEvent, midi::kNoteOn | channel, e.value, e.velocity));
          last = static_cast<int>(messages.size());
          messages.push_back(message(e.end, kOrderNoteOff, midi::kNoteOff | channel, e.value, 0));
          break;
        }
        case TimedEvent::Program:
          // A rhythm channel's program picks a drum kit, which the score does not name.
          if (!e.rhythm) messages.push_back(message(e.time, kOrderEvent, midi::kProgramChange | channel, e.value));
          break;
        case TimedEvent::Volume:
          messages.push_back(message(e.time, kOrderEvent, midi::kControlChange | channel, kVolumeController, e.value));
          break;
        case TimedEvent::Pan:
          messages.push_back(message(e.time, kOrderEvent, midi::kControlChange | channel, kPanController, e.value));
          break;
      }
    }
    // Note-offs first at equal times, so a note that ends where the next
    // begins does not cut the next one short; otherwise the sequence's order.
    std::stable_sort(messages.begin(), messages.end(),
                     [](const Message& a, const Message& b) { return a.time != b.time ? a.time < b.time : a.order < b.order; });
    return file_bytes(messages, timeline.end, timing);
  }

 private:
  static constexpr int kOrderNoteOff = 0;
  static constexpr int kOrderEvent = 1;

  struct Message {
    int64_t time;
    int order;
    std::array<uint8_t, 3> bytes;
    std::size_t size;
  };

  static Message message(int64_t time, int order, int status, uint8_t first) {
    return Message{time, order, {static_cast<uint8_t>(status), first, 0}, 2};
  }
  static Message message(int64_t time, int order, int status, uint8_t first, uint8_t second) {
    return Message{time, order, {static_cast<uint8_t>(status), first, second}, 3};
  }

  static std::array<int, kChannelCount> melodic_channels(const Timeline& timeline) {
    std::array<int, kChannelCount> map{};
    for (std::size_t c = 0; c < kChannelCount; ++c) map[c] = static_cast<int>(c);
    uint32_t melodicUsed = 0;
    bool rhythmUsed = false;
    for (const TimedEvent& e : timeline.events) {
      if (e.rhythm) {
        rhythmUsed = rhythmUsed || e.kind == TimedEvent::Note;
      } else {
        melodicUsed |= 1u << e.channel;
      }
    }
    if (!rhythmUsed || !(melodicUsed & (1u << midi::kRhythmChannel))) return map;
    for (int c = 0; c < static_cast<int>(kChannelCount); ++c) {
      if (c != midi::kRhythmChannel && !(melodicUsed & (1u << c))) {
        map[midi::kRhythmChannel] = c;
        break;
      }
    }
    return map;
  }

  void put_be(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }

  void put_number(uint32_t value) {
    uint8_t groups[kMaxNumberBytes];
    int n = 0;
    do {
      groups[n++] = static_cast<uint8_t>(value & kNumberBitsMask);
      value >>= kNumberBitsPerByte;
    } while (value > 0 && n < kMaxNumberBytes);
    while (n > 1) out_.push_back(groups[--n] | kNumberMoreBit);
    out_.push_back(groups[0]);
  }

  std::vector<uint8_t> file_bytes(const std::vector<Message>& messages, int64_t end, const TickCode& timing) {
    out_.clear();
    out_.insert(out_.end(), midi::kHeaderTag, midi::kHeaderTag + midi::kTagSize);
    put_be(midi::kHeaderDataLength, 4);
    put_be(0, 2);  // format 0
    put_be(1, 2);  // one track
    put_be(static_cast<uint32_t>(timing.timebase), 2);
    out_.insert(out_.end(), midi::kTrackTag, midi::kTrackTag + midi::kTagSize);
    std::size_t lengthAt = out_.size();
    put_be(0, 4);

    put_number(0);
    out_.insert(out_.end(), {midi::kMeta, midi::kMetaTempo, static_cast<uint8_t>(midi::kTempoDataLength)});
    put_be(static_cast<uint32_t>(midi::kMicrosecondsPerMinute / timing.tempo), midi::kTempoDataLength);
    int64_t now = 0;
    for (const Message& m : messages) {
      put_number(static_cast<uint32_t>(m.time - now));
      now = m.time;
      out_.insert(out_.end(), m.bytes.begin(), m.bytes.begin() + static_cast<std::ptrdiff_t>(m.size));
    }
    put_number(static_cast<uint32_t>(std::max(end, now) - now));
    out_.insert(out_.end(), {midi::kMeta, midi::kMetaEndOfTrack, 0});

    uint32_t length = static_cast<uint32_t>(out_.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i) out_[lengthAt + static_cast<std::size_t>(i)] = static_cast<uint8_t>(length >> (8 * (3 - i)));
    return std::move(out_);
  }

  std::vector<uint8_t> out_;
};

// ---------------------------------------------------------------------------
// Texts of the optional data: "Dch" + encoding code, holding records of a
// two-letter tag, a 16-bit length and the text.

constexpr std::size_t kRecordHeaderSize = 4;
constexpr char kTitleTag[] = "ST";
constexpr char kArtistTag[] = "AN";
constexpr char kComposerTag[] = "SW";
constexpr char kCopyrightTag[] = "CR";
constexpr std::size_t kRecordTagSize = 2;
constexpr uint8_t kFirstPrintable = 0x20;

// Encoding codes of the contents information and of the text chunks.
constexpr uint8_t kShiftJisCode = 0x00;
constexpr uint8_t kLatin1Code = 0x01;
constexpr uint8_t kUcs2Code = 0x20;
constexpr uint8_t kUtf8Code = 0x23;
constexpr uint8_t kUtf16Code = 0x24;

// The encoding of a code; false for binary data and encodings the program
// does not convert.
bool encoding_of(uint8_t code, TextEncoding& encoding) {
  switch (code) {
    case kShiftJisCode: encoding = TextEncoding::ShiftJis; return true;
    case kLatin1Code: encoding = TextEncoding::Latin1; return true;
    case kUcs2Code:
    case kUtf16Code: encoding = TextEncoding::Utf16BigEndian; return true;
    case kUtf8Code: encoding = TextEncoding::Utf8; return true;
    default: return false;
  }
}

// Stores CP932 text in a song field: whole characters up to the field's
// limit, without trailing control characters (line ends) or a lone lead byte.
void store_text(std::string& field, const std::string& text) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t step = is_cp932_lead_byte(text[i]) ? 2 : 1;
    if (i + step > text.size() || i + step > kMaxTextLength || text[i] == '\0') break;
    i += step;
    end = i;
  }
  while (end > 0 && static_cast<uint8_t>(text[end - 1]) < kFirstPrintable) --end;
  field.assign(text, 0, end);
}

std::string* field_for_tag(ByteView data, std::size_t pos, SongInfo& song) {
  if (data.matches(pos, kTitleTag, kRecordTagSize)) return &song.title;
  if (data.matches(pos, kArtistTag, kRecordTagSize)) return &song.artist;
  if (data.matches(pos, kComposerTag, kRecordTagSize)) return &song.composer;
  if (data.matches(pos, kCopyrightTag, kRecordTagSize)) return &song.copyright;
  return nullptr;
}

void read_text_records(ByteView data, TextEncoding encoding, SongInfo& song) {
  std::size_t pos = 0;
  while (data.size - pos >= kRecordHeaderSize) {
    ByteReader r(data, pos + kRecordTagSize);
    std::size_t length = r.u16be();
    std::size_t text = pos + kRecordHeaderSize;
    // A record longer than its chunk keeps what is there and ends the chunk.
    std::size_t available = std::min(length, data.size - text);
    std::string* field = field_for_tag(data, pos, song);
    if (field) store_text(*field, to_cp932(data.data + text, available, encoding));
    if (available < length) break;
    pos = text + length;
  }
}

}  // namespace

bool expand_smaf_sequence(ByteView data, std::vector<uint8_t>& out) {
  out.clear();
  ByteReader head(data);
  uint32_t size = head.u32be();
  if (!head.ok() || size > kMaxExpandedSequence) return false;
  BitReader bits(ByteView(data.data + head.pos(), data.size - head.pos()));
  CodeTree tree;
  if (!tree.read(bits)) return false;
  out.reserve(size);
  for (uint32_t i = 0; i < size; ++i) {
    int b = tree.decode(bits);
    if (!bits.ok()) {
      out.clear();
      return false;
    }
    out.push_back(static_cast<uint8_t>(b));
  }
  return true;
}

void read_smaf_mobile_tracks(const std::vector<ByteView>& tracks, Score& score, SongInfo& song,
                             const Settings& settings) {
  SongInfo kept = song;
  Timeline timeline;
  uint8_t tickCodeValue = kUnknownTickCode.code;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    uint8_t code = decode_track(tracks[i], timeline, kept);
    if (i == 0) tickCodeValue = code;
  }
  const TickCode& timing = tick_code(tickCodeValue);
  if (timing.ms == 0) add_notice(kept, kTickCodeNotice);

  std::vector<uint8_t> image = MidiImage().build(timeline, timing);
  read_midi_file(ByteView(image), score, song, settings);
  if (score.length <= kFirstTrackOffset) {
    // Nothing sounded: like a SMAF file without a readable track, no track.
    song.trackCount = 0;
    song.trackStart[0] = 0;
    song.part[0] = 0;
  }
  song.songLength = std::max<int>(song.songLength, static_cast<int>(timeline.end));
  song.title = kept.title;
  song.copyright = kept.copyright;
  song.artist = kept.artist;
  song.composer = kept.composer;
  kept.notices.insert(kept.notices.end(), song.notices.begin(), song.notices.end());
  song.notices = std::move(kept.notices);
}

void apply_smaf_texts(uint8_t contentsCodeType, ByteView optionalData, SongInfo& song) {
  TextEncoding contents = TextEncoding::ShiftJis;
  if (encoding_of(contentsCodeType, contents) && contents != TextEncoding::ShiftJis) {
    for (std::string* field : {&song.title, &song.copyright}) {
      store_text(*field, to_cp932(reinterpret_cast<const uint8_t*>(field->data()), field->size(), contents));
    }
  }
  for_each_chunk(optionalData, [&](std::size_t pos, ByteView data) {
    TextEncoding encoding = TextEncoding::ShiftJis;
    if (optionalData.matches(pos, kTextDataTag, kShortTagSize) && encoding_of(optionalData.at(pos + kShortTagSize), encoding)) {
      read_text_records(data, encoding, song);
    }
  });
}

}  // namespace mel
