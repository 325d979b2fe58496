// The settings file "korvani.ini": every key, its default, its valid range and
// how an out-of-range value is replaced, the list that is saved, and how the
// values reach the conversion engine. The window reads and writes the file
// through the Windows profile functions; the command-line tool reads the same
// file through IniProfile. Both go through the ProfileReader/ProfileWriter
// interfaces below, so the rules live here once.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "score/options.h"

namespace mel {

constexpr char kSettingsFileName[] = "korvani.ini";
constexpr char kControlSection[] = "control";
constexpr char kBehaviourSection[] = "section";

// Reads keys the way the Windows profile functions do: a missing key (or file)
// gives the default; an integer is the decimal number at the start of the
// value (optionally signed), 0 when there is none.
class ProfileReader {
 public:
  virtual ~ProfileReader() = default;
  virtual int get_int(const char* section, const char* key, int defaultValue) const = 0;
  // CP932 bytes; the default when the key is missing.
  virtual std::string get_string(const char* section, const char* key, const std::string& defaultValue) const = 0;
};

class ProfileWriter {
 public:
  virtual ~ProfileWriter() = default;
  virtual void write_string(const char* section, const char* key, const std::string& value) = 0;
};

// The integer a profile value stands for, as the Windows profile functions
// read it: leading blanks, an optional sign and the decimal digits that
// follow (0 when there are none); an empty value gives defaultValue, like a
// missing key. Values beyond the int range are held at its limits.
int parse_profile_int(const std::string& value, int defaultValue);

// Bits of the window's ControlFlags.
constexpr unsigned kFlagScroll = 0x001;
constexpr unsigned kFlagDisplay = 0x002;
constexpr unsigned kFlagKeyButtons = 0x004;
constexpr unsigned kFlagTempoButtons = 0x008;
constexpr unsigned kFlagMenu = 0x010;
constexpr unsigned kFlagExitAfterPlay = 0x020;
constexpr unsigned kFlagBackNext = 0x040;
constexpr unsigned kFlagOpenButton = 0x080;
constexpr unsigned kFlagSmallButtons = 0x100;
constexpr unsigned kFlagSaveButton = 0x200;

constexpr int kInstrumentKeyCount = 16;   // melody%dno / melody%dname, 1..16
constexpr int kStandardInstrumentCount = 10;
constexpr int kExternalProgramCount = 5;  // app%dfile / app%dname, 1..5
constexpr int kDefaultRecMode = 112;      // recmode 0: the save button makes an MML file
constexpr int kRandomDisplayColour = 8;
constexpr int kMaxRecMode = 1999;         // a create command, pinned (+1000)

// Which sequencer device plays: the key `sequencer` of section "section".
enum SequencerChoice : int {
  kSequencerAutomatic = 0,  // MCI when a MIDI output exists, else the built-in one
  kSequencerMci = 1,
  kSequencerBuiltin = 2,
};

// Every value of the settings file, normalised. The member names are the keys.
struct ShellSettings {
  // Section "control".
  int scroll = 1;
  int display = 1;
  int keyupdown = 1;
  int tempoupdown = 1;
  int menu = 1;
  int backnext = 1;
  int eject = 1;
  int smallButtons = 1;  // key `small` (a macro name in the Windows headers)
  int record = 0;
  int tracpanel = 0;
  int dispcolor = 2;
  int recmode = kDefaultRecMode;
  int scrollsizex = 250;

  // Section "section".
  int autooff = 1;
  int files = 255;
  int volume = 100;
  int velocity = 100;
  int key = 0;
  int speed = 16;
  int melody = 1;
  int txtfileas = 0;
  int onerun = 0;
  int autoplay = 1;
  int excutplay = 0;
  int autoreset = 0;
  int autosetsave = 0;
  int topmost = 0;
  int loop = 0;
  int addtrac = 1;
  int win2000 = 0;
  int giziwaon = 3;
  int gizino = 1;
  int chsepcnt = 4;
  int relnflg = 1;
  int l16nouse = 0;
  int highmld = 0;
  int restcut = 0;
  int alsnum = 128;
  int mmdnum = 64;
  int smdnum = 256;
  int alshmn = 1;
  int mldhmn = 4;
  int ezpmdhmn = 16;
  int mmdhmn = 3;
  int smdhmn = 5;
  int dxmhmn = 12;
  int dxmbyte = 10240;
  int mldbyte = 5120;
  int ezpmdbyte = 10240;
  int makeddip = 1;
  int makedocomo = 1;
  int makeastel = 1;
  int makejphone = 0;
  int makekddi = 0;
  int sequencer = kSequencerAutomatic;
  std::array<int, kInstrumentKeyCount> melodyNo{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::array<std::string, kInstrumentKeyCount> melodyName;  // CP932, at most 255 bytes
  std::array<std::string, kExternalProgramCount> appFile;
  std::array<std::string, kExternalProgramCount> appName;

  // The "control" keys as ControlFlags bits (the exit-after-play bit is not
  // a key and is never set here).
  unsigned control_flags() const;
  // Stores the shown-control bits of flags back into the keys that are saved.
  void take_control_flags(unsigned flags);
};

// The GetVersion() value on which `win2000` starts as 1.
constexpr uint32_t kWin2000Version = 0x08930005;

// Reads every key, replacing out-of-range values as the table says.
// systemVersion is what GetVersion() returns (it gives `win2000` its default).
ShellSettings load_settings(const ProfileReader& profile, uint32_t systemVersion);

// Writes the save list (command 41), in its order, each value as "%d".
void save_settings(const ShellSettings& settings, ProfileWriter& profile);

// The keys written by save_settings, in order, as "section/key" pairs.
struct SettingsKeyRef {
  const char* section;
  const char* key;
};
const std::vector<SettingsKeyRef>& saved_settings_keys();

// One integer key of the file with the values that mean something for it:
// what a settings editor accepts. Reading replaces a value outside them as
// the key's rule says (dispcolor and recmode are not checked as they are
// read). Booleans hold 0 or 1.
struct SettingsIntKey {
  const char* section;
  const char* key;
  int ShellSettings::*field;
  bool boolean;
  int minValue;
  int maxValue;
};
// Every integer key, in the order the window reads them.
std::vector<SettingsIntKey> settings_int_keys();

// Copies the playback and conversion keys (volume, velocity, key, speed,
// melody, txtfileas, excutplay, addtrac, giziwaon, gizino, chsepcnt, relnflg,
// l16nouse, highmld, restcut, mldbyte, ezpmdbyte, dxmbyte, mldhmn, ezpmdhmn,
// smdnum, smdhmn, mmdnum, mmdhmn, alsnum, alshmn) into the engine's settings. KeyOffset
// and SpeedFactor take `key` and `speed`.
void apply_settings_to_engine(const ShellSettings& shell, Settings& engine);

// Takes back the values that the running program changes and command 41
// saves (volume, melody, addtrac, the giziwaon level bits, gizino, chsepcnt,
// relnflg, l16nouse, highmld, restcut, mldbyte, ezpmdbyte, dxmbyte, smdnum,
// mmdnum, alsnum).
void take_settings_from_engine(const Settings& engine, ShellSettings& shell);

// The colour actually painted for `dispcolor`: the setting itself for 1..7,
// a random tint for 8: r = (randomValue mod 29 + low 16 bits of tickCount)
// mod 29, colour = (r div 4 + 1) mod 8. Values outside 1..8 are painted as is.
int effective_display_colour(int dispcolor, int randomValue, uint32_t tickCount);

// A settings file read and written directly, for the command-line tool and
// the tests: sections and keys match case-insensitively, the last duplicate
// key wins, lines are "key=value" under "[section]", ";" starts a comment
// line. Writing keeps every other line of the file as it was.
class IniProfile : public ProfileReader, public ProfileWriter {
 public:
  IniProfile() = default;
  // Parses CP932 text (any line ends).
  explicit IniProfile(const std::string& text);
  // Reads a file; a missing or unreadable file gives an empty profile.
  static IniProfile from_file(const std::filesystem::path& path);

  int get_int(const char* section, const char* key, int defaultValue) const override;
  std::string get_string(const char* section, const char* key, const std::string& defaultValue) const override;
  void write_string(const char* section, const char* key, const std::string& value) override;

  // The file's text with CR LF line ends.
  std::string text() const;
  // Writes text() atomically; false when it cannot be written.
  bool save(const std::filesystem::path& path) const;

 private:
  struct Line {
    std::string raw;      // the line as read (without its line end)
    std::string section;  // lower-case section it belongs to
    std::string key;      // lower-case key, empty for other lines
    std::string value;
  };
  const Line* find(const char* section, const char* key) const;
  std::vector<Line> lines_;
};

}  // namespace mel
