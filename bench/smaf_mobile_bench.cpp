// Speed of reading SMAF files in the mobile-standard form: the same notes in
// the plain and in the Huffman-compressed form (about 100 KB compressed), so
// the cost of the expansion shows against the rest of the read.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "../tests/support/smaf_builder.h"
#include "formats/smaf/smaf_reader.h"

namespace {

using mel::test::Bytes;

constexpr int kNotes = 23000;
constexpr int kChannels = 8;

// Notes over eight channels with varied keys, velocities, gates and steps,
// and a controller now and then, as a converter would write them.
mel::test::MobileSequence made_sequence() {
  mel::test::MobileSequence seq;
  std::mt19937 rng(3);
  for (int c = 0; c < kChannels; ++c) seq.program(0, c, c * 8).volume(0, c, 100);
  for (int i = 0; i < kNotes; ++i) {
    int channel = static_cast<int>(rng() % kChannels);
    uint32_t step = (rng() % 4 == 0) ? 0 : 30 * (1 + rng() % 4);
    seq.note(step, channel, 40 + static_cast<int>(rng() % 48), 40 + static_cast<int>(rng() % 80), 20 + rng() % 200);
    if (i % 64 == 0) seq.control(0, channel, 0x0B, static_cast<int>(rng() % 128));
  }
  return seq.end(200);
}

const Bytes& file_of(uint8_t formatType) {
  static const mel::test::MobileSequence kSequence = made_sequence();
  static const Bytes kPlain = mel::test::mobile_file(kSequence, 0x02);
  static const Bytes kCompressed = mel::test::mobile_file(kSequence, 0x01);
  return formatType == 0x01 ? kCompressed : kPlain;
}

void read_file(benchmark::State& state, uint8_t formatType) {
  const Bytes& file = file_of(formatType);
  mel::Settings settings;
  for (auto _ : state) {
    mel::Score score;
    mel::SongInfo song;
    mel::read_smaf_file(mel::ByteView(file), score, song, settings);
    benchmark::DoNotOptimize(score.length);
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}

void BM_SmafMobilePlainRead(benchmark::State& state) { read_file(state, 0x02); }
void BM_SmafMobileCompressedRead(benchmark::State& state) { read_file(state, 0x01); }

BENCHMARK(BM_SmafMobilePlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmafMobileCompressedRead)->Unit(benchmark::kMillisecond);

}  // namespace
