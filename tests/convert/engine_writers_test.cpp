// The handset writers and the score passes as the dispatcher runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/engine.h"
#include "formats/mfi/mfi_reader.h"
#include "support/midi_builder.h"
#include "support/read_score.h"

namespace mel {
namespace {

namespace fs = std::filesystem;
using test::MidiFileBuilder;
using test::TrackBuilder;

class EngineWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("mel_engine_writers_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    input_ = dir_ / "song.mid";
    std::ofstream out(input_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(midi_.data()), static_cast<std::streamsize>(midi_.size()));
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Two melodic tracks sounding together, then one alone.
  static std::vector<uint8_t> two_tracks() {
    TrackBuilder a;
    a.note_on(0, 0, 67).note_off(480, 0, 67).note_on(0, 0, 69).note_off(480, 0, 69).end();
    TrackBuilder b;
    b.note_on(0, 1, 60).note_off(960, 1, 60).end();
    return MidiFileBuilder(1, 480).track(a).track(b).bytes();
  }

  test::ReadResult convert_and_read(int outputKind) {
    ConversionResult r = engine_.convert(input_, kInputMidi, outputKind);
    EXPECT_EQ(r.status, DispatchStatus::Written);
    return test::read_with(outputKind == kOutputCmx ? read_cmx_file : read_mfi_file, r.output);
  }

  std::vector<uint8_t> midi_ = two_tracks();
  fs::path dir_;
  fs::path input_;
  Engine engine_;
};

TEST_F(EngineWriters, PseudoChordsFoldTheTracksIntoOneVoice) {
  engine_.settings.conv.giziwaon = 7;
  engine_.settings.conv.gizino = 1;
  test::ReadResult back = convert_and_read(kOutputMfi);
  EXPECT_EQ(back.song.trackCount, 1);
  EXPECT_EQ(back.song.lowestPitch[0], 67) << "track 1 keeps the line while it sounds";
}

TEST_F(EngineWriters, WithoutPseudoChordsBothTracksAreWritten) {
  test::ReadResult back = convert_and_read(kOutputCmx);
  EXPECT_EQ(back.song.trackCount, 2);
}

TEST_F(EngineWriters, AccompanimentAddsASecondTrackToAOneTrackSong) {
  TrackBuilder a;
  a.note_on(0, 0, 72).note_off(1920, 0, 72).end();
  midi_ = MidiFileBuilder(0, 480).track(a).bytes();
  SetUp();
  engine_.settings.conv.accompanimentLevel = 1;
  test::ReadResult back = convert_and_read(kOutputMfi);
  ASSERT_EQ(back.song.trackCount, 2);
  EXPECT_EQ(back.song.lowestPitch[1], 60);
  EXPECT_EQ(back.song.highestPitch[1], 72);
}

TEST_F(EngineWriters, DxmAndMailTextAreWritten) {
  ConversionResult dxm = engine_.convert(input_, kInputMidi, kOutputDxm);
  ASSERT_EQ(dxm.status, DispatchStatus::Written);
  EXPECT_EQ(std::string(dxm.output.begin(), dxm.output.begin() + 4), "MCDF");
  engine_.settings.writers.mailBase64 = 1;
  ConversionResult mail = engine_.convert(input_, kInputMidi, kOutputMfi);
  ASSERT_EQ(mail.status, DispatchStatus::Written);
  EXPECT_EQ(std::string(mail.output.begin(), mail.output.begin() + 7), "--B:M\r\n");
}

}  // namespace
}  // namespace mel
