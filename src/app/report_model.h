// The file property report: a text about the loaded song built from the song
// header and the playback length. CP932 bytes, lines ending "\r\n".
#pragma once

#include <string>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

std::string build_property_report(const SongInfo& song, const Settings& settings, long long lengthMs);

}  // namespace mel
