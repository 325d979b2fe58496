// The settings file through the Windows profile functions: CP932 names come
// back byte for byte, numbers read as IniProfile reads them, and a file of
// garbage gives the defaults.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/settings_model.h"
#include "shell/win32/win32_profile.h"

namespace {

namespace fs = std::filesystem;
using mel::IniProfile;
using mel::ShellSettings;
using mel::load_settings;
using mel::save_settings;

// "ピアノ" and "オルガン" as CP932 bytes, written out so that the test does not
// depend on how the compiler encodes literals.
const std::string kPianoCp932 = "\x83\x73\x83\x41\x83\x6D";
const std::string kOrganCp932 = "\x83\x49\x83\x8B\x83\x4B\x83\x93";

// A fresh folder whose name has characters outside CP932 (Hangul), so the
// path can only reach the profile functions as UTF-16.
class Win32Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / (L"melvarino_設定_한_" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(dir_);
    ASSERT_TRUE(fs::create_directories(dir_));
    file_ = dir_ / L"korvani.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void write_file(const std::string& bytes) const {
    std::ofstream out(file_, std::ios::binary);
    out << bytes;
  }
  std::string read_file() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  mel::Win32Profile profile() const { return mel::Win32Profile(file_.wstring()); }

  fs::path dir_;
  fs::path file_;
};

TEST_F(Win32Profile, JapaneseNamesComeBackByteForByte) {
  write_file("[section]\r\nmelody1name=" + kPianoCp932 + "\r\n");
  mel::Win32Profile p = profile();
  EXPECT_EQ(p.get_string("section", "melody1name", ""), kPianoCp932);
  EXPECT_EQ(p.get_string("section", "melody2name", "none"), "none");
  EXPECT_EQ(load_settings(p, 0).melodyName[0], kPianoCp932);
  EXPECT_EQ(std::string("ピアノ"), kPianoCp932);  // the program's literals are these bytes too

  p.write_string("section", "melody2name", kOrganCp932);
  p.write_string("section", "melody1name", kPianoCp932 + "x");
  EXPECT_EQ(p.get_string("section", "melody2name", ""), kOrganCp932);
  // The file itself holds the CP932 bytes, as the command-line tool reads them.
  const std::string text = read_file();
  EXPECT_NE(text.find("melody2name=" + kOrganCp932), std::string::npos) << text;
  IniProfile direct(text);
  EXPECT_EQ(direct.get_string("section", "melody1name", ""), kPianoCp932 + "x");
  EXPECT_EQ(direct.get_string("section", "melody2name", ""), kOrganCp932);
}

TEST_F(Win32Profile, NumbersReadAsIniProfileReadsThem) {
  const std::string text =
      "[section]\r\nword=abc\r\nneg=-5\r\nmixed= 12x\r\nempty=\r\nplus=+7\r\nquoted=\"9\"\r\nbig=99999999999\r\n"
      "[Control]\r\nRecMode=1104\r\n";
  write_file(text);
  const mel::Win32Profile p = profile();
  const IniProfile ini(text);
  const char* const keys[] = {"word", "neg", "mixed", "empty", "plus", "quoted", "big", "missing"};
  for (const char* key : keys) {
    EXPECT_EQ(p.get_int("section", key, 42), ini.get_int("section", key, 42)) << key;
  }
  EXPECT_EQ(p.get_int("section", "mixed", 0), 12);
  EXPECT_EQ(p.get_int("section", "word", 42), 0);
  EXPECT_EQ(p.get_int("section", "neg", 0), -5);
  EXPECT_EQ(p.get_int("section", "missing", 42), 42);
  EXPECT_EQ(p.get_int("control", "recmode", 0), 1104);  // names match in any case
  EXPECT_EQ(mel::Win32Profile((dir_ / L"absent.ini").wstring()).get_int("section", "key", -3), -3);
}

TEST_F(Win32Profile, GarbageFileGivesTheDefaultsAndSavingKeepsHandSetKeys) {
  std::string garbage;
  uint32_t seed = 777;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1664525u + 1013904223u;
    garbage.push_back(static_cast<char>(seed >> 24));
  }
  write_file(garbage);
  mel::Win32Profile p = profile();
  const ShellSettings loaded = load_settings(p, 0);
  const ShellSettings defaults;
  IniProfile loadedText, defaultText;
  save_settings(loaded, loadedText);
  save_settings(defaults, defaultText);
  EXPECT_EQ(loadedText.text(), defaultText.text());
  EXPECT_EQ(loaded.files, defaults.files);
  EXPECT_EQ(loaded.speed, defaults.speed);
  EXPECT_EQ(loaded.melodyNo, defaults.melodyNo);

  write_file("[control]\r\nsmall=0\r\nscroll=0\r\n[section]\r\nmelody=200\r\n");
  save_settings(load_settings(p, 0), p);
  const ShellSettings again = load_settings(p, 0);
  EXPECT_EQ(again.smallButtons, 0);
  EXPECT_EQ(again.scroll, 0);
  EXPECT_EQ(again.melody, 0);
  EXPECT_EQ(IniProfile(read_file()).get_int("section", "melody", -1), 0);
}

TEST_F(Win32Profile, TheFirstSaveCarriesTheWindowsFolderFileOverToThePerUserFolder) {
  const fs::path appData = dir_ / L"AppData";
  const fs::path older = dir_ / L"windows" / L"korvani.ini";
  fs::create_directories(older.parent_path());
  std::ofstream(older, std::ios::binary) << "[section]\r\napp1file=C:\\tools\\edit.exe\r\nloop=1\r\n";
  auto exists = [](const fs::path& p) { return fs::is_regular_file(p); };

  const mel::SettingsLocation before = mel::choose_settings_location({}, appData, older, exists);
  EXPECT_EQ(before.readFrom, older);
  ShellSettings settings = load_settings(mel::Win32Profile(before.readFrom.wstring()), 0);
  EXPECT_EQ(settings.loop, 1);
  settings.tracpanel = 1;
  ASSERT_TRUE(mel::write_settings_file(settings, before));

  // From now on the per-user file is read; it has the key a save never
  // writes, and the older file is left as it was.
  const mel::SettingsLocation after = mel::choose_settings_location({}, appData, older, exists);
  EXPECT_EQ(after.readFrom, appData / L"MELVARINO" / L"korvani.ini");
  const IniProfile saved = IniProfile::from_file(after.readFrom);
  EXPECT_EQ(saved.get_string("section", "app1file", ""), "C:\\tools\\edit.exe");
  EXPECT_EQ(saved.get_int("control", "tracpanel", 0), 1);
  EXPECT_EQ(IniProfile::from_file(older).get_int("control", "tracpanel", 0), 0);

  // This system's own location is per user.
  EXPECT_EQ(mel::settings_location(L"").writeTo.parent_path().filename(), L"MELVARINO");
  EXPECT_EQ(mel::settings_location(file_.wstring()).writeTo, file_);
}

TEST_F(Win32Profile, ASaveWhoseFolderCannotBeMadeFails) {
  write_file("x");  // a file where the folder would have to be
  const fs::path unreachable = file_ / L"korvani.ini";
  EXPECT_FALSE(mel::write_settings_file(ShellSettings{}, {unreachable, unreachable, {}}));
}

}  // namespace
