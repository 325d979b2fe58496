// The load and create flow rules with Windows paths: backslashes, drive
// letters, case-insensitive names and Japanese (UTF-16) file names.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "shell/model/load_flow_model.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

TEST(LoadFlowModelWindowsPaths, RecentListMatchesNamesInAnyCase) {
  std::vector<fs::path> recent;
  remember_recent(recent, L"C:\\Music\\Song.mld");
  remember_recent(recent, L"C:\\曲\\さくら.mld");
  remember_recent(recent, L"c:\\music\\SONG.MLD");
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0].native(), L"c:\\music\\SONG.MLD");
  remember_recent(recent, L"C:\\曲\\さくら.MLD");
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(name_and_extension(recent[0]).native(), L"さくら.MLD");
}

TEST(LoadFlowModelWindowsPaths, CreatePathsKeepFolderAndName) {
  const fs::path input = L"C:\\曲\\さくら.mid";
  EXPECT_EQ(proposed_create_path(input, ".pmd", false).native(), L"C:\\曲\\さくら.pmd");
  EXPECT_EQ(proposed_create_path(input, ".pmd", true).native(), L"C:\\曲\\melody.pmd");
  // A copy keeps the input's extension, whatever its characters.
  const fs::path wide = L"D:\\x\\song.ｍｌｄ";
  const auto copy = create_target(-3, 8, 1, false, wide);
  ASSERT_TRUE(copy.has_value());
  EXPECT_EQ(proposed_create_path(wide, copy->extension, false).native(), wide.native());

  EXPECT_EQ(save_folder_of(L"C:\\out\\a.mld").native(), L"C:\\out\\");
  EXPECT_EQ(save_dialog_setup(L"C:\\曲\\さくら.mmd", 6).initialName.native(), L"さくら");
  EXPECT_EQ(save_dialog_setup(L"C:\\曲\\さくら.mld", 8).initialName.native(), L"さくら.mld");
  EXPECT_EQ(adjust_dot_i_kind(6, L"D:\\x\\y.MMD"), 6);
  EXPECT_EQ(adjust_dot_i_kind(6, L"D:\\x\\y.mel"), 14);
  EXPECT_EQ(window_caption(8, L"C:\\曲\\さくら.mld"), L"MELVARINO[さくら.mld]");
}

}  // namespace
}  // namespace mel
