// The files the window program finds around itself: the settings file (a
// per-user copy, or the one in the Windows folder that older installations
// used), the help page and the settings program beside the executable. The
// rules are portable; the Win32 code supplies the folders and asks the file
// system whether a file exists.
#pragma once

#include <filesystem>
#include <functional>

namespace mel {

// Answers whether a file exists (the tests pass a list of names).
using FileExists = std::function<bool(const std::filesystem::path&)>;
// The file system's answer: a regular file is there (errors count as no).
bool regular_file_exists(const std::filesystem::path& path);

// The folder under the user's application-data folder that holds the
// per-user settings file.
constexpr char kPerUserFolderName[] = "MELVARINO";

// Where the settings are read from and written to.
struct SettingsLocation {
  std::filesystem::path readFrom;
  std::filesystem::path writeTo;
  // Copied to writeTo before the first save, so that the keys a save does
  // not write (program paths, instrument names, behaviour switches set by
  // hand) come along from the older file; empty when there is nothing to
  // copy.
  std::filesystem::path copyBeforeSave;
};

// explicitFile: a file the user named (MELVARINO_SETTINGS); when set, it is
// read and written and nothing else is looked at.
// perUserFolder: the user's application-data folder (empty when the system
// has none). windowsFolderFile: "korvani.ini" in the Windows folder.
//
// The per-user file is preferred as soon as it exists; until then the file in
// the Windows folder is read. Saves always go to the per-user file, because a
// standard user cannot write to the Windows folder; only without a per-user
// folder do they go to the Windows folder.
SettingsLocation choose_settings_location(const std::filesystem::path& explicitFile,
                                          const std::filesystem::path& perUserFolder,
                                          const std::filesystem::path& windowsFolderFile, const FileExists& exists);

// How the help command opens the help.
enum class HelpViewer {
  WinHelp,  // an old help file "melvarino.hlp" lies beside the program
  Browser,  // the help page "melvarino.html", in the default browser
  None,     // neither is there
};

constexpr char kWinHelpFileName[] = "melvarino.hlp";
constexpr char kHelpPageName[] = "melvarino.html";
constexpr char kSettingsProgramName[] = "setting.exe";

struct HelpChoice {
  HelpViewer viewer = HelpViewer::None;
  std::filesystem::path file;
};

// An .hlp file beside the program wins (someone put it there on purpose and
// has a viewer for it); otherwise the help page.
HelpChoice choose_help(const std::filesystem::path& programFolder, const FileExists& exists);

// The settings program beside the executable, or an empty path when it is not
// there.
std::filesystem::path find_settings_program(const std::filesystem::path& programFolder, const FileExists& exists);

}  // namespace mel
