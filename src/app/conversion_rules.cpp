#include "app/conversion_rules.h"

namespace mel {

bool conversion_is_playable(const SongInfo& song, std::uintmax_t outputSize) {
  if (outputSize == 0) return false;
  for (int count : song.noteCount) {
    if (count > 0) return true;
  }
  return false;
}

}  // namespace mel
