// M3U playlists as text, the order of a folder scan and the shuffle.
#include "shell/model/playlist_model.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace mel {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(M3u, LinesEndInAnyLineBreakAndBlankLinesAreSkipped) {
  // "ソ" is 83 5C in CP932: its trail byte is a backslash and stays with it.
  const std::string text = "  a.mld\r\n\r\nC:\\My Songs\\\x83\x5C.mid\nb.mmf\rlast.mid";
  const M3uLines m3u = parse_m3u(text);
  EXPECT_FALSE(m3u.utf8);
  EXPECT_EQ(m3u.lines, (Lines{"a.mld", "C:\\My Songs\\\x83\x5C.mid", "b.mmf", "last.mid"}));
}

TEST(M3u, ALineTooLongForASlotIsLeftOutAndTheNextOneRead) {
  const std::string fits(255, 'f');
  const M3uLines m3u = parse_m3u(std::string(256, 'x') + "\r\n" + fits + "\r\nz.mid");
  EXPECT_EQ(m3u.lines, (Lines{fits, "z.mid"}));
}

TEST(M3u, TheUtf8MarkMakesTheLinesUtf8AndIsWrittenBack) {
  const std::string text = "\xEF\xBB\xBF\xE6\xAD\x8C.mid\r\n";  // "歌.mid"
  const M3uLines m3u = parse_m3u(text);
  EXPECT_TRUE(m3u.utf8);
  EXPECT_EQ(m3u.lines, (Lines{"\xE6\xAD\x8C.mid"}));
  EXPECT_EQ(m3u_text(m3u.lines, true), text);
}

TEST(M3u, WrittenListIsOneLinePerSongWithCrLfAndNoHeader) {
  const Lines songs = {"a.mld", "\x89\xCC.mid", "c.mmf"};  // the middle one is "歌" in CP932
  const std::string text = m3u_text(songs, false);
  EXPECT_EQ(text, "a.mld\r\n\x89\xCC.mid\r\nc.mmf\r\n");
  EXPECT_EQ(parse_m3u(text).lines, songs);
  EXPECT_EQ(m3u_text({}, false), "");
}

TEST(FolderScan, NamesInCaseBlindOrderAndOverlongPathsLeftOut) {
  const std::vector<fs::path> names = {"b.mid", "A.mld", "c.mmf", "long.mid"};
  const auto length = [](const fs::path& path) {
    // long.mid stands for a name whose CP932 path needs 256 bytes.
    return path.filename() == "long.mid" ? std::size_t{256} : std::size_t{255};
  };
  const std::vector<fs::path> candidates = folder_scan_candidates("songs", names, length);
  EXPECT_EQ(candidates, (std::vector<fs::path>{fs::path("songs") / "A.mld", fs::path("songs") / "b.mid",
                                                fs::path("songs") / "c.mmf"}));
}

TEST(Shuffle, SwapsEachEntryWithTheDrawnOneAndKeepsEveryEntry) {
  std::vector<fs::path> entries = {"a", "b", "c", "d"};
  // Draws 1, 2, 3, 0 with a clock of 4: j = (r mod 4 + 4) mod 4 = r.
  int draw = 0;
  shuffle_entries(entries, [&] { return (++draw) % 4; }, 4);
  // k=0 <-> 1: b a c d; k=1 <-> 2: b c a d; k=2 <-> 3: b c d a; k=3 <-> 0: a c d b.
  EXPECT_EQ(entries, (std::vector<fs::path>{"a", "c", "d", "b"}));

  std::vector<fs::path> many = {"1", "2", "3", "4", "5", "6", "7"};
  std::vector<fs::path> sorted = many;
  shuffle_entries(many, [] { return 123456789; }, 0xABCDEu);
  std::sort(many.begin(), many.end());
  EXPECT_EQ(many, sorted);
  std::vector<fs::path> none;
  shuffle_entries(none, [] { return 1; }, 1);  // nothing to shuffle, nothing divides by zero
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace mel
