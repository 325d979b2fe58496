// The settings file read and written through the Windows profile functions,
// behind the same interfaces as IniProfile, so load_settings and
// save_settings work on either.
#pragma once

#include <string>

#include "app/program_files.h"
#include "app/settings_model.h"

namespace mel {

class Win32Profile : public ProfileReader, public ProfileWriter {
 public:
  // A bare name (the default) is placed in the Windows directory by the
  // profile functions; a full path is used as it is.
  explicit Win32Profile(std::wstring fileName = L"korvani.ini");

  int get_int(const char* section, const char* key, int defaultValue) const override;
  std::string get_string(const char* section, const char* key, const std::string& defaultValue) const override;
  // A failed write is remembered (write_failed) for the caller to report.
  void write_string(const char* section, const char* key, const std::string& value) override;

  const std::wstring& file_name() const { return fileName_; }
  bool write_failed() const { return writeFailed_; }

 private:
  // The value's bytes, or false when the key (or the file) is missing.
  bool read_value(const char* section, const char* key, std::string& value) const;

  std::wstring fileName_;
  bool writeFailed_ = false;
};

// Where this system keeps the settings file: explicitFile when it is not
// empty, else "korvani.ini" in %APPDATA%\MELVARINO, read from the Windows
// folder until that exists.
SettingsLocation settings_location(const std::wstring& explicitFile);

// Writes the save list to location.writeTo, creating its folder and first
// copying the older file when the location says so. False when the file could
// not be written completely.
bool write_settings_file(const ShellSettings& settings, const SettingsLocation& location);

}  // namespace mel
