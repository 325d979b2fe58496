#include "score/midi_writer.h"

namespace mel {

std::vector<uint8_t> write_midi_file(const Score&, const SongInfo&, const Settings&) { return {}; }

}  // namespace mel
