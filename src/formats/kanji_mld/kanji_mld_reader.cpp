#include "formats/kanji_mld/kanji_mld_reader.h"

#include <algorithm>

#include "common/cp932.h"
#include "formats/shared/single_voice_track.h"

namespace mel {

namespace {

// Characters whose first byte is this one are control characters, not notes.
constexpr uint8_t kControlLead = 0xEF;
constexpr uint8_t kHeaderTag = 0x41;  // EF 41: the header
constexpr uint8_t kTitleTag = 0x42;   // EF 42: the title, which ends the melody

constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kHeaderTempoOffset = 9;
constexpr int kTempoCodeBase = 0x40;  // codes above it carry a tempo
constexpr int kTempoStep = 4;
constexpr int kTempoOffset = 60;

constexpr std::size_t kCharacterSize = 2;
constexpr std::size_t kTitleLengthDigits = 4;
constexpr std::size_t kTitleTextOffset = kCharacterSize + kTitleLengthDigits;

// Note codes count the Shift-JIS double-byte characters from 89 A3 on.
constexpr int kFirstNoteLead = 0x89;
constexpr int kTrailBytesPerLead = 188;   // 0x40-0x7E and 0x80-0xFC
constexpr int kFirstTrail = 0x40;
constexpr int kTrailGap = 0x7F;           // the unused trail byte
constexpr int kFirstNoteOffset = 98;      // position of A3 among the trail bytes of 89

constexpr int kKeyMask = 0x3F;            // bits 5-0: 0 = rest, else key 60 + value
constexpr int kBaseKey = 60;
constexpr int kLengthShift = 6;           // bits 9-6: length code
constexpr int kLengthCodeMask = 0xF;
constexpr int kTieBit = 1 << 10;
constexpr int kTripletBit = 1 << 11;

constexpr int kLengthByCode[] = {60, 90, 120, 180, 240, 360, 480, 720, 960};

// Shift-JIS: the first byte of a two-byte character.

// Shift-JIS: the second byte of a two-byte character.

int length_for_code(int code) {
  int index = (code >> kLengthShift) & kLengthCodeMask;
  int ticks = index < static_cast<int>(sizeof kLengthByCode / sizeof kLengthByCode[0]) ? kLengthByCode[index] : 0;
  return (code & kTripletBit) ? ticks * 2 / 3 : ticks;
}

int key_for_code(int code) {
  int value = code & kKeyMask;
  return value == 0 ? kRest : kBaseKey + value;
}

// The position of a two-byte character counted from 89 A3, or -1 for the
// characters before it (symbols, kana, Latin letters), which are not notes.
int note_code(uint8_t lead, uint8_t trail) {
  if (lead < kFirstNoteLead) return -1;
  int trailIndex = trail - kFirstTrail - (trail > kTrailGap ? 1 : 0);
  int code = (lead - kFirstNoteLead) * kTrailBytesPerLead + trailIndex - kFirstNoteOffset;
  return code >= 0 ? code : -1;
}

// The title length: up to four decimal digits, ending at the first non-digit.
std::size_t title_length(ByteView input, std::size_t digitsAt) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < kTitleLengthDigits; ++i) {
    std::size_t at = digitsAt + i;
    if (at >= input.size || input.data[at] < '0' || input.data[at] > '9') break;
    length = length * 10 + (input.data[at] - '0');
  }
  return length;
}

void read_title(ByteView input, std::size_t at, SongInfo& song) {
  std::size_t textAt = std::min(at + kTitleTextOffset, input.size);
  std::size_t length = std::min(title_length(input, at + kCharacterSize), input.size - textAt);
  set_song_text(song.title, input.data + textAt, length);
}

int tempo_for_code(uint8_t code) {
  return code > kTempoCodeBase ? (code - kTempoCodeBase) * kTempoStep + kTempoOffset : kResetTempo;
}

// Notes tied together sound as one note of their summed length with the key of
// the character that ends the tie.
class TiedNote {
 public:
  void add(int code) {
    length_ += length_for_code(code);
    key_ = key_for_code(code);
  }
  void flush(SingleVoiceTrack& track) {
    if (length_ > 0) track.add(key_, length_);
    length_ = 0;
  }

 private:
  long long length_ = 0;
  int key_ = kRest;
};

}  // namespace

void read_kanji_mld_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SingleVoiceTrack track(score, song, settings.conv);
  TiedNote note;
  std::size_t at = 0;
  while (at < input.size && !track.full()) {
    uint8_t lead = input.data[at];
    if (!is_cp932_lead_byte(lead)) {
      ++at;  // a one-byte character (line break, ASCII, half-width kana)
      continue;
    }
    if (at + 1 >= input.size) break;  // half a character at the end
    uint8_t trail = input.data[at + 1];
    if (!is_cp932_trail_byte(trail)) {
      ++at;  // a broken character: skip its first byte and read on from the second
      continue;
    }
    if (lead == kControlLead && trail == kTitleTag) {
      read_title(input, at, song);
      break;
    }
    if (lead == kControlLead && trail == kHeaderTag) {
      if (at + kHeaderTempoOffset < input.size) track.set_tempo(tempo_for_code(input.data[at + kHeaderTempoOffset]));
      at += kHeaderSize;
      continue;
    }
    at += kCharacterSize;
    int code = note_code(lead, trail);
    if (lead == kControlLead || code < 0) continue;
    ++song.noteCount[0];
    note.add(code);
    if (!(code & kTieBit)) note.flush(track);
  }
  // A tie still open at the end of the melody keeps its note.
  note.flush(track);
  track.finish();
}

}  // namespace mel
