#include "formats/mml/mml_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "common/cp932.h"
#include "common/limits.h"
#include "common/saturate.h"
#include "formats/mml/mml_format.h"
#include "formats/shared/score_tracks.h"
#include "midi/midi_bytes.h"

namespace mel {

const char* const kNotMmlNotice = "no MML note or rest found: the text is not MML";

namespace {

using namespace mml;
using midi::kSemitonesPerOctave;

// Reading stops once the write position passes this offset, tested before
// every scanned byte; the largest event still fits after it.
constexpr std::size_t kReaderBound = 0x3FFF6;

// The playback program that stands in for a handset voice "@MLD"n.
int stand_in_program(int nativeVoice) {
  switch (nativeVoice) {
    case 1: return 9;
    case 2: return 16;
    case 3: return 24;
    case 4: return 13;
    case 5: return 74;
    default: return 1;
  }
}

int64_t saturated_add(int64_t a, int64_t b) { return std::min<int64_t>(a + b, INT_MAX); }

char upper(uint8_t b) { return static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b); }

// The octave-and-letter part of a key, kept in a signed byte as the text's
// notes have always been: in octave 10 the notes above G become negative.
int letter_key(int octave, int semitone) {
  int key = octave * kSemitonesPerOctave + semitone;
  return key > INT8_MAX ? key - 256 : key;
}

// A fold into 2..127 that keeps the pitch class.
int fold_key(int64_t key) {
  if (key < 2) return floor_mod(key + 130, kSemitonesPerOctave) + 2;
  if (key > 127) return floor_mod(key - 8, kSemitonesPerOctave) + 116;
  return static_cast<int>(key);
}

struct TrackState {
  int octave = kStartOctave;
  int64_t defaultLength = kStartDefaultLength;
  int transpose = 0;
  int gate = kFullGate;
  // A pending "@"n (0-128) or "@MLD"n; -1 none.
  int pendingVoice = -1;
  bool pendingIsNative = false;
  int pendingVolume = -1;
  int pendingPan = -1;
  int64_t pendingRest = 0;
  int64_t time = 0;
  bool sounded = false;  // a sounding note was written to the track
};

// One note as read: its first member's key with accidentals, the last chord
// member's key, the highest member's key and its length.
struct ReadNote {
  int key = 0;
  int lastMemberKey = 0;
  int highestKey = 0;
  int64_t length = 0;
};

class MmlReader {
 public:
  MmlReader(ByteView text, Score& score, SongInfo& song, const Settings& settings)
      : text_(text), score_(score), song_(song), options_(settings.conv), tracks_(score, song, kReaderBound) {}

  void read() {
    reset_song_header(song_);
    store_score_tempo(score_.bytes.data(), kResetTempo);
    tracks_.start_track(track_, 0);
    trackStartPos_ = tracks_.pos();
    while (pos_ < text_.size && !tracks_.full() && !stopped_) step();
    finish();
  }

 private:
  // ---- Scanning -------------------------------------------------------------

  uint8_t peek(std::size_t ahead = 0) const { return text_.at(pos_ + ahead); }
  bool has(std::size_t ahead = 0) const { return pos_ + ahead < text_.size; }
  bool looking_at(const char* s, std::size_t n) const { return text_.matches(pos_, s, n); }
  bool looking_at_any(const char* const* first, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i) {
      if (looking_at(first[i], kWideSize)) return true;
    }
    return false;
  }
  void skip(std::size_t n) { pos_ = std::min(text_.size, pos_ + n); }

  void skip_to_line_end() {
    while (has() && peek() != kCarriageReturn && peek() != kLineFeed) skip(1);
  }

  void skip_block_comment() {
    skip(2);
    while (has() && !(peek() == kStar && peek(1) == kSlash)) skip(1);
    skip(2);
  }

  // A quoted string: byte by byte, with "\'" and "\\" as the only escapes.
  void read_string() {
    skip(1);
    std::string text;
    while (has()) {
      uint8_t b = peek();
      if (b == kQuote) {
        skip(1);
        break;
      }
      if (b == kEscape && has(1) && (peek(1) == kQuote || peek(1) == kEscape)) {
        b = peek(1);
        skip(1);
      }
      if (text.size() < kMaxTextLength) text.push_back(static_cast<char>(b));
      skip(1);
    }
    if (song_.title.empty()) set_song_text(song_.title, text);
  }

  // The value of the digit at pos_ + ahead and its size in bytes; size 0 when
  // there is none.
  std::size_t digit_at(std::size_t ahead, int& value) const {
    uint8_t b = peek(ahead);
    if (has(ahead) && b >= '0' && b <= '9') {
      value = b - '0';
      return 1;
    }
    if (text_.matches(pos_ + ahead, kWideOne, kWideSize)) {
      value = 1;
      return kWideSize;
    }
    // "０" .. "９" share their first byte and count up in the second.
    if (!text_.matches(pos_ + ahead, kWideZero, 1) || !has(ahead + 1)) return 0;
    int trail = peek(ahead + 1) - static_cast<uint8_t>(kWideZero[1]);
    if (trail < 0 || trail > 9) return 0;
    value = trail;
    return kWideSize;
  }

  // An optional sign and digits; the magnitude saturates at 2^31 - 1.
  int64_t read_number(bool signAllowed, bool* hasDigits = nullptr) {
    bool negative = false;
    if (signAllowed && (peek() == kPlus || peek() == kMinus) && has()) {
      negative = peek() == kMinus;
      skip(1);
    }
    int64_t magnitude = 0;
    bool any = false;
    int digit = 0;
    for (std::size_t n; (n = digit_at(0, digit)) != 0; skip(n)) {
      magnitude = std::min<int64_t>(magnitude * 10 + digit, INT_MAX);
      any = true;
    }
    if (hasDigits) *hasDigits = any;
    return negative ? -magnitude : magnitude;
  }

  int read_clamped(int lo, int hi) { return static_cast<int>(std::clamp<int64_t>(read_number(true), lo, hi)); }

  bool at_dot() const { return (has() && peek() == kDot) || looking_at(kWideDot, kWideSize); }

  bool at_length_start() const {
    int digit = 0;
    uint8_t b = peek();
    return digit_at(0, digit) != 0 || at_dot() ||
           (has() && (b == kMultiply || b == kTie || b == kTieAlternative));
  }

  // One or more segments joined by "&" or "^", in ticks (saturated).
  int64_t read_length(bool firstSignAllowed) {
    int64_t total = 0;
    bool signAllowed = firstSignAllowed;
    for (;;) {
      bool digits = false;
      int64_t n = read_number(signAllowed, &digits);
      int64_t segment = digits ? kWholeTicks / std::clamp<int64_t>(n, kMinDivision, kMaxDivision) : track().defaultLength;
      if (at_dot()) {
        skip(peek() == kDot ? 1 : kWideSize);
        segment = segment * 3 / 2;
      }
      if (has() && peek() == kMultiply) {
        skip(1);
        segment *= std::clamp<int64_t>(read_number(true), kMinMultiplier, kMaxMultiplier);
      }
      total = saturated_add(total, std::min<int64_t>(segment, INT_MAX));
      if (!has() || (peek() != kTie && peek() != kTieAlternative)) return total;
      skip(1);
      signAllowed = true;
    }
  }

  // ---- Commands ---------------------------------------------------------------

  TrackState& track() { return state_; }

  void step() {
    uint8_t b = peek();
    if (is_cp932_lead_byte(b)) {
      wide_character();
      return;
    }
    if (b == kSlash && peek(1) == kStar && has(1)) return skip_block_comment();
    if (b == kSlash && peek(1) == kSlash && has(1)) return skip_to_line_end();
    if (b == kCommentLine) return skip_to_line_end();
    if (b == kQuote) return read_string();
    if (b == kBlockOpen) return open_block();
    if (b == kBlockClose) {
      inBlock_ = false;
      return skip(1);
    }
    char c = upper(b);
    if (c >= 'A' && c <= 'G') {
      skip(1);
      return note(letter_key(track().octave, kLetterSemitones[c - 'A']) + track().transpose);
    }
    skip(1);
    switch (c) {
      case kKeyNote: {
        int64_t n = std::clamp<int64_t>(read_number(false), 0, kMaxControl);
        return note(static_cast<int>(n) + track().transpose);
      }
      case kRestLetter: {
        bool lengthGiven = at_length_start() || (has() && (peek() == kPlus || peek() == kMinus));
        return rest(lengthGiven ? read_length(true) : track().defaultLength);
      }
      case kTempo: return set_tempo(read_clamped(kMinTempo, kMaxTempo));
      case kOctave: track().octave = read_clamped(0, kMaxOctave); return;
      case kOctaveDown: track().octave = std::max(0, track().octave - 1); return;
      case kOctaveUp: track().octave = std::min(kMaxOctave, track().octave + 1); return;
      case kDefaultLength: track().defaultLength = read_length(true); return;
      case kTranspose: {
        int k = read_clamped(kMinTranspose, kMaxTranspose);
        track().transpose = k;
        if (!inBlock_) defaultTranspose_ = k;
        return;
      }
      case kGate: track().gate = read_clamped(kMinGate, kFullGate); return;
      case kVolume: track().pendingVolume = read_clamped(0, kMaxControl); return;
      case kPan: track().pendingPan = read_clamped(0, kMaxControl); return;
      case kProgram: return program();
      case kPart: return set_part(read_clamped(kMinPart, kMaxPart));
      default: return;  // "`", blanks, stray digits and every other byte
    }
  }

  void wide_character() {
    for (const WideNote& w : kWideNotes) {
      if (looking_at(w.text, w.size)) {
        skip(w.size);
        return note(letter_key(track().octave, w.semitone) + track().transpose);
      }
    }
    if (looking_at_any(kWideRests.data(), kWideRests.size())) {
      skip(kWideSize);
      return rest(at_length_start() ? read_length(false) : track().defaultLength);
    }
    // Any other double-byte character (a lone "フ", a digit that follows
    // nothing) is skipped whole, whatever its second byte.
    skip(kWideSize);
  }

  void program() {
    if (has(2) && upper(peek()) == kNativeVoiceTag[0] &&
        upper(peek(1)) == kNativeVoiceTag[1] && upper(peek(2)) == kNativeVoiceTag[2]) {
      skip(std::strlen(kNativeVoiceTag));
      track().pendingVoice = read_clamped(0, kMaxNativeVoice);
      track().pendingIsNative = true;
      return;
    }
    track().pendingVoice = read_clamped(0, kRhythmProgramNumber);
    track().pendingIsNative = false;
  }

  void set_tempo(int tempo) {
    song_.tempo = tempo;
    store_score_tempo(score_.bytes.data(), tempo);
  }

  void set_part(int part) {
    if (!ScoreTracks::records(track_)) return;
    int& field = song_.part[track_ - 1];
    field = field == 0 || field == part ? part : kMixedChannelPart;
  }

  // "{": a new track once the current one holds anything.
  void open_block() {
    skip(1);
    inBlock_ = true;
    if (tracks_.pos() == kFirstTrackOffset && track().time == 0) return;
    if (track_ >= kMaxTracks) {
      stopped_ = true;
      return;
    }
    flush_rest();
    tracks_.end_track();
    ++track_;
    tracks_.start_track(track_, 0);
    trackStartPos_ = tracks_.pos();
    state_ = TrackState{};
    state_.transpose = defaultTranspose_;
  }

  // ---- Notes and rests ------------------------------------------------------------

  bool rhythm() const { return song_.is_rhythm_track(track_); }

  // Accidentals and lengths after the note name, then a chord.
  void note(int baseKey) {
    if (rhythm()) record_rhythm_key(song_, baseKey);
    ReadNote n;
    n.key = baseKey;
    bool lengthRead = false;
    for (;;) {
      uint8_t b = peek();
      if (!has()) break;
      if (b == kSharp || b == kPlus || looking_at(kWideSharp, kWideSize)) {
        n.key += 1;
      } else if (b == kMinus) {
        n.key -= 1;
      } else if (b == kOctaveUp || looking_at_any(kWideOctaveUp.data(), kWideOctaveUp.size())) {
        n.key += kSemitonesPerOctave;
      } else if (b == kOctaveDown || looking_at_any(kWideOctaveDown.data(), kWideOctaveDown.size())) {
        n.key -= kSemitonesPerOctave;
      } else if (at_length_start()) {
        // Only the first length counts; later ones are read and dropped.
        int64_t length = read_length(false);
        if (!lengthRead) n.length = length;
        lengthRead = true;
        continue;
      } else {
        break;
      }
      skip(is_cp932_lead_byte(b) ? kWideSize : 1);
    }
    if (!lengthRead) n.length = track().defaultLength;
    n.lastMemberKey = n.key;
    n.highestKey = n.key;
    read_chord(n);
    sound(n);
  }

  void read_chord(ReadNote& n) {
    while (has() && peek() == kChord) {
      skip(1);
      char c = upper(peek());
      if (!has() || c < 'A' || c > 'G') return;
      skip(1);
      n.lastMemberKey = letter_key(track().octave, kLetterSemitones[c - 'A']) + track().transpose;
      n.highestKey = std::max(n.highestKey, n.lastMemberKey);
    }
  }

  // Counts a note or rest and advances the track's time.
  void advance(int64_t length) {
    if (ScoreTracks::records(track_)) ++song_.noteCount[track_ - 1];
    ++notesAndRests_;
    track().time = saturated_add(track().time, length);
    tracks_.raise_song_length(track().time);
  }

  void rest(int64_t length) {
    advance(length);
    track().pendingRest = saturated_add(track().pendingRest, length);
  }

  // The note filter: the key to sound, or 0 for a rest.
  int filtered_key(const ReadNote& n) const {
    int wholeTicks = whole_note_ticks(song_.timebase, options_.noteLengthScale);
    int64_t units = n.length * kWholeNoteUnits / wholeTicks;
    if (units <= options_.shortNoteCutLevel || n.lastMemberKey <= options_.lowNoteCutLevel) return 0;
    int64_t key = std::max(n.key, n.highestKey);
    int fold = options_.lowNoteFoldLevel;
    if (key < fold && !rhythm()) key = floor_mod(key - fold, kSemitonesPerOctave) + fold;
    return fold_key(key);
  }

  void sound(const ReadNote& n) {
    advance(n.length);
    int key = filtered_key(n);
    if (key == 0) {
      track().pendingRest = saturated_add(track().pendingRest, n.length);
      return;
    }
    TrackState& t = track();
    if (!t.sounded) {
      tracks_.first_note(track_, t.pendingRest);
      t.sounded = true;
    }
    write_pending_controls();
    flush_rest();
    int64_t sounding = n.length;
    if (t.gate < kFullGate) {
      int64_t cut = (kFullGate - t.gate) * n.length / kFullGate;
      sounding -= cut;
      t.pendingRest = cut;
    }
    tracks_.timed(track_, key, sounding);
    if (sounding > 0) tracks_.note_end(track_, t.time);
  }

  void write_pending_controls() {
    TrackState& t = track();
    if (t.pendingVoice >= 0 && t.pendingIsNative) {
      tracks_.control(track_, kNativeVoiceEvent, t.pendingVoice);
      // Track 0: the stand-in is played but not recorded as the track's program.
      tracks_.control(0, kProgramEvent, stand_in_program(t.pendingVoice));
    } else if (t.pendingVoice == kRhythmProgramNumber) {
      if (ScoreTracks::records(track_)) song_.program[track_ - 1] = kRhythmProgram;
    } else if (t.pendingVoice >= 0) {
      if (!rhythm()) record_program(song_, t.pendingVoice);
      tracks_.control(track_, kProgramEvent, t.pendingVoice);
    }
    if (t.pendingVolume >= 0) tracks_.control(track_, kVolumeEvent, t.pendingVolume);
    if (t.pendingPan >= 0) tracks_.control(track_, kPanEvent, t.pendingPan);
    t.pendingVoice = -1;
    t.pendingVolume = -1;
    t.pendingPan = -1;
  }

  void flush_rest() {
    tracks_.timed(track_, kRest, track().pendingRest);
    track().pendingRest = 0;
  }

  // The last track goes when it sounds nothing; it carries no EndOfTrack.
  void finish() {
    flush_rest();
    int trackCount = track_;
    if (!track().sounded) {
      tracks_.rewind(trackStartPos_ > kFirstTrackOffset ? trackStartPos_ - 1 : kFirstTrackOffset);
      --trackCount;
    }
    tracks_.finish(trackCount);
    if (notesAndRests_ == 0) song_.notices.emplace_back(kNotMmlNotice);
  }

  ByteView text_;
  Score& score_;
  SongInfo& song_;
  const ConversionOptions& options_;
  ScoreTracks tracks_;
  std::size_t pos_ = 0;
  bool stopped_ = false;
  bool inBlock_ = false;
  int defaultTranspose_ = 0;
  int track_ = 1;
  std::size_t trackStartPos_ = kFirstTrackOffset;
  long long notesAndRests_ = 0;
  TrackState state_;
};

}  // namespace

void read_mml_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  MmlReader(input, score, song, settings).read();
}

}  // namespace mel
