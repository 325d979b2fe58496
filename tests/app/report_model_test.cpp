// The property report: byte-exact text (CP932 literals, "\r\n" line ends).
#include "app/report_model.h"

#include <gtest/gtest.h>

#include <string>

namespace mel {
namespace {

const std::string kHeading = "\r\n\r\n   [使用音階][音色][音量][音符数][開始～終了]";

// A one-track song at timebase 240 (60 ticks per counter step).
SongInfo one_track_song() {
  SongInfo song;
  reset_song_header(song);
  song.scoreTrackCount = 1;
  song.lowestPitch[0] = 60;
  song.highestPitch[0] = 72;
  song.program[0] = 1 + 1;  // program 1, stored + 1
  song.volume[0] = 100 + 1;
  song.noteCount[0] = 12;
  song.firstNoteTime[0] = 1;    // tick 0, stored + 1
  song.lastNoteEnd[0] = 961;    // ends at tick 960 (step 16)
  return song;
}

TEST(PropertyReport, FullReportIsByteExact) {
  SongInfo song;
  reset_song_header(song);
  song.title = "さくら";
  song.copyright = "(c)melvarino";
  song.tempo = 96;
  song.programCount = 2;
  song.rhythmKeyCount = 3;
  song.scoreTrackCount = 3;
  // Track 1: melodic, from MIDI part 1.
  song.part[0] = 1;
  song.lowestPitch[0] = 57;
  song.highestPitch[0] = 81;
  song.program[0] = 74;
  song.volume[0] = 101;
  song.noteCount[0] = 345;
  song.firstNoteTime[0] = 61;    // step 2
  song.lastNoteEnd[0] = 28801;   // step 480
  // Track 2: rhythm.
  song.part[1] = 10;
  song.lowestPitch[1] = 35;
  song.highestPitch[1] = 42;
  song.program[1] = kRhythmProgram;
  song.volume[1] = kMixedValue;
  song.noteCount[1] = 7;
  song.firstNoteTime[1] = 1;
  song.lastNoteEnd[1] = 241;
  // Track 3: exists but holds nothing.
  Settings settings;
  std::string expected =
      "曲名「さくら」\r\n"
      "著作：(c)melvarino\r\n"
      "ﾃﾝﾎﾟ=96　1分15.500秒\r\n"
      "使用音色 2種　使用ﾘｽﾞﾑ 3種" +
      kHeading +
      "\r\n 1.[ 57～ 81][  73][ 100][   345][   2～ 480]"
      "\r\n R.[ 35～ 42][ﾘｽﾞﾑ][   *][     7][   1～   4]"
      "\r\n 3.[   ～   ][    ][    ][      ][    ～    ]";
  EXPECT_EQ(build_property_report(song, settings, 75500), expected);
}

TEST(PropertyReport, PlayingTimeShowsMinutesOnlyFromOneMinute) {
  SongInfo song = one_track_song();
  Settings settings;
  std::string nine = build_property_report(song, settings, 9000);
  EXPECT_EQ(nine.substr(0, nine.find("\r\n")), "ﾃﾝﾎﾟ=120　9.000秒");
  std::string justUnder = build_property_report(song, settings, 59999);
  EXPECT_EQ(justUnder.substr(0, justUnder.find("\r\n")), "ﾃﾝﾎﾟ=120　59.999秒");
  std::string oneMinute = build_property_report(song, settings, 60000);
  EXPECT_EQ(oneMinute.substr(0, oneMinute.find("\r\n")), "ﾃﾝﾎﾟ=120　1分0.000秒");
}

TEST(PropertyReport, TempoLineShowsTheSpeedFactor) {
  SongInfo song = one_track_song();
  Settings settings;
  settings.play.SpeedFactor = 24;
  std::string faster = build_property_report(song, settings, 0);
  EXPECT_EQ(faster.substr(0, faster.find("　")), "ﾃﾝﾎﾟ=120*1.50=180");
  // The fraction is hundredths without a leading zero: 17/16 shows as 1.6.
  settings.play.SpeedFactor = 17;
  std::string odd = build_property_report(song, settings, 0);
  EXPECT_EQ(odd.substr(0, odd.find("　")), "ﾃﾝﾎﾟ=120*1.6=127");
  settings.play.SpeedFactor = 8;
  std::string slower = build_property_report(song, settings, 0);
  EXPECT_EQ(slower.substr(0, slower.find("　")), "ﾃﾝﾎﾟ=120*0.50=60");
}

TEST(PropertyReport, KeyOffsetMovesMelodicRangesOnly) {
  SongInfo song = one_track_song();
  song.scoreTrackCount = 2;
  song.program[1] = kRhythmProgram;
  song.lowestPitch[1] = 36;
  song.highestPitch[1] = 38;
  Settings settings;
  settings.play.KeyOffset = 3;
  std::string report = build_property_report(song, settings, 0);
  EXPECT_NE(report.find("\r\nｷｰｺﾝﾄﾛｰﾙ #3\r\n"), std::string::npos);
  EXPECT_NE(report.find("\r\n 1.[ 63～ 75]"), std::string::npos);
  EXPECT_NE(report.find("\r\n R.[ 36～ 38]"), std::string::npos);
  settings.play.KeyOffset = -24;
  report = build_property_report(song, settings, 0);
  EXPECT_NE(report.find("ｷｰｺﾝﾄﾛｰﾙ #-24"), std::string::npos);
  EXPECT_NE(report.find("\r\n 1.[ 36～ 48]"), std::string::npos);
}

TEST(PropertyReport, LongTitleAndCopyrightAreCut) {
  SongInfo song = one_track_song();
  Settings settings;
  // 42 title bytes make a 52-byte line: kept whole.
  song.title = std::string(42, 'a');
  std::string report = build_property_report(song, settings, 0);
  EXPECT_EQ(report.substr(0, report.find("\r\n") + 2), "曲名「" + std::string(42, 'a') + "」\r\n");
  // One byte more: cut after byte 45 and closed with the ellipsis.
  song.title = std::string(43, 'a');
  report = build_property_report(song, settings, 0);
  std::string line = report.substr(0, report.find("\r\n") + 2);
  EXPECT_EQ(line, "曲名「" + std::string(39, 'a') + "･･･」\r\n");
  EXPECT_EQ(line.size(), 52u);
  // A two-byte character across the cut is left out whole.
  song.title = std::string(38, 'a') + "桜桜桜";
  report = build_property_report(song, settings, 0);
  EXPECT_EQ(report.substr(0, report.find("\r\n") + 2), "曲名「" + std::string(38, 'a') + "･･･」\r\n");

  song.title.clear();
  song.copyright = std::string(44, 'c');  // 6 + 44 + 2 = 52 bytes: too long
  report = build_property_report(song, settings, 0);
  line = report.substr(0, report.find("\r\n") + 2);
  EXPECT_EQ(line, "著作：" + std::string(39, 'c') + "･･･\r\n");
  song.copyright = std::string(42, 'c');  // exactly 50 bytes: kept
  report = build_property_report(song, settings, 0);
  EXPECT_EQ(report.substr(0, report.find("\r\n") + 2), "著作：" + std::string(42, 'c') + "\r\n");
}

// Artist and composer have a line each, between title and copyright, only
// when the song has them.
TEST(PropertyReport, ArtistAndComposerLinesOnlyWhenPresent) {
  SongInfo song = one_track_song();
  Settings settings;
  song.title = "t";
  song.copyright = "c";
  std::string without = build_property_report(song, settings, 0);
  song.artist = "a";
  song.composer = "w";
  std::string with = build_property_report(song, settings, 0);
  EXPECT_EQ(with, "曲名「t」\r\nｱｰﾃｨｽﾄ：a\r\n作曲：w\r\n" + without.substr(without.find("著作")));
}

TEST(PropertyReport, ProgramVolumeAndLabelColumns) {
  SongInfo song = one_track_song();
  song.scoreTrackCount = 6;
  const int programs[6] = {kMixedValue, 0, kNativeVoiceBase, kNativeVoiceBase + 1, kNativeVoiceBase + 2,
                           kNativeVoiceBase + 3 * 11};
  for (int i = 0; i < 6; ++i) {
    song.program[i] = programs[i];
    song.volume[i] = i == 0 ? 128 : 0;
  }
  song.part[0] = kMixedChannelPart;
  song.part[1] = 12;
  Settings settings;
  std::string report = build_property_report(song, settings, 0);
  std::string rows = report.substr(report.find(kHeading) + kHeading.size());
  EXPECT_EQ(rows,
            "\r\n *.[ 60～ 72][   *][ 127][    12][   1～  16]"
            "\r\n12.[   ～   ][    ][    ][      ][    ～    ]"
            "\r\n 3.[   ～   ][B1  ][    ][      ][    ～    ]"
            "\r\n 4.[   ～   ][C1  ][    ][      ][    ～    ]"
            "\r\n 5.[   ～   ][A1  ][    ][      ][    ～    ]"
            "\r\n 6.[   ～   ][B12 ][    ][      ][    ～    ]");

  // Pseudo-chord mode numbers the output voices instead.
  settings.conv.giziwaon = 3 | kPseudoChordModeBit;
  report = build_property_report(song, settings, 0);
  EXPECT_NE(report.find("\r\nG1.[ 60～ 72]"), std::string::npos);
  EXPECT_NE(report.find("\r\nG6.[   ～   ]"), std::string::npos);
}

TEST(PropertyReport, TinyTimebaseCountsOneTickPerStep) {
  SongInfo song = one_track_song();
  for (int timebase : {0, 1, 3, -5}) {
    song.timebase = timebase;
    Settings settings;
    std::string report = build_property_report(song, settings, 0);
    EXPECT_NE(report.find("[   1～ 960]"), std::string::npos) << "timebase " << timebase;
  }
  song.timebase = 4;
  EXPECT_NE(build_property_report(song, Settings{}, 0).find("[   1～ 960]"), std::string::npos);
}

TEST(PropertyReport, TrackRowsStopAtThirtyTwo) {
  SongInfo song = one_track_song();
  song.scoreTrackCount = 40;
  std::string report = build_property_report(song, Settings{}, 0);
  std::string rows = report.substr(report.find(kHeading) + kHeading.size());
  std::size_t count = 0;
  for (std::size_t p = rows.find("\r\n"); p != std::string::npos; p = rows.find("\r\n", p + 2)) ++count;
  EXPECT_EQ(count, 32u);
  EXPECT_NE(rows.find("\r\n32."), std::string::npos);
}

}  // namespace
}  // namespace mel
