// Runs Debian's midicsv on bytes we wrote, so an independent parser checks our
// Standard MIDI Files. On Windows the tool is not there: the result says
// "unavailable" and callers skip:
//
//   MidiCsv csv = run_midicsv(bytes);
//   if (!csv.available) GTEST_SKIP() << csv.error;
//   ASSERT_TRUE(csv.ok) << csv.error;
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "score/score_stream.h"

namespace mel {
namespace test {

struct MidiCsv {
  bool available = false;          // false where midicsv cannot be run (Windows)
  bool ok = false;                 // exit 0, nothing on stderr, a complete listing
  std::string error;               // why not ok (exit status, stderr text)
  std::vector<std::string> lines;  // the CSV lines, without line ends
};

MidiCsv run_midicsv(const std::vector<uint8_t>& bytes);

// midicsv over the Standard MIDI File our writer makes of a score as a created
// file (no playback additions): how a reader's notes sound.
MidiCsv run_midicsv_on_score(const Score& score, const SongInfo& song);

// Why a listing is incomplete (header missing, a track not closed, track count
// not as declared), or empty when it is complete.
std::string incomplete_listing(const std::vector<std::string>& lines);

// One CSV row split at commas, fields trimmed (text fields keep their quotes).
std::vector<std::string> csv_fields(const std::string& line);

// The rows whose record type (third field) is type, e.g. "Note_on_c".
std::vector<std::vector<std::string>> csv_rows(const MidiCsv& csv, const std::string& type);

// The note rows (Note_on_c and Note_off_c) in file order, each as
// "track,time,type,channel,key,velocity" without spaces, for comparing with an
// expected list.
std::vector<std::string> csv_note_rows(const MidiCsv& csv);

}  // namespace test
}  // namespace mel
