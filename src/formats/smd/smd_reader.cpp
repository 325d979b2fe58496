#include "formats/smd/smd_reader.h"

#include <algorithm>
#include <climits>
#include <string>

#include "formats/shared/score_tracks.h"
#include "formats/smd/smd_format.h"

namespace mel {

namespace {

using namespace smd;

// Reading stops once the score passes this offset, tested before every byte,
// so the last rest and note still fit in the score buffer.
constexpr std::size_t kReadBound = 0x3FFFA;

// Lengths, carried ties and gathered rests stay at the int maximum.
int64_t saturated_sum(int64_t a, int64_t b) { return std::min<int64_t>(a + b, INT_MAX); }

bool is_jis_byte(uint8_t b) { return b >= kJisFirst && b <= kJisLast; }

// Appends the Shift-JIS pair of a JIS X 0208 character (two bytes 0x21-0x7E).
void append_shift_jis(uint8_t row, uint8_t cell, std::string& out) {
  int lead = ((row - kJisFirst) >> 1) + 0x81;
  if (lead > 0x9F) lead += 0x40;
  int trail;
  if (row & 1) {
    trail = cell + 0x1F;
    if (trail >= 0x7F) ++trail;  // Shift-JIS trail bytes skip 0x7F
  } else {
    trail = cell + 0x7E;
  }
  out.push_back(static_cast<char>(lead));
  out.push_back(static_cast<char>(trail));
}

// The bytes before the first track section, with the 7-bit escapes turned
// into CP932. An escape this reader does not know is kept as text.
std::string read_title(ByteView in) {
  enum class Mode { Single, TwoByte, Katakana } mode = Mode::Single;
  std::string out;
  std::size_t i = 0;
  while (i < in.size && out.size() <= kMaxTextLength && !in.matches(i, kTrackStart, kEscapeSize)) {
    uint8_t b = in.data[i];
    if (in.matches(i, kSingleByteText, kEscapeSize) || in.matches(i, kTwoByteText, kEscapeSize)) {
      mode = in.data[i + 1] == '$' ? Mode::TwoByte : Mode::Single;
      i += kEscapeSize;
    } else if (b == kShiftOut || b == kShiftIn) {
      mode = b == kShiftOut ? Mode::Katakana : Mode::Single;
      ++i;
    } else if (mode == Mode::TwoByte && is_jis_byte(b) && is_jis_byte(in.at(i + 1))) {
      append_shift_jis(b, in.data[i + 1], out);
      i += 2;
    } else {
      out.push_back(static_cast<char>(mode == Mode::Katakana ? static_cast<uint8_t>(b + kKatakanaShift) : b));
      ++i;
    }
  }
  return out;
}

class SmdReader {
 public:
  SmdReader(ByteView in, Score& score, SongInfo& song, const Settings& settings)
      : in_(in), score_(score), song_(song), options_(settings.conv), tracks_(score, song, kReadBound) {}

  void run() {
    reset_song_header(song_);
    set_tempo(kReadTempo);
    std::string title = read_title(in_);
    set_song_text(song_.title, title);
    std::size_t i = 0;
    while (i < in_.size && !tracks_.full()) {
      uint8_t b = in_.data[i];
      if (in_.matches(i, kTrackStart, kEscapeSize)) {
        if (!begin_track()) break;
        i += kEscapeSize;
      } else if (!inSection_) {
        ++i;
      } else if (b == kShiftIn) {
        inSection_ = false;
        ++i;
      } else if (b == kCommand) {
        i += command(in_.at(i + 1), i + 1 < in_.size);
      } else {
        if (b >= kFirstRest && b <= kLastNote) character(b, i);
        ++i;
      }
    }
    finish();
  }

 private:
  void set_tempo(int tempo) {
    song_.tempo = tempo;
    store_score_tempo(score_.bytes.data(), tempo);
  }

  // Closes the track before and starts the next one; false when the next
  // one would pass the song header's track capacity.
  bool begin_track() {
    if (track_ == kMaxTracks) return false;
    if (track_ > 0) {
      tracks_.timed(track_, kRest, pendingRest_);
      tracks_.end_track();
    }
    ++track_;
    trackBegin_ = tracks_.pos();
    tracks_.start_track(track_, 0);
    inSection_ = true;
    octave_ = kMiddle;
    tripletLeft_ = 0;
    repeatNext_ = false;
    time_ = 0;
    pendingRest_ = 0;
    tieCarry_ = 0;
    sounding_ = false;
    return true;
  }

  // A "!" command with its second byte; returns the bytes it takes. A second
  // byte that starts no command is read again as a byte of its own.
  std::size_t command(uint8_t c, bool present) {
    if (!present) return 1;
    for (const TempoChar& t : kTempoChars) {
      if (t.c == c) {
        set_tempo(t.tempo);
        return 2;
      }
    }
    switch (c) {
      case kOctaveUp: octave_ = kHigh; return 2;
      case kOctaveDown: octave_ = kLow; return 2;
      case kOctaveMiddle: octave_ = kMiddle; return 2;
      case kTriplet: tripletLeft_ = 3; return 2;
      case kTripletRepeat: repeatNext_ = true; return 2;
      default: return 1;
    }
  }

  // A note or rest character at offset i.
  void character(uint8_t c, std::size_t i) {
    bool rest = c <= kLastRest;
    int index = rest ? c - kFirstRest : c % kLengthIndexCount;
    int64_t length = kIndexTicks[index];
    if (tripletLeft_ > 0) {
      length = length * 2 / 3;
      --tripletLeft_;
    }
    length = saturated_sum(length, tieCarry_);
    tieCarry_ = 0;
    if (ScoreTracks::records(track_)) ++song_.noteCount[track_ - 1];
    bool tied = in_.at(i + 1) == kTie && (!rest || (i + 2 < in_.size && in_.data[i + 2] < kRestTieLimit));
    if (tied) {
      tieCarry_ = length;
      return;
    }
    if (rest) {
      add(kRest, length);
      return;
    }
    int key = (c + kNoteCharOffset) % kNoteCharCycle / kLengthIndexCount + kMiddleBase + 12 * octave_;
    int times = 1;
    if (repeatNext_) {
      times = 3;
      length = length * 2 / 3;
      repeatNext_ = false;
    }
    for (int n = 0; n < times; ++n) add(key, length);
  }

  // A note (after the note filter) or rest of `length` ticks; rests and
  // filtered notes gather until the next sounding note.
  void add(int key, int64_t length) {
    if (key != kRest) key = filter_note(song_, options_, key, static_cast<int>(length), false);
    int64_t start = time_;
    time_ = saturated_sum(time_, length);
    tracks_.raise_song_length(time_);
    if (key == kRest) {
      pendingRest_ = saturated_sum(pendingRest_, length);
      return;
    }
    if (!sounding_) tracks_.first_note(track_, start);
    sounding_ = true;
    tracks_.timed(track_, kRest, pendingRest_);
    pendingRest_ = 0;
    tracks_.timed(track_, key, length);
    tracks_.note_end(track_, time_);
  }

  // Writes the last rest; a last track without a sounding note goes, with
  // the EndOfTrack before it.
  void finish() {
    if (track_ > 0) {
      tracks_.timed(track_, kRest, pendingRest_);
      if (!sounding_) {
        tracks_.rewind(track_ > 1 ? trackBegin_ - 1 : trackBegin_);
        --track_;
      }
    }
    tracks_.finish(track_);
  }

  ByteView in_;
  Score& score_;
  SongInfo& song_;
  const ConversionOptions& options_;
  ScoreTracks tracks_;

  int track_ = 0;
  std::size_t trackBegin_ = kFirstTrackOffset;
  bool inSection_ = false;
  int octave_ = kMiddle;
  int tripletLeft_ = 0;   // characters the running triplet still shortens
  bool repeatNext_ = false;  // "!%": the next untied note sounds three times
  int64_t time_ = 0;
  int64_t pendingRest_ = 0;
  int64_t tieCarry_ = 0;
  bool sounding_ = false;  // a sounding note was written to this track
};

}  // namespace

void read_smd_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SmdReader(input, score, song, settings).run();
}

}  // namespace mel
