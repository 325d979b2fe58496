// Which settings file is read and written, which help opens, and whether the
// settings program is found, for every combination of files present.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/program_files.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

const fs::path kAppData = fs::path("home") / "AppData";
const fs::path kPerUserFile = kAppData / "MELVARINO" / "korvani.ini";
const fs::path kWindowsFile = fs::path("windows") / "korvani.ini";
const fs::path kExplicitFile = fs::path("mine") / "other.ini";

FileExists files(std::set<fs::path> present) {
  return [present](const fs::path& p) { return present.count(p) != 0; };
}

struct LocationCase {
  const char* name;
  fs::path explicitFile;
  fs::path perUserFolder;
  std::set<fs::path> present;
  fs::path readFrom;
  fs::path writeTo;
  fs::path copyBeforeSave;
};

class SettingsLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(SettingsLocationTest, ReadsWritesAndCopiesTheRightFile) {
  const LocationCase& c = GetParam();
  const SettingsLocation location =
      choose_settings_location(c.explicitFile, c.perUserFolder, kWindowsFile, files(c.present));
  EXPECT_EQ(location.readFrom, c.readFrom);
  EXPECT_EQ(location.writeTo, c.writeTo);
  EXPECT_EQ(location.copyBeforeSave, c.copyBeforeSave);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLocationTest,
    ::testing::Values(
        // A fresh installation: everything per user.
        LocationCase{"NoFileYet", {}, kAppData, {}, kPerUserFile, kPerUserFile, {}},
        // An older installation: its file is read, and copied on the first
        // save so the keys a save does not write survive.
        LocationCase{"OnlyWindowsFolder", {}, kAppData, {kWindowsFile}, kWindowsFile, kPerUserFile, kWindowsFile},
        // After the first save the per-user file wins over the old one.
        LocationCase{"Both", {}, kAppData, {kWindowsFile, kPerUserFile}, kPerUserFile, kPerUserFile, {}},
        LocationCase{"OnlyPerUser", {}, kAppData, {kPerUserFile}, kPerUserFile, kPerUserFile, {}},
        // No per-user folder on this system: the Windows folder, as before.
        LocationCase{"NoPerUserFolder", {}, {}, {kWindowsFile}, kWindowsFile, kWindowsFile, {}},
        // A file the user named is the only one looked at.
        LocationCase{"Explicit", kExplicitFile, kAppData, {kWindowsFile, kPerUserFile}, kExplicitFile, kExplicitFile,
                     {}}),
    [](const ::testing::TestParamInfo<LocationCase>& info) { return std::string(info.param.name); });

TEST(ProgramFilesTest, HelpPrefersAnOldHelpFileThenThePageThenSaysNone) {
  const fs::path folder = fs::path("C:") / "Programs" / "MELVARINO";
  const fs::path hlp = folder / "melvarino.hlp";
  const fs::path page = folder / "melvarino.html";

  HelpChoice both = choose_help(folder, files({hlp, page}));
  EXPECT_EQ(both.viewer, HelpViewer::WinHelp);
  EXPECT_EQ(both.file, hlp);

  HelpChoice pageOnly = choose_help(folder, files({page}));
  EXPECT_EQ(pageOnly.viewer, HelpViewer::Browser);
  EXPECT_EQ(pageOnly.file, page);

  // A help page elsewhere (the working folder) is not the program's.
  EXPECT_EQ(choose_help(folder, files({"melvarino.html"})).viewer, HelpViewer::None);
}

TEST(ProgramFilesTest, TheSettingsProgramIsFoundOnlyBesideTheExecutable) {
  const fs::path folder = fs::path("C:") / "Programs" / "MELVARINO";
  EXPECT_EQ(find_settings_program(folder, files({folder / "setting.exe"})), folder / "setting.exe");
  EXPECT_TRUE(find_settings_program(folder, files({"setting.exe"})).empty());
}

}  // namespace
}  // namespace mel
