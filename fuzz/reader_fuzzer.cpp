// libFuzzer entry: the first byte picks an input type that has a reader, the
// next two pick options; the rest is the file. Every reader with the score
// passes, every score writer of the format table, the direct rewrite and the
// MIDI timing behind it must take any bytes without a crash, a hang or a
// sanitizer report.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/mfi/mail_text.h"
#include "score/format_codes.h"
#include "convert/format_registry.h"
#include "convert/format_table.h"
#include "formats/midi/midi_rewrite.h"
#include "midi/midi_timing.h"
#include "formats/midi/midi_writer.h"
#include "score/score_passes.h"

namespace {

constexpr std::size_t kControlBytes = 3;

mel::Settings settings_from(uint8_t a, uint8_t b) {
  mel::Settings s;
  s.play.TrackSplit = a & 1;
  s.play.ThreeTimes = (a >> 1) & 1;
  s.play.KeyOffset = static_cast<int>((a >> 2) & 0x1F) - 12;
  s.play.ForPlayback = (a >> 7) & 1;
  s.conv.highmld = b & 1;
  s.conv.noteLengthScale = 4 << ((b >> 1) % 5);
  s.conv.shortNoteCutLevel = (b >> 4) * 6;
  s.conv.chsepcnt = 2 + (b >> 4);
  s.play.TrackSelection = (b & 0x8) ? 1 : 0;
  s.play.TrackMask = 0x5;
  // The passes and the handset writers' layouts and options.
  s.conv.giziwaon = (a & 0x40) ? 4 | (b & 3) : 3;
  s.conv.gizino = 1 + (b >> 5);
  s.conv.accompanimentLevel = (a >> 5) % 3;
  s.conv.relnflg = (b >> 2) & 1;
  s.writers.mldLayout = a & 3;
  s.writers.extendedScale = (b >> 3) & 1;
  s.writers.chordsInChannel = (a >> 4) & 1;
  s.writers.mailBase64 = (b >> 6) & 1;
  s.writers.mldbyte = (b & 0x80) ? 100 + b * 7 : 0;
  s.writers.dxmChordLimit = a & 1;
  s.writers.smdnum = (b & 0x80) ? b & 0x1F : 256;
  s.writers.smdhmn = 1 + (a >> 4);
  s.writers.mmdnum = (b & 0x10) ? 0 : 64;
  s.writers.mmdhmn = 1 + a % 10;
  s.writers.alshmn = 1 + b % 12;
  s.writers.alsnum = (a & 0x80) ? 0 : 128;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < kControlBytes) return 0;
  // Every input type of the format table that has a reader.
  static const std::vector<int> types = mel::input_types_with_readers();
  int type = types[data[0] % types.size()];
  mel::Settings settings = settings_from(data[1], data[2]);
  mel::ByteView input(data + kControlBytes, size - kControlBytes);

  std::vector<uint8_t> decoded;
  if (mel::needs_mail_decoding(type, input)) {
    decoded = mel::decode_mail_text(input, mel::mail_text_mode_for(type));
    input = mel::ByteView(decoded);
  }
  mel::Score score;
  mel::SongInfo song;
  mel::reader_for(type)(input, score, song, settings);
  mel::run_score_passes(score, song, settings);
  std::vector<uint8_t> midi = mel::write_midi_file(score, song, settings);
  mel::measure_midi_length(mel::ByteView(midi));
  for (const mel::OutputFormat& format : mel::output_formats()) {
    if (format.writer && format.kind != mel::kOutputMidi) format.writer(score, song, settings);
  }
  if (mel::is_midi_input(type)) {
    std::vector<uint8_t> direct = mel::rewrite_midi_file(input, song, settings);
    mel::measure_midi_length(mel::ByteView(direct));
  }
  return 0;
}
