// The settings file read and written through the Windows profile functions,
// behind the same interfaces as IniProfile, so load_settings and
// save_settings work on either.
#pragma once

#include <string>

#include "app/settings_model.h"

namespace mel {

class Win32Profile : public ProfileReader, public ProfileWriter {
 public:
  // A bare name (the default) is placed in the Windows directory by the
  // profile functions; a full path is used as it is.
  explicit Win32Profile(std::wstring fileName = L"korvani.ini");

  int get_int(const char* section, const char* key, int defaultValue) const override;
  std::string get_string(const char* section, const char* key, const std::string& defaultValue) const override;
  // Write failures are not reported: the window carries on with its values.
  void write_string(const char* section, const char* key, const std::string& value) override;

  const std::wstring& file_name() const { return fileName_; }

 private:
  // The value's bytes, or false when the key (or the file) is missing.
  bool read_value(const char* section, const char* key, std::string& value) const;

  std::wstring fileName_;
};

}  // namespace mel
