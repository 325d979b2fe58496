#include "support/midicsv.h"

#include <cstdlib>

#include "formats/midi/midi_writer.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#endif

namespace mel {
namespace test {

namespace {

constexpr const char* kMidiCsvTool = "/usr/bin/midicsv";

#ifndef _WIN32
std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh file name in the temporary directory (created empty, so it is ours).
std::string make_temp_file(const char* suffix) {
  std::string pattern = (std::filesystem::temp_directory_path() / "melcsvXXXXXX").string() + suffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemps(name.data(), static_cast<int>(std::char_traits<char>::length(suffix)));
  if (fd < 0) return {};
  close(fd);
  return name.data();
}
#endif

}  // namespace

std::string incomplete_listing(const std::vector<std::string>& lines) {
  // midicsv lists a truncated track without complaint; a complete file has a
  // header, every track closed, as many tracks as the header says, and the
  // end-of-file record.
  int declared = -1;
  int started = 0;
  int ended = 0;
  bool endOfFile = false;
  for (const std::string& line : lines) {
    std::vector<std::string> fields = csv_fields(line);
    if (fields.size() < 3) continue;
    if (fields[2] == "Header" && fields.size() >= 5) declared = std::atoi(fields[4].c_str());
    if (fields[2] == "Start_track") ++started;
    if (fields[2] == "End_track") ++ended;
    if (fields[2] == "End_of_file") endOfFile = true;
  }
  if (declared < 0) return "no header record";
  if (started != declared) return "header declares " + std::to_string(declared) + " tracks, found " + std::to_string(started);
  if (ended != started) return "a track has no end-of-track event";
  if (!endOfFile) return "no end-of-file record";
  return {};
}

MidiCsv run_midicsv(const std::vector<uint8_t>& bytes) {
  MidiCsv result;
#ifdef _WIN32
  (void)bytes;
  result.error = "midicsv is not available on Windows";
  return result;
#else
  if (access(kMidiCsvTool, X_OK) != 0) {
    // Not a skip: the project's setup installs midicsv wherever the native tests run.
    result.available = true;
    result.error = std::string(kMidiCsvTool) + " is missing (install the midicsv package)";
    return result;
  }
  result.available = true;
  std::string midiPath = make_temp_file(".mid");
  std::string csvPath = make_temp_file(".csv");
  std::string errPath = make_temp_file(".err");
  if (midiPath.empty() || csvPath.empty() || errPath.empty()) {
    result.error = "cannot create temporary files";
  } else {
    {
      std::ofstream out(midiPath, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // The names come from mkstemps and hold no quote characters.
    std::string command = std::string(kMidiCsvTool) + " '" + midiPath + "' '" + csvPath + "' 2>'" + errPath + "'";
    int status = std::system(command.c_str());
    std::string errors = read_text(errPath);
    std::istringstream csv(read_text(csvPath));
    for (std::string line; std::getline(csv, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      result.lines.push_back(line);
    }
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      result.error = "midicsv failed (status " + std::to_string(status) + "): " + errors;
    } else if (!errors.empty()) {
      result.error = "midicsv complained: " + errors;
    } else {
      result.error = incomplete_listing(result.lines);
      result.ok = result.error.empty();
    }
  }
  for (const std::string& path : {midiPath, csvPath, errPath}) {
    if (!path.empty()) std::remove(path.c_str());
  }
  return result;
#endif
}

std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  auto flush = [&] {
    std::size_t b = field.find_first_not_of(' ');
    std::size_t e = field.find_last_not_of(' ');
    fields.push_back(b == std::string::npos ? std::string() : field.substr(b, e - b + 1));
    field.clear();
  };
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      flush();
    } else {
      field.push_back(c);
    }
  }
  flush();
  return fields;
}

std::vector<std::vector<std::string>> csv_rows(const MidiCsv& csv, const std::string& type) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : csv.lines) {
    std::vector<std::string> fields = csv_fields(line);
    if (fields.size() >= 3 && fields[2] == type) rows.push_back(fields);
  }
  return rows;
}

std::vector<std::string> csv_note_rows(const MidiCsv& csv) {
  std::vector<std::string> rows;
  for (const std::string& line : csv.lines) {
    std::vector<std::string> fields = csv_fields(line);
    if (fields.size() < 6 || (fields[2] != "Note_on_c" && fields[2] != "Note_off_c")) continue;
    std::string row;
    for (std::size_t i = 0; i < 6; ++i) row += (i ? "," : "") + fields[i];
    rows.push_back(row);
  }
  return rows;
}

MidiCsv run_midicsv_on_score(const Score& score, const SongInfo& song) {
  Settings settings;
  settings.play.ForPlayback = 0;
  return run_midicsv(write_midi_file(score, song, settings));
}

}  // namespace test
}  // namespace mel
