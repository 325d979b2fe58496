// Which reader decodes an input type and which writer produces an output
// kind, as the format table says. A null entry means the format is
// recognised but not supported yet.
#pragma once

#include <string>

#include "convert/format_table.h"

namespace mel {

ScoreReader reader_for(int inputType);
ScoreWriter writer_for(int outputKind);

// True when the dispatcher accepts this output kind at all.
bool is_dispatcher_kind(int outputKind);

// The file extension (with its dot) that an output kind is written with.
const char* output_extension(int outputKind);

// The output kind selected by an output file's extension (lower case, with its
// dot), or 0 when no kind or more than one writes that extension (".pmd" is
// both pana melody and CMX).
int output_kind_for_extension(const std::string& lowerExtension);

}  // namespace mel
