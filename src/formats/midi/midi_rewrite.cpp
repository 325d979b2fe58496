#include "formats/midi/midi_rewrite.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/byte_writer.h"
#include "common/limits.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

// A DXM file spells its chunk tags with "C" where MIDI has "M"; the rest of
// the tag is the same, and the rewrite always writes the MIDI spelling.
constexpr uint8_t kMidiTagLead = midi::kHeaderTag[0];
constexpr uint8_t kDxmTagLead = midi::kDxmHeaderTag[0];
constexpr const char* kHeaderTagTail = midi::kHeaderTag + 1;
constexpr const char* kTrackTagTail = midi::kTrackTag + 1;
constexpr std::size_t kTagTailSize = midi::kTagSize - 1;
// Every chunk's 32-bit length follows its tag.
constexpr std::size_t kChunkLengthAt = midi::kTagSize;
constexpr int kChunkLengthSize = 4;
constexpr int kDivisionSize = 2;
constexpr int kTrackCountSize = 2;
constexpr int kMaxTrackCount = 0xFFFF;

// Output bounds: the buffer holds at least 262144 bytes (the source length +
// 256 for a larger source), and the copy stops once the output has passed
// 261888 bytes and is longer than the source, leaving room to close the chunk.
constexpr std::size_t kCopyBound = 0x3FF00;  // 261888
constexpr std::size_t kSourceSlack = 256;
// Room kept free for closing a chunk: a drum note-off with its delta time
// (3 bytes) and an end-of-track event (4 bytes).
constexpr std::size_t kCloseReserve = 8;

constexpr int kMaxVlqBytes = 4;
constexpr std::size_t kTextEventHeadSize = 5;

constexpr int kSourceTrackLimit = 128;
// Only score tracks 1-16 have per-track instrument and volume choices here.
constexpr int kPerTrackChoiceTracks = 16;
constexpr int kFirstChoiceValue = 1;    // 1-128: value + 1
constexpr int kLastChoiceValue = 128;
constexpr int kNoScoreTrack = -1;
constexpr int kMinSpeedFactor = 1;
constexpr int kMaxSpeedFactor = 255;
constexpr int kMaxKeyOffset = 127;
constexpr int kKeysPerOctave = 12;
constexpr int kMaxKey = 127;
constexpr int kTopOctaveStart = 116;  // keys above 127 fold into 116-127

int clamp_data(int value) { return std::clamp(value, 0, static_cast<int>(midi::kMaxDataByte)); }

int positive_mod(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// Keys that a transposition pushed out of 0-127 keep their pitch class in the
// lowest or the highest octave.
int fold_into_key_range(int key) {
  if (key < 0) return positive_mod(key, kKeysPerOctave);
  if (key > kMaxKey) return positive_mod(key - kTopOctaveStart, kKeysPerOctave) + kTopOctaveStart;
  return key;
}

// Moves a key below the fold level into the octave that starts there.
int fold_low_key(int key, int level) {
  if (level <= 0 || key >= level) return key;
  return positive_mod(key - level, kKeysPerOctave) + level;
}

class MidiRewriter {
 public:
  MidiRewriter(ByteView source, const SongInfo& song, const Settings& settings)
      : src_(source),
        in_(source),
        out_(std::max(kOutputCapacity, source.size + kSourceSlack)),
        song_(song),
        play_(settings.play),
        conv_(settings.conv) {
    build_track_map();
  }

  // The rewritten file, or nothing when the source has no header chunk in
  // front of its first track chunk: without one the output would be no MIDI
  // file that any reader accepts.
  std::vector<uint8_t> run() {
    while (!in_.at_end() && !past_copy_bound()) {
      if (inTrack_) {
        if (!copy_event()) break;
        continue;
      }
      if (chunk_at(in_.pos(), kHeaderTagTail)) {
        copy_header_chunk();
      } else if (chunk_at(in_.pos(), kTrackTagTail)) {
        if (!headerWritten_) return {};
        open_track_chunk();
      } else {
        in_.skip(1);  // bytes outside chunks are dropped
      }
    }
    if (!headerWritten_) return {};
    finish();
    return out_.take();
  }

 private:
  // --- track selection -----------------------------------------------------

  // The n-th source track that produced a score track maps to score track
  // index n; it plays when that score track is selected.
  void build_track_map() {
    scoreIndex_.fill(kNoScoreTrack);
    int mapped = 0;
    for (int source = 0; source < kSourceTrackLimit && mapped < kMaxTracks; ++source) {
      if (!song_.sourceTrackSet.test(source)) continue;
      scoreIndex_[source] = mapped;
      if (play_.track_selected(mapped + 1)) playSet_.set(source);
      ++mapped;
    }
    if (playSet_.count() > 0) return;
    // Nothing selected: the last mapped source track past the first plays.
    for (int source = kSourceTrackLimit - 1; source >= 0; --source) {
      if (scoreIndex_[source] > 0) {
        playSet_.set(source);
        break;
      }
    }
  }

  // Source track of a channel event: the channel for a one-track (format 0)
  // file, else the chunk.
  int source_track(int channel) const { return format_ == 0 ? channel : sourceChunk_; }

  // The score track index whose per-track settings an event follows. Source
  // tracks that produced no score track follow score track 1.
  int target_track(int source) const {
    if (source < 0 || source >= kSourceTrackLimit) return kNoScoreTrack;
    return std::max(scoreIndex_[source], 0);
  }

  bool plays(int source) const { return source >= 0 && source < kSourceTrackLimit && playSet_.test(source); }

  // A per-track choice: 129 keeps the source value, 1-128 is value + 1, and
  // anything else (or a score track past 16) takes the default.
  static int per_track_value(const std::array<int, kMaxTracks>& choices, int target, int sourceValue,
                             int fallback) {
    if (target >= 0 && target < kPerTrackChoiceTracks) {
      int choice = choices[target];
      if (choice == kFollowScore) return sourceValue;
      if (choice >= kFirstChoiceValue && choice <= kLastChoiceValue) return choice - kFirstChoiceValue;
    }
    return fallback;
  }

  // --- keys --------------------------------------------------------------

  int key_offset() const { return std::clamp(play_.KeyOffset, -kMaxKeyOffset, kMaxKeyOffset); }

  // Note-ons and note-offs get the same key, so every folded note still ends.
  int rewrite_key(int key, int channel) const {
    if (channel != midi::kRhythmChannel) {
      key += key_offset();
      key = fold_low_key(key, conv_.lowNoteFoldLevel);
    }
    return fold_into_key_range(key);
  }

  // --- chunks ------------------------------------------------------------

  bool chunk_at(std::size_t pos, const char* tail) const {
    uint8_t lead = src_.at(pos);
    return (lead == kMidiTagLead || lead == kDxmTagLead) && src_.matches(pos + 1, tail, kTagTailSize);
  }

  bool past_copy_bound() const { return out_.pos() > kCopyBound && out_.pos() > src_.size; }

  bool fits(std::size_t n) const { return out_.pos() + n + kCloseReserve <= out_.capacity(); }

  static uint32_t be32(ByteView view, std::size_t at) {
    ByteReader r(view, at);
    return r.u32be();
  }

  void copy_source_bytes(std::size_t from, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out_.put(src_.at(from + i));
  }

  // The division scaled by the note length scale (speed without a tempo
  // change). A time-code division has no ticks per quarter note to scale and
  // is copied as it is.
  void write_division(std::size_t sourceDivisionAt) {
    int timebase = song_.timebase;
    bool timeCode = (src_.at(sourceDivisionAt) & midi::kStatusBit) != 0;
    if (timeCode || timebase <= 0 || timebase > midi::kMaxDivision) {
      copy_source_bytes(sourceDivisionAt, kDivisionSize);
      return;
    }
    int scale = conv_.noteLengthScale > 0 ? conv_.noteLengthScale : kScaleAsWritten;
    long long division = static_cast<long long>(timebase) * scale / kScaleAsWritten;
    out_.put_be(static_cast<uint32_t>(std::clamp<long long>(division, 1, midi::kMaxDivision)), kDivisionSize);
  }

  void copy_header_chunk() {
    std::size_t at = in_.pos();
    if (src_.size - at < midi::kHeaderSize) {
      in_.skip(1);  // too short to be a header
      return;
    }
    uint32_t declared = be32(src_, at + kChunkLengthAt);
    std::size_t extra = 0;
    if (declared > midi::kHeaderDataLength) {
      extra = std::min<std::size_t>(declared - midi::kHeaderDataLength, src_.size - at - midi::kHeaderSize);
    }
    if (headerWritten_ || !fits(midi::kHeaderSize + extra)) {
      in_.seek(at + midi::kHeaderSize + extra);  // a file has one header
      return;
    }
    dxm_ = src_.at(at) == kDxmTagLead;
    format_ = src_.at(at + midi::kHeaderFormatLowAt);
    headerAt_ = out_.pos();
    headerWritten_ = true;
    out_.put(kMidiTagLead);
    copy_source_bytes(at + 1, midi::kHeaderDivisionAt - 1);
    write_division(at + midi::kHeaderDivisionAt);
    copy_source_bytes(at + midi::kHeaderSize, extra);
    // The length says what was written, even when the source's did not.
    out_.patch_be(headerAt_ + kChunkLengthAt, static_cast<uint32_t>(midi::kHeaderDataLength + extra), kChunkLengthSize);
    in_.seek(at + midi::kHeaderSize + extra);
  }

  void open_track_chunk() {
    std::size_t at = in_.pos();
    if (src_.size - at < midi::kChunkHeadSize) {
      in_.seek(src_.size);  // a chunk head cut off by the end of the file
      return;
    }
    out_.put(kMidiTagLead);
    copy_source_bytes(at + 1, midi::kChunkHeadSize - 1);
    lengthFieldAt_ = out_.pos() - kChunkLengthSize;
    uint32_t declared = be32(src_, at + kChunkLengthAt);
    std::size_t dataAt = at + midi::kChunkHeadSize;
    declaredEnd_ = declared <= src_.size - dataAt ? dataAt + declared : 0;
    in_.seek(dataAt);
    inTrack_ = true;
    running_ = 0;
    pendingDrumKey_ = -1;
    ++chunksWritten_;
    ++sourceChunk_;
    if (dxm_ && chunksWritten_ == 1) write_song_texts();
  }

  // DXM keeps title and copyright outside its chunks; the MIDI file carries
  // them as meta events at the start of its first track.
  void write_song_texts() {
    write_text_event(midi::kMetaTrackName, song_.title);
    write_text_event(midi::kMetaCopyright, song_.copyright);
  }

  void write_text_event(uint8_t type, const std::string& text) {
    if (text.empty()) return;
    std::size_t length = std::min(text.size(), kMaxTextLength);
    // Delta, FF, type, a length of up to two bytes, the text. A header that
    // claimed most of the buffer may leave no room for it: then it is left out
    // rather than cut, so the chunk can still be closed.
    if (!fits(kTextEventHeadSize + length)) return;
    out_.put(0);
    out_.put(midi::kMeta);
    out_.put(type);
    put_text_length(out_, length);
    out_.put_bytes(reinterpret_cast<const uint8_t*>(text.data()), length);
  }

  void close_track_chunk(bool appendEndOfTrack) {
    if (appendEndOfTrack) {
      if (pendingDrumKey_ >= 0) {
        // No source event follows to lend its delta time, so the drum note
        // gets one of its own: it ends at delta 0, and the zero delta that
        // closes the note-off leads to the end of track.
        out_.put(0);
        write_pending_drum_off();
      } else {
        out_.put(0);
      }
      out_.put(midi::kMeta);
      out_.put(midi::kMetaEndOfTrack);
      out_.put(0);
    }
    out_.patch_be(lengthFieldAt_, static_cast<uint32_t>(out_.pos() - (lengthFieldAt_ + kChunkLengthSize)),
                  kChunkLengthSize);
    inTrack_ = false;
  }

  void finish() {
    if (inTrack_) close_track_chunk(true);
    if (headerWritten_) {
      out_.patch_be(headerAt_ + midi::kHeaderTrackCountAt, static_cast<uint32_t>(std::min(chunksWritten_, kMaxTrackCount)),
                    kTrackCountSize);
    }
  }

  // --- events ------------------------------------------------------------

  // Copies a variable-length quantity byte for byte; a fourth byte never
  // announces a fifth, so the output stays readable.
  uint32_t copy_vlq() {
    uint32_t value = 0;
    for (int i = 0; i < kMaxVlqBytes; ++i) {
      uint8_t b = in_.u8();
      bool more = (b & midi::kStatusBit) && i + 1 < kMaxVlqBytes;
      out_.put(more ? b : static_cast<uint8_t>(b & midi::kMaxDataByte));
      value = (value << 7) | (b & midi::kMaxDataByte);
      if (!more) break;
    }
    return value;
  }

  // DXM drum notes have no note-off: the key is ended with velocity 0 under
  // the running note-on status, followed by a zero delta for the next event.
  void write_pending_drum_off() {
    if (pendingDrumKey_ < 0) return;
    out_.put(static_cast<uint8_t>(pendingDrumKey_));
    out_.put(0);
    out_.put(0);
    pendingDrumKey_ = -1;
  }

  // An empty text event stands in for what the output cannot carry, keeping
  // the delta time in front of it.
  void write_placeholder() {
    out_.put(midi::kMeta);
    out_.put(midi::kMetaText);
    out_.put(0);
  }

  // Copies one event of the open chunk. False stops the copy: the source ended
  // inside the event (or the event does not fit), and the output is put back
  // to where the event began.
  bool copy_event() {
    std::size_t eventAt = in_.pos();
    if (eventAt == declaredEnd_ && (chunk_at(eventAt, kTrackTagTail) || chunk_at(eventAt, kHeaderTagTail))) {
      // The chunk lacks its end-of-track event and the next chunk follows.
      close_track_chunk(true);
      return true;
    }
    std::size_t outAt = out_.pos();
    int pendingDrum = pendingDrumKey_;
    copy_vlq();
    bool copied = in_.ok() && !in_.at_end();
    if (copied) {
      if (dxm_) write_pending_drum_off();
      copied = copy_event_body();
    }
    if (!copied || !in_.ok() || out_.overflowed()) {
      out_.set_pos(outAt);
      pendingDrumKey_ = pendingDrum;
      return false;
    }
    return true;
  }

  bool copy_event_body() {
    uint8_t first = in_.peek();
    if (!(first & midi::kStatusBit)) {
      if (running_ == 0) {
        in_.skip(1);  // a data byte with no status to run on
        write_placeholder();
        return true;
      }
      copy_channel_event(running_);
      return true;
    }
    if (first < midi::kFirstSystemStatus) {
      in_.skip(1);
      out_.put(first);
      running_ = first;
      copy_channel_event(first);
      return true;
    }
    in_.skip(1);
    if (first == midi::kMeta) return copy_meta_event();
    if (first == midi::kSysEx || first == midi::kSysExContinuation) return copy_sysex_event(first);
    // System common and real-time bytes do not belong in a file.
    write_placeholder();
    return true;
  }

  void copy_channel_event(uint8_t status) {
    int channel = status & midi::kChannelMask;
    int source = source_track(channel);
    int target = target_track(source);
    switch (status & midi::kStatusMask) {
      case midi::kNoteOff: {
        int key = in_.u8();
        out_.put(static_cast<uint8_t>(rewrite_key(key, channel)));
        out_.put(dxm_ ? 0 : static_cast<uint8_t>(clamp_data(in_.u8())));  // DXM note-offs have no velocity
        break;
      }
      case midi::kNoteOn: {
        int key = in_.u8();
        int velocity = in_.u8();
        bool sounds = key > conv_.lowNoteCutLevel && plays(source);
        int written = rewrite_key(key, channel);
        out_.put(static_cast<uint8_t>(written));
        out_.put(static_cast<uint8_t>(sounds ? clamp_data(velocity) : 0));
        if (dxm_ && channel == midi::kRhythmChannel) pendingDrumKey_ = written;
        break;
      }
      case midi::kKeyPressure:
        out_.put(static_cast<uint8_t>(clamp_data(in_.u8())));
        out_.put(static_cast<uint8_t>(clamp_data(in_.u8())));
        break;
      case midi::kControlChange: {
        int controller = in_.u8();
        int value = in_.u8();
        if (play_.StandardVolume == 0 && controller == midi::kControllerVolume) {
          value = per_track_value(play_.PerTrackVolume, target, value, play_.volume);
        }
        out_.put(static_cast<uint8_t>(clamp_data(controller)));
        out_.put(static_cast<uint8_t>(clamp_data(value)));
        break;
      }
      case midi::kProgramChange: {
        int program = in_.u8();
        if (play_.KeepFileInstruments == 0) {
          program = per_track_value(play_.PerTrackProgram, target, program, play_.melody);
        }
        out_.put(static_cast<uint8_t>(clamp_data(program)));
        break;
      }
      case midi::kChannelPressure:
        out_.put(static_cast<uint8_t>(clamp_data(in_.u8())));
        break;
      case midi::kPitchBend:
        if (dxm_) {
          out_.put(0);  // DXM keeps only the high byte
        } else {
          out_.put(static_cast<uint8_t>(clamp_data(in_.u8())));
        }
        out_.put(static_cast<uint8_t>(clamp_data(in_.u8())));
        break;
      default:
        break;
    }
  }

  // Copies n payload bytes, or fails when the source ends first or the
  // output cannot hold them.
  bool copy_payload(uint32_t n, std::size_t* at = nullptr) {
    if (n > in_.remaining() || !fits(n)) return false;
    if (at) *at = out_.pos();
    out_.put_bytes(src_.data + in_.pos(), n);
    in_.skip(n);
    return true;
  }

  int speed_factor() const {
    int speed = play_.SpeedFactor;
    return speed >= kMinSpeedFactor && speed <= kMaxSpeedFactor ? speed : kSpeedAsWritten;
  }

  // A tempo event's value becomes value x 16 / SpeedFactor, kept a valid tempo.
  void scale_tempo(std::size_t at) {
    uint64_t value = (uint64_t{out_.at(at)} << 16) | (uint64_t{out_.at(at + 1)} << 8) | out_.at(at + 2);
    value = value * kSpeedAsWritten / static_cast<uint64_t>(speed_factor());
    value = std::clamp<uint64_t>(value, 1, midi::kMaxTempoValue);
    out_.patch_be(at, static_cast<uint32_t>(value), 3);
  }

  bool copy_meta_event() {
    uint8_t type = in_.u8();
    out_.put(midi::kMeta);
    out_.put(type);
    uint32_t length = copy_vlq();
    if (!in_.ok()) return false;
    std::size_t dataAt = 0;
    if (!copy_payload(length, &dataAt)) return false;
    if (type == midi::kMetaTempo && length >= midi::kTempoDataLength) scale_tempo(dataAt);
    if (type == midi::kMetaEndOfTrack) close_track_chunk(false);
    return true;
  }

  bool copy_sysex_event(uint8_t status) {
    if (play_.excutplay == 1) {
      uint32_t length = in_.vlq();
      if (!in_.ok() || length > in_.remaining()) return false;
      in_.skip(length);
      write_placeholder();
      return true;
    }
    out_.put(status);
    uint32_t length = copy_vlq();
    return in_.ok() && copy_payload(length);
  }

  ByteView src_;
  ByteReader in_;
  ByteSink out_;
  const SongInfo& song_;
  const PlaybackOptions& play_;
  const ConversionOptions& conv_;

  std::array<int, kSourceTrackLimit> scoreIndex_{};
  BitSet128 playSet_;
  bool dxm_ = false;
  int format_ = 1;
  bool headerWritten_ = false;
  std::size_t headerAt_ = 0;
  int chunksWritten_ = 0;
  int sourceChunk_ = -1;  // chunk number - 1 of the open chunk
  bool inTrack_ = false;
  uint8_t running_ = 0;
  std::size_t lengthFieldAt_ = 0;
  std::size_t declaredEnd_ = 0;
  int pendingDrumKey_ = -1;
};

}  // namespace

std::vector<uint8_t> rewrite_midi_file(ByteView source, const SongInfo& song, const Settings& settings) {
  return MidiRewriter(source, song, settings).run();
}

}  // namespace mel
