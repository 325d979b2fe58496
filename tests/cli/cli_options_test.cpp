// Parsing the command line into the engine's settings.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "score/format_codes.h"

namespace mel::cli {
namespace {

ParseResult parse(std::vector<std::string> args) { return parse_command_line(args); }

TEST(CliOptions, PlaybackOptionsAcceptTheirWholeRange) {
  ParseResult low = parse({"info", "--key", "-24", "--speed", "1", "--volume", "0", "a.mid"});
  ASSERT_TRUE(low.ok) << low.error;
  EXPECT_EQ(low.request.settings.play.KeyOffset, -24);
  EXPECT_EQ(low.request.settings.play.SpeedFactor, 1);
  EXPECT_EQ(low.request.settings.play.volume, 0);
  EXPECT_EQ(low.request.settings.play.StandardVolume, 0);

  ParseResult high = parse({"info", "--key=24", "--speed=255", "--instrument=127", "a.mid"});
  ASSERT_TRUE(high.ok) << high.error;
  EXPECT_EQ(high.request.settings.play.KeyOffset, 24);
  EXPECT_EQ(high.request.settings.play.SpeedFactor, 255);
  EXPECT_EQ(high.request.instrument, 127);
}

TEST(CliOptions, ValuesOutsideTheirRangeAreUsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"info", "--key", "25", "a.mid"},        {"info", "--key", "-25", "a.mid"},
      {"info", "--speed", "0", "a.mid"},       {"info", "--speed", "256", "a.mid"},
      {"info", "--instrument", "128", "a.mid"}, {"info", "--volume", "-1", "a.mid"},
      {"info", "--key", "3x", "a.mid"},        {"info", "--key", "", "a.mid"},
      {"info", "a.mid", "--key"},              {"info", "--key", "99999999999", "a.mid"},
  };
  for (const auto& args : bad) {
    ParseResult r = parse(args);
    EXPECT_FALSE(r.ok) << args[1] << " " << args[2];
    EXPECT_FALSE(r.error.empty());
  }
  EXPECT_NE(parse({"info", "--key", "25", "a.mid"}).error.find("-24..24"), std::string::npos);
}

TEST(CliOptions, TrackListsSelectTracks) {
  int selection = -1;
  uint32_t mask = 0;
  ASSERT_TRUE(parse_track_list("1,3-5", selection, mask));
  EXPECT_EQ(selection, 1);
  EXPECT_EQ(mask, 0x1Du);
  ASSERT_TRUE(parse_track_list("32,7", selection, mask));
  EXPECT_EQ(selection, 7);
  EXPECT_EQ(mask, (1u << 31) | (1u << 6));
  ASSERT_TRUE(parse_track_list("all", selection, mask));
  EXPECT_EQ(selection, 0);
  EXPECT_EQ(mask, 0u);
  for (const char* bad : {"", "0-3", "33", "5-3", "1,,2", "1,", "a", "-2", "1-", "2-2-3"}) {
    EXPECT_FALSE(parse_track_list(bad, selection, mask)) << bad;
  }

  ParseResult r = parse({"convert", "--tracks", "2,4", "a.mid", "-o", "b.mid"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.request.settings.play.TrackSelection, 2);
  EXPECT_EQ(r.request.settings.play.TrackMask, 0xAu);
  EXPECT_TRUE(r.request.settings.play.track_selected(4));
  EXPECT_FALSE(r.request.settings.play.track_selected(3));
  EXPECT_FALSE(parse({"info", "--tracks", "40", "a.mid"}).ok);
}

TEST(CliOptions, SetReachesEveryOptionByKeyOrName) {
  ParseResult r = parse({"info", "--set", "highmld=1", "--set", "CHSEPCNT=6", "--set=lowNoteCutLevel=40",
                         "--set", "chordSplitChannels=0x00FF", "--set", "noteLengthScale=64", "a.mid"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.request.settings.conv.highmld, 1);
  EXPECT_EQ(r.request.settings.conv.chsepcnt, 6);
  EXPECT_EQ(r.request.settings.conv.lowNoteCutLevel, 40);
  EXPECT_EQ(r.request.settings.conv.chordSplitChannels, 0xFF);
  EXPECT_EQ(r.request.settings.conv.noteLengthScale, 64);

  EXPECT_FALSE(parse({"info", "--set", "chsepcnt=17", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--set", "noteLengthScale=12", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--set", "nosuchkey=1", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--set", "highmld", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--set", "=1", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--set", "highmld=yes", "a.mid"}).ok);
  EXPECT_NE(parse({"info", "--set", "chsepcnt=1", "a.mid"}).error.find("2..16"), std::string::npos);
}

TEST(CliOptions, WindowCouplingsBetweenOptions) {
  // Splitting chords, pseudo-chord mode and accompaniment read MIDI through the score.
  EXPECT_EQ(parse({"info", "--split-chords", "a.mid"}).request.settings.play.MidiStandard, 0);
  EXPECT_EQ(parse({"info", "--split-chords", "a.mid"}).request.settings.play.TrackSplit, 1);
  EXPECT_EQ(parse({"info", "--set", "giziwaon=6", "a.mid"}).request.settings.play.MidiStandard, 0);
  EXPECT_EQ(parse({"info", "--set", "accompanimentLevel=1", "a.mid"}).request.settings.play.MidiStandard, 0);
  EXPECT_EQ(parse({"info", "--set", "giziwaon=3", "a.mid"}).request.settings.play.MidiStandard, 1);
  // The sixteenth-note grid only exists with rest merging.
  ParseResult grid = parse({"info", "--set", "l16nouse=1", "--set", "relnflg=0", "a.mid"});
  EXPECT_EQ(grid.request.settings.conv.l16nouse, 0);
  EXPECT_EQ(parse({"info", "--set", "l16nouse=1", "a.mid"}).request.settings.conv.l16nouse, 1);
  EXPECT_EQ(parse({"info", "--no-midi-standard", "--three-times", "a.mid"}).request.settings.play.ThreeTimes, 1);
}

TEST(CliOptions, PerFileSettingsFollowTheLoadFlow) {
  ParseResult plain = parse({"convert", "a.mid", "-o", "b.mid"});
  ASSERT_TRUE(plain.ok);
  Settings midi = settings_for_input(plain.request, kInputMidi, false);
  EXPECT_EQ(midi.play.KeepFileInstruments, 1);
  EXPECT_EQ(midi.play.ForPlayback, 0);
  Settings als = settings_for_input(plain.request, kInputAls, true);
  EXPECT_EQ(als.play.KeepFileInstruments, 0);
  EXPECT_EQ(als.play.ForPlayback, 1);

  ParseResult chosen = parse({"info", "--instrument", "40", "a.mid"});
  ASSERT_TRUE(chosen.ok);
  Settings mfi = settings_for_input(chosen.request, kInputMfi, true);
  EXPECT_EQ(mfi.play.KeepFileInstruments, 0);
  EXPECT_EQ(mfi.play.StandardInstrument, 0);
  EXPECT_EQ(mfi.play.melody, 40);
  // A format without instruments of its own keeps the instrument switch as it was.
  Settings wam = settings_for_input(chosen.request, kInputWam, true);
  EXPECT_EQ(wam.play.StandardInstrument, 1);
  EXPECT_EQ(wam.play.melody, 40);

  ParseResult off = parse({"info", "--set", "StandardInstrument=0", "a.mid"});
  EXPECT_EQ(settings_for_input(off.request, kInputMidi, true).play.KeepFileInstruments, 0);
}

TEST(CliOptions, PerTrackInstrumentsVolumesAndOctaveShifts) {
  ParseResult r = parse({"convert", "--track-volume", "2=90", "--volume", "80", "--track-instrument", "1=40,3=*",
                         "--instrument", "7", "--octave-shift", "1=-2,32=2", "a.mid", "-o", "b.mid"});
  ASSERT_TRUE(r.ok) << r.error;
  const PlaybackOptions& play = r.request.settings.play;
  // Stored as the per-track dialogs store them: value + 1, 129 for "*".
  EXPECT_EQ(play.PerTrackProgram[0], 41);
  EXPECT_EQ(play.PerTrackProgram[1], 0);
  EXPECT_EQ(play.PerTrackProgram[2], kFollowScore);
  // A per-track volume and one volume for the rest combine in either order.
  EXPECT_EQ(play.PerTrackVolume[1], 91);
  EXPECT_EQ(play.volume, 80);
  EXPECT_EQ(play.StandardVolume, 0);
  EXPECT_EQ(r.request.settings.conv.octaveShift[0], -2);
  EXPECT_EQ(r.request.settings.conv.octaveShift[31], 2);

  // The file's own instruments give way where the format has them; the
  // per-track choices survive the instrument chosen for the other tracks.
  Settings midi = settings_for_input(r.request, kInputMidi, false);
  EXPECT_EQ(midi.play.KeepFileInstruments, 0);
  EXPECT_EQ(midi.play.melody, 7);
  EXPECT_EQ(midi.play.PerTrackProgram[0], 41);
  ParseResult only = parse({"info", "--track-instrument", "1=5", "a.mid"});
  ASSERT_TRUE(only.ok) << only.error;
  EXPECT_EQ(settings_for_input(only.request, kInputMidi, true).play.StandardInstrument, 0);
  EXPECT_EQ(settings_for_input(only.request, kInputWam, true).play.StandardInstrument, 1);

  for (const char* bad : {"", "1", "0=5", "33=5", "1=128", "1=-1", "1=5,", "x=5", "1=5=6"}) {
    EXPECT_FALSE(parse({"info", "--track-instrument", bad, "a.mid"}).ok) << bad;
  }
  EXPECT_FALSE(parse({"info", "--octave-shift", "1=3", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--octave-shift", "1=*", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--track-volume", "1=200", "a.mid"}).ok);
}

TEST(CliOptions, OutputFormatsAndConvertArguments) {
  EXPECT_EQ(target_for_name("mid")->kind, kOutputMidi);
  EXPECT_EQ(target_for_name(".MID")->extension, ".mid");
  EXPECT_EQ(target_for_name("pmd-cmx")->kind, kOutputCmx);
  EXPECT_EQ(target_for_name("pmd-pana")->kind, kOutputPana);
  EXPECT_EQ(target_for_name("mel")->kind, kOutputMozio);
  EXPECT_TRUE(target_for_name("txt")->mailText);
  EXPECT_FALSE(target_for_name("pmd"));
  EXPECT_FALSE(target_for_name("wav"));
  EXPECT_EQ(target_for_path("x/Song.MLD")->kind, kOutputMfi);
  EXPECT_FALSE(target_for_path("song.pmd"));
  EXPECT_FALSE(target_for_path("song"));

  EXPECT_TRUE(parse({"convert", "a.mid", "b.mml", "-d", "out", "--to", "mid"}).ok);
  EXPECT_TRUE(parse({"convert", "a.mid", "-o", "b.pmd", "--to", "pmd-cmx"}).ok);
  EXPECT_NE(parse({"convert", "a.mid", "-o", "b.pmd"}).error.find("pmd-cmx"), std::string::npos);
  EXPECT_FALSE(parse({"convert", "a.mid", "-o", "b.xyz"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid", "b.mid", "-o", "c.mid"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid", "-d", "out"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid"}).ok);
  EXPECT_FALSE(parse({"convert", "-o", "c.mid"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid", "-o", "c.mid", "-d", "out", "--to", "mid"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid", "-d", "out", "--to", "pmd"}).ok);
}

TEST(CliOptions, CommandsAndTheirArguments) {
  EXPECT_EQ(parse({"--help"}).request.command, Command::Help);
  EXPECT_EQ(parse({"convert", "--help"}).request.command, Command::Help);
  EXPECT_EQ(parse({"--version"}).request.command, Command::Version);
  EXPECT_FALSE(parse({}).ok);
  EXPECT_FALSE(parse({"frobnicate", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info", "--bogus", "a.mid"}).ok);
  EXPECT_FALSE(parse({"info"}).ok);
  EXPECT_FALSE(parse({"info", "a.mid", "b.mid"}).ok);
  EXPECT_FALSE(parse({"render", "a.mid"}).ok);
  EXPECT_FALSE(parse({"detect"}).ok);
  EXPECT_FALSE(parse({"info", "--three-times=1", "a.mid"}).ok);
  // Options that belong to another command are refused rather than ignored.
  EXPECT_FALSE(parse({"info", "a.mid", "-o", "b.mid"}).ok);
  EXPECT_FALSE(parse({"convert", "a.mid", "-o", "b.mid", "--cp932"}).ok);
  EXPECT_FALSE(parse({"info", "--soundfont", "x.sf2", "a.mid"}).ok);
  EXPECT_TRUE(parse({"render", "--soundfont", "x.sf2", "a.mid", "b.wav"}).ok);
  // Sound is written only to ".wav" names: swapped arguments must not replace a melody.
  EXPECT_TRUE(parse({"render", "a.mid", "B.WAV"}).ok);
  EXPECT_EQ(parse({"render", "a.mld", "a.mid"}).error,
            "render writes a WAV file: its name must end in .wav, not 'a.mid'");
  EXPECT_TRUE(parse({"play", "--wav", "x.wav", "a.mid"}).ok);
  EXPECT_FALSE(parse({"play", "--wav", "a.mld", "a.mid"}).ok);
  // "--" ends the options: a file may start with a dash.
  ParseResult dashed = parse({"detect", "--", "-odd.mid"});
  ASSERT_TRUE(dashed.ok);
  EXPECT_EQ(dashed.request.inputs.at(0).string(), "-odd.mid");
}

TEST(CliOptions, HelpListsEverySettingWithItsRange) {
  std::string help = help_text();
  for (const OptionInfo& option : option_table()) {
    std::string key = option.settingsKey ? option.settingsKey : option.name;
    EXPECT_NE(help.find("  " + key), std::string::npos) << key;
    EXPECT_NE(help.find(std::to_string(option.minValue) + ".." + std::to_string(option.maxValue)), std::string::npos);
  }
  for (const char* status : {"  2  usage", "  3  an input", "  4  not a supported", "  5  the output", "  6  audio"}) {
    EXPECT_NE(help.find(status), std::string::npos) << status;
  }
}

}  // namespace
}  // namespace mel::cli
