// The built melvarino tool, run as a user would: exit statuses, messages, the
// files it writes and the ones it must leave alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_options.h"
#include "cli/text_encoding.h"
#include "formats/mfi/mail_text.h"
#include "formats/mml/mml_reader.h"
#include "support/mfi_builder.h"
#include "support/smaf_builder.h"

#if defined(MEL_TOOL_PATH) && !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#define MEL_RUN_TOOL 1
#endif

namespace mel::cli {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

[[maybe_unused]] std::string read_text(const fs::path& path) {
  auto bytes = read_bytes(path);
  return std::string(bytes.begin(), bytes.end());
}

[[maybe_unused]] void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A format-0 Standard MIDI File: title "テスト" (CP932), tempo 120, piano, four
// quarter notes C D E F at 480 ticks per quarter: two seconds.
[[maybe_unused]] std::vector<uint8_t> small_midi_file() {
  std::vector<uint8_t> track = {
      0x00, 0xFF, 0x03, 0x06, 0x83, 0x65, 0x83, 0x58, 0x83, 0x67,  // track name "テスト"
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,                    // tempo 500000 us per quarter
      0x00, 0xC0, 0x00,                                            // program 0 on channel 1
  };
  for (uint8_t key : {60, 62, 64, 65}) {
    const uint8_t note[] = {0x00, 0x90, key, 100, 0x83, 0x60, 0x80, key, 0};  // on, 480 ticks, off
    track.insert(track.end(), std::begin(note), std::end(note));
  }
  const uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
  track.insert(track.end(), std::begin(end), std::end(end));
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,  // format 0, 1 track, 480
                               'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  for (uint8_t b : track) file.push_back(b);
  return file;
}

[[maybe_unused]] std::vector<uint8_t> random_bytes(std::size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

TEST(CliText, Cp932ReportsBecomeUtf8WithPlainLineEnds) {
  EXPECT_EQ(to_terminal_text("曲名「さくら」\r\nﾃﾝﾎﾟ=120"),
            "\xE6\x9B\xB2\xE5\x90\x8D\xE3\x80\x8C\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89\xE3\x80\x8D\n"
            "\xEF\xBE\x83\xEF\xBE\x9D\xEF\xBE\x8E\xEF\xBE\x9F=120");
  EXPECT_EQ(cp932_to_utf8("～･"), "\xEF\xBD\x9E\xEF\xBD\xA5");
  // A lead byte without its trail byte is replaced, the rest still converts.
  EXPECT_EQ(cp932_to_utf8(std::string("a\x82") ), "a?");
  EXPECT_EQ(cp932_to_utf8(std::string("\xFF" "b")), "?b");
}

// In-process runs: what does not need a separate process.
TEST(CliRun, HelpVersionAndUsageErrors) {
  std::ostringstream out, err;
  EXPECT_EQ(run_cli({"--help"}, out, err), kExitOk);
  EXPECT_NE(out.str().find("Exit status:"), std::string::npos);
  out.str("");
  EXPECT_EQ(run_cli({"--version"}, out, err), kExitOk);
  EXPECT_EQ(out.str().rfind("melvarino ", 0), 0u);
  err.str("");
  EXPECT_EQ(run_cli({"info", "--key", "30", "x.mid"}, out, err), kExitUsage);
  EXPECT_EQ(err.str(), "melvarino: --key 30 is outside -24..24\n");
}

#ifdef MEL_RUN_TOOL

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("melvarino-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path path(const std::string& name) const { return dir_ / name; }

  // Runs the tool in the test folder; arguments are single-quoted for the
  // shell. environment is "NAME=value" or empty.
  ToolRun run(const std::vector<std::string>& args, const std::string& environment = "") const {
    std::string command = "cd '" + dir_.string() + "' && " + environment + " '" MEL_TOOL_PATH "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + path(".out").string() + "' 2>'" + path(".err").string() + "'";
    int raw = std::system(command.c_str());
    ToolRun result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_text(path(".out"));
    result.err = read_text(path(".err"));
    return result;
  }

  fs::path dir_;
};

TEST_F(CliTool, DetectNamesEachFilesType) {
  write_bytes(path("a.mid"), small_midi_file());
  write_bytes(path("b.PMD"), {'c', 'm', 'i', 'd', 0});
  write_bytes(path("c.xyz"), {1, 2, 3});
  ToolRun r = run({"detect", "a.mid", "b.PMD", "c.xyz"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "a.mid: 5 Standard MIDI File\n"
            "b.PMD: 15 CMX melody\n"
            "c.xyz: 0 not a supported file\n");
  // Without a clipboard, a file named like the clipboard pseudo-file is read as a file.
  write_bytes(path("clip.txt"), {'-', '-', 'B', ':', 'M', 'x'});
  r = run({"detect", "clip.txt"});
  EXPECT_EQ(r.out, "clip.txt: 8 MFi melody\n");
  fs::remove(path("clip.txt"));
  EXPECT_EQ(run({"detect", "clip.txt"}).status, kExitInputUnreadable);
  r = run({"detect", "a.mid", "missing.mid"});
  EXPECT_EQ(r.status, kExitInputUnreadable);
  EXPECT_EQ(r.out, "a.mid: 5 Standard MIDI File\n");
  EXPECT_EQ(r.err, "melvarino: cannot read 'missing.mid': no such file\n");
}

TEST_F(CliTool, BadInputsGiveTheirOwnStatusAndOneLine) {
  fs::create_directories(path("folder.mid"));
  write_bytes(path("noise.bin"), random_bytes(300, 7));
  write_bytes(path("empty.mid"), {});
  write_bytes(path("empty.txt"), {});
  write_bytes(path("list.m3u"), {'a', '.', 'm', 'i', 'd', '\n'});

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"convert", "missing.mid", "-o", "x.mid"}, kExitInputUnreadable, "cannot read 'missing.mid': no such file"},
      {{"convert", "folder.mid", "-o", "x.mid"}, kExitInputUnreadable, "'folder.mid' is a folder, not a melody file"},
      {{"convert", "empty.mid", "-o", "x.mid"}, kExitInputUnreadable, "'empty.mid' is empty"},
      // Empty text is unreadable, not "MML text" whose reader may be missing.
      {{"info", "empty.txt"}, kExitInputUnreadable, "'empty.txt' is empty"},
      {{"info", "noise.bin"}, kExitUnsupported, "'noise.bin' is not a supported melody file"},
      {{"info", "list.m3u"}, kExitUnsupported, "'list.m3u' is a playlist: give its files instead"},
      {{"convert", "--speed", "0", "noise.bin", "-o", "x.mid"}, kExitUsage, "--speed 0 is outside 1..255"},
      {{"convert", "noise.bin", "-o", "x.pmd"}, kExitUsage,
       "'.pmd' is both pana melody and CMX: add --to pmd-pana or --to pmd-cmx"},
  };
  for (const Case& c : cases) {
    ToolRun r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1];
    EXPECT_EQ(r.err, "melvarino: " + c.message + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(path("x.mid")));
  EXPECT_FALSE(fs::exists(path("x.pmd")));
}

// Readers never fail, so input they get no note from must be refused here, as
// the window refuses to load it: the same answer on the score path and on the
// direct rewrite, and no file written.
TEST_F(CliTool, InputWithoutANoteIsRefusedAndWritesNothing) {
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    std::vector<uint8_t> noise = random_bytes(2000, seed);
    if (seed == 3) noise.insert(noise.begin(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 96});
    write_bytes(path("noise" + std::to_string(seed) + ".mid"), noise);
  }
  write_bytes(path("silent.mid"), {
                                      'M', 'T', 'h', 'd', 0, 0, 0, 6,  // header chunk, 6 bytes
                                      0, 0, 0, 1, 0x01, 0xE0,          // format 0, 1 track, 480 per quarter
                                      'M', 'T', 'r', 'k', 0, 0, 0, 11,  // track chunk, 11 bytes
                                      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 120, no note
                                      0x00, 0xFF, 0x2F, 0x00,                    // end of track
                                  });
  write_bytes(path("empty.dat"), {0x04, 0x84, 0xFF});  // X-PmailDX: tempo code, length command, end mark
  for (const char* file : {"noise1.mid", "noise2.mid", "noise3.mid", "silent.mid", "empty.dat"}) {
    const std::string refusal = std::string("melvarino: no notes could be read from '") + file + "'\n";
    for (const char* midiStandard : {"--set=MidiStandard=1", "--no-midi-standard"}) {
      ToolRun r = run({"convert", midiStandard, file, "-o", "out.mid"});
      EXPECT_EQ(r.status, kExitFailed) << file << " " << midiStandard;
      EXPECT_EQ(r.err, refusal) << midiStandard;
      EXPECT_FALSE(fs::exists(path("out.mid"))) << file << " " << midiStandard;
      ToolRun info = run({"info", midiStandard, file});
      EXPECT_EQ(info.status, kExitFailed) << file << " " << midiStandard;
      EXPECT_EQ(info.out, "");
    }
  }
  // A batch goes on past such a file and exits with its status.
  write_bytes(path("a.mid"), small_midi_file());
  ToolRun batch = run({"convert", "silent.mid", "a.mid", "-d", "out", "--to", "mid"});
  EXPECT_EQ(batch.status, kExitFailed);
  EXPECT_FALSE(fs::exists(path("out/silent.mid")));
  EXPECT_TRUE(fs::exists(path("out/a.mid")));
}

// Pseudo-chord mode and the accompaniment reach the score passes: with them
// the written file differs from the plain conversion (before the passes were
// built, --tracks 2 --set giziwaon=7 converted as if the setting were absent).
TEST_F(CliTool, SettingsOfTheScorePassesChangeTheOutput) {
  write_bytes(path("a.mid"), small_midi_file());
  ASSERT_EQ(run({"convert", "--tracks", "2", "a.mid", "-o", "plain.mid"}).status, kExitOk);
  const std::string plain = read_text(path("plain.mid"));
  for (const char* set : {"giziwaon=7", "accompanimentLevel=2"}) {
    fs::remove(path("b.mid"));
    ToolRun r = run({"convert", "--tracks", "2", "--set", set, "a.mid", "-o", "b.mid"});
    EXPECT_EQ(r.status, kExitOk) << set << ": " << r.err;
    EXPECT_NE(read_text(path("b.mid")), plain) << set;
  }
  EXPECT_EQ(run({"convert", "--set", "giziwaon=8", "a.mid", "-o", "c.mid"}).status, kExitUsage);
}

// convert, info and detect never load the synthesizer and the libraries
// behind it: the tool does not link it.
TEST_F(CliTool, TheToolDoesNotLinkTheSynthesizer) {
  if (std::system("command -v objdump >/dev/null 2>&1") != 0) GTEST_SKIP() << "objdump is not installed";
  std::string command = "objdump -p '" MEL_TOOL_PATH "' >'" + path("headers").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string headers = read_text(path("headers"));
  EXPECT_NE(headers.find("NEEDED"), std::string::npos);
  EXPECT_EQ(headers.find("fluidsynth"), std::string::npos) << headers;
}

TEST_F(CliTool, FailuresLeaveAnExistingOutputAlone) {
  write_bytes(path("a.mid"), small_midi_file());
  const std::vector<uint8_t> precious = {'k', 'e', 'e', 'p'};
  write_bytes(path("old.mid"), precious);
  write_bytes(path("old.mld"), precious);

  ToolRun missing = run({"convert", "gone.mid", "-o", "old.mid"});
  EXPECT_EQ(missing.status, kExitInputUnreadable);
  EXPECT_EQ(read_bytes(path("old.mid")), precious);

  // A writer that does not exist yet says so and writes nothing. (The MFi
  // writer is the first of them; once it exists this case moves to another.)
  ToolRun writer = run({"convert", "a.mid", "-o", "old.mld"});
  if (writer.status != kExitOk) {
    EXPECT_EQ(writer.status, kExitUnsupported);
    EXPECT_EQ(writer.err, "melvarino: writing MFi melody is not supported yet\n");
    EXPECT_EQ(read_bytes(path("old.mld")), precious);
  }

  // The output cannot be created where a file stands in for its folder.
  write_bytes(path("plainfile"), precious);
  ToolRun blocked = run({"convert", "a.mid", "-o", "plainfile/out.mid"});
  EXPECT_EQ(blocked.status, kExitOutputUnwritable);
  EXPECT_EQ(blocked.err.rfind("melvarino: cannot write 'plainfile/out.mid'", 0), 0u) << blocked.err;
  ToolRun folder = run({"convert", "a.mid", "-d", "plainfile", "--to", "mid"});
  EXPECT_EQ(folder.status, kExitOutputUnwritable);
  EXPECT_EQ(read_bytes(path("plainfile")), precious);

  // An existing folder in place of the output file is not replaced.
  fs::create_directories(path("taken.mid"));
  EXPECT_EQ(run({"convert", "a.mid", "-o", "taken.mid"}).status, kExitOutputUnwritable);
  EXPECT_TRUE(fs::is_directory(path("taken.mid")));

  // Converting a file onto itself is refused instead of destroying the source.
  EXPECT_EQ(run({"convert", "a.mid", "-o", "a.mid"}).status, kExitOutputUnwritable);
  EXPECT_EQ(read_bytes(path("a.mid")), small_midi_file());

  // Nothing is left behind under a temporary name.
  for (const auto& entry : fs::directory_iterator(dir_)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "a.mid" || name == "old.mid" || name == "old.mld" || name == "plainfile" ||
                name == "taken.mid" || name[0] == '.')
        << name;
  }
}

TEST_F(CliTool, ConvertsAMidiFileBothWays) {
  write_bytes(path("a.mid"), small_midi_file());
  for (const char* mode : {"--set=MidiStandard=1", "--no-midi-standard"}) {
    fs::remove(path("b.mid"));
    ToolRun r = run({"convert", mode, "a.mid", "-o", "b.mid"});
    ASSERT_EQ(r.status, kExitOk) << mode << ": " << r.err;
    EXPECT_EQ(r.out, "");
    std::vector<uint8_t> bytes = read_bytes(path("b.mid"));
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd");
    // An independent parser reads the four notes back.
    if (std::system("command -v midicsv >/dev/null 2>&1") == 0) {
      std::string csv = path("b.csv").string();
      ASSERT_EQ(std::system(("midicsv '" + path("b.mid").string() + "' '" + csv + "'").c_str()), 0);
      std::string text = read_text(csv);
      std::size_t notes = 0;
      for (std::size_t p = text.find("Note_on_c"); p != std::string::npos; p = text.find("Note_on_c", p + 1)) {
        ++notes;
      }
      EXPECT_GE(notes, 4u) << mode << "\n" << text;
    }
  }
}

TEST_F(CliTool, BatchConvertPrintsOneProgressLinePerFile) {
  write_bytes(path("a.mid"), small_midi_file());
  write_bytes(path("b.mid"), small_midi_file());
  write_bytes(path("c.xyz"), {1, 2, 3});
  ToolRun r = run({"convert", "a.mid", "c.xyz", "b.mid", "-d", "out/sub", "--to", "mid"});
  EXPECT_EQ(r.status, kExitUnsupported);  // the first failure's status, after trying every file
  EXPECT_EQ(r.out,
            "[1/3] a.mid -> out/sub/a.mid\n"
            "[2/3] c.xyz -> out/sub/c.mid\n"
            "[3/3] b.mid -> out/sub/b.mid\n");
  EXPECT_EQ(r.err, "melvarino: 'c.xyz' is not a supported melody file\n");
  EXPECT_TRUE(fs::exists(path("out/sub/a.mid")));
  EXPECT_TRUE(fs::exists(path("out/sub/b.mid")));
  EXPECT_FALSE(fs::exists(path("out/sub/c.mid")));
}

// One engine converts the whole batch, as the window's converts every file it
// loads: nothing of one file may reach the next one's output.
TEST_F(CliTool, BatchWritesWhatEachFileConvertsToAlone) {
  write_bytes(path("a.mid"), small_midi_file());
  write_bytes(path("p.dat"), {0x03, 0x84, 0x01, 0x02, 0x03, 0xFF});  // X-PmailDX: tempo 100, three quarter notes
  write_bytes(path("q.dat"), {0x05, 0x82, 0x08, 0xFF});              // tempo 160, one half note
  const char* const names[] = {"p", "a", "q"};
  ToolRun batch = run({"convert", "p.dat", "a.mid", "q.dat", "-d", "out", "--to", "mid"});
  ASSERT_EQ(batch.status, kExitOk) << batch.err;
  for (const char* name : names) {
    const std::string input = std::string(name) + (name[0] == 'a' ? ".mid" : ".dat");
    ASSERT_EQ(run({"convert", input, "-o", std::string(name) + "-alone.mid"}).status, kExitOk) << input;
    EXPECT_EQ(read_bytes(path("out/" + std::string(name) + ".mid")), read_bytes(path(std::string(name) + "-alone.mid")))
        << input;
  }
}

TEST_F(CliTool, BatchNeverReplacesItsOwnInputsOrOutputs) {
  const std::vector<uint8_t> melody = {0x04, 0x84, 0x01, 0x03, 0x05, 0xFF};  // X-PmailDX: tempo, length, C E G
  fs::create_directories(path("one"));
  fs::create_directories(path("two"));
  write_bytes(path("one/x.dat"), melody);
  write_bytes(path("two/x.dat"), {0x04, 0x84, 0x05, 0xFF});
  // Two inputs of the same name: the second must not replace the first's result.
  ToolRun r = run({"convert", "one/x.dat", "two/x.dat", "-d", "out", "--to", "mid"});
  EXPECT_EQ(r.status, kExitOutputUnwritable);
  EXPECT_EQ(r.err, "melvarino: will not overwrite 'out/x.mid', written from 'one/x.dat' just before\n");
  ToolRun first = run({"convert", "one/x.dat", "-o", "first.mid"});
  ASSERT_EQ(first.status, kExitOk) << first.err;
  EXPECT_EQ(read_bytes(path("out/x.mid")), read_bytes(path("first.mid")));

  // An output that is another input of the same call is left alone.
  write_bytes(path("s.dat"), melody);
  write_bytes(path("s.mid"), small_midi_file());
  r = run({"convert", "s.dat", "s.mid", "-d", ".", "--to", "mid"});
  EXPECT_EQ(r.status, kExitOutputUnwritable);
  EXPECT_EQ(read_bytes(path("s.mid")), small_midi_file());
}

TEST_F(CliTool, InfoPrintsTheReportAsUtf8OrRawBytes) {
  write_bytes(path("a.mid"), small_midi_file());
  ToolRun r = run({"info", "--key", "2", "a.mid"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  // UTF-8 "曲名「テスト」" opens the report; lines end in "\n" only.
  EXPECT_EQ(r.out.rfind("\xE6\x9B\xB2\xE5\x90\x8D\xE3\x80\x8C\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xE3\x80\x8D\n", 0), 0u)
      << r.out;
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  EXPECT_NE(r.out.find("#2\n"), std::string::npos);

  ToolRun raw = run({"info", "--cp932", "--key", "2", "a.mid"});
  ASSERT_EQ(raw.status, kExitOk);
  EXPECT_EQ(raw.out.rfind("曲名「テスト」\r\n", 0), 0u);
  EXPECT_NE(raw.out.find("ｷｰｺﾝﾄﾛｰﾙ #2\r\n"), std::string::npos);
  EXPECT_EQ(to_terminal_text(raw.out) + "\n", r.out);
}

// The title each handset format stores reaches the terminal as UTF-8, and what
// a reader could not read is said on stderr.
TEST_F(CliTool, InfoShowsTheTitleOfEachHandsetFormatAndTheReaderNotices) {
  test::MfiBuilder mfi;
  mfi.title("さくら");
  mfi.track().tempo(0, 0xC3, 120).note(0, 0, 15, 40).end(48);
  const std::vector<uint8_t> mfiBytes = mfi.bytes();
  write_bytes(path("m.mld"), mfiBytes);
  write_bytes(path("mail.mld"), encode_mail_text(ByteView(mfiBytes)));

  test::SmafSequence seq;
  seq.note(0, 0, 1, 0, 100).end_marker(100);
  test::SmafTrack handy;
  handy.sequence = seq.bytes();
  test::SmafTrack mobile = handy;
  mobile.formatType = 1;  // the mobile-standard form, which is skipped with a notice
  write_bytes(path("s.mmf"), test::smaf_file({test::smaf_contents("ST:春の歌,CR:x"), handy.build(), mobile.build()}));

  const std::string kanjiTitle = "漢字";
  std::vector<uint8_t> kanji = {0xEF, 0x41, 0x8B, 0xA4, 0x81, 0x40, 0x81, 0x40, 0x81, 0x50,  // header, tempo code 0x50
                                0x8C, 0x40,                                                  // a note
                                0xEF, 0x42, '0', '0', '0', '4'};                             // the title, 4 bytes
  kanji.insert(kanji.end(), kanjiTitle.begin(), kanjiTitle.end());
  write_bytes(path("k.mld"), kanji);

  write_bytes(path("p.dat"), {0x03, 0x84, 0x01, 0x02, 0xFF});  // tempo 100, two quarter notes: 1.2 s
  write_bytes(path("mail.dat"), {'A', '4', 'Q', 'B', 'A', 'v', '8', '='});  // the same as mail text

  struct Case {
    const char* file;
    std::string firstLine;
  } cases[] = {
      {"m.mld", u8"曲名「さくら」"},      {"mail.mld", u8"曲名「さくら」"}, {"s.mmf", u8"曲名「春の歌」"},
      {"k.mld", u8"曲名「漢字」"},        {"p.dat", u8"ﾃﾝﾎﾟ=100　1.200秒"},
      {"mail.dat", u8"ﾃﾝﾎﾟ=100　1.200秒"},
  };
  for (const Case& c : cases) {
    ToolRun r = run({"info", c.file});
    ASSERT_EQ(r.status, kExitOk) << c.file << ": " << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.firstLine) << c.file;
    if (std::string(c.file) == "s.mmf") {
      EXPECT_EQ(r.err.rfind("melvarino: s.mmf: SMAF sequence in the mobile-standard form", 0), 0u) << r.err;
    } else {
      EXPECT_EQ(r.err, "") << c.file;
    }
  }
}

TEST_F(CliTool, AudioCommands) {
  write_bytes(path("a.mid"), small_midi_file());
  const std::string unavailable = "melvarino: audio output is not available (";
#ifndef MEL_HAVE_FLUIDSYNTH
  ToolRun r = run({"render", "a.mid", "a.wav"});
  EXPECT_EQ(r.status, kExitAudioUnavailable);
  EXPECT_EQ(r.err, unavailable + "this build has no synthesizer)\n");
  EXPECT_EQ(run({"play", "a.mid"}).status, kExitAudioUnavailable);
#else
  // Where the synthesizer's library cannot be loaded, render and play say so.
  for (std::vector<std::string> args : {std::vector<std::string>{"render", "a.mid", "a.wav"},
                                        std::vector<std::string>{"play", "--wav", "a.wav", "a.mid"}}) {
    ToolRun missing = run(args, "MELVARINO_FLUIDSYNTH=" + path("none/libfluidsynth.so.3").string());
    EXPECT_EQ(missing.status, kExitAudioUnavailable) << args[0];
    EXPECT_EQ(missing.err.rfind(unavailable, 0), 0u) << missing.err;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    EXPECT_FALSE(fs::exists(path("a.wav")));
  }

  if (!fs::exists("/usr/share/sounds/sf2/TimGM6mb.sf2") && !fs::exists("/usr/share/sounds/sf2/FluidR3_GM.sf2")) {
    GTEST_SKIP() << "no General MIDI SoundFont installed";
  }
  ToolRun r = run({"render", "a.mid", "a.wav"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::vector<uint8_t> wav = read_bytes(path("a.wav"));
  ASSERT_GT(wav.size(), 44u + 44100u * 4u);  // a RIFF header and at least the song's two seconds
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
  int loudest = 0;
  for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
    int sample = static_cast<int16_t>(wav[i] | (wav[i + 1] << 8));
    loudest = std::max(loudest, std::abs(sample));
  }
  EXPECT_GT(loudest, 1000);

  EXPECT_EQ(run({"render", "a.mid", "plainfile/a.wav"}).status, kExitOutputUnwritable);
  // A file beside the WAV that merely looks like a render in progress is kept.
  write_bytes(path("c.wav.part"), {'k', 'e', 'e', 'p'});
  ASSERT_EQ(run({"render", "a.mid", "c.wav"}).status, kExitOk);
  EXPECT_EQ(read_text(path("c.wav.part")), "keep");
  EXPECT_GT(fs::file_size(path("c.wav")), 44u);
  ToolRun noFont = run({"render", "--soundfont", "nowhere.sf2", "a.mid", "b.wav"});
  EXPECT_EQ(noFont.status, kExitInputUnreadable);
  EXPECT_FALSE(fs::exists(path("b.wav")));

  // Without a sound card, play writes the WAV file it would have played and
  // says so in one line, without the sound library's own complaints.
  fs::remove(path("a.wav"));
  ToolRun play = run({"play", "--wav", "fallback.wav", "a.mid"});
  EXPECT_EQ(play.status, kExitOk) << play.err;
  if (fs::exists(path("fallback.wav"))) {
    EXPECT_EQ(play.err, "melvarino: no audio device could be opened; wrote fallback.wav instead\n");
    EXPECT_GT(fs::file_size(path("fallback.wav")), 44u);
  } else {
    EXPECT_EQ(play.err, "");
  }
#endif
}

// --set title, tempo, start and end act as values typed into the format's
// settings dialog; formats whose dialog lacks the field refuse them.
TEST_F(CliTool, DialogValuesGivenWithSetReachTheWrittenFile) {
  test::MfiBuilder mfi;
  mfi.title("さくら");
  mfi.track().tempo(0, 0xC3, 120).note(0, 0, 15, 48).note(48, 2, 15, 48).note(48, 4, 15, 48).end(48);
  write_bytes(path("song.mld"), mfi.bytes());
  ASSERT_EQ(run({"convert", "song.mld", "-o", "set.mld", "--set", u8"title=うた", "--set", "TEMPO=100"}).status,
            kExitOk);
  ToolRun info = run({"info", "set.mld"});
  EXPECT_EQ(info.out.rfind(u8"曲名「うた」\nﾃﾝﾎﾟ=100", 0), 0u) << info.out;

  ASSERT_EQ(run({"convert", "song.mld", "-o", "whole.mld"}).status, kExitOk);
  ASSERT_EQ(run({"convert", "song.mld", "-o", "cut.mld", "--set", "start=5", "--set", "end=8"}).status, kExitOk);
  EXPECT_LT(fs::file_size(path("cut.mld")), fs::file_size(path("whole.mld")));

  struct Refused {
    std::vector<std::string> args;
    std::string error;
  } refused[] = {
      {{"-o", "x.mid", "--set", "title=a"}, "melvarino: --set title: writing Standard MIDI File has no settings dialog\n"},
      {{"-o", "x.mld", "--set", "tempo=fast"}, "melvarino: --set tempo needs a whole number, not 'fast'\n"},
  };
  for (const Refused& r : refused) {
    std::vector<std::string> args = {"convert", "song.mld"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    ToolRun run_ = run(args);
    EXPECT_EQ(run_.status, kExitUsage);
    EXPECT_EQ(run_.err, r.error);
    EXPECT_FALSE(fs::exists(path("x.mid")) || fs::exists(path("x.mld")));
  }
}

// MML text in and out: info shows its title and tracks, it converts to MIDI,
// MML and MML2MMF text, and a text without a note is refused as not MML.
TEST_F(CliTool, MmlTextIsReadAndWritten) {
  const std::string song = "T150 'Song' {cde} {g4.a8}";
  write_bytes(path("song.mml"), std::vector<uint8_t>(song.begin(), song.end()));
  ToolRun info = run({"info", "song.mml"});
  EXPECT_EQ(info.status, kExitOk) << info.err;
  EXPECT_NE(info.out.find("Song"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find(" 2.["), std::string::npos) << info.out;
  EXPECT_EQ(run({"convert", "song.mml", "-o", "song.mid"}).status, kExitOk);
  EXPECT_EQ(run({"convert", "song.mml", "-o", "copy.mml"}).status, kExitOk);
  EXPECT_EQ(read_text(path("copy.mml")), "T150\r\n{\r\n  'Song'\r\n\r\n  L8O6c4d4e4\r\n}\r\n{\r\n  L8O6g4.a\r\n}");
  EXPECT_EQ(run({"convert", "song.mml", "-d", "out", "--to", "mus"}).status, kExitOk);
  EXPECT_EQ(read_text(path("out/song.mus")), "1[T150]\r\nC[ST:Song,]\r\n1[L8O5c4d4e4]\r\n2[L8O5g4.a]");

  // Rests only, or notes that wrap below the lowest key: no track sounds.
  write_bytes(path("rests.mml"), {'r', 'r', ' ', 'o', '1', '0', 'a'});
  ToolRun rests = run({"info", "rests.mml"});
  EXPECT_EQ(rests.status, kExitFailed);
  EXPECT_EQ(rests.err, "melvarino: no notes could be read from 'rests.mml'\n");

  write_bytes(path("prose.txt"), {'1', '2', '3', ' ', '{', '}', '\n'});
  ToolRun prose = run({"info", "prose.txt"});
  EXPECT_EQ(prose.status, kExitFailed);
  EXPECT_EQ(prose.err, std::string("melvarino: prose.txt: ") + kNotMmlNotice +
                           "\nmelvarino: no notes could be read from 'prose.txt'\n");
}

#endif  // MEL_RUN_TOOL

}  // namespace
}  // namespace mel::cli
