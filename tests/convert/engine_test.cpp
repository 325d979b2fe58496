#include "convert/engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "convert/format_table.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

// A format-0 file: one note C4 for a quarter note at 480 ticks per quarter.
const std::vector<uint8_t> kOneNoteMidi = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6,  // header chunk, length 6
    0, 0,                            // format 0
    0, 1,                            // one track
    0x01, 0xE0,                      // division 480
    'M', 'T', 'r', 'k', 0, 0, 0, 12,  // track chunk, length 12
    0x00, 0x90, 60, 100,             // note on C4
    0x83, 0x60, 0x80, 60, 0,         // 480 ticks later: note off
    0x00, 0xFF, 0x2F, 0x00,          // end of track
};

// The same file with another key.
std::vector<uint8_t> one_note_midi(uint8_t key) {
  std::vector<uint8_t> file = kOneNoteMidi;
  file[24] = key;  // note on
  file[29] = key;  // note off
  return file;
}

bool has_note_on(const std::vector<uint8_t>& midi, uint8_t key) {
  for (std::size_t i = 0; i + 2 < midi.size(); ++i) {
    if ((midi[i] & 0xF0) == 0x90 && midi[i + 1] == key && midi[i + 2] != 0) return true;
  }
  return false;
}

class StringClipboard : public ClipboardSource {
 public:
  std::optional<std::string> text() const override { return value; }
  std::optional<std::string> value;
};

class EngineFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           (std::string("mel_engine_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path file(const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::path p = dir_ / name;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
  }

  static std::vector<uint8_t> contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  Engine engine_;
};

TEST_F(EngineFiles, RawCopyWritesTheInputUnchangedAndAnswersZero) {
  fs::path in = file("song.xyz.mld", {'m', 'e', 'l', 'o', 1, 2, 3});
  fs::path out = dir_ / "copy.mld";
  DispatchStatus status = engine_.dispatch(in, out, kInputMfi, kOutputRawCopy);
  EXPECT_EQ(status, DispatchStatus::Copied);
  EXPECT_EQ(Engine::legacy_result(status), 0);
  EXPECT_EQ(contents(out), contents(in));
  EXPECT_EQ(engine_.ReloadRequest, kReloadEncodeOnly);
}

TEST_F(EngineFiles, EncodeOnlyReusesTheHeldInputAndScore) {
  engine_.settings.play.MidiStandard = 0;
  fs::path in = file("a.mid", kOneNoteMidi);
  ASSERT_EQ(engine_.dispatch(in, dir_ / "1.mid", kInputMidi, kOutputMidi), DispatchStatus::Written);
  EXPECT_EQ(engine_.ReloadRequest, kReloadEncodeOnly);
  // The song is encoded again without reading or decoding; even a vanished
  // input file does not matter any more.
  fs::remove(in);
  ASSERT_EQ(engine_.dispatch(in, dir_ / "2.mid", kInputMidi, kOutputMidi), DispatchStatus::Written);
  EXPECT_EQ(engine_.reads(), 1);
  EXPECT_EQ(engine_.decodes(), 1);

  engine_.ReloadRequest = kReloadDecodeHeld;
  ASSERT_EQ(engine_.dispatch(in, dir_ / "3.mid", kInputMidi, kOutputMidi), DispatchStatus::Written);
  EXPECT_EQ(engine_.reads(), 1);
  EXPECT_EQ(engine_.decodes(), 2);

  engine_.ReloadRequest = kReloadReadFile;
  EXPECT_EQ(engine_.dispatch(in, dir_ / "4.mid", kInputMidi, kOutputMidi), DispatchStatus::InputUnreadable);
  EXPECT_FALSE(fs::exists(dir_ / "4.mid"));
}

TEST_F(EngineFiles, DirectRewriteOfAHeaderlessFileFailsAndWritesNothing) {
  std::vector<uint8_t> damaged = kOneNoteMidi;
  damaged[2] = 'x';  // "MTxd": no header chunk
  fs::path in = file("damaged.dxm", damaged);
  fs::path out = dir_ / "damaged.mid";
  engine_.settings.play.MidiStandard = 1;
  EXPECT_EQ(engine_.dispatch(in, out, kInputDxm, kOutputMidi), DispatchStatus::InputDamaged);
  EXPECT_FALSE(fs::exists(out));
}

// A raw copy of a new file clears the request, as the copy itself needs no
// score; the next encode-only conversion must still read the new song, not
// encode the score of the file held before.
TEST_F(EngineFiles, EncodeOnlyAfterARawCopyOfAnotherFileDecodesTheNewInput) {
  engine_.settings.play.MidiStandard = 0;
  ConversionResult first = engine_.convert(file("a.mid", kOneNoteMidi), kInputMidi, kOutputMidi);
  ASSERT_TRUE(first.ok());
  EXPECT_TRUE(has_note_on(first.output, 60));

  engine_.ReloadRequest = kReloadReadFile;
  fs::path b = file("b.mid", one_note_midi(72));
  EXPECT_EQ(engine_.convert(b, kInputMidi, kOutputRawCopy).status, DispatchStatus::Copied);
  EXPECT_EQ(engine_.ReloadRequest, kReloadEncodeOnly);

  ConversionResult second = engine_.convert(b, kInputMidi, kOutputMidi);
  ASSERT_TRUE(second.ok());
  EXPECT_TRUE(has_note_on(second.output, 72));
  EXPECT_FALSE(has_note_on(second.output, 60));
  EXPECT_EQ(engine_.reads(), 2);
  EXPECT_EQ(engine_.decodes(), 2);

  // Encoding again from here reuses that score.
  ASSERT_TRUE(engine_.convert(b, kInputMidi, kOutputMidi).ok());
  EXPECT_EQ(engine_.decodes(), 2);
}

TEST(MfiSizeLimit, CountsMailTextBytesWhenMailTextIsOn) {
  WriterSettings w;
  w.mldbyte = 500;
  EXPECT_EQ(mfi_size_limit(w), 500);
  w.mailBase64 = 1;
  EXPECT_EQ(mfi_size_limit(w), 360);
  w.mldbyte = 5120;  // 5113 text bytes: 69 line breaks, 4975 characters
  EXPECT_EQ(mfi_size_limit(w), 3729);
  w.mldbyte = 3;  // not even the marker line fits
  EXPECT_EQ(mfi_size_limit(w), 0);
  w.mldbyte = 0;  // no limit: the stage does not run
  EXPECT_EQ(mfi_size_limit(w), std::nullopt);
}

TEST_F(EngineFiles, UnreadableInputsFailWithoutWriting) {
  fs::path out = dir_ / "out.mid";
  EXPECT_EQ(engine_.dispatch(dir_ / "missing.mid", out, kInputMidi, kOutputMidi), DispatchStatus::InputUnreadable);
  EXPECT_EQ(engine_.dispatch(file("empty.mid", {}), out, kInputMidi, kOutputMidi),
            DispatchStatus::InputUnreadable);
  EXPECT_EQ(engine_.dispatch(dir_, out, kInputMidi, kOutputMidi), DispatchStatus::InputUnreadable);
  EXPECT_FALSE(fs::exists(out));
}

// The first melody input without a reader and the first dispatched output
// without a writer, while any are left.
int input_without_reader() {
  for (const InputFormat& row : input_formats()) {
    if (row.type > 0 && !row.reader) return row.type;
  }
  return 0;
}
int output_without_writer() {
  for (const OutputFormat& row : output_formats()) {
    if (row.kind > 0 && row.byDispatcher && !row.writer) return row.kind;
  }
  return 0;
}

TEST_F(EngineFiles, FormatsNotBuiltYetSayNotSupportedAndKeepTheExistingOutput) {
  fs::path out = file("existing.mid", {'k', 'e', 'e', 'p'});
  if (int type = input_without_reader()) {
    fs::path input = file("a.in", {1, 2, 3});
    EXPECT_EQ(engine_.dispatch(input, out, type, kOutputMidi), DispatchStatus::ReaderMissing);
    EXPECT_EQ(contents(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  }

  engine_.settings.play.MidiStandard = 0;
  if (int kind = output_without_writer()) {
    fs::path mid = file("a.mid", kOneNoteMidi);
    EXPECT_EQ(engine_.dispatch(mid, out, kInputMidi, kind), DispatchStatus::WriterMissing);
    EXPECT_EQ(contents(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  }
}

TEST_F(EngineFiles, InvalidKindsAndInputsAreRefused) {
  fs::path mid = file("a.mid", kOneNoteMidi);
  for (int kind : {0, 10, 11, 12, 16, int{kOutputPlaylist}, 99}) {
    EXPECT_EQ(engine_.convert(mid, kInputMidi, kind).status, DispatchStatus::InvalidKind) << kind;
  }
  for (int type : {int{kInputUnsupported}, int{kInputPlaylist}, int{kInputFolder}}) {
    EXPECT_EQ(engine_.convert(mid, type, kOutputMidi).status, DispatchStatus::InvalidKind) << type;
  }
  EXPECT_EQ(engine_.reads(), 0);
}

TEST_F(EngineFiles, ClipboardTextIsTheInputOfClipTxt) {
  StringClipboard clip;
  engine_.set_clipboard(&clip);
  fs::path out = dir_ / "clip.copy";
  EXPECT_EQ(engine_.dispatch("clip.txt", out, kInputMml, kOutputRawCopy), DispatchStatus::InputUnreadable);
  clip.value = "t120 cde";
  engine_.ReloadRequest = kReloadReadFile;
  EXPECT_EQ(engine_.dispatch("CLIP.TXT", out, kInputMml, kOutputRawCopy), DispatchStatus::Copied);
  EXPECT_EQ(contents(out), (std::vector<uint8_t>{'t', '1', '2', '0', ' ', 'c', 'd', 'e'}));
}

TEST_F(EngineFiles, UnwritableOutputIsReportedAsAFailure) {
  fs::path in = file("a.mld", {'m', 'e', 'l', 'o'});
  EXPECT_EQ(engine_.dispatch(in, dir_ / "no" / "such" / "dir.mld", kInputMfi, kOutputRawCopy),
            DispatchStatus::WriteFailed);
  EXPECT_EQ(engine_.dispatch(in, dir_, kInputMfi, kOutputRawCopy), DispatchStatus::WriteFailed);
  EXPECT_TRUE(fs::is_directory(dir_));
}

}  // namespace
}  // namespace mel
