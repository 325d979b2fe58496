// The Standard MIDI File reader. MIDI is polyphonic and a score track holds
// one voice, so every source track chunk is scanned once per voice it yields:
// overlapping notes are reduced to one line by fixed priority rules, chords can
// be split over several score tracks (one pass per chord voice), and a format 0
// file is scanned once per MIDI channel it uses.
//
// DXM files share the structure; their chunks are "CThd"/"CTrk", a note-off
// carries only its key, a pitch bend one data byte, and title and copyright may
// sit in directory entries outside the chunks.
#include "formats/midi/midi_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "common/saturate.h"
#include "midi/midi_bytes.h"

namespace mel {
namespace {

using midi::kChannelMask;
using midi::kControlChange;
using midi::kMeta;
using midi::kMetaEndOfTrack;
using midi::kNoteOff;
using midi::kNoteOn;
using midi::kPitchBend;
using midi::kProgramChange;
using midi::kRhythmChannel;
using midi::kStatusBit;
using midi::kTagSize;

constexpr int kMaxDataValue = midi::kMaxDataByte;
constexpr int kSourceMarks = 128;
constexpr int kMaxChordVoices = 16;
constexpr int kAllChannels = 0xFFFF;
constexpr int kMaxScoreTempo = 0xFFFF;  // the score stores the tempo in 16 bits

// Reading stops once the score passes this position, leaving room for the
// last segment, its controls and the end of the track.
constexpr std::size_t kScoreReadLimit = 0x3FF00;  // 261888

// DXM directory entries that point at the title and the copyright text:
// type 02, identifier, 4-byte offset, 4-byte size.
constexpr uint8_t kDxmTextEntryType = 0x02;
constexpr uint8_t kDxmTitleId = 0xC0;
constexpr uint8_t kDxmCopyrightId = 0xC3;
constexpr std::size_t kDxmEntryOffsetAt = 4;   // low 16 bits of the offset
constexpr std::size_t kDxmEntryShortLength = 6;
constexpr std::size_t kDxmEntryLongLengthAt = 8;

constexpr char kDivisionNotice[] =
    "the header gives no ticks per quarter note (division 0 or time code); read at 240 per quarter note";

constexpr char kLongDeltaNotice[] =
    "a delta time longer than four bytes ends its track there; the rest of that track was not read";

// Controls gathered between note boundaries, each stored as value + 1 (0 = none).
enum ControlSlot { kSlotProgram, kSlotVolume, kSlotVelocity, kSlotPan, kSlotCount };


class MidiReader {
 public:
  MidiReader(ByteView input, Score& score, SongInfo& song, const Settings& settings)
      : in_(input), score_(score), song_(song), conv_(settings.conv), trackSplit_(settings.play.TrackSplit == 1) {
    voiceLimit_ = std::clamp(conv_.chsepcnt, 1, kMaxChordVoices);
  }

  void run() {
    reset_song_header(song_);
    store_score_tempo(score_.bytes.data(), song_.tempo);
    song_.trackStart[0] = static_cast<int>(kFirstTrackOffset);
    detect_flavour();

    std::size_t pos = 0;
    while (!stopped_ && pos < in_.size) {
      if (in_.matches(pos, headerTag_, kTagSize)) {
        pos = read_header(pos);
      } else if (in_.matches(pos, trackTag_, kTagSize)) {
        pos = read_chunk(pos);
      } else {
        if (dxm_) read_dxm_text_entry(pos);
        ++pos;
      }
    }
    finish();
  }

 private:
  // --- file structure -------------------------------------------------------

  // A DXM file is told by its header tag; the first header tag in the file
  // decides, so that the directory entries in front of it are read too.
  void detect_flavour() {
    for (std::size_t pos = 0; pos + kTagSize <= in_.size; ++pos) {
      if (in_.matches(pos, midi::kHeaderTag, kTagSize)) break;
      if (in_.matches(pos, midi::kDxmHeaderTag, kTagSize)) {
        dxm_ = true;
        break;
      }
    }
    headerTag_ = dxm_ ? midi::kDxmHeaderTag : midi::kHeaderTag;
    trackTag_ = dxm_ ? midi::kDxmTrackTag : midi::kTrackTag;
  }

  std::size_t read_header(std::size_t pos) {
    ByteReader r(in_, pos + kTagSize);
    uint32_t length = r.u32be();
    format_ = in_.at(pos + midi::kHeaderFormatLowAt);
    // A division of 0 or a time-code division has no ticks per quarter note
    // to offer; such files are read at the reset resolution.
    uint32_t division = (static_cast<uint32_t>(in_.at(pos + midi::kHeaderDivisionAt)) << 8) | in_.at(pos + midi::kHeaderDivisionAt + 1);
    bool usable = division != 0 && !(division & midi::kTimeCodeDivisionBit);
    song_.timebase = usable ? static_cast<int>(division) : kResetTimebase;
    if (!usable) add_notice(kDivisionNotice);
    extractChannel_ = 0;
    std::size_t body = pos + midi::kChunkHeadSize;
    return length > in_.size - std::min(body, in_.size) ? in_.size : body + length;
  }

  // Scans one track chunk, once per voice or channel it yields, and returns
  // where reading goes on: after its end-of-track event. A chunk cut off by
  // the end of the data ends there as if it had one, and so does a chunk
  // without one whose declared length leads straight to the next chunk.
  std::size_t read_chunk(std::size_t chunkPos) {
    std::size_t after = in_.size;
    std::size_t end = declared_chunk_end(chunkPos);
    bool repeated = false;
    do {
      if (!begin_pass(repeated)) return in_.size;
      after = run_pass(chunkPos + midi::kChunkHeadSize, end);
      if (stopped_) return in_.size;
      end_pass();
      repeated = choose_next_pass();
    } while (repeated);
    return after;
  }

  // --- passes -----------------------------------------------------------------

  bool begin_pass(bool repeated) {
    if (writePos_ > kScoreReadLimit) {
      stopped_ = true;
      return false;
    }
    reset_pass_state();
    if (!repeated) {
      extractChannel_ = 0;
      channelsSeen_ = 0;
      largestChord_ = 0;
      chordVoice_ = 0;
      chunkNumber_ = chunkCount_++;
    }
    int source = format_ == 0 ? extractChannel_ : chunkNumber_;
    bool newMark = source < kSourceMarks && !song_.sourceTrackSet.test(source);
    if (newMark) song_.sourceTrackSet.set(source);

    if (!trackHasSound_) {
      // The score track has no sounding note: this pass fills it instead, and
      // the source that was marked for it did not produce a track after all.
      if (trackMark_ >= 0 && trackMark_ != source) {
        song_.sourceTrackSet.clear(trackMark_);
        trackMark_ = -1;
      }
      forget_empty_pass();
    } else {
      write_rest(pendingRest_);
      put_end_of_track();
      ++track_;
      trackMark_ = -1;
    }
    if (newMark) trackMark_ = source;
    pendingRest_ = 0;
    trackHasSound_ = false;
    trackPart_ = 0;
    trackBegin_ = writePos_;
    firstScanOfChunk_ = !repeated;
    if (records(track_)) {
      song_.trackStart[track_ - 1] = static_cast<int>(writePos_);
      if (format_ == 0) song_.part[track_ - 1] = extractChannel_ + 1;
    }
    if (format_ == 0) trackPart_ = extractChannel_ + 1;
    return true;
  }

  // A pass that found no sounding note leaves at most velocity events behind
  // (every other control waits for a sounding note), and a rhythm mark or a
  // count of notes that all fell to the note filter. None of it belongs to the
  // pass that takes the score track over: it starts again from the track's
  // first byte, so that the track still begins right after the previous end
  // of track.
  void forget_empty_pass() {
    writePos_ = trackBegin_;
    if (records(track_)) {
      song_.program[track_ - 1] = 0;
      song_.noteCount[track_ - 1] = 0;
    }
  }

  void reset_pass_state() {
    runningStatus_ = 0;
    soundingKey_ = 0;
    soundingChannel_ = 0;
    segment_ = 0;
    now_ = 0;
    std::fill(std::begin(justRead_), std::end(justRead_), 0);
    std::fill(std::begin(pending_), std::end(pending_), 0);
    lastVelocity_ = -1;
    // Chord grouping compares note-on times within one scan only.
    chordCounter_ = 0;
    haveLastNoteOn_ = false;
    lastNoteOn_ = 0;
  }

  // Where the chunk at chunkPos ends by its declared length, when that end
  // lies inside the data and the next header or track chunk begins there;
  // else 0. Track data is not trusted to end at its length otherwise: the
  // end-of-track event ends a chunk.
  std::size_t declared_chunk_end(std::size_t chunkPos) const {
    ByteReader r(in_, chunkPos + kTagSize);
    uint32_t length = r.u32be();
    std::size_t data = chunkPos + midi::kChunkHeadSize;
    if (!r.ok() || length > in_.size - data) return 0;
    std::size_t end = data + length;
    return in_.matches(end, trackTag_, kTagSize) || in_.matches(end, headerTag_, kTagSize) ? end : 0;
  }

  // Reads events until the end-of-track event, the chunk's end or the end of
  // the data; returns the position after the last event read.
  std::size_t run_pass(std::size_t start, std::size_t chunkEnd) {
    ByteReader r(in_, start);
    while (!stopped_ && !r.at_end() && r.pos() != chunkEnd) {
      uint32_t delta = r.vlq();
      if (r.at_end() || !r.ok()) break;
      if (in_.at(r.pos() - 1) & kStatusBit) {
        // A fifth delta byte is no MIDI; what follows it is not timed music.
        add_notice(kLongDeltaNotice);
        return r.pos();
      }
      uint8_t lead = r.peek();
      if (lead == kMeta && r.peek(1) == kMetaEndOfTrack) {
        r.skip(2);
        r.skip(r.vlq());
        return r.pos();
      }
      advance_time(delta);
      read_event(r);
    }
    return r.pos();
  }

  void advance_time(uint32_t delta) {
    segment_ += delta;
    now_ += delta;
    song_.songLength = std::max(song_.songLength, clamp_to_int(now_));
  }

  void read_event(ByteReader& r) {
    uint8_t lead = r.peek();
    if (lead == kMeta) {
      r.skip(1);
      uint8_t type = r.u8();
      uint32_t length = r.vlq();
      std::size_t available = std::min<std::size_t>(length, r.remaining());
      read_meta(type, ByteView(in_.data + r.pos(), available));
      r.skip(length);
    } else if (lead == midi::kSysEx || lead == midi::kSysExContinuation) {
      r.skip(1);
      r.skip(r.vlq());
    } else if (lead >= kStatusBit && lead < midi::kFirstSystemStatus) {
      runningStatus_ = r.u8();
      channelsSeen_ |= 1u << (runningStatus_ & kChannelMask);
      read_channel_event(r, runningStatus_);
    } else if (lead < kStatusBit && runningStatus_ != 0) {
      read_channel_event(r, runningStatus_);
    } else {
      r.skip(1);  // a data byte with no status to run on, or a system status
    }
  }

  int data_bytes(uint8_t kind) const {
    switch (kind) {
      case kNoteOff: return dxm_ ? 1 : 2;
      case kPitchBend: return dxm_ ? 1 : 2;
      case kProgramChange:
      case midi::kChannelPressure: return 1;
      default: return 2;
    }
  }

  void read_channel_event(ByteReader& r, uint8_t status) {
    uint8_t kind = status & midi::kStatusMask;
    int channel = status & kChannelMask;
    int first = r.u8();
    int second = data_bytes(kind) == 2 ? r.u8() : 0;
    if (!r.ok()) return;  // cut off by the end of the data
    bool controlChannel = format_ == 1 || channel == extractChannel_;
    switch (kind) {
      case kNoteOn:
        if (second > 0) {
          note_on(channel, first, second);
        } else {
          note_end(channel, first);
        }
        break;
      case kNoteOff:
        note_end(channel, first);
        break;
      case kControlChange:
        if (!controlChannel) break;
        if (first == midi::kControllerVolume) justRead_[kSlotVolume] = std::min(second, kMaxDataValue) + 1;
        if (first == midi::kControllerPan) justRead_[kSlotPan] = std::min(second, kMaxDataValue) + 1;
        break;
      case kProgramChange:
        if (controlChannel) justRead_[kSlotProgram] = std::min(first, kMaxDataValue) + 1;
        break;
      default:  // pressure and pitch bend play no part in the score
        break;
    }
  }

  // A note-off (or note-on of velocity 0) ends the sounding note. Drum notes
  // have no end of their own: they last until the next note.
  void note_end(int channel, int key) {
    if (soundingKey_ == 0 || channel != soundingChannel_ || key != soundingKey_ || channel == kRhythmChannel) return;
    int ended = soundingKey_;
    soundingKey_ = 0;
    close_segment(ended, channel);
  }

  void note_on(int channel, int key, int velocity) {
    if (!takes_note_on(channel, key)) return;
    if (haveLastNoteOn_ && now_ <= lastNoteOn_ + chord_window()) {
      ++chordCounter_;
      largestChord_ = std::max(largestChord_, chordCounter_);
    } else {
      chordCounter_ = 0;
    }
    haveLastNoteOn_ = true;
    lastNoteOn_ = now_;
    if (trackSplit_ && chordCounter_ != chordVoice_) return;

    if (records(track_)) ++song_.noteCount[track_ - 1];
    int previous = soundingKey_;
    soundingKey_ = key;
    soundingChannel_ = channel;
    velocity = std::min(velocity, kMaxDataValue);
    if (lastVelocity_ < 0 || velocity / 4 != lastVelocity_ / 4) {
      justRead_[kSlotVelocity] = velocity + 1;
      lastVelocity_ = velocity;
    }
    if (key <= midi::kMaxDataByte && channel == kRhythmChannel) record_rhythm_key(song_, key);
    close_segment(previous, channel);
  }

  bool takes_note_on(int channel, int key) const {
    bool mayReplace = whole_note_units(clamp_to_int(segment_), song_.timebase, conv_.noteLengthScale) > conv_.shortNoteCutLevel ||
                      conv_.highmld == 0 || key > soundingKey_ || trackSplit_;
    bool onChannel = (format_ == 1 && (soundingKey_ == 0 || channel <= soundingChannel_)) || channel == extractChannel_;
    return mayReplace && onChannel && key > conv_.lowNoteCutLevel;
  }

  // Note-ons this close to the previous taken one belong to the same chord.
  long long chord_window() const {
    long long wholeNote = whole_note_ticks(song_.timebase, conv_.noteLengthScale);
    return wholeNote * conv_.shortNoteCutLevel / kWholeNoteUnits;
  }

  void end_pass() {
    if (trackHasSound_ || soundingKey_ != 0) {
      int key = soundingKey_;
      soundingKey_ = 0;
      close_segment(key, soundingChannel_);
    }
  }

  bool channel_splits_chords() const {
    if (conv_.chordSplitChannels == kAllChannels) return true;
    return trackPart_ >= 1 && trackPart_ <= midi::kChannelCount && ((conv_.chordSplitChannels >> (trackPart_ - 1)) & 1);
  }

  // Decides whether the chunk just scanned is scanned again, for its next
  // chord voice or (format 0) its next channel.
  bool choose_next_pass() {
    if (trackSplit_ && channel_splits_chords() && largestChord_ > chordVoice_ && chordVoice_ < voiceLimit_ - 1) {
      ++chordVoice_;
      return true;
    }
    if (format_ == 0) {
      for (int ch = extractChannel_ + 1; ch < midi::kChannelCount; ++ch) {
        if (channelsSeen_ & (1u << ch)) {
          extractChannel_ = ch;
          chordVoice_ = 0;
          largestChord_ = 0;
          return true;
        }
      }
    }
    return false;
  }

  // --- segments ---------------------------------------------------------------

  // Ends the open segment: `key` sounded during it (0 = nothing), and the
  // event that ends it is on `channel`.
  void close_segment(int key, int channel) {
    int length = clamp_to_int(segment_);
    if (key != 0) key = filter_note(song_, conv_, key, length, song_.is_rhythm_track(track_));
    write_pending_controls(key, channel);
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (justRead_[slot] > 0) {
        pending_[slot] = justRead_[slot];
        justRead_[slot] = 0;
      }
    }
    if (key == 0) {
      pendingRest_ += segment_;
    } else {
      write_sounding_note(key, length, channel);
    }
    segment_ = 0;
  }

  void write_pending_controls(int key, int channel) {
    bool sounding = key > 0;
    if (sounding && pending_[kSlotProgram] > 0) {
      int program = pending_[kSlotProgram] - 1;
      write(kProgramEvent, program);
      if (channel != kRhythmChannel) record_program(song_, program);
      pending_[kSlotProgram] = 0;
    }
    if (channel == kRhythmChannel && records(track_) && song_.program[track_ - 1] != kRhythmProgram) {
      song_.program[track_ - 1] = kRhythmProgram;
    }
    if (sounding) write_pending(kSlotVolume, kVolumeEvent);
    write_pending(kSlotVelocity, kVelocityEvent);
    if (sounding) write_pending(kSlotPan, kPanEvent);
  }

  void write_pending(ControlSlot slot, int code) {
    if (pending_[slot] == 0) return;
    write(code, pending_[slot] - 1);
    pending_[slot] = 0;
  }

  void write_sounding_note(int key, int length, int channel) {
    if (!trackHasSound_) {
      int lead = clamp_to_int(pendingRest_);
      if (track_ == 1 || lead < song_.leadIn) song_.leadIn = lead;
      if (records(track_)) song_.firstNoteTime[track_ - 1] = clamp_to_int(pendingRest_ + 1);
    }
    if (format_ == 1) {
      int part = channel + 1;
      trackPart_ = (trackPart_ == 0 || trackPart_ == part) ? part : kMixedChannelPart;
      if (records(track_)) song_.part[track_ - 1] = trackPart_;
    }
    trackHasSound_ = true;
    write_rest(pendingRest_);
    pendingRest_ = 0;
    write(key, length);
    if (length > 0 && records(track_)) song_.lastNoteEnd[track_ - 1] = clamp_to_int(now_ + 1);
    if (writePos_ > kScoreReadLimit) stopped_ = true;
  }

  // --- meta events and texts -------------------------------------------------

  void read_meta(uint8_t type, ByteView data) {
    switch (type) {
      case midi::kMetaTempo: read_tempo(data); break;
      case midi::kMetaTrackName:
        if (!titleFromTrackName_) {
          set_song_text(song_.title, data.data, data.size);
          titleFromTrackName_ = true;
        }
        break;
      case midi::kMetaText:
        if (song_.title.empty()) set_song_text(song_.title, data.data, data.size);
        break;
      case midi::kMetaCopyright:
        if (song_.copyright.empty()) set_song_text(song_.copyright, data.data, data.size);
        break;
      default: break;
    }
  }

  void read_tempo(ByteView data) {
    uint32_t micros = (static_cast<uint32_t>(data.at(0)) << 16) | (data.at(1) << 8) | data.at(2);
    if (micros == 0) return;  // no tempo can be derived from it
    int tempo = static_cast<int>(std::min<long long>(midi::kMicrosecondsPerMinute / micros, kMaxScoreTempo));
    if (!tempoTaken_) {
      tempoTaken_ = true;
      set_tempo(tempo);
    }
    // The changes before the first sounding note decide the tempo in force
    // when the music starts; they are recorded at their absolute tick. A
    // chunk scanned again (next voice or channel) holds the same changes, so
    // only its first scan records them: the map stays as long as the file's
    // tempo events, however many passes an empty first track takes.
    if (firstScanOfChunk_ && track_ == 1 && !trackHasSound_) song_.tempoMap.push_back({tempo, clamp_to_int(now_)});
  }

  void set_tempo(int tempo) {
    song_.tempo = tempo;
    store_score_tempo(score_.bytes.data(), tempo);
  }

  // A DXM directory entry 02 C0 00 (title) or 02 C3 00 (copyright) points at
  // the text: offset in bytes 4-5, length in byte 6 or, when that is 0, in
  // bytes 8-9. The text fills its field only when the field is still empty.
  void read_dxm_text_entry(std::size_t pos) {
    if (in_.at(pos) != kDxmTextEntryType || in_.at(pos + 2) != 0 || pos + 2 >= in_.size) return;
    uint8_t id = in_.at(pos + 1);
    std::string* field = id == kDxmTitleId ? &song_.title : id == kDxmCopyrightId ? &song_.copyright : nullptr;
    if (!field || !field->empty()) return;
    std::size_t offset = (static_cast<std::size_t>(in_.at(pos + kDxmEntryOffsetAt)) << 8) | in_.at(pos + kDxmEntryOffsetAt + 1);
    std::size_t length = in_.at(pos + kDxmEntryShortLength);
    if (length == 0) {
      length = (static_cast<std::size_t>(in_.at(pos + kDxmEntryLongLengthAt)) << 8) | in_.at(pos + kDxmEntryLongLengthAt + 1);
    }
    if (offset >= in_.size) return;
    length = std::min({length, kMaxTextLength, in_.size - offset});
    set_song_text(*field, in_.data + offset, length);
  }

  void add_notice(const char* text) {
    if (std::find(song_.notices.begin(), song_.notices.end(), text) == song_.notices.end()) song_.notices.emplace_back(text);
  }

  // --- writing ----------------------------------------------------------------

  static bool records(int track) { return track >= 1 && track <= kMaxTracks; }

  void write(int code, int value) {
    uint8_t* base = score_.bytes.data();
    writePos_ += write_event(song_, base + writePos_, base + score_.bytes.size(), track_, code, value);
  }

  void write_rest(long long ticks) {
    if (ticks > 0) write(kRest, clamp_to_int(ticks));
  }

  void put_end_of_track() {
    if (writePos_ < score_.bytes.size()) score_.bytes[writePos_++] = kEndOfTrack;
  }

  // --- the end ------------------------------------------------------------------

  void finish() {
    if (trackHasSound_) {
      write_rest(pendingRest_);
    } else {
      forget_empty_pass();
      if (track_ > 1 && writePos_ > kFirstTrackOffset && score_.bytes[writePos_ - 1] == kEndOfTrack) drop_empty_last_track();
    }
    score_.length = writePos_;
    song_.trackCount = track_;
    apply_tempo_in_force_at_lead_in();
  }

  // The last score track stayed empty: it goes with the end mark before it.
  void drop_empty_last_track() {
    if (trackMark_ >= 0) song_.sourceTrackSet.clear(trackMark_);
    if (records(track_)) {
      song_.trackStart[track_ - 1] = 0;
      song_.part[track_ - 1] = 0;
      song_.program[track_ - 1] = 0;
    }
    --writePos_;
    --track_;
  }

  // The tempo map holds the changes met before the first sounding note; the
  // latest one at or before the lead-in is the tempo the music starts with.
  void apply_tempo_in_force_at_lead_in() {
    const TempoChange* best = nullptr;
    for (const TempoChange& change : song_.tempoMap) {
      if (change.tick <= song_.leadIn && (!best || change.tick >= best->tick)) best = &change;
    }
    if (best) set_tempo(best->tempo);
  }

  ByteView in_;
  Score& score_;
  SongInfo& song_;
  const ConversionOptions& conv_;
  bool trackSplit_;
  int voiceLimit_;

  bool dxm_ = false;
  const char* headerTag_ = midi::kHeaderTag;
  const char* trackTag_ = midi::kTrackTag;
  int format_ = 1;
  bool stopped_ = false;

  // Across passes.
  int track_ = 1;
  std::size_t writePos_ = kFirstTrackOffset;
  long long pendingRest_ = 0;
  bool trackHasSound_ = false;
  int trackPart_ = 0;
  int chunkCount_ = 0;
  int chunkNumber_ = 0;
  int trackMark_ = -1;  // the source mark added while filling the current score track, -1 if none
  std::size_t trackBegin_ = kFirstTrackOffset;  // where the current score track begins
  bool firstScanOfChunk_ = true;
  int extractChannel_ = 0;
  uint32_t channelsSeen_ = 0;
  int chordVoice_ = 0;
  int largestChord_ = 0;
  bool tempoTaken_ = false;
  bool titleFromTrackName_ = false;

  // One pass.
  uint8_t runningStatus_ = 0;
  int soundingKey_ = 0;
  int soundingChannel_ = 0;
  long long segment_ = 0;
  long long now_ = 0;
  int justRead_[kSlotCount] = {};
  int pending_[kSlotCount] = {};
  int lastVelocity_ = -1;
  int chordCounter_ = 0;
  bool haveLastNoteOn_ = false;
  long long lastNoteOn_ = 0;
};

}  // namespace

void read_midi_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  if (score.bytes.size() < kScoreCapacity) score.bytes.resize(kScoreCapacity, 0);
  MidiReader(input, score, song, settings).run();
}

}  // namespace mel
