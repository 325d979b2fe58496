// The MFi and CMX outputs as the dispatcher produces them: the writer with the
// settings dialog's values, then the track merge, the size limit stage and,
// for MFi with mail text on, the Base64 mail text.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "formats/mfi/mfi_writer.h"

namespace mel {

// The byte limit given to the MFi size-limit stage, or nullopt when the stage
// does not run (mldbyte 0). With mail text on, the limit counts the bytes that
// are left once the output is written as Base64 mail text.
std::optional<int> mfi_size_limit(const WriterSettings& writers);

// The writer and its post stages with the given dialog values.
std::vector<uint8_t> write_mfi_output(const Score& score, const SongInfo& song, const Settings& settings,
                                      const MfiWriterSettings& mfi);

// The dispatcher's writers for MFi (".mld", or mail text) and CMX (".pmd"),
// with the dialogs' start values.
std::vector<uint8_t> write_mfi_file(const Score& score, const SongInfo& song, const Settings& settings);
std::vector<uint8_t> write_cmx_file(const Score& score, const SongInfo& song, const Settings& settings);

}  // namespace mel
