// Checks of the Windows build itself: that the compiler turned the Japanese
// literals into CP932 bytes, that Windows reads those bytes back as the same
// text, and that the core's file helpers work with Windows (UTF-16) paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_io.h"

namespace {

namespace fs = std::filesystem;

// "ファイル" in CP932: four full-width katakana, two bytes each.
constexpr unsigned char kFileWordCp932[] = {0x83, 0x74, 0x83, 0x40, 0x83, 0x43, 0x83, 0x8B};

std::wstring cp932_to_wide(const std::string& bytes) {
  int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return L"<invalid>";
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return wide;
}

// A fresh folder with a Japanese name under the temporary directory.
class WindowsPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / (L"melvarino_試験_" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(dir_);
    ASSERT_TRUE(fs::create_directories(dir_));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

TEST(WindowsText, NarrowLiteralsAreCp932AndWindowsDecodesThem) {
  const std::string literal = "ファイル";
  ASSERT_EQ(literal.size(), sizeof kFileWordCp932);
  EXPECT_EQ(std::memcmp(literal.data(), kFileWordCp932, sizeof kFileWordCp932), 0);
  EXPECT_EQ(cp932_to_wide(literal), std::wstring(L"ファイル"));
  // Half-width katakana stay single bytes.
  EXPECT_EQ(std::string("ｶﾅ"), std::string("\xB6\xC5"));
}

TEST(WindowsText, JapaneseLocaleGivesAnsiCodePage932) {
  const char* lang = std::getenv("LANG");
  if (lang == nullptr || std::strncmp(lang, "ja_JP", 5) != 0) GTEST_SKIP() << "not run under a Japanese locale";
  EXPECT_EQ(GetACP(), 932u);
}

TEST_F(WindowsPathsTest, AtomicWriteReplacesAnExistingFileWithAJapaneseName) {
  const fs::path target = dir_ / L"着信メロディ.mld";
  const std::vector<uint8_t> first = {'m', 'e', 'l', 'o'};
  const std::vector<uint8_t> second = {0x00, 0xFF, 0x1A, '\r', '\n', 0x83, 0x74};  // NUL, EOF mark, CR LF stay bytes

  std::string error;
  ASSERT_TRUE(mel::write_file_atomic(target, first, &error)) << error;
  ASSERT_TRUE(mel::write_file_atomic(target, second, &error)) << error;

  auto read = mel::read_whole_file(target);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(*read, second);
  // Only the target is left: no temporary sibling survives the rename.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(WindowsPathsTest, MissingAndEmptyFilesAreNotRead) {
  EXPECT_FALSE(mel::read_whole_file(dir_ / L"ない.mld").has_value());
  ASSERT_TRUE(mel::write_file_atomic(dir_ / L"空.mld", std::vector<uint8_t>{}));
  EXPECT_FALSE(mel::read_whole_file(dir_ / L"空.mld").has_value());
  EXPECT_FALSE(mel::read_whole_file(dir_).has_value());
}

}  // namespace
