// Speed of the handset writers on a large score built here: the MFi writer
// with its track merge and size limit, the CMX writer, and the DXM writer
// with its finishing stage.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "formats/dxm/dxm_writer.h"
#include "formats/mfi/mfi_output.h"
#include "score/score_stream.h"

namespace {

constexpr int kTracks = 8;
constexpr int kNotesPerTrack = 4000;
constexpr int kTimebase = 480;

// A score of kTracks tracks of quarter and eighth notes with rests between,
// about 100 KB, as a MIDI reader would leave it.
struct LargeScore {
  mel::Score score;
  mel::SongInfo song;

  LargeScore() {
    mel::reset_song_header(song);
    song.timebase = kTimebase;
    mel::store_score_tempo(score.bytes.data(), song.tempo);
    uint8_t* base = score.bytes.data();
    const uint8_t* end = base + score.bytes.size() - 1;
    std::size_t pos = mel::kFirstTrackOffset;
    for (int t = 1; t <= kTracks; ++t) {
      if (t > 1) base[pos++] = mel::kEndOfTrack;
      song.trackStart[t - 1] = static_cast<int>(pos);
      song.part[t - 1] = t;
      pos += mel::write_event(song, base + pos, end, t, mel::kProgramEvent, t * 9);
      for (int i = 0; i < kNotesPerTrack; ++i) {
        int key = 48 + (i * 7 + t * 5) % 36;
        pos += mel::write_event(song, base + pos, end, t, key, i % 3 == 0 ? kTimebase : kTimebase / 2);
        if (i % 5 == 4) pos += mel::write_event(song, base + pos, end, t, mel::kRest, kTimebase / 4);
      }
    }
    score.length = pos;
    song.trackCount = kTracks;
    song.scoreTrackCount = kTracks;
  }
};

const LargeScore& large_score() {
  static const LargeScore s;
  return s;
}

mel::Settings unlimited() {
  mel::Settings s;
  s.writers.mldbyte = 0;
  s.writers.ezpmdbyte = 0;
  s.writers.dxmbyte = 0;
  s.writers.mldhmn = 16;
  s.writers.mldLayout = 3;
  return s;
}

void BM_MfiWriter(benchmark::State& state) {
  const LargeScore& in = large_score();
  mel::Settings s = unlimited();
  for (auto _ : state) benchmark::DoNotOptimize(mel::write_mfi_file(in.score, in.song, s));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.score.length));
}
BENCHMARK(BM_MfiWriter)->Unit(benchmark::kMillisecond);

void BM_MfiWriterWithSizeLimitAndMailText(benchmark::State& state) {
  const LargeScore& in = large_score();
  mel::Settings s = unlimited();
  s.writers.mldbyte = 20000;
  s.writers.mailBase64 = 1;
  for (auto _ : state) benchmark::DoNotOptimize(mel::write_mfi_file(in.score, in.song, s));
}
BENCHMARK(BM_MfiWriterWithSizeLimitAndMailText)->Unit(benchmark::kMillisecond);

void BM_CmxWriter(benchmark::State& state) {
  const LargeScore& in = large_score();
  mel::Settings s = unlimited();
  for (auto _ : state) benchmark::DoNotOptimize(mel::write_cmx_file(in.score, in.song, s));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.score.length));
}
BENCHMARK(BM_CmxWriter)->Unit(benchmark::kMillisecond);

void BM_DxmWriter(benchmark::State& state) {
  const LargeScore& in = large_score();
  mel::Settings s = unlimited();
  s.writers.dxmSharedChannels = 1;
  s.writers.dxmChordLimit = 1;
  for (auto _ : state) benchmark::DoNotOptimize(mel::write_dxm_file(in.score, in.song, s));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.score.length));
}
BENCHMARK(BM_DxmWriter)->Unit(benchmark::kMillisecond);

}  // namespace
