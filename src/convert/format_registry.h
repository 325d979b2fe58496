// Which reader decodes an input type and which writer produces an output kind.
// A null entry means the format is recognised but not supported yet.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Decodes input into score (bytes and length) and song.
using ScoreReader = void (*)(ByteView input, Score& score, SongInfo& song, const Settings& settings);

// Encodes the score into a complete output file.
using ScoreWriter = std::vector<uint8_t> (*)(const Score& score, const SongInfo& song, const Settings& settings);

ScoreReader reader_for(int inputType);
ScoreWriter writer_for(int outputKind);

// True when the dispatcher accepts this output kind at all.
bool is_dispatcher_kind(int outputKind);

// The file extension (with its dot) that an output kind is written with.
const char* output_extension(int outputKind);

// The output kind selected by an output file's extension (lower case, with its
// dot), or 0 when no kind writes that extension.
int output_kind_for_extension(const std::string& lowerExtension);

}  // namespace mel
