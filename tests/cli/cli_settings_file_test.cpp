// melvarino --settings FILE: a settings file gives the starting values, the
// other options override it, and what it holds reaches the written file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_options.h"
#include "common/file_io.h"
#include "support/mfi_builder.h"
#include "support/midicsv.h"

namespace mel::cli {
namespace {

namespace fs = std::filesystem;

class CliSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("melvarino-settings-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  fs::path dir_;
};

// One MFi track without volume events: C4 (key 15 in MFi terms) then D4.
std::vector<uint8_t> two_note_melody() {
  test::MfiBuilder b;
  b.track().tempo(0, 0xC3, 120).note(0, 0, 15, 40).note(48, 0, 17, 40).end(48);
  return b.bytes();
}

TEST_F(CliSettingsFile, OtherOptionsWinWhereverTheyStand) {
  write("korvani.ini", "[section]\r\nkey=5\r\nspeed=32\r\nchsepcnt=6\r\nvolume=60\r\nkey=25x\r\n");
  ParseResult first = parse_command_line({"info", "--settings", path("korvani.ini"), "--key", "2", "a.mld"});
  ParseResult last = parse_command_line({"info", "--key=2", "a.mld", "--settings=" + path("korvani.ini")});
  for (const ParseResult* parsed : {&first, &last}) {
    ASSERT_TRUE(parsed->ok) << parsed->error;
    EXPECT_EQ(parsed->request.settings.play.KeyOffset, 2);
    EXPECT_EQ(parsed->request.settings.play.SpeedFactor, 32);
    EXPECT_EQ(parsed->request.settings.conv.chsepcnt, 6);
    EXPECT_EQ(parsed->request.settings.play.volume, 60);
  }
  // The last "key" (25, out of range) is replaced by the default, as the window reads it.
  ParseResult alone = parse_command_line({"info", "--settings", path("korvani.ini"), "a.mld"});
  ASSERT_TRUE(alone.ok);
  EXPECT_EQ(alone.request.settings.play.KeyOffset, 0);
  // A file name after "--" is an input, not a settings file.
  EXPECT_TRUE(parse_command_line({"detect", "--", "--settings", "x.ini"}).ok);

  std::ostringstream out, err;
  EXPECT_EQ(run_cli({"info", "--settings", path("none.ini"), "a.mld"}, out, err), kExitInputUnreadable);
  EXPECT_EQ(err.str(), "melvarino: cannot read the settings file '" + path("none.ini") + "'\n");
  err.str("");
  EXPECT_EQ(run_cli({"info", "a.mld", "--settings"}, out, err), kExitUsage);
  EXPECT_EQ(err.str(), "melvarino: --settings needs a value\n");
}

TEST_F(CliSettingsFile, KeyAndVolumeReachTheWrittenMidiFile) {
  const std::vector<uint8_t> melody = two_note_melody();
  ASSERT_TRUE(write_file_atomic(dir_ / "m.mld", melody));
  write("korvani.ini", "; set by hand\n[section]\nkey=5\nvolume=60\n");
  std::ostringstream out, err;
  ASSERT_EQ(run_cli({"convert", path("m.mld"), "-o", path("plain.mid")}, out, err), kExitOk) << err.str();
  ASSERT_EQ(run_cli({"convert", "--settings", path("korvani.ini"), path("m.mld"), "-o", path("set.mid")}, out, err),
            kExitOk)
      << err.str();

  test::MidiCsv plain = test::run_midicsv(*read_whole_file(dir_ / "plain.mid"));
  test::MidiCsv set = test::run_midicsv(*read_whole_file(dir_ / "set.mid"));
  if (!plain.available) GTEST_SKIP() << plain.error;
  ASSERT_TRUE(plain.ok) << plain.error;
  ASSERT_TRUE(set.ok) << set.error;
  auto keys = [](const test::MidiCsv& csv) {
    std::vector<int> result;
    for (const auto& row : test::csv_rows(csv, "Note_on_c")) {
      if (std::stoi(row[5]) > 0) result.push_back(std::stoi(row[4]));
    }
    return result;
  };
  auto volumes = [](const test::MidiCsv& csv) {
    std::vector<int> result;
    for (const auto& row : test::csv_rows(csv, "Control_c")) {
      if (row[4] == "7") result.push_back(std::stoi(row[5]));
    }
    return result;
  };
  const std::vector<int> plainKeys = keys(plain);
  ASSERT_EQ(plainKeys.size(), 2u);
  EXPECT_EQ(keys(set), (std::vector<int>{plainKeys[0] + 5, plainKeys[1] + 5}));
  EXPECT_EQ(volumes(plain), std::vector<int>{100});
  EXPECT_EQ(volumes(set), std::vector<int>{60});
}

}  // namespace
}  // namespace mel::cli
