// The MFi / CMX melody reader. Both formats share one chunk and event layout:
// a file header ("melo" or "cmid"), header sub-chunks (title, copyright, note
// event size, ...) and track chunks ("trac") of timed events. Every track chunk
// is scanned once per channel it uses (and, with chord splitting, once per
// chord voice), each scan making one monophonic score track.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads an MFi melody (".mld", magic "melo") into score and song. Never fails:
// unknown or truncated data is skipped and the tracks read so far are kept.
void read_mfi_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

// Reads a CMX melody (".pmd" beginning "cmid"). The same reader; on rhythm
// channels the keys keep the melodic pitch base instead of sounding 10 lower.
void read_cmx_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
