#include "convert/format_registry.h"

namespace mel {

ScoreReader reader_for(int inputType) {
  const InputFormat* row = find_input_format(inputType);
  return row ? row->reader : nullptr;
}

ScoreWriter writer_for(int outputKind) {
  const OutputFormat* row = find_output_format(outputKind);
  return row ? row->writer : nullptr;
}

bool is_dispatcher_kind(int outputKind) {
  const OutputFormat* row = find_output_format(outputKind);
  return row && row->byDispatcher;
}

const char* output_extension(int outputKind) {
  const OutputFormat* row = find_output_format(outputKind);
  return row && !row->extensions.empty() ? row->extensions.front() : "";
}

int output_kind_for_extension(const std::string& lowerExtension) {
  int found = 0;
  for (const OutputFormat& row : output_formats()) {
    if (!row.byDispatcher) continue;
    for (const char* extension : row.extensions) {
      if (lowerExtension != extension) continue;
      if (found != 0) return 0;
      found = row.kind;
    }
  }
  return found;
}

}  // namespace mel
