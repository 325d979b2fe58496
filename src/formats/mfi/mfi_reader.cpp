#include "formats/mfi/mfi_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>

#include "common/saturate.h"
#include "formats/mfi/mfi_format.h"
#include "midi/midi_bytes.h"

namespace mel {
namespace {

using namespace mfi;

// Only the low 16 bits of a track chunk's length are taken.
constexpr std::size_t kTrackLengthLowOffset = 6;

// A note whose gate falls short of the time to the next note by more than this
// sounds gate + 1 ticks and leaves the remainder as a rest.
constexpr int kGateSlack = 2;

// Reading stops once the score passes this position, so that the last event
// and the end-of-track byte always fit.
constexpr std::size_t kScoreBound = 0x3FFF8;

// Chord splitting takes at most this many voices from one channel, whatever
// the chord split count asks for (its settings range ends here too).
constexpr int kMaxChordVoices = 16;
// chordSplitChannels value that splits the chords of every channel.
constexpr int kSplitEveryChannel = 0xFFFF;

// A rhythm switch may restart the scan of its chunk once; this also bounds how
// often one chunk is restarted by many switches.
constexpr int kMaxRescansPerChunk = 16;

// The General MIDI programs that stand in for the handset's six basic voices
// during playback, by bank * 64 + voice + 1.
int stand_in_program(int nativeVoicePlusOne) {
  switch (nativeVoicePlusOne) {
    case 2: return 9;
    case 3: return 16;
    case 4: return 24;
    case 5: return 13;
    case 6: return 74;
    default: return 1;
  }
}

int timebase_of(uint8_t tempoStatus) {
  int base = (tempoStatus & kTimebaseFamilyBit) ? kTimebaseBaseFifteen : kTimebaseBaseSix;
  return base << (tempoStatus & kTimebaseShiftMask);
}


// ---- Reader state ---------------------------------------------------------

constexpr int kUnset = -1;

// Controls seen since the last note (pending) or waiting to be written in front
// of the next note (current). kUnset = not given.
struct Controls {
  int voice = kUnset;
  int bank = kUnset;
  int volume = kUnset;
  int velocity = kUnset;
  int pan = kUnset;
  int tempo = kUnset;
};

// The note of the pass that is still sounding (key 0 = a rest).
struct PendingNote {
  int key = 0;
  int64_t gate = 0;
  int64_t elapsed = 0;
  // An end marker let it ring to its full gate (but never past the next note).
  bool released = false;
};

// One scan of a track chunk, making one score track.
struct Pass {
  int channel = 0;
  int voice = 0;  // chord voice, with chord splitting
  int track = 1;
  std::size_t trackStart = 0;
  std::array<int, kSlotCount> slots{};
  PendingNote note;
  int64_t trackTime = 0;    // sum of all deltas of the chunk so far
  int64_t writtenTime = 0;  // time of the notes and rests written so far
  int64_t restAhead = 0;    // rest accumulated but not written yet
  Controls pending;
  Controls current;
  int bank = 0;
  int lastVelocityBits = kUnset;
  bool sawNote = false;    // a note of this pass has arrived
  bool wroteNote = false;  // a sounding note has been written
  std::array<int64_t, midi::kChannelCount> lastStrikeTime{};
  std::array<int, midi::kChannelCount> lastStrikeVoice{};
};

struct Chunk {
  std::size_t dataStart = 0;
  std::size_t declaredEnd = 0;
  int index = 1;  // counted from 1
  // The note size and form at the chunk's start: every pass decodes the chunk
  // alike even if a stray tag inside its data changes them.
  bool fourByteNotes = false;
  bool cmxForm = false;
  uint32_t channelsSeen = 0;
  std::array<int, midi::kChannelCount> highestVoice{};
};

enum class PassEnd {
  Continue,   // (event results only) go on with the next event
  EndEvent,   // an end event at the chunk's end
  NextTag,    // the next "trac" tag
  EndOfData,  // the input ran out (or the last event was cut short)
  ScoreFull,  // the score reached its bound
  Rescan,     // a rhythm switch asks for the chunk to be read again
};

struct PassOutcome {
  PassEnd how = PassEnd::EndOfData;
  std::size_t resume = 0;  // where the outer scan goes on
};

class MfiReader {
 public:
  MfiReader(ByteView input, Score& score, SongInfo& song, const Settings& settings, bool cmxForm)
      : in_(input), score_(score), song_(song), settings_(settings), cmxForm_(cmxForm) {
    if (score_.bytes.size() < kScoreCapacity) score_.bytes.resize(kScoreCapacity, 0);
    // One byte stays free for the end-of-track byte of the last track.
    end_ = score_.bytes.data() + score_.bytes.size() - 1;
  }

  void read() {
    reset_song_header(song_);
    song_.timebase = kMfiTimebase;
    store_score_tempo(score_.bytes.data(), song_.tempo);
    pos_ = kFirstTrackOffset;

    std::size_t at = 0;
    while (at < in_.size && !stopped_) {
      if (std::size_t next = header_tag(at)) {
        at = next;
      } else if (in_.matches(at, kTagTrack, kTagSize)) {
        at = read_chunk(at);
      } else {
        at += kSubChunkHeaderSize + sub_chunk_length(at);
      }
    }
    finish_score();
  }

 private:
  struct Snapshot {
    SongInfo song;
    uint8_t tempoBytes[kTempoBytes] = {};
    std::size_t pos = 0;
    int trackNumber = 1;
    int tracksKept = 0;
    bool tempoTaken = false;
    bool leadInSet = false;
    bool fourByteNotes = false;
    bool cmxForm = false;
  };

  // ---- Header tags ----

  // A big-endian 16-bit number of the input (0 past its end).
  std::size_t u16_at(std::size_t at) const { return (std::size_t{in_.at(at)} << 8) | in_.at(at + 1); }

  std::size_t sub_chunk_length(std::size_t at) const { return u16_at(at + kSubChunkLengthOffset); }

  // Handles a file header or a title / copyright / note-size sub-chunk at
  // `at`; returns the position after it, or 0 when there is none there.
  std::size_t header_tag(std::size_t at) {
    if (in_.matches(at, kMagicMfi, kTagSize) || in_.matches(at, kMagicCmx, kTagSize)) {
      cmxForm_ = in_.matches(at, kMagicCmx, kTagSize);
      return at + kFileHeaderSize;
    }
    bool title = in_.matches(at, kTagTitle, kTagSize);
    bool copyright = in_.matches(at, kTagCopyright, kTagSize);
    bool noteSize = in_.matches(at, kTagNoteSize, kTagSize);
    if (!title && !copyright && !noteSize) return 0;

    std::size_t length = sub_chunk_length(at);
    std::size_t data = at + kSubChunkHeaderSize;
    std::size_t available = data < in_.size ? std::min(length, in_.size - data) : 0;
    const uint8_t* text = available > 0 ? in_.data + data : nullptr;
    if (title) set_song_text(song_.title, text, available);
    if (copyright) set_song_text(song_.copyright, text, available);
    if (noteSize && length > kNoteSizeFlagOffset) {
      fourByteNotes_ = (in_.at(data + kNoteSizeFlagOffset) & kFourByteNotesFlag) != 0;
    }
    return data + length;
  }

  // ---- Chunks and passes ----

  // Reads one track chunk in as many passes as it needs; returns where the
  // outer scan goes on.
  std::size_t read_chunk(std::size_t tagPos) {
    Chunk chunk;
    chunk.dataStart = tagPos + kTrackHeaderSize;
    chunk.declaredEnd = chunk.dataStart + u16_at(tagPos + kTrackLengthLowOffset);
    chunk.index = ++chunkCount_;
    chunk.fourByteNotes = fourByteNotes_;
    chunk.cmxForm = cmxForm_;
    const Snapshot atChunkStart = take_snapshot();

    for (int rescans = 0;; ++rescans) {
      chunk.channelsSeen = 0;
      chunk.highestVoice = {};
      int channel = 0;
      int voice = 0;
      PassOutcome outcome;
      for (;;) {
        Pass pass = begin_pass(chunk, channel, voice);
        outcome = run_pass(chunk, pass, rescans < kMaxRescansPerChunk);
        if (outcome.how == PassEnd::Rescan) break;
        finish_pass(pass, outcome.how != PassEnd::ScoreFull);
        if (outcome.how == PassEnd::ScoreFull) stopped_ = true;
        if (stopped_ || !choose_next_pass(chunk, channel, voice)) return outcome.resume;
      }
      // Every track already made from this chunk goes; the chunk is read
      // again from its first channel with the new rhythm mask.
      restore_snapshot(atChunkStart);
    }
  }

  Pass begin_pass(const Chunk& chunk, int channel, int voice) {
    fourByteNotes_ = chunk.fourByteNotes;
    cmxForm_ = chunk.cmxForm;
    Pass pass;
    pass.channel = channel;
    pass.voice = voice;
    pass.track = trackNumber_;
    pass.trackStart = pos_;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      pass.slots[slot] = static_cast<int>(((static_cast<int64_t>(chunk.index) - 1) * kSlotCount + slot) % midi::kChannelCount);
    }
    pass.lastStrikeTime.fill(kUnset);
    if (records(pass.track)) {
      song_.trackStart[pass.track - 1] = static_cast<int>(pos_);
      song_.part[pass.track - 1] = channel + 1;
    }
    return pass;
  }

  PassOutcome run_pass(Chunk& chunk, Pass& pass, bool rescanAllowed) {
    std::size_t at = chunk.dataStart;
    for (;;) {
      if (at >= in_.size) return {PassEnd::EndOfData, in_.size};
      if (std::size_t next = header_tag(at)) {
        at = next;
        continue;
      }
      if (in_.matches(at, kTagTrack, kTagSize)) return {PassEnd::NextTag, at};

      ByteReader r(in_, at);
      int delta = r.u8();
      uint8_t lead = r.u8();
      PassEnd result = PassEnd::Continue;
      if (lead != kExtendedEventLead) {
        int gate = r.u8();
        int extra = fourByteNotes_ ? r.u8() : kUnset;
        if (!r.ok()) return {PassEnd::EndOfData, in_.size};
        advance_time(pass, delta);
        if (!on_note(chunk, pass, lead, gate, extra)) result = PassEnd::ScoreFull;
      } else {
        uint8_t status = r.u8();
        if (status >= kExtLongFirst) {
          r.skip(r.u16be());
          if (!r.ok()) return {PassEnd::EndOfData, in_.size};
          advance_time(pass, delta);
        } else {
          uint8_t data = r.u8();
          if (!r.ok()) return {PassEnd::EndOfData, in_.size};
          advance_time(pass, delta);
          result = on_extended(chunk, pass, at, status, data, rescanAllowed);
        }
      }
      if (result != PassEnd::Continue) return {result, r.pos()};
      at = r.pos();
    }
  }

  void advance_time(Pass& pass, int delta) {
    pass.note.elapsed += delta;
    pass.trackTime += delta;
    raise_song_length(pass.trackTime);
  }

  void raise_song_length(int64_t time) { song_.songLength = std::max(song_.songLength, clamp_to_int(time)); }

  // Chooses the next pass over the chunk: the next chord voice of the same
  // channel, else the next channel the chunk uses. False when the chunk is done.
  // A chunk cut short by the end of the data is split like any other, so a
  // truncated file keeps its chord voices.
  bool choose_next_pass(const Chunk& chunk, int& channel, int& voice) const {
    if (settings_.play.TrackSplit && splits_chords(channel) && chunk.highestVoice[channel] > voice &&
        voice + 1 < chord_voice_limit()) {
      ++voice;
      return true;
    }
    for (int next = channel + 1; next < midi::kChannelCount; ++next) {
      if (chunk.channelsSeen & (1u << next)) {
        channel = next;
        voice = 0;
        return true;
      }
    }
    return false;
  }

  bool splits_chords(int channel) const {
    int set = settings_.conv.chordSplitChannels;
    return set == kSplitEveryChannel || ((set >> channel) & 1);
  }

  // Every chord voice costs one more scan of the chunk, so an out-of-range
  // count must not multiply the work.
  int chord_voice_limit() const { return std::clamp(settings_.conv.chsepcnt, 1, kMaxChordVoices); }

  // ---- Events ----

  // A note event of any channel. Returns false when the score is full.
  bool on_note(Chunk& chunk, Pass& pass, uint8_t status, int gate, int extra) {
    int channel = pass.slots[status >> kSlotShift];
    chunk.channelsSeen |= 1u << channel;
    int voice = chord_voice(chunk, pass, channel);
    if (channel != pass.channel) return true;
    if (settings_.play.TrackSplit && voice != pass.voice) return true;

    // The velocity of a 4-byte note is its own: it goes in front of this note.
    if (extra != kUnset) {
      int bits = extra & kVelocityCompareMask;
      if (bits != pass.lastVelocityBits) {
        pass.lastVelocityBits = bits;
        pass.pending.velocity = (extra >> kVelocityShift) & kVelocityMask;
      }
    }
    int key = gate == 0 ? 0 : sounding_key(channel, status & kKeyMask, extra);
    pass.sawNote = true;
    if (records(pass.track)) ++song_.noteCount[pass.track - 1];
    if (key != 0 && is_rhythm(channel)) record_rhythm_key(song_, key);

    // A strike of the key that is still sounding continues it.
    PendingNote& held = pass.note;
    if (key != 0 && key == held.key && !held.released && held.elapsed < held.gate) {
      held.gate = held.elapsed + gate;
      return true;
    }
    if (!close_pending(pass, false)) return false;
    pass.note = PendingNote{key, gate, 0, false};
    return true;
  }

  // Chord voice of a note: 0 when it starts after the previous note of its
  // channel, else one above that note's voice.
  int chord_voice(Chunk& chunk, Pass& pass, int channel) {
    int voice = 0;
    if (pass.lastStrikeTime[channel] != kUnset && pass.trackTime <= pass.lastStrikeTime[channel]) {
      voice = pass.lastStrikeVoice[channel] + 1;
    }
    pass.lastStrikeTime[channel] = pass.trackTime;
    pass.lastStrikeVoice[channel] = voice;
    chunk.highestVoice[channel] = std::max(chunk.highestVoice[channel], voice);
    return voice;
  }

  int sounding_key(int channel, int key, int extra) const {
    int base = is_rhythm(channel) && !cmxForm_ ? kMfiRhythmKeyBase : kMelodicKeyBase;
    int shift = extra != kUnset ? kOctaveShift[extra & kOctaveMask] : 0;
    return base + key + kSemitonesPerOctave * shift;
  }

  PassEnd on_extended(Chunk& chunk, Pass& pass, std::size_t eventPos, uint8_t status, uint8_t data,
                      bool rescanAllowed) {
    if (status >= kExtTempoFirst && status <= kExtTempoLast) {
      on_tempo(pass, status, data);
      return PassEnd::Continue;
    }
    int slot = data >> kSlotShift;
    bool forThisPass = pass.slots[slot] == pass.channel;
    switch (status) {
      case kExtMarker:
        if (data != kMarkerEnd) return PassEnd::Continue;
        return on_end_event(chunk, pass, eventPos);
      case kExtFiller:
      case kExtEndOfTrack:
        return on_end_event(chunk, pass, eventPos);
      case kExtVoice:
        if (forThisPass) pass.pending.voice = data & kSixBitMask;
        return PassEnd::Continue;
      case kExtBank:
        if (forThisPass) pass.pending.bank = data & kBankMask;
        return PassEnd::Continue;
      case kExtVolume:
        if (forThisPass) pass.pending.volume = data & kSixBitMask;
        return PassEnd::Continue;
      case kExtPan:
        if (forThisPass) pass.pending.pan = data & kSixBitMask;
        return PassEnd::Continue;
      case kExtChannelAssign:
        pass.slots[slot] = data & kAssignedChannelMask;
        return PassEnd::Continue;
      case kExtRhythmSwitch:
        return on_rhythm_switch(pass, eventPos, data, rescanAllowed);
      default:
        return PassEnd::Continue;
    }
  }

  void on_tempo(Pass& pass, uint8_t status, uint8_t tempo) {
    // A tempo of 0 would stop the song (and divide by zero downstream).
    if (tempo == 0) return;
    if (!tempoTaken_ || (pass.track == 1 && !pass.sawNote)) {
      tempoTaken_ = true;
      song_.tempo = tempo;
      song_.timebase = timebase_of(status);
      store_score_tempo(score_.bytes.data(), tempo);
    } else if (pass.track == 1) {
      pass.pending.tempo = tempo;
    }
  }

  // An end marker, filler or end of track: the sounding note rings to its full
  // gate. At the chunk's end it also finishes the pass.
  PassEnd on_end_event(const Chunk& chunk, Pass& pass, std::size_t eventPos) {
    if (pass.note.key != 0) pass.note.released = true;
    return eventPos + kExtendedEventSize >= chunk.declaredEnd ? PassEnd::EndEvent : PassEnd::Continue;
  }

  PassEnd on_rhythm_switch(const Pass& pass, std::size_t eventPos, uint8_t data, bool rescanAllowed) {
    int channel = data >> kSwitchChannelShift;
    uint32_t bit = 1u << channel;
    bool wasDrum = (rhythmMask_ & bit) != 0;
    bool drum = (data & kSwitchDrumFlag) != 0;
    rhythmMask_ = drum ? (rhythmMask_ | bit) : (rhythmMask_ & ~bit);
    // When the switch concerns the channel numbered like the track being made,
    // the chunk is read again so that its earlier notes get the new pitch
    // base; each switch does this at most once, so toggles cannot loop.
    if (wasDrum != drum && channel == pass.track - 1 && rescanAllowed && usedSwitches_.insert(eventPos).second) {
      return PassEnd::Rescan;
    }
    return PassEnd::Continue;
  }

  bool is_rhythm(int channel) const { return (rhythmMask_ >> channel) & 1u; }

  // ---- Writing ----

  static bool records(int track) { return track >= 1 && track <= kMaxTracks; }

  // Closes the pending note (or rest) of the pass. At the end of a pass
  // (`final`) a note rings its full gate. Returns false once the score has
  // passed its bound.
  bool close_pending(Pass& pass, bool final) {
    const PendingNote n = pass.note;
    pass.note = PendingNote{};
    int64_t length = 0;  // what the note sounds
    int64_t after = 0;   // the rest that follows it before the next event
    int key = 0;
    if (n.key != 0) {
      if (final) {
        length = n.gate;
        after = std::max<int64_t>(0, n.elapsed - n.gate);
      } else if (n.released) {
        // The full gate, but what the note gains the following rest loses.
        length = std::min(n.gate, n.elapsed);
        after = n.elapsed - length;
      } else if (n.elapsed - n.gate > kGateSlack) {
        length = n.gate + 1;
        after = n.elapsed - length;
      } else {
        length = n.elapsed;
      }
      // A note that rings its full gate is judged by what it sounds: at a
      // chunk's end the time elapsed may be 0 although the note sounds.
      int filterLength = clamp_to_int(final || n.released ? length : n.elapsed);
      if (length > 0) key = filter_note(song_, settings_.conv, n.key, filterLength, is_rhythm(pass.channel));
    }

    write_controls(pass);
    promote_controls(pass);
    if (key != 0) {
      if (!pass.wroteNote) record_first_note(pass, pass.writtenTime + pass.restAhead);
      flush_rest(pass);
      write_timed(pass.track, key, length);
      pass.writtenTime += length;
      raise_song_length(pass.writtenTime);
      if (records(pass.track)) song_.lastNoteEnd[pass.track - 1] = clamp_to_int(pass.writtenTime + 1);
      pass.wroteNote = true;
      pass.restAhead = after;
    } else {
      pass.restAhead += n.key != 0 ? length + after : n.elapsed;
    }
    return pos_ <= kScoreBound;
  }

  void record_first_note(const Pass& pass, int64_t leading) {
    if (records(pass.track)) song_.firstNoteTime[pass.track - 1] = clamp_to_int(leading + 1);
    int lead = clamp_to_int(leading);
    if (!leadInSet_ || lead < song_.leadIn) song_.leadIn = lead;
    leadInSet_ = true;
  }

  void flush_rest(Pass& pass) {
    write_timed(pass.track, kRest, pass.restAhead);
    pass.writtenTime += pass.restAhead;
    pass.restAhead = 0;
    raise_song_length(pass.writtenTime);
  }

  // Writes a note or rest of any length through the event writer.
  void write_timed(int track, int code, int64_t ticks) {
    // Handed over in pieces that fit the writer's int value; it splits each
    // piece further into events of at most kMaxEventDuration ticks.
    constexpr int64_t kPiece = static_cast<int64_t>(kMaxEventDuration) * 1024;
    while (ticks > 0) {
      int piece = static_cast<int>(std::min(ticks, kPiece));
      std::size_t written = write_event(song_, score_.bytes.data() + pos_, end_, track, code, piece);
      if (written == 0) return;
      pos_ += written;
      ticks -= piece;
      code = kRest;
    }
  }

  void write_control(int track, int code, int value) {
    pos_ += write_event(song_, score_.bytes.data() + pos_, end_, track, code, value);
  }

  void write_controls(Pass& pass) {
    const Controls& c = pass.current;
    if (c.voice != kUnset) write_voice(pass, c.voice);
    if (c.volume != kUnset) write_control(pass.track, kVolumeEvent, kSixBitToMidi * c.volume);
    if (c.velocity != kUnset) write_control(pass.track, kVelocityEvent, kSixBitToMidi * c.velocity);
    if (c.pan != kUnset) write_control(pass.track, kPanEvent, kSixBitToMidi * c.pan);
    if (c.tempo != kUnset) write_control(pass.track, kTempoEvent, c.tempo);
    // Marked after the voice so that a program on a drum channel keeps it a
    // rhythm track.
    if (is_rhythm(pass.channel) && records(pass.track)) song_.program[pass.track - 1] = kRhythmProgram;
    pass.current = Controls{};
  }

  void write_voice(const Pass& pass, int voice) {
    if (pass.bank >= kFirstGeneralMidiBank) {
      int program = (pass.bank - kFirstGeneralMidiBank) * kVoicesPerBank + voice;
      write_control(pass.track, kProgramEvent, program);
      if (!is_rhythm(pass.channel)) record_program(song_, program);
    } else {
      int native = pass.bank * kVoicesPerBank + voice;
      write_control(pass.track, kNativeVoiceEvent, native);
      // The stand-in is for playback only; track 0 keeps it out of `program`.
      write_control(0, kProgramEvent, stand_in_program(native + 1));
    }
  }

  static void promote(int& current, int& pending) {
    if (pending != kUnset) current = pending;
  }

  void promote_controls(Pass& pass) {
    Controls& p = pass.pending;
    Controls& c = pass.current;
    promote(c.voice, p.voice);
    promote(c.volume, p.volume);
    promote(c.velocity, p.velocity);
    promote(c.pan, p.pan);
    promote(c.tempo, p.tempo);
    if (p.bank != kUnset) pass.bank = p.bank;
    p = Controls{};
  }

  // Closes the pass's track: a track with a sounding note is ended with
  // EndOfTrack, an empty one gives its place to the next.
  void finish_pass(Pass& pass, bool closeNote) {
    if (closeNote && !close_pending(pass, true)) stopped_ = true;
    flush_rest(pass);
    if (pass.wroteNote) {
      // The writes stop one byte short of the capacity, so this always fits.
      if (pos_ < score_.bytes.size()) score_.bytes[pos_++] = kEndOfTrack;
      ++trackNumber_;
      ++tracksKept_;
      if (pos_ > kScoreBound) stopped_ = true;
    } else {
      pos_ = pass.trackStart;
      clear_track_fields(pass.track);
    }
  }

  void clear_track_fields(int track) {
    if (!records(track)) return;
    int i = track - 1;
    for (SongInfo::TrackInts* field : {&song_.trackStart, &song_.lowestPitch, &song_.highestPitch,
                                       &song_.firstNoteTime, &song_.lastNoteEnd, &song_.noteCount,
                                       &song_.program, &song_.volume, &song_.part}) {
      (*field)[i] = 0;
    }
  }

  // The last track is not followed by EndOfTrack.
  void finish_score() {
    if (tracksKept_ > 0) --pos_;
    song_.trackCount = tracksKept_;
    score_.length = pos_;
  }

  Snapshot take_snapshot() const {
    Snapshot s;
    s.song = song_;
    s.tempoBytes[0] = score_.bytes[0];
    s.tempoBytes[1] = score_.bytes[1];
    s.pos = pos_;
    s.trackNumber = trackNumber_;
    s.tracksKept = tracksKept_;
    s.tempoTaken = tempoTaken_;
    s.leadInSet = leadInSet_;
    s.fourByteNotes = fourByteNotes_;
    s.cmxForm = cmxForm_;
    return s;
  }

  void restore_snapshot(const Snapshot& s) {
    song_ = s.song;
    score_.bytes[0] = s.tempoBytes[0];
    score_.bytes[1] = s.tempoBytes[1];
    pos_ = s.pos;
    trackNumber_ = s.trackNumber;
    tracksKept_ = s.tracksKept;
    tempoTaken_ = s.tempoTaken;
    leadInSet_ = s.leadInSet;
    fourByteNotes_ = s.fourByteNotes;
    cmxForm_ = s.cmxForm;
  }

  ByteView in_;
  Score& score_;
  SongInfo& song_;
  const Settings& settings_;
  bool cmxForm_;
  const uint8_t* end_ = nullptr;
  std::size_t pos_ = kFirstTrackOffset;
  bool fourByteNotes_ = false;
  bool tempoTaken_ = false;
  bool leadInSet_ = false;
  bool stopped_ = false;
  int chunkCount_ = 0;
  int trackNumber_ = 1;
  int tracksKept_ = 0;
  uint32_t rhythmMask_ = 1u << midi::kRhythmChannel;  // drums start on the rhythm channel alone
  std::set<std::size_t> usedSwitches_;
};

}  // namespace

void read_mfi_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  MfiReader(input, score, song, settings, false).read();
}

void read_cmx_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  MfiReader(input, score, song, settings, true).read();
}

}  // namespace mel
