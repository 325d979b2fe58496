// The post stages of the MFi / CMX writer: the track merge combines the
// writer's chunks into one chunk per channel group in time order, and the size
// limit stage cuts a file at the moment it would exceed a byte limit.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_reader.h"

namespace mel {

// Merges the track chunks of file (channel chunkChannels[i] for chunk i) into
// at most four chunks, channels 4g..4g+3 in chunk g + 1. cmx selects the
// "cmid" magic and the CMX filler event.
std::vector<uint8_t> merge_mfi_tracks(ByteView file, const std::vector<int>& chunkChannels, bool cmx);

// Cuts file at the point in time where it would exceed limit bytes: every
// track ends at that time and a note sounding across it ends there. A file
// within the limit comes back unchanged.
std::vector<uint8_t> limit_mfi_size(ByteView file, int limit);

}  // namespace mel
