#include "formats/chara/chara_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "formats/chara/chara_format.h"
#include "formats/shared/handset_codes.h"
#include "formats/shared/single_voice_track.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace chara;

// The title is the text before the first "*6", "]]", CR or LF.
std::size_t title_length(ByteView in) {
  std::size_t i = 0;
  while (i < in.size && !is_line_break(in.at(i)) && !in.matches(i, kMarkStars, kTitleEndStarsSize) &&
         !in.matches(i, kMarkBrackets, kMarkBracketsSize)) {
    ++i;
  }
  return i;
}

// The next character at or after pos that is not a line break, or the end.
std::size_t skip_line_breaks(ByteView in, std::size_t pos) {
  while (pos < in.size && is_line_break(in.at(pos))) ++pos;
  return pos;
}

// The three characters of a note, line breaks between them skipped.
struct Group {
  bool complete = false;  // all three lie inside the data
  uint8_t length = 0;
  uint8_t letter = 0;
  uint8_t octave = 0;
  std::size_t next = 0;  // the position after the octave
};

Group read_group(ByteView in, std::size_t pos) {
  Group g;
  pos = skip_line_breaks(in, pos);
  if (pos >= in.size) return g;
  g.length = in.at(pos);
  std::size_t letterAt = skip_line_breaks(in, pos + 1);
  std::size_t octaveAt = skip_line_breaks(in, letterAt + 1);
  if (octaveAt >= in.size) return g;
  g.letter = in.at(letterAt);
  g.octave = in.at(octaveAt);
  g.next = octaveAt + 1;
  g.complete = true;
  return g;
}

bool is_tie(const Group& g) { return g.letter == kTieLetter && g.octave == kTieOctave; }

// A note is tied into the next when the next group, read from just after it,
// is complete, begins with a length digit and is a tie.
bool tied_into_next(ByteView in, std::size_t pos) {
  Group next = read_group(in, pos);
  return next.complete && is_digit(next.length) && is_tie(next);
}

// The key of a group that is not a tie: 0 for a rest and for an octave
// character that is not a digit.
int key_of(const Group& g) {
  if (!is_digit(g.octave)) return kRest;
  if (g.letter == kRestLetter && g.octave == kRestOctave) return kRest;
  int semitone = g.letter >= kFirstLetter && g.letter <= kLastLetter ? kLetterSemitone[g.letter - kFirstLetter] : 0;
  int o = g.octave - '0';
  int key = kOctaveBaseKey + midi::kSemitonesPerOctave * ((o + 1) / 2) + semitone;
  return o % 2 == 0 ? key + 1 : key;
}

class CharaReader {
 public:
  CharaReader(ByteView in, SingleVoiceTrack& track, SongInfo& song) : in_(in), track_(track), song_(song) {}

  void run() {
    std::size_t i = 0;
    while (i < in_.size && !track_.full()) {
      if (in_.matches(i, kMarkStars, kMarkStarsSize)) {
        mode_ = Mode::Tempo;
        i += kMarkStarsSize;
        continue;
      }
      if (in_.matches(i, kMarkBrackets, kMarkBracketsSize)) {
        mode_ = Mode::Tempo;
        i += kMarkBracketsSize;
        continue;
      }
      uint8_t c = in_.at(i);
      if (c == kStar) mode_ = Mode::Off;
      if (!is_digit(c) || mode_ == Mode::Off) {
        ++i;
        continue;
      }
      if (mode_ == Mode::Tempo) {
        track_.set_tempo(tempo_for_code(c - '0'));
        mode_ = Mode::Notes;
        ++i;
        continue;
      }
      Group g = read_group(in_, i);
      if (!g.complete) break;
      note(g);
      i = g.next;
    }
    track_.finish();
  }

 private:
  enum class Mode { Off, Tempo, Notes };

  void note(const Group& g) {
    ++song_.noteCount[0];
    int key = is_tie(g) ? previousKey_ : key_of(g);
    previousKey_ = key;
    int64_t length = std::min<int64_t>(INT_MAX, carried_ + kLengthByDigit[g.length - '0']);
    if (tied_into_next(in_, g.next)) {
      carried_ = length;
      return;
    }
    carried_ = 0;
    track_.add(key, length);
  }

  ByteView in_;
  SingleVoiceTrack& track_;
  SongInfo& song_;
  Mode mode_ = Mode::Off;
  int previousKey_ = kRest;  // a tie with no note before it continues a rest
  int64_t carried_ = 0;      // the length of notes tied into the next
};

}  // namespace

void read_chara_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SingleVoiceTrack track(score, song, settings.conv);
  set_song_text(song.title, input.data, title_length(input));
  CharaReader(input, track, song).run();
}

}  // namespace mel
