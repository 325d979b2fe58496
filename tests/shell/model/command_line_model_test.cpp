// Splitting the command line into playlist entries.
#include "shell/model/command_line_model.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace mel {
namespace {

NativeText native(const std::string& text) { return std::filesystem::path(text).native(); }

// A file system of named files and their types, and the entries accepted.
class FakePlaylist : public PlaylistSink {
 public:
  std::map<std::string, int> files;  // path -> InputType
  std::vector<std::string> entries;
  std::vector<std::string> probed;   // every candidate looked at
  std::size_t capacity = 100;

  bool full() const override { return entries.size() >= capacity; }
  bool exists(const std::filesystem::path& path) const override {
    const_cast<FakePlaylist*>(this)->probed.push_back(path.string());
    return files.count(path.string()) != 0;
  }
  int detect(const std::filesystem::path& path) const override { return files.at(path.string()); }
  void accept(const std::filesystem::path& path, int type) override {
    entries.push_back(path.string() + (type < 0 ? "#" + std::to_string(type) : ""));
  }
  void append(const std::filesystem::path& path) override { entries.push_back(path.string() + "!"); }
};

TEST(CommandLine, NamesWithSpacesAreFoundByGrowingTheCandidate) {
  FakePlaylist sink;
  sink.files = {{"C:\\My Files\\song.mld", 8}, {"b.mid", 5}};
  parse_command_line(native("C:\\My Files\\song.mld b.mid"), sink);
  EXPECT_EQ(sink.entries, (std::vector<std::string>{"C:\\My Files\\song.mld", "b.mid"}));
  // The first candidate stopped at the space and did not exist.
  ASSERT_FALSE(sink.probed.empty());
  EXPECT_EQ(sink.probed.front(), "C:\\My");
}

TEST(CommandLine, UnrecognisedAndMissingNamesAreSkippedOrJoinTheNextCandidate) {
  FakePlaylist sink;
  sink.files = {{"readme.doc", 0}, {"a.mid", 5}, {"list.m3u", -1}, {"songs", -2}};
  // "readme.doc" exists but has no type: it grows into "readme.doc a.mid",
  // which does not exist, so a.mid is lost with it, as the scan does.
  parse_command_line(native("list.m3u songs readme.doc a.mid"), sink);
  EXPECT_EQ(sink.entries, (std::vector<std::string>{"list.m3u#-1", "songs#-2"}));
}

TEST(CommandLine, AQuotedPathIsOneEntryTakenWithoutDetection) {
  FakePlaylist sink;
  sink.files = {{"list.m3u", -1}};
  parse_command_line(native("\"list.m3u\""), sink);
  EXPECT_EQ(sink.entries, (std::vector<std::string>{"list.m3u!"}));

  FakePlaylist missing;
  parse_command_line(native("\"nothing.mid\""), missing);
  EXPECT_TRUE(missing.entries.empty());
  FakePlaylist lone;
  parse_command_line(native("\""), lone);  // a lone quote names nothing
  EXPECT_TRUE(lone.entries.empty());
}

TEST(CommandLine, StopsWhenThePlaylistIsFullAndDropsOverlongCandidates) {
  FakePlaylist sink;
  sink.files = {{"a.mid", 5}, {"b.mid", 5}, {"c.mid", 5}};
  sink.capacity = 2;
  parse_command_line(native("a.mid b.mid c.mid"), sink);
  EXPECT_EQ(sink.entries.size(), 2u);

  FakePlaylist longName;
  longName.files = {{"z.mid", 5}};
  parse_command_line(native(std::string(300, 'x') + " z.mid"), longName);
  EXPECT_EQ(longName.entries, (std::vector<std::string>{"z.mid"}));
}

TEST(CommandLine, AQuotedNameTooLongForASlotIsRefused) {
  const std::string fits(255, 'f');
  const std::string overlong(256, 'o');
  FakePlaylist sink;
  sink.files = {{fits, 5}, {overlong, 5}};
  parse_command_line(native("\"" + fits + "\""), sink);
  parse_command_line(native("\"" + overlong + "\""), sink);
  parse_command_line(native("\"\""), sink);  // two quotes and no name
  EXPECT_EQ(sink.entries, (std::vector<std::string>{fits + "!"}));
}

TEST(CommandLine, ExtraSpacesBetweenNamesSeparateThem) {
  FakePlaylist sink;
  sink.files = {{"a.mid", 5}, {"b.mid", 5}};
  parse_command_line(native("a.mid   b.mid "), sink);
  EXPECT_EQ(sink.entries, (std::vector<std::string>{"a.mid", "b.mid"}));
}

}  // namespace
}  // namespace mel
