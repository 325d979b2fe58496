#include "app/program_files.h"

#include <system_error>
#include <utility>

#include "app/settings_model.h"

namespace mel {

namespace fs = std::filesystem;

bool regular_file_exists(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

SettingsLocation choose_settings_location(const fs::path& explicitFile, const fs::path& perUserFolder,
                                          const fs::path& windowsFolderFile, const FileExists& exists) {
  if (!explicitFile.empty()) return {explicitFile, explicitFile, {}};
  if (perUserFolder.empty()) return {windowsFolderFile, windowsFolderFile, {}};

  const fs::path perUserFile = perUserFolder / kPerUserFolderName / kSettingsFileName;
  if (exists(perUserFile)) return {perUserFile, perUserFile, {}};
  if (exists(windowsFolderFile)) return {windowsFolderFile, perUserFile, windowsFolderFile};
  return {perUserFile, perUserFile, {}};
}

HelpChoice choose_help(const fs::path& programFolder, const FileExists& exists) {
  for (const auto& [viewer, name] : {std::pair{HelpViewer::WinHelp, kWinHelpFileName},
                                     std::pair{HelpViewer::Browser, kHelpPageName}}) {
    const fs::path file = programFolder / name;
    if (exists(file)) return {viewer, file};
  }
  return {};
}

fs::path find_settings_program(const fs::path& programFolder, const FileExists& exists) {
  const fs::path file = programFolder / kSettingsProgramName;
  return exists(file) ? file : fs::path();
}

}  // namespace mel
