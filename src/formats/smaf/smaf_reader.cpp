#include "formats/smaf/smaf_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/cp932.h"
#include "common/saturate.h"
#include "formats/smaf/smaf_format.h"
#include "midi/midi_bytes.h"

namespace mel {
namespace {

using namespace smaf;

// A setup voice table entry i stands for General MIDI program i mod 128.
constexpr std::size_t kGmProgramCount = 128;
constexpr int kMaxProgramValue = 128;  // program + 1
// Volume, expression and pan: levels on the MIDI data-byte scale.
constexpr int kFullLevel = midi::kMaxDataByte;
// A gate more than this many ticks short of the next event ends the note early.
constexpr int64_t kGateSlack = 2;

// Reading stops once the score passes this position, so the last event and
// the end of track always fit.
constexpr std::size_t kScoreReadBound = 0x3FFF8;

// Beat estimate: deviations are in thousandths of the reference step.
constexpr int64_t kPerMille = 1000;
constexpr int64_t kHalfPerMille = 500;
constexpr int64_t kDeviationTolerance = 30;
// The step is doubled until timebase x 10 / step is at most 13, i.e. until it
// is close to a quarter note or longer.
constexpr int64_t kStepRatioScale = 10;
constexpr int64_t kStepRatioLimit = 13;
constexpr int kMaxTimebase = midi::kMaxDivision;  // a timebase a MIDI file can carry
// Longer note-to-note steps are no beat (and keep the per-mille arithmetic
// far from overflow).
constexpr int64_t kMaxBeatStep = INT32_MAX;
constexpr int kMaxTempo = 65535;  // two tempo bytes

// ---------------------------------------------------------------------------
// FM voices that stand for General MIDI programs: entry i is program i mod 128.
// A setup voice whose parameters match an entry plays that program.

using VoiceParams = std::array<uint8_t, kVoiceParamCount>;

constexpr std::array<VoiceParams, 3> kFmVoiceTable{{
    {0x15, 0xe1, 0xb5, 0x3e, 0xa0, 0x11, 0xf1, 0xb8, 0x02, 0xa0},
    {0x11, 0x21, 0xce, 0x1d, 0xa0, 0x11, 0x62, 0xef, 0x10, 0xa0},
    {0x31, 0x43, 0xfd, 0x4d, 0xa0, 0x11, 0x51, 0xbe, 0x00, 0xa0},
}};

// The program + 1 of a voice's parameters, or 0 when the table lacks them.
int program_for_voice(const uint8_t* params) {
  for (std::size_t i = 0; i < kFmVoiceTable.size(); ++i) {
    if (std::equal(kFmVoiceTable[i].begin(), kFmVoiceTable[i].end(), params)) {
      return static_cast<int>(i % kGmProgramCount) + 1;
    }
  }
  return 0;
}

const char kMobileStandardNotice[] =
    "SMAF sequence in the mobile-standard form is not read yet; its track chunk was skipped";

// ---------------------------------------------------------------------------
// Helpers

// A SMAF variable-length number: 7 bits a byte, the high bit set on every byte
// but the last, and each continuation counts one more, so 81 00 is 256.
int64_t read_number(ByteReader& in) {
  uint8_t b = in.u8();
  int64_t value = b & kNumberBitsMask;
  for (int i = 1; i < kMaxNumberBytes && (b & kNumberMoreBit); ++i) {
    b = in.u8();
    value = (value + 1) * kNumberRadix + (b & kNumberBitsMask);
  }
  return value;
}

// Where a chunk that starts at pos ends, by its 32-bit size, never past the input.
std::size_t chunk_end(ByteView in, std::size_t pos) {
  std::size_t data = pos + kChunkHeaderSize;
  if (pos > in.size || data > in.size) return in.size;
  ByteReader r(in, pos + kChunkSizeOffset);
  uint32_t size = r.u32be();
  return size > in.size - data ? in.size : data + size;
}

ByteView sub_view(ByteView in, std::size_t begin, std::size_t end) {
  begin = std::min(begin, in.size);
  end = std::clamp(end, begin, in.size);
  return ByteView(in.data + begin, end - begin);
}

bool is_file_level_tag(ByteView in, std::size_t pos) {
  return in.matches(pos, kFileTag, kTagSize) || in.matches(pos, kContentsTag, kTagSize) ||
         in.matches(pos, kScoreTrackTag, kScoreTrackTagSize);
}

// Reads one contents text starting at pos: up to the next unescaped comma or
// the data's end. "\\" stands for "\", "\," for ","; a "\" before any other
// byte is dropped. Double-byte Shift-JIS characters are copied whole, so a
// second byte that happens to be "\" is kept (a lead byte without a valid
// second byte stands alone). Returns the position after it.
std::size_t read_contents_text(ByteView data, std::size_t pos, std::string& field) {
  std::string text;
  auto keep = [&text](std::initializer_list<uint8_t> bytes) {
    if (text.size() + bytes.size() > kMaxTextLength) return;
    for (uint8_t b : bytes) text.push_back(static_cast<char>(b));
  };
  while (pos < data.size) {
    uint8_t b = data.at(pos);
    if (b == kTextSeparator) {
      ++pos;
      break;
    }
    if (is_cp932_lead_byte(b) && pos + 1 < data.size && is_cp932_trail_byte(data.at(pos + 1))) {
      keep({b, data.at(pos + 1)});
      pos += 2;
    } else if (b == kTextEscape) {
      ++pos;
      uint8_t next = data.at(pos);
      if (pos < data.size && (next == kTextEscape || next == kTextSeparator)) {
        keep({next});
        ++pos;
      }
    } else {
      keep({b});
      ++pos;
    }
  }
  set_song_text(field, text);
  return pos;
}

// ---------------------------------------------------------------------------
// The reader

struct Controls {
  int program = 0;  // program + 1; 0 = none
  int programChange = -1;  // the program change's own value behind program
  int volume = -1;
  int pan = -1;
};

struct PendingNote {
  bool sounding = false;
  int key = 0;
  bool rhythm = false;
  int64_t gate = 0;
  int64_t elapsed = 0;  // time since the note began
};

// Everything one pass (one channel of one score track chunk) keeps.
struct Pass {
  int channel = 0;
  int track = 0;  // score track number, from 1
  bool rhythm = false;
  int drumKey = 0;
  int octaveShift = 0;
  int volume = kFullLevel;
  int expression = kFullLevel;
  Controls pending;
  Controls current;
  PendingNote note;
  int64_t trackTime = 0;     // sum of the sequence's durations
  int64_t writtenTime = 0;   // sum of what was written to the score
  int64_t restToWrite = 0;   // accumulated rest
  int64_t lastNoteLength = 0;
  bool hasNote = false;
  int highestChannelSeen = -1;
};

struct TrackMark {
  std::size_t start = 0;
  bool hasNote = false;
};

class SmafReader {
 public:
  SmafReader(ByteView input, Score& score, SongInfo& song, const Settings& settings)
      : in_(input), score_(score), song_(song), options_(settings.conv) {}

  void run() {
    if (score_.bytes.size() < kScoreCapacity) score_.bytes.resize(kScoreCapacity);
    reset_song_header(song_);
    song_.timebase = kDefaultTimebase;
    song_.tempo = kDefaultTempo;
    store_score_tempo(score_.bytes.data(), song_.tempo);
    pos_ = kFirstTrackOffset;
    scan_file();
    finish_reading();
  }

 private:
  // ---- chunks -------------------------------------------------------------

  void scan_file() {
    std::size_t pos = 0;
    while (!stopped_ && in_.size - pos >= kChunkHeaderSize) {
      if (in_.matches(pos, kFileTag, kTagSize)) {
        pos += kChunkHeaderSize;  // step into the file chunk's contents
      } else if (in_.matches(pos, kContentsTag, kTagSize)) {
        std::size_t end = chunk_end(in_, pos);
        read_contents(sub_view(in_, pos + kChunkHeaderSize, end));
        pos = end;
      } else if (in_.matches(pos, kScoreTrackTag, kScoreTrackTagSize)) {
        pos = read_score_track_chunk(pos);
      } else {
        pos = chunk_end(in_, pos);
      }
    }
  }

  void read_contents(ByteView data) {
    std::size_t pos = 0;
    while (pos + kTextTagSize <= data.size) {
      if (data.matches(pos, kTitleTag, kTextTagSize)) {
        pos = read_contents_text(data, pos + kTextTagSize, song_.title);
      } else if (data.matches(pos, kCopyrightTag, kTextTagSize)) {
        pos = read_contents_text(data, pos + kTextTagSize, song_.copyright);
      } else {
        ++pos;
      }
    }
  }

  // Reads one score track chunk, once per channel from 0 up to the highest
  // channel that plays in it, and returns where scanning goes on.
  std::size_t read_score_track_chunk(std::size_t tagPos) {
    if (in_.at(tagPos + kFormatTypeOffset) != kHandyPhoneForm) {
      note_mobile_standard_form();
      return chunk_end(in_, tagPos);
    }
    if (!timebaseSet_) set_timebase(in_.at(tagPos + kTimebaseCodeOffset));
    std::size_t bodyStart = std::min(tagPos + kScoreTrackHeaderSize, in_.size);
    std::size_t bodyEnd = bodyStart;
    for (int channel = 0; channel < kChannelsPerChunk && !stopped_; ++channel) {
      begin_pass(channel, tagPos);
      bodyEnd = scan_track_body(bodyStart, channel == 0);
      if (pass_.highestChannelSeen <= channel) break;
    }
    ++chunksRead_;
    return bodyEnd;
  }

  // Sub-chunks follow the header. The body ends at the next file-level chunk
  // tag or where fewer than a chunk header's bytes remain; the chunk's own
  // size is not trusted, since it is the part of a download most often wrong.
  std::size_t scan_track_body(std::size_t pos, bool firstPass) {
    while (!stopped_ && in_.size - pos >= kChunkHeaderSize && !is_file_level_tag(in_, pos)) {
      std::size_t end = chunk_end(in_, pos);
      ByteView data = sub_view(in_, pos + kChunkHeaderSize, end);
      if (in_.matches(pos, kSetupTag, kTagSize)) {
        if (firstPass) read_setup(data);
      } else if (in_.matches(pos, kSequenceTag, kTagSize)) {
        read_sequence(data);
      } else if (in_.matches(pos, kSeekPhraseTag, kTagSize)) {
        // Seek and phrase points only help a handset jump into the song.
      }
      pos = end;  // every sub-chunk, known or not, ends by its size
    }
    return pos;
  }

  void note_mobile_standard_form() {
    if (std::find(song_.notices.begin(), song_.notices.end(), kMobileStandardNotice) == song_.notices.end()) {
      song_.notices.emplace_back(kMobileStandardNotice);
    }
  }

  void set_timebase(uint8_t code) {
    timebaseSet_ = true;
    song_.timebase = kDefaultTimebase;
    song_.tempo = kDefaultTempo;
    for (const TimebaseCode& entry : kTimebaseCodes) {
      if (entry.code == code) {
        song_.timebase = entry.timebase;
        song_.tempo = entry.tempo;
      }
    }
    store_score_tempo(score_.bytes.data(), song_.tempo);
  }

  // Every voice definition whose parameters are in the FM voice table maps its
  // voice number to that table entry's program.
  void read_setup(ByteView data) {
    std::size_t pos = 0;
    while (pos < data.size) {
      if (data.at(pos) != kEscapeByte || data.at(pos + 1) != kExclusive || pos + 2 >= data.size) {
        ++pos;
        continue;
      }
      std::size_t length = data.at(pos + 2);
      std::size_t end = pos + kExclusiveHeaderSize + length;
      if (end <= data.size && end >= pos + kVoiceParamsOffset + kVoiceParamCount &&
          data.at(pos + kVoiceMakerOffset) == kVoiceMaker && data.at(pos + kVoiceKindOffset) == kVoiceDefinition) {
        int voice = data.at(pos + kVoiceNumberOffset);
        voiceProgram_[voice] = program_for_voice(data.data + pos + kVoiceParamsOffset);
      }
      pos = std::min(end, data.size);
    }
  }

  // ---- sequence -----------------------------------------------------------

  void read_sequence(ByteView data) {
    ByteReader in(data);
    bool ended = false;
    while (!in.at_end() && !stopped_ && !ended) {
      std::size_t start = in.pos();
      int64_t duration = read_number(in);
      uint8_t event = in.u8();
      if (!in.ok()) break;
      if (event == kEscapeByte) {
        ended = !read_escape_event(in, duration);
      } else if (event == kControlPrefix) {
        ended = !read_prefixed_event(in, duration);
      } else if ((event & kNoteMask) == kUnusedNoteNibble) {
        in.seek(start + 1);  // not an event: resynchronise byte by byte
        continue;
      } else {
        int64_t gate = read_number(in);
        if (!in.ok()) break;
        elapse(duration);
        read_note(event, gate);
      }
      if (!in.ok()) break;  // an event cut off by the end of the data
    }
    // The end of the sequence, with or without its end event, lets the last
    // note sound its full gate.
    close_note(true);
  }

  // FF 00 no-op, FF F0 n exclusive, FF other: the end marker. Returns false
  // when the data ran out.
  bool read_escape_event(ByteReader& in, int64_t duration) {
    uint8_t kind = in.u8();
    if (kind == kExclusive) in.skip(in.u8());
    if (!in.ok()) return false;
    elapse(duration);
    if (kind != kNoOperation && kind != kExclusive) close_note(false);
    return true;
  }

  // The events that begin with 00: end of sequence, exclusive, controls and
  // short events. Returns false at the end of the sequence or of the data.
  bool read_prefixed_event(ByteReader& in, int64_t duration) {
    uint8_t c = in.u8();
    if (duration == 0 && c == 0 && in.remaining() > 0 && in.peek() == 0) {
      in.u8();
      return false;  // end of sequence
    }
    if (c == kEscapeByte && in.remaining() > 0 && in.peek() == kExclusive) {
      in.u8();
      in.skip(in.u8());
      if (!in.ok()) return false;
      elapse(duration);
      return true;
    }
    bool ours = (c >> kChannelShift) == pass_.channel;
    if ((c & kShortKindMask) == kControlKind) {
      uint8_t value = in.u8();
      if (!in.ok()) return false;
      elapse(duration);
      if (ours) apply_control(c & kControlTypeMask, value);
      return true;
    }
    if (!in.ok()) return false;
    elapse(duration);
    if (ours && (c & kShortKindMask) == kShortExpressionKind) {
      apply_short_expression(c & kShortValueMask);
    }
    return true;  // other short events are skipped
  }

  void elapse(int64_t duration) {
    pass_.note.elapsed += duration;
    pass_.trackTime += duration;
    raise_song_length(pass_.trackTime);
  }

  void raise_song_length(int64_t time) { song_.songLength = std::max(song_.songLength, clamp_to_int(time)); }

  void read_note(uint8_t event, int64_t gate) {
    int channel = event >> kChannelShift;
    pass_.highestChannelSeen = std::max(pass_.highestChannelSeen, channel);
    if (channel != pass_.channel) return;
    if (records_track()) ++song_.noteCount[pass_.track - 1];

    int key = pass_.drumKey;
    if (!pass_.rhythm) {
      int octave = (event >> kOctaveShift) & kOctaveMask;
      key = kLowestMelodicKey + kSemitonesPerOctave * (octave + pass_.octaveShift) + (event & kNoteMask);
    }
    bool sounding = gate > 0;
    if (sounding && pass_.rhythm && key > 0) record_rhythm_key(song_, key);

    PendingNote& held = pass_.note;
    if (sounding && held.sounding && held.key == key && held.elapsed < held.gate) {
      held.gate = held.elapsed + gate;  // a strike inside the note's gate continues it
      return;
    }
    close_note(false);
    pass_.note = PendingNote{sounding, key, pass_.rhythm, gate, 0};
  }

  void apply_control(int type, int value) {
    switch (type) {
      case kProgramChangeControl: change_program(value); break;
      case kBankSelectControl: select_bank(value); break;
      case kOctaveShiftControl:
        pass_.octaveShift = value < kOctaveDownFrom ? value : -(value - kOctaveDownFrom);
        break;
      case kChannelVolumeControl:
        pass_.volume = std::min(value, kFullLevel);
        update_volume();
        break;
      case kPanControl: pass_.pending.pan = std::min(value, kFullLevel); break;
      case kExpressionControl:
        pass_.expression = std::min(value, kFullLevel);
        update_volume();
        break;
      default: break;
    }
  }

  void change_program(int value) {
    if (pass_.rhythm) {
      pass_.drumKey = value;
      return;
    }
    int program = voiceProgram_[value & (kVoiceCount - 1)];
    if (program == 0) program = value + 1;
    if (program > kMaxProgramValue) return;
    pass_.pending.program = program;
    pass_.pending.programChange = value;
  }

  // A bank of 128 or more turns the channel into a rhythm channel; the program
  // change waiting to be written then names its drum key instead of a program.
  void select_bank(int value) {
    if (value < kRhythmBankFrom) {
      pass_.rhythm = false;
      return;
    }
    pass_.rhythm = true;
    pass_.drumKey = pass_.pending.program != 0 ? pass_.pending.programChange : 0;
    pass_.pending.program = 0;
    pass_.pending.programChange = -1;
  }

  // Short expression x: 0 for 0 and 1, 16 for 2, 32 for 3, 8x + 16 for 4-13,
  // full for 14 and 15.
  void apply_short_expression(int x) {
    static constexpr std::array<int, 16> kShortExpressionLevels{
        0, 0, 16, 32, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120, kFullLevel, kFullLevel};
    pass_.expression = kShortExpressionLevels[static_cast<std::size_t>(x) & kShortValueMask];
    update_volume();
  }

  void update_volume() { pass_.pending.volume = pass_.volume * pass_.expression / kFullLevel; }

  // ---- closing notes ------------------------------------------------------

  // How long a closed note sounds and how much rest follows it before the
  // event that closed it.
  struct NoteLength {
    int64_t sounding = 0;
    int64_t after = 0;
  };

  // A note closed by the next event sounds until that event, unless its gate
  // is well short of it: then it sounds gate + 1 ticks and the rest of the
  // time follows as a rest. At the end of the sequence (fullGate) it sounds
  // exactly its gate, even past the end.
  static NoteLength note_length(const PendingNote& note, bool fullGate) {
    if (fullGate) return {note.gate, std::max<int64_t>(0, note.elapsed - note.gate)};
    if (note.elapsed - note.gate > kGateSlack) return {note.gate + 1, note.elapsed - note.gate - 1};
    return {note.elapsed, 0};
  }

  // Writes the pending note (or adds its time to the accumulated rest) and
  // leaves a silent pending note behind.
  void close_note(bool fullGate) {
    PendingNote note = pass_.note;
    pass_.note = PendingNote{};
    if (pass_.track == 0 || stopped_) return;
    NoteLength length{note.elapsed, 0};
    int key = 0;
    if (note.sounding) {
      length = note_length(note, fullGate);
      // The filter judges the time the note has: up to the next event, or
      // its gate when it rings out at the end.
      int64_t judged = fullGate ? note.gate : note.elapsed;
      key = filter_note(song_, options_, note.key, clamp_to_int(judged), note.rhythm);
    }

    write_current_controls();
    pass_.current = pass_.pending;
    pass_.pending = Controls{};

    if (key == 0) {
      pass_.restToWrite += length.sounding + length.after;
    } else {
      write_sounding_note(key, length);
    }
  }

  void write_current_controls() {
    const Controls& c = pass_.current;
    if (c.program != 0) {
      write(kProgramEvent, c.program - 1);
      if (!pass_.rhythm) record_program(song_, c.program - 1);
    }
    if (c.volume >= 0) write(kVolumeEvent, c.volume);
    if (c.pan >= 0) write(kPanEvent, c.pan);
    if (pass_.rhythm && records_track()) song_.program[pass_.track - 1] = kRhythmProgram;
  }

  // Writes the accumulated rest and the note. A note that no longer fits in
  // the score (reading stops inside its rest) leaves no trace in the track's
  // fields, so that a track cut off that way counts as having no note.
  void write_sounding_note(int key, NoteLength length) {
    int64_t rest = pass_.restToWrite;
    write_duration(kRest, rest);
    pass_.restToWrite = length.after;
    if (write_duration(key, length.sounding) == 0) return;
    if (!pass_.hasNote) mark_first_note(rest);
    estimate_beat(pass_.lastNoteLength, rest);
    pass_.lastNoteLength = length.sounding;
    if (records_track()) song_.lastNoteEnd[pass_.track - 1] = clamp_to_int(pass_.writtenTime + 1);
  }

  void mark_first_note(int64_t leadingTime) {
    pass_.hasNote = true;
    tracks_.back().hasNote = true;
    if (records_track()) song_.firstNoteTime[pass_.track - 1] = clamp_to_int(leadingTime + 1);
    int lead = clamp_to_int(leadingTime);
    if (!leadInSet_ || lead < song_.leadIn) song_.leadIn = lead;
    leadInSet_ = true;
  }

  // ---- writing the score --------------------------------------------------

  uint8_t* score_end() { return score_.bytes.data() + score_.bytes.size(); }

  void advance(std::size_t written) {
    pos_ += written;
    if (pos_ > kScoreReadBound) stopped_ = true;
  }

  void write(int code, int value) {
    if (stopped_) return;
    advance(write_event(song_, score_.bytes.data() + pos_, score_end(), pass_.track, code, value));
  }

  // Writes a note (key) or rest (kRest) of any length, the way the event
  // writer splits long ones, until the score is full. Returns the ticks
  // written.
  int64_t write_duration(int code, int64_t ticks) {
    int64_t written = 0;
    while (ticks > written && !stopped_) {
      int piece = static_cast<int>(std::min<int64_t>(ticks - written, kMaxEventDuration));
      std::size_t n = write_event(song_, score_.bytes.data() + pos_, score_end(), pass_.track, code, piece);
      if (n == 0) break;
      advance(n);
      written += piece;
      code = kRest;
    }
    pass_.writtenTime += written;
    raise_song_length(pass_.writtenTime);
    return written;
  }

  bool records_track() const { return pass_.track >= 1 && pass_.track <= kMaxTracks; }

  // ---- tracks -------------------------------------------------------------

  void begin_pass(int channel, std::size_t tagPos) {
    if (!tracks_.empty()) {
      finish_track();
      // An end of track that would pass the bound could only be followed by
      // an empty track: the score ends with the finished track instead.
      if (stopped_ || pos_ + 1 > kScoreReadBound) {
        stopped_ = true;
        return;
      }
      score_.bytes[pos_] = kEndOfTrack;
      advance(1);
    }
    pass_ = Pass{};
    pass_.channel = channel;
    pass_.track = static_cast<int>(tracks_.size()) + 1;
    uint8_t status = in_.at(tagPos + kChannelStatusOffset + channel / 2);
    int nibble = channel % 2 == 0 ? status >> kStatusNibbleShift : status & kStatusNibbleMask;
    pass_.rhythm = (nibble & kStatusMask) == kRhythmStatus;
    tracks_.push_back(TrackMark{pos_, false});
    if (records_track()) {
      song_.trackStart[pass_.track - 1] = static_cast<int>(pos_);
      song_.part[pass_.track - 1] = channel + 1 + kChannelsPerChunk * chunksRead_;
    }
  }

  // Closes the pending note and writes the accumulated rest.
  void finish_track() {
    close_note(true);
    write_duration(kRest, pass_.restToWrite);
    pass_.restToWrite = 0;
  }

  void finish_reading() {
    if (!tracks_.empty()) finish_track();
    drop_trailing_empty_tracks();
    apply_beat_estimate();
    song_.trackCount = static_cast<int>(tracks_.size());
    score_.length = std::min(pos_, score_.bytes.size());
  }

  // A last track without a sounding note is removed with the end of track in
  // front of it (repeatedly, so that no empty track ends the score).
  void drop_trailing_empty_tracks() {
    while (!tracks_.empty() && !tracks_.back().hasNote) {
      int track = static_cast<int>(tracks_.size());
      pos_ = tracks_.back().start;
      tracks_.pop_back();
      if (!tracks_.empty() && pos_ > kFirstTrackOffset) --pos_;  // its end of track
      if (track <= kMaxTracks) clear_track_fields(track - 1);
    }
  }

  void clear_track_fields(int i) {
    song_.trackStart[i] = 0;
    song_.part[i] = 0;
    song_.program[i] = 0;
    song_.volume[i] = 0;
    song_.noteCount[i] = 0;
    song_.lowestPitch[i] = 0;
    song_.highestPitch[i] = 0;
    song_.firstNoteTime[i] = 0;
    song_.lastNoteEnd[i] = 0;
  }

  // ---- beat estimate ------------------------------------------------------

  static int64_t deviation(int64_t ratio) {
    int64_t n = ratio % kPerMille;
    return n > kHalfPerMille ? n - kPerMille : n;
  }

  static bool within_tolerance(int64_t n) { return -kDeviationTolerance < n && n < kDeviationTolerance; }

  // Collects the note-to-note steps of legato notes (rest shorter than half
  // the previous note): the smallest step is the reference, and longer steps
  // add their deviation from a multiple of it.
  void estimate_beat(int64_t previousLength, int64_t rest) {
    if (!(rest < previousLength / 2)) return;
    int64_t step = previousLength + rest;
    if (step > kMaxBeatStep) return;
    if (referenceStep_ == 0 || step < referenceStep_) {
      int64_t n = deviation(referenceStep_ * kPerMille / step);
      if (within_tolerance(n)) {
        deviationSum_ = deviationSum_ * (n + kPerMille) / kPerMille;
      } else {
        deviationSum_ = 0;
        deviationCount_ = 0;
      }
      referenceStep_ = step;
    } else {
      int64_t n = deviation(step * kPerMille / referenceStep_);
      if (within_tolerance(n)) {
        deviationSum_ += n;
        ++deviationCount_;
      }
    }
  }

  // Takes the estimated beat as the quarter note: the timebase becomes the
  // step and the tempo is scaled so that the song keeps its speed. The
  // timebase stays a valid MIDI division and the tempo at least 1.
  void apply_beat_estimate() {
    if (referenceStep_ <= 0) return;
    int64_t step = referenceStep_;
    while (song_.timebase * kStepRatioScale / step > kStepRatioLimit) step *= 2;
    if (deviationCount_ > 0) step = step * (deviationSum_ / deviationCount_ + kPerMille) / kPerMille;
    int64_t timebase = std::clamp<int64_t>(step, 1, kMaxTimebase);
    int64_t tempo = static_cast<int64_t>(song_.tempo) * song_.timebase / timebase;
    song_.tempo = static_cast<int>(std::clamp<int64_t>(tempo, 1, kMaxTempo));
    song_.timebase = static_cast<int>(timebase);
    store_score_tempo(score_.bytes.data(), song_.tempo);
  }

  ByteView in_;
  Score& score_;
  SongInfo& song_;
  const ConversionOptions& options_;

  std::size_t pos_ = kFirstTrackOffset;
  bool stopped_ = false;
  bool timebaseSet_ = false;
  bool leadInSet_ = false;
  int chunksRead_ = 0;
  std::array<int, kVoiceCount> voiceProgram_{};  // program + 1 per voice; 0 = none
  std::vector<TrackMark> tracks_;
  Pass pass_;

  int64_t referenceStep_ = 0;
  int64_t deviationSum_ = 0;
  int64_t deviationCount_ = 0;
};

}  // namespace

void read_smaf_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SmafReader(input, score, song, settings).run();
}

}  // namespace mel
