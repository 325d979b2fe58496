#include "app/conversion_rules.h"

namespace mel {

bool conversion_is_playable(const SongInfo& song, std::uintmax_t outputSize) {
  // A song whose every track was removed for sounding nothing (a text of
  // rests only, say) is as empty as one without a note.
  if (outputSize == 0 || song.trackCount < 1) return false;
  for (int count : song.noteCount) {
    if (count > 0) return true;
  }
  return false;
}

}  // namespace mel
