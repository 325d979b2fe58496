#include "formats/mfi/mfi_output.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "formats/mfi/mail_text.h"
#include "formats/mfi/mfi_reader.h"
#include "formats/midi/midi_reader.h"
#include "score/score_passes.h"
#include "support/midi_builder.h"
#include "support/read_score.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MidiFileBuilder;
using test::TrackBuilder;

// A note as heard: key, start and length in ticks.
using Note = std::tuple<int, int, int>;

std::vector<Note> notes_of(const Score& score, const SongInfo& song, int track, int scale) {
  std::vector<Note> out;
  std::size_t pos = static_cast<std::size_t>(song.trackStart[track - 1]);
  int time = 0;
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfTrack || ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::Control) continue;
    if (ev.kind == ScoreEvent::Note) out.push_back({ev.code, time / scale, ev.value / scale});
    time += ev.value;
  }
  return out;
}

// Two channels of melody at 480 ticks per quarter note; a note of two whole
// notes needs several pieces.
Bytes two_part_midi() {
  TrackBuilder a;
  a.tempo_bpm(0, 132).note_on(0, 0, 60).note_off(480, 0, 60).note_on(0, 0, 62).note_off(240, 0, 62)
      .note_on(480, 0, 64).note_off(3840, 0, 64).end();
  TrackBuilder b;
  b.note_on(0, 1, 72).note_off(1920, 1, 72).note_on(960, 1, 67).note_off(720, 1, 67).end();
  return MidiFileBuilder(1, 480).track(a).track(b).bytes();
}

struct Target {
  const char* name;
  bool cmx;
  int layout;
  int relnflg;
  int extendedScale;
};

class MfiRoundTrip : public ::testing::TestWithParam<Target> {};

TEST_P(MfiRoundTrip, ReadBackGivesTheNotesTheWriterIntended) {
  const Target& t = GetParam();
  Settings s;
  s.play.MidiStandard = 0;
  s.writers.mldbyte = 0;
  s.writers.ezpmdbyte = 0;
  s.writers.mldLayout = t.layout;
  s.writers.extendedScale = t.extendedScale;
  s.conv.relnflg = t.relnflg;
  test::ReadResult midi = test::read_with(read_midi_file, two_part_midi(), s);
  run_score_passes(midi.score, midi.song, s);
  ASSERT_EQ(midi.song.scoreTrackCount, 2);
  Bytes file = t.cmx ? write_cmx_file(midi.score, midi.song, s) : write_mfi_file(midi.score, midi.song, s);

  Settings plain;
  test::ReadResult back = test::read_with(t.cmx ? read_cmx_file : read_mfi_file, file, plain);
  ASSERT_EQ(back.song.trackCount, 2) << t.name;
  EXPECT_EQ(back.song.tempo, 132);
  // 480 ticks per quarter become the format's 48. A track's last note, whose
  // gate is its length - 1, reads back whole: the reader closes it by the
  // gate rule of every other note.
  for (int track = 1; track <= 2; ++track) {
    std::vector<Note> expected = notes_of(midi.score, midi.song, track, 10);
    EXPECT_EQ(notes_of(back.score, back.song, track, 1), expected) << t.name << " track " << track;
  }
}

INSTANTIATE_TEST_SUITE_P(Options, MfiRoundTrip,
                         ::testing::Values(Target{"standard", false, 0, 1, 0}, Target{"standard plain", false, 0, 0, 0},
                                           Target{"SH", false, 1, 1, 0}, Target{"F", false, 2, 0, 0},
                                           Target{"503i", false, 3, 1, 0}, Target{"503i wide", false, 3, 1, 1},
                                           Target{"CMX", true, 0, 1, 0}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n) if (c == ' ') c = '_';
                           return n;
                         });

// A song long enough to need cutting at every limit below.
test::ScoreBuilder long_song() {
  test::ScoreBuilder b(120, 48);
  b.track();
  for (int i = 0; i < 3000; ++i) b.note(60 + i % 12, 12 + i % 37).rest(i % 5);
  b.track();
  for (int i = 0; i < 2000; ++i) b.note(48 + i % 7, 30);
  return b;
}

TEST(MfiSizeLimit, WrittenFileAndMailTextNeverExceedTheLimit) {
  test::ScoreBuilder b = long_song();
  std::vector<int> limits;
  for (int l = 100; l < 1200; l += 1) limits.push_back(l);  // every length, the mail text's multiples of 54 too
  for (int l = 1200; l <= 262144; l = l * 5 / 4 + 7) limits.push_back(l);
  limits.push_back(262144);
  for (int mail = 0; mail <= 1; ++mail) {
    for (int limit : limits) {
      if (!mail && limit < 1200 && limit % 7 != 0) continue;
      Settings s;
      s.writers.mldbyte = limit;
      s.writers.mailBase64 = mail;
      Bytes out = write_mfi_file(b.score(), b.song(), s);
      ASSERT_LE(out.size(), static_cast<std::size_t>(limit)) << "limit " << limit << " mail " << mail;
      if (mail) {
        // The text still decodes to a complete file.
        Bytes file = decode_mail_text(ByteView(out), MailTextMode::AfterMarker);
        ASSERT_GE(file.size(), 13u);
        EXPECT_EQ(file.size() - 8, (std::size_t{file[4]} << 24 | file[5] << 16 | file[6] << 8 | file[7]));
      }
    }
  }
}

TEST(MfiSizeLimit, CmxLimitDropsTheCrossingNoteWhole) {
  test::ScoreBuilder b = long_song();
  Settings s;
  s.writers.ezpmdbyte = 1000;
  Bytes out = write_cmx_file(b.score(), b.song(), s);
  EXPECT_LE(out.size(), 1000u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "cmid");
  test::ReadResult back = test::read_with(read_cmx_file, out);
  EXPECT_GT(back.song.noteCount[0], 0);
}

TEST(MfiOutput, ExtremeOptionsOnAHostileScoreStayInsideTheBuffer) {
  test::ScoreBuilder b(250, 960);
  for (int t = 0; t < 32; ++t) {
    b.track(t % 3);
    if (t % 7 == 3) b.rhythm();
    b.raw({kVolumeEvent, 239, kProgramEvent, 239, kNativeVoiceEvent, 239, kPanEvent, 239, kVelocityEvent, 239});
    for (int i = 0; i < 400; ++i) b.note(1 + (i * 37) % 127, i % 3 == 0 ? 65535 : 1 + i % 50);
  }
  for (int layout = 0; layout <= 3; ++layout) {
    for (int key : {-24, 24}) {
      Settings s;
      s.writers.mldbyte = 0;
      s.writers.ezpmdbyte = 0;
      s.writers.mldLayout = layout;
      s.writers.extendedScale = layout == 3;
      s.writers.chordsInChannel = key > 0;
      s.writers.mldhmn = 24;
      s.writers.outputVoice = key > 0 ? 256 : 0;
      s.writers.outputVelocity = 127;
      s.play.KeyOffset = key;
      s.play.KeepFileInstruments = 0;
      s.play.StandardVolume = 0;
      s.play.PerTrackProgram.fill(128);
      s.play.PerTrackVolume.fill(128);
      s.conv.octaveShift.fill(key > 0 ? 3 : -3);
      s.conv.restcut = 1;
      s.conv.l16nouse = 1;
      EXPECT_LE(write_mfi_file(b.score(), b.song(), s).size(), kOutputCapacity);
      EXPECT_LE(write_cmx_file(b.score(), b.song(), s).size(), kOutputCapacity);
    }
  }
}

}  // namespace
}  // namespace mel
