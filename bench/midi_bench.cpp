// Speed of the MIDI paths on a large Standard MIDI File built here: the full
// read-and-encode conversion, the encode of a held score alone, the direct
// rewrite, and the parse the built-in sequencer makes of a file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/engine.h"
#include "score/format_codes.h"
#include "midi/midi_bytes.h"
#include "formats/midi/midi_reader.h"
#include "formats/midi/midi_rewrite.h"
#include "midi/midi_timing.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kDivision = 480;
constexpr int kNoteTracks = 15;
constexpr int kChordsPerTrack = 1200;
namespace midi = mel::midi;

void put_be(Bytes& out, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put_vlq(Bytes& out, uint32_t value) {
  uint8_t groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0 && n < 4);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void put_chunk(Bytes& file, const char* tag, const Bytes& body) {
  file.insert(file.end(), tag, tag + midi::kTagSize);
  put_be(file, static_cast<uint32_t>(body.size()), 4);
  for (uint8_t b : body) file.push_back(b);
}

void put_event(Bytes& track, uint32_t delta, std::initializer_list<uint8_t> bytes) {
  put_vlq(track, delta);
  track.insert(track.end(), bytes);
}

// A conductor with a tempo change every four bars, for as long as the notes.
Bytes conductor_track() {
  constexpr uint32_t kSongTicks = kChordsPerTrack * (kDivision / 2);
  constexpr uint32_t kFourBars = 4 * 4 * kDivision;
  Bytes t;
  for (uint32_t tick = 0; tick < kSongTicks; tick += kFourBars) {
    uint32_t tempo = 400000 + (tick / kFourBars) % 5 * 40000;
    put_event(t, tick == 0 ? 0 : kFourBars,
              {midi::kMeta, midi::kMetaTempo, midi::kTempoDataLength, static_cast<uint8_t>(tempo >> 16),
               static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)});
  }
  put_event(t, 0, {midi::kMeta, midi::kMetaEndOfTrack, 0});
  return t;
}

// Triads in eighth notes with running status, a program, volume and an
// occasional pitch bend; the drum channel strikes single keys.
Bytes note_track(int index) {
  int channel = index % 16;
  Bytes t;
  put_event(t, 0, {static_cast<uint8_t>(midi::kProgramChange | channel), static_cast<uint8_t>(index * 7 % 128)});
  put_event(t, 0, {static_cast<uint8_t>(midi::kControlChange | channel), midi::kControllerVolume, 100});
  const uint8_t noteOn = static_cast<uint8_t>(midi::kNoteOn | channel);
  for (int chord = 0; chord < kChordsPerTrack; ++chord) {
    uint8_t root = static_cast<uint8_t>(36 + (chord * 5 + index * 3) % 48);
    if (chord % 64 == 63) {
      put_event(t, 0, {static_cast<uint8_t>(midi::kPitchBend | channel), 0x00, static_cast<uint8_t>(0x30 + chord % 32)});
    }
    if (channel == midi::kRhythmChannel) {
      put_event(t, 0, {noteOn, static_cast<uint8_t>(35 + chord % 12), 110});
      put_event(t, kDivision / 2, {static_cast<uint8_t>(35 + chord % 12), 0});
      continue;
    }
    put_event(t, 0, {noteOn, root, 96});
    put_event(t, 0, {static_cast<uint8_t>(root + 4), 90});
    put_event(t, 0, {static_cast<uint8_t>(root + 7), 90});
    put_event(t, kDivision / 2, {root, 0});
    put_event(t, 0, {static_cast<uint8_t>(root + 4), 0});
    put_event(t, 0, {static_cast<uint8_t>(root + 7), 0});
  }
  put_event(t, 0, {midi::kMeta, midi::kMetaEndOfTrack, 0});
  return t;
}

Bytes large_midi_file() {
  Bytes header;
  put_be(header, 1, 2);
  put_be(header, kNoteTracks + 1, 2);
  put_be(header, kDivision, 2);
  Bytes file;
  put_chunk(file, midi::kHeaderTag, header);
  put_chunk(file, midi::kTrackTag, conductor_track());
  for (int i = 0; i < kNoteTracks; ++i) put_chunk(file, midi::kTrackTag, note_track(i));
  return file;
}

// The file, written once to the temporary directory for the engine to read.
struct LargeFile {
  Bytes bytes = large_midi_file();
  std::filesystem::path path = std::filesystem::temp_directory_path() / "melvarino_bench_large.mid";

  LargeFile() {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~LargeFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

const LargeFile& large_file() {
  static LargeFile file;
  return file;
}

void report(benchmark::State& state, std::size_t outputSize) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(large_file().bytes.size()));
  state.counters["input_bytes"] = static_cast<double>(large_file().bytes.size());
  state.counters["output_bytes"] = static_cast<double>(outputSize);
}

// MIDI file -> score -> MIDI file, reading the file each time.
void BM_ReadScoreAndWriteMidi(benchmark::State& state) {
  const LargeFile& file = large_file();
  mel::Engine engine;
  engine.settings.play.MidiStandard = 0;
  std::size_t outputSize = 0;
  for (auto _ : state) {
    engine.ReloadRequest = mel::kReloadReadFile;
    mel::ConversionResult result = engine.convert(file.path, mel::kInputMidi, mel::kOutputMidi);
    if (!result.ok()) state.SkipWithError(mel::dispatch_status_text(result.status));
    outputSize = result.output.size();
    benchmark::DoNotOptimize(result.output.data());
  }
  report(state, outputSize);
}
BENCHMARK(BM_ReadScoreAndWriteMidi)->Unit(benchmark::kMillisecond);

// The held score encoded again (a key or tempo change during playback).
void BM_EncodeHeldScore(benchmark::State& state) {
  const LargeFile& file = large_file();
  mel::Engine engine;
  engine.settings.play.MidiStandard = 0;
  engine.ReloadRequest = mel::kReloadReadFile;
  if (!engine.convert(file.path, mel::kInputMidi, mel::kOutputMidi).ok()) state.SkipWithError("first read failed");
  std::size_t outputSize = 0;
  for (auto _ : state) {
    engine.ReloadRequest = mel::kReloadEncodeOnly;
    engine.settings.play.KeyOffset = engine.settings.play.KeyOffset == 0 ? 1 : 0;
    mel::ConversionResult result = engine.convert(file.path, mel::kInputMidi, mel::kOutputMidi);
    if (!result.ok()) state.SkipWithError(mel::dispatch_status_text(result.status));
    outputSize = result.output.size();
    benchmark::DoNotOptimize(result.output.data());
  }
  report(state, outputSize);
}
BENCHMARK(BM_EncodeHeldScore)->Unit(benchmark::kMillisecond);

// The direct rewrite of the source, with the song header of one reader run.
void BM_DirectRewrite(benchmark::State& state) {
  const LargeFile& file = large_file();
  mel::Settings settings;
  settings.play.KeyOffset = 2;
  settings.play.SpeedFactor = 20;
  mel::Score score;
  mel::SongInfo song;
  mel::ByteView source(file.bytes);
  mel::read_midi_file(source, score, song, settings);
  std::size_t outputSize = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out = mel::rewrite_midi_file(source, song, settings);
    outputSize = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  report(state, outputSize);
}
BENCHMARK(BM_DirectRewrite)->Unit(benchmark::kMillisecond);

// The parse the built-in sequencer makes of a file it opens.
void BM_TimelineParse(benchmark::State& state) {
  const LargeFile& file = large_file();
  std::size_t events = 0;
  for (auto _ : state) {
    mel::MidiTimeline timeline = mel::MidiTimeline::parse(mel::ByteView(file.bytes));
    events = timeline.events().size();
    benchmark::DoNotOptimize(timeline.length_ticks());
  }
  report(state, 0);
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(BM_TimelineParse)->Unit(benchmark::kMillisecond);

}  // namespace
