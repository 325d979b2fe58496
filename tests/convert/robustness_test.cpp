// Every reader built so far, and the writers behind it, must survive arbitrary
// bytes: random data, every truncation of a valid file and random corruptions
// of it. Run under the sanitizer build this catches reads past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "convert/engine.h"
#include "score/format_codes.h"
#include "convert/format_registry.h"
#include "formats/midi/midi_rewrite.h"
#include "midi/midi_timing.h"
#include "formats/midi/midi_writer.h"

namespace mel {
namespace {

// Format 1, a conductor chunk and two note tracks with a chord, running status,
// a program change, a text and a tempo change.
const std::vector<uint8_t> kMidiSeed = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 96,
    'M', 'T', 'r', 'k', 0, 0, 0, 19,
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 120
    0x00, 0xFF, 0x03, 0x02, 0x82, 0xA0,        // track name (CP932)
    0x60, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0,  // tempo 100 at tick 96 (delta 0x60)
    'M', 'T', 'r', 'k', 0, 0, 0, 27,
    0x00, 0xC0, 0x05,                          // program 5
    0x00, 0x90, 60, 100, 0x00, 64, 100, 0x00, 67, 100,  // C major triad
    0x60, 60, 0, 0x00, 64, 0, 0x00, 67, 0,     // note-offs by running status
    0x00, 0xFF, 0x2F, 0x00,
    'M', 'T', 'r', 'k', 0, 0, 0, 16,
    0x00, 0x99, 36, 90,                        // a drum note
    0x30, 0xB9, 0x07, 0x64,                    // volume
    0x30, 0x89, 36, 0, 0x00, 0xFF, 0x2F, 0x00,
};

// The same music as a DXM file: "CThd"/"CTrk" and one-byte note-offs.
std::vector<uint8_t> dxm_seed() {
  std::vector<uint8_t> d = {
      'C', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 48,
      'C', 'T', 'r', 'k', 0, 0, 0, 16,
      0x00, 0x90, 60, 100, 0x30, 0x80, 60, 0x00, 0xE0, 0x40, 0x30, 0x90, 62, 90,
      0x30, 0x80, 62, 0x00, 0xFF, 0x2F, 0x00,
      0x02, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x02, 'A', 'B',  // a title block outside the chunks
  };
  return d;
}

// Runs one input through reader, MIDI writer, direct rewrite and timing.
void convert_everything(int inputType, const std::vector<uint8_t>& input) {
  ScoreReader reader = reader_for(inputType);
  ASSERT_NE(reader, nullptr);
  Settings settings;
  settings.play.TrackSplit = input.size() % 2;
  settings.play.ThreeTimes = input.size() % 3 == 0;
  Score score;
  SongInfo song;
  ByteView view(input.data(), input.size());
  reader(view, score, song, settings);
  ASSERT_LE(score.length, score.bytes.size());
  song.scoreTrackCount = song.trackCount;
  std::vector<uint8_t> midi = write_midi_file(score, song, settings);
  EXPECT_LE(midi.size(), kOutputCapacity);
  measure_midi_length(ByteView(midi.data(), midi.size()));
  if (is_midi_input(inputType)) {
    std::vector<uint8_t> direct = rewrite_midi_file(view, song, settings);
    measure_midi_length(ByteView(direct.data(), direct.size()));
  }
  measure_midi_length(view);
}

TEST(Robustness, RandomBytesForEveryReader) {
  std::mt19937 rng(12345);
  for (int type : input_types_with_readers()) {
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> input(rng() % 600);
      for (uint8_t& b : input) b = static_cast<uint8_t>(rng());
      // Give some rounds a plausible start so the readers get past their headers.
      if (round % 3 == 1 && input.size() >= 4) {
        const char* tags[] = {"MThd", "CThd", "MTrk", "melo", "MMMD", "cmid"};
        const char* tag = tags[rng() % 6];
        std::copy(tag, tag + 4, input.begin());
      }
      SCOPED_TRACE(testing::Message() << "type " << type << " round " << round);
      convert_everything(type, input);
    }
  }
}

TEST(Robustness, EveryTruncationOfValidMidiAndDxmFiles) {
  for (const auto& seed : {kMidiSeed, dxm_seed()}) {
    int type = seed[0] == 'C' ? kInputDxm : kInputMidi;
    for (std::size_t n = 0; n <= seed.size(); ++n) {
      SCOPED_TRACE(testing::Message() << "type " << type << " length " << n);
      convert_everything(type, std::vector<uint8_t>(seed.begin(), seed.begin() + static_cast<long>(n)));
    }
  }
}

TEST(Robustness, CorruptedMidiAndDxmFiles) {
  std::mt19937 rng(777);
  for (const auto& seed : {kMidiSeed, dxm_seed()}) {
    int type = seed[0] == 'C' ? kInputDxm : kInputMidi;
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> input = seed;
      int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) input[rng() % input.size()] = static_cast<uint8_t>(rng());
      SCOPED_TRACE(testing::Message() << "type " << type << " round " << round);
      convert_everything(type, input);
    }
  }
}

// Mail text reaches the MFi and X-PmailDX readers only through the
// dispatcher, which decodes it first: feed it hostile text the same way.
class TextClipboard : public ClipboardSource {
 public:
  std::optional<std::string> text() const override { return value; }
  std::string value;
};

TEST(Robustness, HostileMailTextThroughTheDispatcher) {
  std::mt19937 rng(4242);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n-:";
  const std::string starts[] = {"--B:M\r\n", "--B:M", "A", "B", "x"};
  for (int type : {int{kInputMfi}, int{kInputPmail}}) {
    for (int round = 0; round < 100; ++round) {
      TextClipboard clip;
      clip.value = starts[rng() % 5];
      std::size_t n = rng() % 400;
      for (std::size_t i = 0; i < n; ++i) {
        clip.value.push_back(round % 2 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng()));
      }
      Engine engine;
      engine.set_clipboard(&clip);
      engine.settings.play.MidiStandard = 0;
      SCOPED_TRACE(testing::Message() << "type " << type << " round " << round);
      ConversionResult result = engine.convert("clip.txt", type, kOutputMidi);
      EXPECT_EQ(result.status, DispatchStatus::Written);
      EXPECT_LE(result.output.size(), kOutputCapacity);
    }
  }
}

}  // namespace
}  // namespace mel
