#include "formats/pmail/pmail_reader.h"

#include "formats/shared/single_voice_track.h"

namespace mel {

namespace {

constexpr uint8_t kEndOfMelody = 0xFF;
constexpr uint8_t kCommandBit = 0x80;
constexpr uint8_t kLengthClassMask = 0x30;  // clear in a length command
constexpr uint8_t kSharpBit = 0x40;
constexpr uint8_t kDegreeMask = 0x3F;       // 0 = rest, else scale degree + 1

constexpr int kDefaultTempo = 120;
constexpr int kTempoByCode[] = {60, 70, 80, 100, 120, 160};

constexpr int kDefaultLength = 120;  // an eighth note at 240 ticks per quarter

constexpr int kBaseKey = 60;
constexpr int kDegreesPerOctave = 7;
constexpr int kMajorScaleSteps[kDegreesPerOctave] = {0, 2, 4, 5, 7, 9, 11};

int tempo_for_code(uint8_t code) {
  return code < sizeof kTempoByCode / sizeof kTempoByCode[0] ? kTempoByCode[code] : kDefaultTempo;
}

bool is_length_command(uint8_t b) { return (b & kCommandBit) && !(b & kLengthClassMask); }

// The length commands with a length of their own; every other one sets the
// default length.
struct LengthCommand {
  uint8_t command;
  int ticks;
};
constexpr LengthCommand kLengthCommands[] = {
    {0x80, 960}, {0x81, 720}, {0x82, 480}, {0x83, 360}, {0x84, 240},
    {0x85, 180}, {0x86, 120}, {0x88, 60},  {0xC2, 160}, {0xC4, 80},
};

int length_for_command(uint8_t b) {
  for (const LengthCommand& entry : kLengthCommands) {
    if (entry.command == b) return entry.ticks;
  }
  return kDefaultLength;
}

// The key of a note byte: a degree of the C major scale from middle C, raised
// a semitone by the sharp bit; 0 for a rest.
int key_for_note_byte(uint8_t b) {
  int degree = b & kDegreeMask;
  if (degree == 0) return kRest;
  int n = degree - 1;
  int key = kBaseKey + 12 * (n / kDegreesPerOctave) + kMajorScaleSteps[n % kDegreesPerOctave];
  return (b & kSharpBit) ? key + 1 : key;
}

}  // namespace

void read_pmail_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  SingleVoiceTrack track(score, song, settings.conv);
  ByteReader in(input);
  if (!in.at_end()) track.set_tempo(tempo_for_code(in.u8()));

  int length = kDefaultLength;
  while (!in.at_end() && !track.full()) {
    uint8_t b = in.u8();
    if (b == kEndOfMelody) break;
    if (is_length_command(b)) {
      length = length_for_command(b);
    } else if (!(b & kCommandBit)) {
      ++song.noteCount[0];
      track.add(key_for_note_byte(b), length);
    }
    // Other command bytes carry nothing this reader plays.
  }
  track.finish();
}

}  // namespace mel
