#include "app/report_model.h"

#include "app/dialogs/dialog_model.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace mel {

namespace {

// Longest title line (with its line end) before it is shortened, and where
// the shortened line is cut.
constexpr std::size_t kTitleLineLimit = 52;
constexpr std::size_t kCopyrightLineLimit = 50;
constexpr std::size_t kLongLineCut = 45;

constexpr long long kMsPerMinute = 60000;
constexpr long long kMsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;

// Programs and volumes in the song header are value + 1 for 1..128.
constexpr int kFirstPlainValue = 1;
constexpr int kLastPlainValue = 128;
constexpr int kNativeVoiceLast = 640;
constexpr int kNativeVoiceBanks = 3;

// Counter steps are sixteenth notes: a quarter note (timebase) holds four.
constexpr int kSixteenthsPerQuarter = 4;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
  char buffer[128];
  va_list args;
  va_start(args, pattern);
  int n = std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}


// A line that is too long keeps its first bytes and ends with the ellipsis.
std::string shorten_line(const std::string& line, std::size_t limit, const char* ellipsisEnd) {
  if (line.size() <= limit) return line;
  return cut_text(line, kLongLineCut) + ellipsisEnd;
}

std::string tempo_text(const SongInfo& song, const PlaybackOptions& play) {
  std::string text = format("ﾃﾝﾎﾟ=%d", song.tempo);
  int speed = play.SpeedFactor;
  if (speed != kSpeedAsWritten) {
    text += format("*%d.%d=%d", speed / kSpeedAsWritten, (speed % kSpeedAsWritten) * 100 / kSpeedAsWritten,
                   song.tempo * speed / kSpeedAsWritten);
  }
  return text;
}

std::string playing_time_text(long long ms) {
  ms = std::max(0LL, ms);
  std::string text;
  if (ms >= kMsPerMinute) text += format("%lld分", ms / kMsPerMinute);
  text += format("%lld.%03lld秒", (ms / kMsPerSecond) % kSecondsPerMinute, ms % kMsPerSecond);
  return text;
}

std::string track_label(const SongInfo& song, const ConversionOptions& conv, int track) {
  int index = track - 1;
  if (conv.pseudo_chord_mode()) return format("G%d.", track);
  if (song.program[index] == kRhythmProgram) return " R.";
  if (song.part[index] == kMixedChannelPart) return " *.";
  if (song.part[index] != 0) return format("%2d.", song.part[index]);
  return format("%2d.", track);
}

std::string note_range_column(const SongInfo& song, const PlaybackOptions& play, int track) {
  int index = track - 1;
  if (song.lowestPitch[index] < 1) return "[   ～   ]";
  int shift = song.is_rhythm_track(track) ? 0 : play.KeyOffset;
  return format("[%3d～%3d]", song.lowestPitch[index] + shift, song.highestPitch[index] + shift);
}

std::string program_column(int program) {
  if (program >= kFirstPlainValue && program <= kLastPlainValue) return format("[ %3d]", program - 1);
  if (program == kMixedValue) return "[   *]";
  if (program == kRhythmProgram) return "[ﾘｽﾞﾑ]";
  if (program >= kNativeVoiceBase && program <= kNativeVoiceLast) {
    static const char* const kBankPrefix[kNativeVoiceBanks] = {"[B", "[C", "[A"};
    int voice = program - kNativeVoiceBase;
    return kBankPrefix[voice % kNativeVoiceBanks] + format("%-3d]", voice / kNativeVoiceBanks + 1);
  }
  // Below 1, and values no reader produces, leave the column empty.
  return "[    ]";
}

std::string volume_column(int volume) {
  if (volume >= kFirstPlainValue && volume <= kLastPlainValue) return format("[ %3d]", volume - 1);
  if (volume == kMixedValue) return "[   *]";
  return "[    ]";
}

std::string note_count_column(int count) { return count < 1 ? "[      ]" : format("[ %5d]", count); }

// First and last counter position (sixteenth notes counted from 1). A
// timebase below 4 would make a sixteenth note zero ticks long; it counts as 1.
std::string position_column(const SongInfo& song, int track) {
  int index = track - 1;
  int ticksPerStep = std::max(1, song.timebase / kSixteenthsPerQuarter);
  std::string text;
  int first = song.firstNoteTime[index];
  text += first < 1 ? "[    " : format("[%4d", (first - 1) / ticksPerStep + 1);
  text += "～";
  int lastEnd = song.lastNoteEnd[index];
  text += lastEnd < 2 ? "    ]" : format("%4d]", (lastEnd - 2) / ticksPerStep + 1);
  return text;
}

}  // namespace

std::string build_property_report(const SongInfo& song, const Settings& settings, long long lengthMs) {
  const PlaybackOptions& play = settings.play;
  std::string report;
  if (!song.title.empty()) {
    report += shorten_line("曲名「" + song.title + "」\r\n", kTitleLineLimit, "･･･」\r\n");
  }
  if (!song.artist.empty()) {
    report += shorten_line("ｱｰﾃｨｽﾄ：" + song.artist + "\r\n", kCopyrightLineLimit, "･･･\r\n");
  }
  if (!song.composer.empty()) {
    report += shorten_line("作曲：" + song.composer + "\r\n", kCopyrightLineLimit, "･･･\r\n");
  }
  if (!song.copyright.empty()) {
    report += shorten_line("著作：" + song.copyright + "\r\n", kCopyrightLineLimit, "･･･\r\n");
  }
  report += tempo_text(song, play);
  report += "　";
  report += playing_time_text(lengthMs);
  if (play.KeyOffset != 0) report += format("\r\nｷｰｺﾝﾄﾛｰﾙ #%d", play.KeyOffset);
  if (song.rhythmKeyCount != 0 || song.programCount != 0) {
    report += "\r\n";
    if (song.programCount != 0) report += format("使用音色 %d種", song.programCount);
    if (song.rhythmKeyCount != 0) {
      if (song.programCount != 0) report += "　";
      report += format("使用ﾘｽﾞﾑ %d種", song.rhythmKeyCount);
    }
  }
  report += "\r\n\r\n   [使用音階][音色][音量][音符数][開始～終了]";
  int tracks = std::min(song.scoreTrackCount, kMaxTracks);
  for (int track = 1; track <= tracks; ++track) {
    report += "\r\n";
    report += track_label(song, settings.conv, track);
    report += note_range_column(song, play, track);
    report += program_column(song.program[track - 1]);
    report += volume_column(song.volume[track - 1]);
    report += note_count_column(song.noteCount[track - 1]);
    report += position_column(song, track);
  }
  return report;
}

}  // namespace mel
