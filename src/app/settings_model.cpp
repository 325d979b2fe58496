#include "app/settings_model.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "common/cp932.h"
#include "common/file_io.h"
#include "common/limits.h"

namespace mel {

namespace {

// How a key's value is checked as it is read.
enum class Rule {
  Boolean,    // 1 is true, anything else 0
  Range,      // low..high, else `replacement`
  AtMost,     // above high becomes high; below low is the default
  LowBits,    // only the bits of `high` are kept
  ZeroMeans,  // 0 becomes `replacement`, anything else is kept
  Unchecked,  // taken as it is
};

struct IntKey {
  const char* section;
  const char* key;
  int ShellSettings::*field;
  Rule rule;
  int low;
  int high;
  int replacement;
};

// The upper limit of the three file size keys.
constexpr int kMaxFileSizeLimit = 184320;
constexpr int kMaxPlaylistFiles = 1024;
constexpr int kMaxEzwebPolyphony = 24;

// Every integer key in the order the window reads them. Defaults are the
// start values of ShellSettings, so they are written down once.
const std::vector<IntKey>& int_keys() {
  using S = ShellSettings;
  static const std::vector<IntKey> keys = {
      {kControlSection, "scroll", &S::scroll, Rule::Boolean, 0, 1, 0},
      {kControlSection, "display", &S::display, Rule::Boolean, 0, 1, 0},
      {kControlSection, "keyupdown", &S::keyupdown, Rule::Boolean, 0, 1, 0},
      {kControlSection, "tempoupdown", &S::tempoupdown, Rule::Boolean, 0, 1, 0},
      {kControlSection, "menu", &S::menu, Rule::Boolean, 0, 1, 0},
      {kControlSection, "backnext", &S::backnext, Rule::Boolean, 0, 1, 0},
      {kControlSection, "eject", &S::eject, Rule::Boolean, 0, 1, 0},
      {kControlSection, "small", &S::smallButtons, Rule::Boolean, 0, 1, 0},
      {kControlSection, "record", &S::record, Rule::Boolean, 0, 1, 0},
      {kControlSection, "tracpanel", &S::tracpanel, Rule::Boolean, 0, 1, 0},
      // Neither is checked as it is read; low..high are the values that mean
      // something (the colours and random; a save command, pinned from 1000 on).
      {kControlSection, "dispcolor", &S::dispcolor, Rule::Unchecked, 1, kRandomDisplayColour, 0},
      {kControlSection, "recmode", &S::recmode, Rule::ZeroMeans, 0, kMaxRecMode, kDefaultRecMode},
      {kControlSection, "scrollsizex", &S::scrollsizex, Rule::Range, 50, 500, 250},

      {kBehaviourSection, "autooff", &S::autooff, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "files", &S::files, Rule::Range, 1, kMaxPlaylistFiles, kMaxPlaylistFiles},
      {kBehaviourSection, "volume", &S::volume, Rule::Range, 0, 127, 100},
      {kBehaviourSection, "velocity", &S::velocity, Rule::Range, 0, 127, 100},
      {kBehaviourSection, "key", &S::key, Rule::Range, -24, 24, 0},
      {kBehaviourSection, "speed", &S::speed, Rule::Range, 1, 255, kSpeedAsWritten},
      {kBehaviourSection, "melody", &S::melody, Rule::Range, 0, 127, 0},
      {kBehaviourSection, "txtfileas", &S::txtfileas, Rule::Range, 0, 3, 0},
      {kBehaviourSection, "onerun", &S::onerun, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "autoplay", &S::autoplay, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "excutplay", &S::excutplay, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "autoreset", &S::autoreset, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "autosetsave", &S::autosetsave, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "topmost", &S::topmost, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "loop", &S::loop, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "addtrac", &S::addtrac, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "win2000", &S::win2000, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "giziwaon", &S::giziwaon, Rule::LowBits, 0, kPseudoChordLevelMask, 0},
      {kBehaviourSection, "gizino", &S::gizino, Rule::Range, 1, 8, 1},
      {kBehaviourSection, "chsepcnt", &S::chsepcnt, Rule::Range, 2, 16, 4},
      {kBehaviourSection, "relnflg", &S::relnflg, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "l16nouse", &S::l16nouse, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "highmld", &S::highmld, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "restcut", &S::restcut, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "alsnum", &S::alsnum, Rule::Range, 0, 1024, 128},
      {kBehaviourSection, "mmdnum", &S::mmdnum, Rule::Range, 0, 1024, 64},
      {kBehaviourSection, "smdnum", &S::smdnum, Rule::Range, 0, 1024, 256},
      {kBehaviourSection, "alshmn", &S::alshmn, Rule::Range, 1, 12, 1},
      {kBehaviourSection, "mldhmn", &S::mldhmn, Rule::Range, 1, 24, 4},
      {kBehaviourSection, "ezpmdhmn", &S::ezpmdhmn, Rule::Range, 1, kMaxEzwebPolyphony, kMaxEzwebPolyphony},
      {kBehaviourSection, "mmdhmn", &S::mmdhmn, Rule::Range, 1, 10, 3},
      {kBehaviourSection, "smdhmn", &S::smdhmn, Rule::Range, 1, 16, 5},
      {kBehaviourSection, "dxmhmn", &S::dxmhmn, Rule::Range, 4, 16, 12},
      {kBehaviourSection, "dxmbyte", &S::dxmbyte, Rule::AtMost, 0, kMaxFileSizeLimit, 0},
      {kBehaviourSection, "mldbyte", &S::mldbyte, Rule::AtMost, 0, kMaxFileSizeLimit, 0},
      {kBehaviourSection, "ezpmdbyte", &S::ezpmdbyte, Rule::AtMost, 0, kMaxFileSizeLimit, 0},
      {kBehaviourSection, "makeddip", &S::makeddip, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "makedocomo", &S::makedocomo, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "makeastel", &S::makeastel, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "makejphone", &S::makejphone, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "makekddi", &S::makekddi, Rule::Boolean, 0, 1, 0},
      {kBehaviourSection, "sequencer", &S::sequencer, Rule::Range, kSequencerAutomatic, kSequencerBuiltin,
       kSequencerAutomatic},
  };
  return keys;
}

const IntKey* find_int_key(const char* section, const char* key) {
  for (const IntKey& k : int_keys()) {
    if (std::strcmp(k.section, section) == 0 && std::strcmp(k.key, key) == 0) return &k;
  }
  return nullptr;
}

int normalise(const IntKey& k, int value, int defaultValue) {
  switch (k.rule) {
    case Rule::Boolean: return value == 1 ? 1 : 0;
    case Rule::Range: return value >= k.low && value <= k.high ? value : k.replacement;
    case Rule::AtMost:
      // A negative size limit means nothing; it is replaced like any other
      // value outside the key's range.
      if (value > k.high) return k.high;
      return value < k.low ? defaultValue : value;
    case Rule::LowBits: return value & k.high;
    case Rule::ZeroMeans: return value == 0 ? k.replacement : value;
    case Rule::Unchecked: return value;
  }
  return value;
}


// Names and paths live in 256-byte buffers in the window: the text ends at
// its first NUL and keeps at most 255 bytes, never half of a double-byte
// character.
std::string bounded_name(const std::string& text) {
  std::string name = text.substr(0, text.find('\0'));
  std::size_t end = 0;
  while (end < name.size()) {
    std::size_t width = is_cp932_lead_byte(static_cast<unsigned char>(name[end])) ? 2 : 1;
    if (end + width > kMaxTextLength || end + width > name.size()) break;
    end += width;
  }
  name.resize(end);
  return name;
}

std::string numbered_key(const char* format, int n) {
  char key[32];
  std::snprintf(key, sizeof key, format, n);
  return key;
}

constexpr int kMinProgram = 0;
constexpr int kMaxProgram = 127;
constexpr int kNoInstrument = -1;

void load_numbered_keys(const ProfileReader& profile, ShellSettings& s) {
  for (int n = 1; n <= kInstrumentKeyCount; ++n) {
    int program = profile.get_int(kBehaviourSection, numbered_key("melody%dno", n).c_str(), kNoInstrument);
    s.melodyNo[n - 1] = program >= kMinProgram && program <= kMaxProgram ? program : kNoInstrument;
    s.melodyName[n - 1] = bounded_name(profile.get_string(kBehaviourSection, numbered_key("melody%dname", n).c_str(), ""));
  }
  for (int n = 1; n <= kExternalProgramCount; ++n) {
    s.appFile[n - 1] = bounded_name(profile.get_string(kBehaviourSection, numbered_key("app%dfile", n).c_str(), ""));
    s.appName[n - 1] = bounded_name(profile.get_string(kBehaviourSection, numbered_key("app%dname", n).c_str(), ""));
  }
}

// The keys command 41 writes, in its order.
const std::vector<SettingsKeyRef>& save_list() {
  static const std::vector<SettingsKeyRef> keys = {
      {kControlSection, "recmode"},     {kControlSection, "keyupdown"},   {kControlSection, "tempoupdown"},
      {kControlSection, "backnext"},    {kControlSection, "eject"},       {kControlSection, "record"},
      {kControlSection, "display"},     {kControlSection, "tracpanel"},   {kControlSection, "scrollsizex"},
      {kControlSection, "dispcolor"},   {kBehaviourSection, "topmost"},   {kBehaviourSection, "loop"},
      {kBehaviourSection, "addtrac"},   {kBehaviourSection, "volume"},    {kBehaviourSection, "melody"},
      {kBehaviourSection, "win2000"},   {kBehaviourSection, "giziwaon"},  {kBehaviourSection, "gizino"},
      {kBehaviourSection, "chsepcnt"},  {kBehaviourSection, "relnflg"},   {kBehaviourSection, "l16nouse"},
      {kBehaviourSection, "highmld"},   {kBehaviourSection, "restcut"},   {kBehaviourSection, "alsnum"},
      {kBehaviourSection, "mmdnum"},    {kBehaviourSection, "smdnum"},    {kBehaviourSection, "dxmbyte"},
      {kBehaviourSection, "mldbyte"},   {kBehaviourSection, "ezpmdbyte"},
  };
  return keys;
}

struct ControlBit {
  int ShellSettings::*field;
  unsigned bit;
  bool saved;
};

constexpr ControlBit kControlBits[] = {
    {&ShellSettings::scroll, kFlagScroll, false},         {&ShellSettings::display, kFlagDisplay, true},
    {&ShellSettings::keyupdown, kFlagKeyButtons, true},   {&ShellSettings::tempoupdown, kFlagTempoButtons, true},
    {&ShellSettings::menu, kFlagMenu, false},             {&ShellSettings::backnext, kFlagBackNext, true},
    {&ShellSettings::eject, kFlagOpenButton, true},       {&ShellSettings::smallButtons, kFlagSmallButtons, false},
    {&ShellSettings::record, kFlagSaveButton, true},
};

// The pseudo-chord level lives in the low bits of the giziwaon word.
int pseudo_chord_level(int giziwaon) { return giziwaon & kPseudoChordLevelMask; }

}  // namespace

unsigned ShellSettings::control_flags() const {
  unsigned flags = 0;
  for (const ControlBit& c : kControlBits) {
    if (this->*c.field == 1) flags |= c.bit;
  }
  return flags;
}

void ShellSettings::take_control_flags(unsigned flags) {
  for (const ControlBit& c : kControlBits) {
    if (c.saved) this->*c.field = (flags & c.bit) ? 1 : 0;
  }
}

ShellSettings load_settings(const ProfileReader& profile, uint32_t systemVersion) {
  const ShellSettings defaults;
  ShellSettings s;
  for (const IntKey& k : int_keys()) {
    int defaultValue = defaults.*k.field;
    if (k.field == &ShellSettings::win2000) defaultValue = systemVersion == kWin2000Version ? 1 : 0;
    s.*k.field = normalise(k, profile.get_int(k.section, k.key, defaultValue), defaultValue);
  }
  // The sixteenth-note grid only exists together with rest merging.
  if (s.relnflg != 1) s.l16nouse = 0;
  load_numbered_keys(profile, s);
  return s;
}

const std::vector<SettingsKeyRef>& saved_settings_keys() { return save_list(); }

std::vector<SettingsIntKey> settings_int_keys() {
  std::vector<SettingsIntKey> keys;
  for (const IntKey& k : int_keys()) {
    keys.push_back({k.section, k.key, k.field, k.rule == Rule::Boolean, k.low, k.high});
  }
  return keys;
}

void save_settings(const ShellSettings& settings, ProfileWriter& profile) {
  for (const SettingsKeyRef& ref : save_list()) {
    const IntKey* k = find_int_key(ref.section, ref.key);
    if (!k) continue;
    int value = settings.*k->field;
    if (k->field == &ShellSettings::giziwaon) value = pseudo_chord_level(value);
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    profile.write_string(ref.section, ref.key, text);
  }
}

void apply_settings_to_engine(const ShellSettings& shell, Settings& engine) {
  PlaybackOptions& play = engine.play;
  play.volume = shell.volume;
  play.velocity = shell.velocity;
  play.KeyOffset = shell.key;
  play.SpeedFactor = shell.speed;
  play.melody = shell.melody;
  play.txtfileas = shell.txtfileas;
  play.excutplay = shell.excutplay;
  play.MultiTrackSelect = shell.addtrac;

  ConversionOptions& conv = engine.conv;
  // The file holds only the level; the pseudo-chord mode bit stays as it is.
  conv.giziwaon = (conv.giziwaon & ~kPseudoChordLevelMask) | pseudo_chord_level(shell.giziwaon);
  conv.gizino = shell.gizino;
  conv.chsepcnt = shell.chsepcnt;
  conv.relnflg = shell.relnflg;
  conv.l16nouse = shell.l16nouse;
  conv.highmld = shell.highmld;
  conv.restcut = shell.restcut;

  engine.writers.mldbyte = shell.mldbyte;
  engine.writers.ezpmdbyte = shell.ezpmdbyte;
  engine.writers.dxmbyte = shell.dxmbyte;
  engine.writers.mldhmn = shell.mldhmn;
  engine.writers.ezpmdhmn = shell.ezpmdhmn;
  engine.writers.smdnum = shell.smdnum;
  engine.writers.smdhmn = shell.smdhmn;
  engine.writers.mmdnum = shell.mmdnum;
  engine.writers.mmdhmn = shell.mmdhmn;
  engine.writers.alsnum = shell.alsnum;
  engine.writers.alshmn = shell.alshmn;
}

void take_settings_from_engine(const Settings& engine, ShellSettings& shell) {
  shell.volume = engine.play.volume;
  shell.melody = engine.play.melody;
  shell.addtrac = engine.play.MultiTrackSelect;
  shell.giziwaon = pseudo_chord_level(engine.conv.giziwaon);
  shell.gizino = engine.conv.gizino;
  shell.chsepcnt = engine.conv.chsepcnt;
  shell.relnflg = engine.conv.relnflg;
  shell.l16nouse = engine.conv.l16nouse;
  shell.highmld = engine.conv.highmld;
  shell.restcut = engine.conv.restcut;
  shell.mldbyte = engine.writers.mldbyte;
  shell.ezpmdbyte = engine.writers.ezpmdbyte;
  shell.dxmbyte = engine.writers.dxmbyte;
  shell.smdnum = engine.writers.smdnum;
  shell.mmdnum = engine.writers.mmdnum;
  shell.alsnum = engine.writers.alsnum;
}

int effective_display_colour(int dispcolor, int randomValue, uint32_t tickCount) {
  constexpr int kRandomSpread = 29;
  constexpr int kTintsPerStep = 4;
  constexpr int kColourCount = 8;
  constexpr uint32_t kTickLowBits = 0xFFFF;
  if (dispcolor != kRandomDisplayColour) return dispcolor;
  // The generator gives non-negative values; a negative one still picks a tint.
  int p = ((randomValue % kRandomSpread) + kRandomSpread) % kRandomSpread;
  int r = static_cast<int>((static_cast<uint32_t>(p) + (tickCount & kTickLowBits)) % kRandomSpread);
  return (r / kTintsPerStep + 1) % kColourCount;
}

// ---------------------------------------------------------------------------
// IniProfile

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// ASCII letters in lower case; the second byte of a CP932 character is left
// alone, because it may look like a letter.
std::string fold_case(const std::string& text) {
  std::string folded = text;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folded[i]);
    if (is_cp932_lead_byte(c)) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      folded[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return folded;
}

// The profile functions hand out a value without the quotes around it.
std::string unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool is_section_line(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] == '['; }
bool is_comment_line(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] == ';'; }

std::string section_name(const std::string& trimmed) {
  std::size_t close = trimmed.find(']');
  return trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

}  // namespace

int parse_profile_int(const std::string& value, int defaultValue) {
  std::size_t i = 0;
  while (i < value.size() && is_blank(value[i])) ++i;
  if (i == value.size()) return defaultValue;  // an empty value counts as missing
  bool negative = false;
  if (value[i] == '+' || value[i] == '-') negative = value[i++] == '-';
  // Accumulated in 64 bits and held at the int limits, so a long run of
  // digits gives the largest value rather than wrapping into a small one.
  long long magnitude = 0;
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (value[i] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

IniProfile::IniProfile(const std::string& text) {
  std::string current;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    Line line;
    line.raw = text.substr(pos, end - pos);
    std::string trimmed = trim(line.raw);
    if (is_section_line(trimmed)) {
      current = fold_case(section_name(trimmed));
      line.section = current;
    } else {
      line.section = current;
      std::size_t eq = trimmed.find('=');
      if (!is_comment_line(trimmed) && eq != std::string::npos && eq > 0) {
        line.key = fold_case(trim(trimmed.substr(0, eq)));
        line.value = trim(trimmed.substr(eq + 1));
      }
    }
    lines_.push_back(std::move(line));
    // One line end: CR LF, LF or CR.
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    pos = end + 1;
  }
}

IniProfile IniProfile::from_file(const std::filesystem::path& path) {
  auto bytes = read_whole_file(path);
  if (!bytes) return IniProfile();
  return IniProfile(std::string(bytes->begin(), bytes->end()));
}

const IniProfile::Line* IniProfile::find(const char* section, const char* key) const {
  const std::string wantSection = fold_case(section);
  const std::string wantKey = fold_case(key);
  if (wantKey.empty()) return nullptr;
  // The last of several equal keys wins.
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->key == wantKey && it->section == wantSection) return &*it;
  }
  return nullptr;
}

int IniProfile::get_int(const char* section, const char* key, int defaultValue) const {
  const Line* line = find(section, key);
  return line ? parse_profile_int(unquote(line->value), defaultValue) : defaultValue;
}

std::string IniProfile::get_string(const char* section, const char* key, const std::string& defaultValue) const {
  const Line* line = find(section, key);
  return line ? unquote(line->value) : defaultValue;
}

void IniProfile::write_string(const char* section, const char* key, const std::string& text) {
  // A value is one line: a line end inside it would add lines (and keys) to the file.
  const std::string value = text.substr(0, text.find_first_of("\r\n"));
  const std::string wantSection = fold_case(section);
  const std::string wantKey = fold_case(key);
  if (wantKey.empty()) return;
  if (const Line* found = find(section, key)) {
    Line& line = lines_[static_cast<std::size_t>(found - lines_.data())];
    // Keep the key as it is spelled in the file.
    std::string trimmed = trim(line.raw);
    line.raw = trim(trimmed.substr(0, trimmed.find('='))) + "=" + value;
    line.value = trim(value);
    return;
  }
  Line added;
  added.raw = std::string(key) + "=" + value;
  added.section = wantSection;
  added.key = wantKey;
  added.value = trim(value);
  // After the last non-blank line of the section's last block, so that the
  // blank line before the next section stays where it is.
  std::size_t insertAt = lines_.size();
  bool sectionFound = false;
  for (std::size_t i = lines_.size(); i-- > 0;) {
    if (lines_[i].section != wantSection) continue;
    if (!trim(lines_[i].raw).empty()) {
      insertAt = i + 1;
      sectionFound = true;
      break;
    }
  }
  if (sectionFound) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(added));
    return;
  }
  if (!lines_.empty() && !trim(lines_.back().raw).empty()) {
    Line blank;
    blank.section = lines_.back().section;
    lines_.push_back(std::move(blank));
  }
  Line header;
  header.raw = "[" + std::string(section) + "]";
  header.section = wantSection;
  lines_.push_back(std::move(header));
  lines_.push_back(std::move(added));
}

std::string IniProfile::text() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += "\r\n";
  }
  return out;
}

bool IniProfile::save(const std::filesystem::path& path) const {
  std::string content = text();
  return write_file_atomic(path, reinterpret_cast<const uint8_t*>(content.data()), content.size());
}

}  // namespace mel
