#include "formats/wam/wam_reader.h"

#include <algorithm>
#include <string>

#include "common/cp932.h"
#include "formats/shared/handset_codes.h"
#include "formats/shared/single_voice_track.h"
#include "formats/wam/wam_format.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace wam;

// The offset of the first signature, or the data's size when there is none.
std::size_t find_signature(ByteView in) {
  for (std::size_t i = 0; i < in.size; ++i) {
    if (in.matches(i, kSignature, kSignatureFindSize)) return i;
  }
  return in.size;
}

// Steps over count title characters from pos, keeping whole characters up to
// 255 bytes in the title; returns the position after them (past the data's
// end when the title is cut off).
std::size_t read_title(ByteView in, std::size_t pos, unsigned count, std::string& title) {
  bool keeping = true;
  for (unsigned c = 0; c < count && pos < in.size; ++c) {
    std::size_t n = is_handset_title_lead_byte(in.at(pos)) ? 2 : 1;
    keeping = keeping && pos + n <= in.size && title.size() + n <= kMaxTextLength;
    if (keeping) title.append(reinterpret_cast<const char*>(in.data + pos), n);
    pos += n;
  }
  return pos;
}

int key_of(uint8_t pitch, uint8_t length) {
  int letter = pitch >> kNibbleShift;
  int semitone = letter >= kFirstLetterNibble && letter <= kLastLetterNibble
                     ? kLetterSemitone[letter - kFirstLetterNibble]
                     : 0;
  int accidental = (pitch & kLowNibble) == kSharpNibble ? 1 : (pitch & kLowNibble) == kFlatNibble ? -1 : 0;
  int octave = length >> kNibbleShift;
  return kOctaveBaseKey + midi::kSemitonesPerOctave * octave + semitone + accidental;
}

int ticks_of(uint8_t length) {
  int code = length & kLowNibble;
  return code >= 1 && code < static_cast<int>(kLengthByCode.size()) ? kLengthByCode[code] : kUnknownLength;
}

bool is_rest(uint8_t pitch) { return pitch >> kNibbleShift == kRestNibble; }

}  // namespace

void read_wam_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SingleVoiceTrack track(score, song, settings.conv);
  std::size_t at = find_signature(input);
  if (at + kTitleOffset > input.size) {
    track.finish();
    return;
  }
  unsigned count = input.at(at + kTitleCountOffset) | (input.at(at + kTitleCountOffset + 1) << 8);
  std::string title;
  std::size_t pos = read_title(input, at + kTitleOffset, count, title);
  set_song_text(song.title, title);
  int tempo = pos < input.size ? tempo_for_code(input.at(pos)) : 0;
  if (tempo == 0) {
    track.finish();
    return;
  }
  track.set_tempo(tempo);
  // Each pitch byte's length byte must lie inside the data; this also keeps
  // reading two bytes before its end.
  for (std::size_t p = pos + 1; song.noteCount[0] < kSlots && p + kLengthArrayOffset < input.size && !track.full();
       ++p) {
    uint8_t pitch = input.at(p);
    if (pitch == kEndOfNotes) break;
    uint8_t length = input.at(p + kLengthArrayOffset);
    ++song.noteCount[0];
    track.add(is_rest(pitch) ? kRest : key_of(pitch, length), ticks_of(length));
  }
  track.finish();
}

}  // namespace mel
