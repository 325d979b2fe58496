#include "convert/detect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace mel {
namespace {

namespace fs = std::filesystem;

class FixedClipboard : public ClipboardSource {
 public:
  explicit FixedClipboard(std::optional<std::string> text) : text_(std::move(text)) {}
  std::optional<std::string> text() const override { return text_; }

 private:
  std::optional<std::string> text_;
};

class DetectFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mel_detect_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path file(const std::string& name, const std::string& bytes) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  fs::path dir_;
};

InputType by_name(const std::string& ext, const std::string& prefix = "", int txtfileas = 0) {
  return detect_from_name_and_prefix(ext, ByteView(reinterpret_cast<const uint8_t*>(prefix.data()), prefix.size()),
                                     txtfileas);
}

TEST(DetectByName, ExtensionsWithoutMagic) {
  EXPECT_EQ(by_name(".als"), kInputAls);
  EXPECT_EQ(by_name(".dat"), kInputPmail);
  EXPECT_EQ(by_name(".cmd"), kInputChara);
  EXPECT_EQ(by_name(".mmd"), kInputDotI);
  EXPECT_EQ(by_name(".mel"), kInputDotI);
  EXPECT_EQ(by_name(".sml"), kInputDotI);
  EXPECT_EQ(by_name(".wam"), kInputWam);
  EXPECT_EQ(by_name(".mmf"), kInputSmaf);
  EXPECT_EQ(by_name(".dxm"), kInputDxm);
  EXPECT_EQ(by_name(".mml"), kInputMml);
  EXPECT_EQ(by_name(".mmlc"), kInputMml);
  EXPECT_EQ(by_name(".mid"), kInputMidi);
  EXPECT_EQ(by_name(".rmi"), kInputMidi);
  EXPECT_EQ(by_name(".m3u"), kInputPlaylist);
  EXPECT_EQ(by_name(".wav"), kInputUnsupported);
  EXPECT_EQ(by_name(""), kInputUnsupported);
}

TEST(DetectByName, MagicBytesDecideSharedExtensions) {
  EXPECT_EQ(by_name(".pmd", "cmid"), kInputCmx);
  EXPECT_EQ(by_name(".pmd", "MThd\0"), kInputMidi);
  EXPECT_EQ(by_name(".pmd", "mthd"), kInputPana);  // byte comparisons are exact
  EXPECT_EQ(by_name(".pmd", "cmi"), kInputPana);   // too short to match
  EXPECT_EQ(by_name(".mld", "\xEF\x41\x8B\xA4"), kInputKanjiMld);
  EXPECT_EQ(by_name(".mld", "melo"), kInputMfi);
  EXPECT_EQ(by_name(".smd", "MMMD"), kInputSmaf);
  EXPECT_EQ(by_name(".smd", "abcd"), kInputSmd);
  EXPECT_EQ(by_name(".smz", "MMMD"), kInputSmafSmz);
  EXPECT_EQ(by_name(".smz", ""), kInputSmz);
}

TEST(DetectByName, TextFilesFollowTheTextRule) {
  EXPECT_EQ(by_name(".txt", "--B:M", 0), kInputMfi);
  EXPECT_EQ(by_name(".txt", "]]abc", 0), kInputChara);
  EXPECT_EQ(by_name(".txt", "t120", 0), kInputMml);
  EXPECT_EQ(by_name(".txt", "--B:", 0), kInputMml);
  EXPECT_EQ(by_name(".txt", "x", 1), kInputChara);
  EXPECT_EQ(by_name(".txt", "x", 2), kInputMml);
  EXPECT_EQ(by_name(".txt", "x", 3), kInputMfi);
  EXPECT_EQ(by_name(".txt", "--B:M", 5), kInputUnsupported);
}

TEST_F(DetectFiles, ReadsMagicFromTheFileWhateverTheCaseOfTheExtension) {
  EXPECT_EQ(detect_input_type(file("A.PMD", "MThd\0\0\0\6"), 0, nullptr), kInputMidi);
  EXPECT_EQ(detect_input_type(file("b.Pmd", "cmid...."), 0, nullptr), kInputCmx);
  EXPECT_EQ(detect_input_type(file("c.pmd", "xyz"), 0, nullptr), kInputPana);
  EXPECT_EQ(detect_input_type(file("d.txt", "--B:M\r\nAAAA"), 0, nullptr), kInputMfi);
  EXPECT_EQ(detect_input_type(file("e.SMZ", "MMMD"), 0, nullptr), kInputSmafSmz);
  EXPECT_EQ(detect_input_type(file("empty.mld", ""), 0, nullptr), kInputMfi);
}

TEST_F(DetectFiles, FoldersAndUnreadablePathsAreFolders) {
  EXPECT_EQ(detect_input_type(dir_, 0, nullptr), kInputFolder);
  fs::create_directories(dir_ / "x.mid");
  EXPECT_EQ(detect_input_type(dir_ / "x.mid", 0, nullptr), kInputFolder);
  EXPECT_EQ(detect_input_type(dir_ / "missing.mid", 0, nullptr), kInputFolder);
}

TEST(DetectClipboard, ClipTxtFollowsTheClipboardText) {
  FixedClipboard mail(std::string("--B:M\r\nbWVs"));
  FixedClipboard chara(std::string("]]"));
  FixedClipboard none(std::nullopt);
  EXPECT_EQ(detect_input_type("clip.txt", 0, &mail), kInputMfi);
  EXPECT_EQ(detect_input_type("CLIP.TXT", 0, &chara), kInputChara);
  EXPECT_EQ(detect_input_type("clip.txt", 0, &none), kInputMml);
  EXPECT_EQ(detect_input_type("clip.txt", 0, nullptr), kInputMml);
  EXPECT_EQ(detect_input_type("clip.txt", 5, &mail), kInputUnsupported);
}

TEST_F(DetectFiles, ClipTxtIsNeverAFolder) {
  fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  fs::create_directories("clip.txt");
  FixedClipboard chara(std::string("]]"));
  InputType t = detect_input_type("clip.txt", 0, &chara);
  fs::current_path(cwd);
  EXPECT_EQ(t, kInputChara);
}

}  // namespace
}  // namespace mel
