// The SMAF reader: turns a chunked "MMMD" melody file into the score.
//
// Every score track chunk in the handy-phone form (four channels, one-byte
// note events) gives one score track per channel, from channel 0 up to the
// highest channel that plays in it. The contents information and the
// optional data supply the texts. Score track chunks in the mobile-standard
// forms are read by the mobile-standard reader when the file has no
// handy-phone track; forms not known yet are skipped with a notice in
// SongInfo::notices.
#pragma once

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Reads a SMAF file (".mmf", and ".smd"/".smz" files that begin "MMMD") into
// score and song. Never fails: unknown or truncated data is skipped, and a
// file without a readable score track gives the two tempo bytes and no track.
void read_smaf_file(ByteView input, Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
