// The settings file: what each key reads as, what a save writes and in which
// order, how the values reach the engine, and the INI text itself.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_model.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

ShellSettings load_text(const std::string& text, uint32_t version = 0) {
  return load_settings(IniProfile(text), version);
}

// Every integer a settings load sets, for comparing whole loads.
std::vector<int> all_values(const ShellSettings& s) {
  std::vector<int> v = {
      s.scroll,    s.display,  s.keyupdown,  s.tempoupdown, s.menu,     s.backnext,  s.eject,     s.smallButtons,
      s.record,    s.tracpanel, s.dispcolor, s.recmode,     s.scrollsizex, s.autooff, s.files,     s.volume,
      s.velocity,  s.key,      s.speed,      s.melody,      s.txtfileas, s.onerun,    s.autoplay,  s.excutplay,
      s.autoreset, s.autosetsave, s.topmost, s.loop,        s.addtrac,   s.win2000,   s.giziwaon,  s.gizino,
      s.chsepcnt,  s.relnflg,  s.l16nouse,   s.highmld,     s.restcut,   s.alsnum,    s.mmdnum,    s.smdnum,
      s.alshmn,    s.mldhmn,   s.ezpmdhmn,   s.mmdhmn,      s.smdhmn,    s.dxmhmn,    s.dxmbyte,   s.mldbyte,
      s.ezpmdbyte, s.makeddip, s.makedocomo, s.makeastel,   s.makejphone, s.makekddi, s.sequencer,
  };
  v.insert(v.end(), s.melodyNo.begin(), s.melodyNo.end());
  return v;
}

// Records what a save writes, in order.
class RecordingWriter : public ProfileWriter {
 public:
  void write_string(const char* section, const char* key, const std::string& value) override {
    written.push_back(std::string(section) + "/" + key + "=" + value);
  }
  std::vector<std::string> written;
};

TEST(SettingsLoad, MissingOrGarbageFilesGiveTheDefaults) {
  const ShellSettings defaults = load_settings(IniProfile(), 0);
  EXPECT_EQ(all_values(defaults), all_values(ShellSettings()));
  EXPECT_EQ(defaults.recmode, kDefaultRecMode);  // the key's 0 is the MML create command
  EXPECT_EQ(defaults.win2000, 0);
  EXPECT_EQ(load_settings(IniProfile(), kWin2000Version).win2000, 1);
  EXPECT_EQ(load_text("[section]\nwin2000=0\n", kWin2000Version).win2000, 0);

  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1664525u + 1013904223u;
    garbage.push_back(static_cast<char>(seed >> 24));
  }
  garbage.push_back('\0');
  garbage += "[section]\xFF\x81=\r\r\n=5\n[]\n[control\nkey";
  EXPECT_EQ(all_values(load_text(garbage)), all_values(ShellSettings()));
  EXPECT_EQ(all_values(load_settings(IniProfile::from_file("/nonexistent/dir/korvani.ini"), 0)),
            all_values(ShellSettings()));
}

TEST(SettingsLoad, RangesAndTheirReplacements) {
  struct Case {
    const char* line;
    int ShellSettings::*field;
    int expected;
  };
  const Case cases[] = {
      {"key=25", &ShellSettings::key, 0},
      {"key=-24", &ShellSettings::key, -24},
      {"speed=0", &ShellSettings::speed, 16},
      {"speed=200", &ShellSettings::speed, 200},  // above what the tempo buttons reach, still kept
      {"melody=200", &ShellSettings::melody, 0},  // 0, not the default 1
      {"melody=-1", &ShellSettings::melody, 0},
      {"ezpmdhmn=30", &ShellSettings::ezpmdhmn, 24},
      {"mldbyte=99999999999", &ShellSettings::mldbyte, 184320},
      {"dxmbyte=184321", &ShellSettings::dxmbyte, 184320},
      {"ezpmdbyte=-1", &ShellSettings::ezpmdbyte, 10240},  // a negative size limit is the default
      {"files=0", &ShellSettings::files, 1024},
      {"files=1025", &ShellSettings::files, 1024},
      {"chsepcnt=1", &ShellSettings::chsepcnt, 4},
      {"giziwaon=7", &ShellSettings::giziwaon, 3},  // the mode bit is never read
      {"giziwaon=6", &ShellSettings::giziwaon, 2},
      {"loop=2", &ShellSettings::loop, 0},  // booleans are true only for 1
      {"autoplay=-1", &ShellSettings::autoplay, 0},
      {"sequencer=3", &ShellSettings::sequencer, kSequencerAutomatic},
      {"sequencer=2", &ShellSettings::sequencer, kSequencerBuiltin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(load_text(std::string("[section]\n") + c.line).*c.field, c.expected) << c.line;
  }
  const ShellSettings control =
      load_text("[control]\nrecmode=0\nscrollsizex=49\ndispcolor=42\nsmall=0\n[CONTROL]\nscroll=3\n");
  EXPECT_EQ(control.recmode, 112);
  EXPECT_EQ(control.scrollsizex, 250);
  EXPECT_EQ(control.dispcolor, 42);  // not checked
  EXPECT_EQ(control.smallButtons, 0);
  EXPECT_EQ(control.scroll, 0);
  EXPECT_EQ(load_text("[control]\nrecmode=1104\nscrollsizex=500").recmode, 1104);
  EXPECT_EQ(load_text("[control]\nscrollsizex=500").scrollsizex, 500);
}

TEST(SettingsLoad, SixteenthGridNeedsRestMerging) {
  EXPECT_EQ(load_text("[section]\nl16nouse=1\nrelnflg=0\n").l16nouse, 0);
  EXPECT_EQ(load_text("[section]\nl16nouse=1\nrelnflg=2\n").l16nouse, 0);
  EXPECT_EQ(load_text("[section]\nl16nouse=1\n").l16nouse, 1);
}

TEST(SettingsLoad, NumberedInstrumentAndProgramKeys) {
  std::string longName(300, 'a');
  longName[254] = '\x83';  // a double-byte character across the 255-byte limit
  const ShellSettings s = load_text(
      "[section]\nmelody1no=0\nmelody2no=128\nmelody16no=127\nmelody11no=abc\n"
      "melody1name=ピアノ\nmelody2name=" + longName + "\napp1file=C:\\tools\\edit.exe\napp5name=\"エディタ\"\n");
  EXPECT_EQ(s.melodyNo[0], 0);
  EXPECT_EQ(s.melodyNo[1], -1);
  EXPECT_EQ(s.melodyNo[15], 127);
  EXPECT_EQ(s.melodyNo[10], 0);  // no digits: 0, as the profile functions read it
  EXPECT_EQ(s.melodyNo[2], -1);
  EXPECT_EQ(s.melodyName[0], "ピアノ");
  EXPECT_EQ(s.melodyName[1], std::string(254, 'a'));
  EXPECT_EQ(s.appFile[0], "C:\\tools\\edit.exe");
  EXPECT_EQ(s.appName[4], "エディタ");
  EXPECT_EQ(s.appName[0], "");
}

TEST(SettingsSave, WritesTheSaveListInOrder) {
  ShellSettings s;
  s.giziwaon = 7;  // only the level is written
  s.recmode = 121;
  RecordingWriter writer;
  save_settings(s, writer);
  const std::vector<std::string> expected = {
      "control/recmode=121",   "control/keyupdown=1",   "control/tempoupdown=1", "control/backnext=1",
      "control/eject=1",       "control/record=0",      "control/display=1",     "control/tracpanel=0",
      "control/scrollsizex=250", "control/dispcolor=2", "section/topmost=0",     "section/loop=0",
      "section/addtrac=1",     "section/volume=100",    "section/melody=1",      "section/win2000=0",
      "section/giziwaon=3",    "section/gizino=1",      "section/chsepcnt=4",    "section/relnflg=1",
      "section/l16nouse=0",    "section/highmld=0",     "section/restcut=0",     "section/alsnum=128",
      "section/mmdnum=64",     "section/smdnum=256",    "section/dxmbyte=10240", "section/mldbyte=5120",
      "section/ezpmdbyte=10240",
  };
  EXPECT_EQ(writer.written, expected);
  ASSERT_EQ(saved_settings_keys().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const SettingsKeyRef& ref = saved_settings_keys()[i];
    EXPECT_EQ(expected[i].rfind(std::string(ref.section) + "/" + ref.key + "=", 0), 0u) << i;
  }
}

TEST(SettingsSave, KeysThatAreNotSavedSurviveASave) {
  IniProfile profile("; my settings\r\n[control]\r\nscroll=0\r\nmenu=0\r\nsmall=0\r\nkeyupdown=0\r\n"
                     "[section]\r\nspeed=200\r\nmelody3name=オルガン\r\n");
  ShellSettings s = load_settings(profile, 0);
  s.take_control_flags(s.control_flags() | kFlagKeyButtons);
  save_settings(s, profile);
  save_settings(s, profile);
  const ShellSettings again = load_settings(profile, 0);
  EXPECT_EQ(again.scroll, 0);
  EXPECT_EQ(again.menu, 0);
  EXPECT_EQ(again.smallButtons, 0);
  EXPECT_EQ(again.keyupdown, 1);
  EXPECT_EQ(again.speed, 200);
  EXPECT_EQ(again.melodyName[2], "オルガン");
  const std::string text = profile.text();
  EXPECT_EQ(text.rfind("; my settings\r\n[control]\r\nscroll=0\r\nmenu=0\r\nsmall=0\r\nkeyupdown=1\r\n", 0), 0u)
      << text;
  EXPECT_EQ(text.find("velocity"), std::string::npos);
}

TEST(SettingsModel, ControlFlagsAndTheEngine) {
  ShellSettings s;
  EXPECT_EQ(s.control_flags(), 0x1DFu);  // everything but the save button and the exit-after-play bit
  s.take_control_flags(kFlagSaveButton | kFlagScroll);
  EXPECT_EQ(s.record, 1);
  EXPECT_EQ(s.display, 0);
  EXPECT_EQ(s.scroll, 1);  // not saved, so not taken
  EXPECT_EQ(s.menu, 1);

  ShellSettings shell = load_text(
      "[section]\nkey=-5\nspeed=20\naddtrac=0\ngiziwaon=1\nmldbyte=777\nvelocity=90\nsmdnum=64\nsmdhmn=3");
  Settings engine;
  engine.conv.giziwaon = kPseudoChordModeBit | 3;
  apply_settings_to_engine(shell, engine);
  EXPECT_EQ(engine.play.KeyOffset, -5);
  EXPECT_EQ(engine.play.SpeedFactor, 20);
  EXPECT_EQ(engine.play.MultiTrackSelect, 0);
  EXPECT_EQ(engine.play.velocity, 90);
  EXPECT_EQ(engine.conv.giziwaon, kPseudoChordModeBit | 1);  // the mode bit is the window's own
  EXPECT_EQ(engine.writers.mldbyte, 777);
  EXPECT_EQ(engine.writers.smdnum, 64);
  EXPECT_EQ(engine.writers.smdhmn, 3);

  engine.play.volume = 60;
  engine.play.KeyOffset = 7;  // the running key is not a setting
  engine.writers.alsnum = 320;  // stored by the ALS dialog, saved with the settings
  take_settings_from_engine(engine, shell);
  EXPECT_EQ(shell.volume, 60);
  EXPECT_EQ(shell.alsnum, 320);
  EXPECT_EQ(shell.giziwaon, 1);
  EXPECT_EQ(shell.key, -5);
}

TEST(SettingsModel, RandomDisplayColour) {
  EXPECT_EQ(effective_display_colour(3, 12345, 999), 3);
  EXPECT_EQ(effective_display_colour(42, 0, 0), 42);
  EXPECT_EQ(effective_display_colour(8, 0, 0), 1);
  EXPECT_EQ(effective_display_colour(8, 28, 0), 0);          // r = 28: the plain grey
  EXPECT_EQ(effective_display_colour(8, 29 * 5 + 3, 10), 4);  // r = 13
  EXPECT_EQ(effective_display_colour(8, 3, 0x7FFF000Au), 4);  // only the low 16 tick bits count
  int c = effective_display_colour(8, -1, 0);
  EXPECT_TRUE(c >= 0 && c <= 7);
}

TEST(IniProfileText, ReadsKeysLikeTheProfileFunctions) {
  const IniProfile p(
      "top=1\r\n[Section]\r\n  Key = 12x \r\nneg=-5\rword=abc\nempty=\nplus=+7\nspaced=  -3\n"
      "quoted=\"a b\"\n; key=99\n[other]\nkey=2\n[SECTION]\nkey=13\n");
  EXPECT_EQ(p.get_int("section", "KEY", 0), 13);  // the last duplicate wins
  EXPECT_EQ(p.get_int("section", "neg", 0), -5);
  EXPECT_EQ(p.get_int("section", "word", 9), 0);
  EXPECT_EQ(p.get_int("section", "empty", 9), 9);
  EXPECT_EQ(p.get_int("section", "plus", 0), 7);
  EXPECT_EQ(p.get_int("section", "spaced", 0), -3);
  EXPECT_EQ(p.get_int("section", "missing", 77), 77);
  EXPECT_EQ(p.get_int("nosuch", "key", 5), 5);
  EXPECT_EQ(p.get_int("other", "key", 0), 2);
  EXPECT_EQ(p.get_string("section", "quoted", ""), "a b");
  EXPECT_EQ(p.get_string("section", ";key", "none"), "none");  // a comment line
  EXPECT_EQ(IniProfile("[s]\nk=-99999999999\n").get_int("s", "k", 0), INT_MIN);
  EXPECT_EQ(parse_profile_int(" 12x", 0), 12);
}

TEST(IniProfileText, WritesInPlaceAtTheSectionEndOrInANewSection) {
  IniProfile p("[control]\nDisplay=0 ; old\nrecord=1\n\n[section]\nloop=1\n");
  p.write_string("control", "display", "1");
  p.write_string("CONTROL", "tracpanel", "0");
  p.write_string("section", "loop", "0");
  p.write_string("extra", "name", "two\r\nlines=1");
  EXPECT_EQ(p.text(),
            "[control]\r\nDisplay=1\r\nrecord=1\r\ntracpanel=0\r\n\r\n[section]\r\nloop=0\r\n\r\n"
            "[extra]\r\nname=two\r\n");
  EXPECT_EQ(p.get_int("control", "tracpanel", 5), 0);
  EXPECT_EQ(p.get_string("extra", "lines", "none"), "none");

  IniProfile empty;
  empty.write_string("section", "volume", "60");
  EXPECT_EQ(empty.text(), "[section]\r\nvolume=60\r\n");

  const fs::path file =
      fs::temp_directory_path() /
      ("melvarino_settings_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".ini");
  ASSERT_TRUE(p.save(file));
  EXPECT_EQ(IniProfile::from_file(file).text(), p.text());
  fs::remove(file);
  EXPECT_FALSE(p.save(fs::temp_directory_path() / "no_such_dir_melvarino" / "korvani.ini"));
}

}  // namespace
}  // namespace mel
