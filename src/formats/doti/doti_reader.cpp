#include "formats/doti/doti_reader.h"

#include <string>

#include "common/saturate.h"
#include "formats/doti/doti_format.h"
#include "formats/shared/score_tracks.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace doti;
using midi::kSemitonesPerOctave;

// Reading stops once the write position passes these offsets, so that the
// pending rest, the last note and an EndOfTrack still fit in the score.
constexpr std::size_t kNoteBound = 0x3FFFA;
constexpr std::size_t kHarmonyBound = 0x3FFF9;

constexpr int kFirstTrack = 1;

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }
bool is_line_break(uint8_t c) { return c == kCarriageReturn || c == kLineFeed; }

int length_for_code(uint8_t c) {
  if (is_digit(c)) return kLengthByDigit[c - '0'];
  return c == kLengthCodeA ? kLengthA : kOtherLength;
}

// The key of a symbol's pitch letter and octave character. "00" is a rest,
// and so is a symbol whose octave is not a digit; a letter other than
// "1".."7" is taken as C.
int key_for_symbol(uint8_t letter, uint8_t octave) {
  if (!is_digit(octave) || (letter == '0' && octave == '0')) return kRest;
  int n = letter - '1';
  int semitone = (n >= 0 && n < static_cast<int>(kSemitoneByLetter.size())) ? kSemitoneByLetter[n] : 0;
  int d = octave - '0';
  int key = kOctaveBaseKey + kSemitonesPerOctave * ((d + 1) / 2) + semitone;
  return d % 2 == 0 ? key + 1 : key;
}

// The title with "&lt", "&gt", "&cmm" and "&amp" turned back into the
// characters they stand for.
std::string unescape_title(ByteView text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size) {
    bool escaped = false;
    for (const TitleEscape& e : kTitleEscapes) {
      std::size_t n = std::char_traits<char>::length(e.escaped);
      if (text.matches(i, e.escaped, n)) {
        out.push_back(e.plain);
        i += n;
        escaped = true;
        break;
      }
    }
    if (!escaped) out.push_back(static_cast<char>(text.at(i++)));
  }
  return out;
}

class DotiReader {
 public:
  DotiReader(ByteView in, Score& score, SongInfo& song, const Settings& settings)
      : in_(in), score_(score), song_(song), conv_(settings.conv), tracks_(score, song, kNoteBound) {}

  void read() {
    reset_song_header(song_);
    store_score_tempo(score_.bytes.data(), song_.tempo);
    std::size_t i = read_lead_line();
    while (i < in_.size && !stopped_) {
      uint8_t c = in_.at(i);
      if (c == kTagOpen && !melodySeen_ && in_.matches(i, kMelodyTag, kMelodyTagSize)) {
        i = begin_melody(i);
      } else if (c == kTagOpen && melodySeen_ && in_.matches(i, kHarmonyTag, kHarmonyTagSize)) {
        i = begin_harmony(i);
      } else if (c == kTagClose) {
        inTag_ = false;
        ++i;
      } else if (inTag_ && is_digit(c)) {
        i = read_symbol(i);
      } else {
        ++i;  // text outside the tags, and characters a tag does not use
      }
    }
    finish();
  }

 private:
  // The text before the first tag or line break is the copyright line.
  std::size_t read_lead_line() {
    std::size_t end = 0;
    while (end < in_.size && in_.at(end) != kTagOpen && !is_line_break(in_.at(end))) ++end;
    set_song_text(song_.copyright, in_.data, end);
    return end;
  }

  std::size_t find_separator(std::size_t from) const {
    while (from < in_.size && in_.at(from) != kFieldSeparator) ++from;
    return from;
  }

  // "<MEL=" c "," title "," tempo "," : track 1 begins.
  std::size_t begin_melody(std::size_t at) {
    melodySeen_ = true;
    inTag_ = true;
    begin_track(kFirstTrack);
    std::size_t title = at + kMelodyTitleOffset;
    if (title >= in_.size) return in_.size;
    std::size_t comma = find_separator(title);
    set_song_text(song_.title, unescape_title(ByteView(in_.data + title, comma - title)));
    std::size_t tempo = comma + 1;
    if (tempo >= in_.size) return in_.size;
    uint8_t code = in_.at(tempo);
    if (is_digit(code)) {
      song_.tempo = kTempoByCode[code - '0'];
      store_score_tempo(score_.bytes.data(), song_.tempo);
    }
    return tempo + 1;
  }

  // "<HMEL=" n "," n "," n "," : a new track when the current one has
  // symbols, else the same, still empty track goes on.
  std::size_t begin_harmony(std::size_t at) {
    write_pending_rest();
    if (tracks_.pos() > kHarmonyBound) {
      stopped_ = true;
      return at;
    }
    if (counted_) {
      // The song header holds 32 tracks: a 33rd ends the reading.
      if (track_ == kMaxTracks) {
        stopped_ = true;
        return at;
      }
      tracks_.end_track();
      begin_track(track_ + 1);
    } else {
      begin_track(track_);
    }
    inTag_ = true;
    std::size_t p = at + kHarmonyTagSize;
    for (int commas = 0; p < in_.size && commas < kHarmonyFields; ++p) {
      if (in_.at(p) == kFieldSeparator) ++commas;
    }
    return p;
  }

  // Starts the track's state afresh; a track without symbols has nothing to
  // lose by it.
  void begin_track(int track) {
    track_ = track;
    counted_ = false;
    sounding_ = false;
    time_ = 0;
    pendingRest_ = 0;
    trackStart_ = tracks_.pos();
    tracks_.start_track(track_, 0);
  }

  // The next character of a symbol: line breaks may stand between them.
  std::size_t next_symbol_character(std::size_t p) const {
    while (p < in_.size && is_line_break(in_.at(p))) ++p;
    return p;
  }

  std::size_t read_symbol(std::size_t at) {
    std::size_t octave = next_symbol_character(at + 1);
    std::size_t length = octave < in_.size ? next_symbol_character(octave + 1) : in_.size;
    if (length >= in_.size) return in_.size;
    add(key_for_symbol(in_.at(at), in_.at(octave)), length_for_code(in_.at(length)));
    return length + 1;
  }

  void add(int key, int ticks) {
    counted_ = true;
    ++song_.noteCount[track_ - 1];
    if (key != kRest) key = filter_note(song_, conv_, key, ticks, false);
    time_ = clamp_to_int(time_ + ticks);
    tracks_.raise_song_length(time_);
    if (key == kRest) {
      pendingRest_ = clamp_to_int(pendingRest_ + ticks);
      return;
    }
    if (!sounding_) tracks_.first_note(track_, pendingRest_);
    sounding_ = true;
    write_pending_rest();
    tracks_.timed(track_, key, ticks);
    tracks_.note_end(track_, time_);
    if (tracks_.full()) stopped_ = true;
  }

  void write_pending_rest() {
    tracks_.timed(track_, kRest, pendingRest_);
    pendingRest_ = 0;
  }

  // A last track without a sounding note is taken back with the EndOfTrack
  // before it; its song header fields stay as they are.
  void finish() {
    int trackCount = 0;
    if (melodySeen_) {
      write_pending_rest();
      trackCount = track_;
      if (!sounding_) {
        tracks_.rewind(track_ == kFirstTrack ? trackStart_ : trackStart_ - 1);
        --trackCount;
      }
    }
    tracks_.finish(trackCount);
  }

  ByteView in_;
  Score& score_;
  SongInfo& song_;
  const ConversionOptions& conv_;
  ScoreTracks tracks_;
  bool stopped_ = false;
  bool melodySeen_ = false;
  bool inTag_ = false;  // between a tag's fields and its ">": symbols are read

  // The current track.
  int track_ = 0;
  std::size_t trackStart_ = kFirstTrackOffset;
  bool counted_ = false;   // a symbol, note or rest, was read
  bool sounding_ = false;  // a sounding note was written
  int64_t time_ = 0;
  int64_t pendingRest_ = 0;
};

}  // namespace

void read_doti_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  DotiReader(input, score, song, settings).read();
}

}  // namespace mel
