#include "app/dialogs/melody_format_dialog.h"

#include <algorithm>

#include "formats/shared/written_tracks.h"

namespace mel {

int spin_note_limit(int value, int direction, bool ctrl, const MelodyDialogRules::NoteLimit& rules) {
  const long long step = ctrl ? rules.ctrlStep : rules.step;
  long long next = 0;
  if (!rules.multiples) {
    next = static_cast<long long>(value) + direction * step;
  } else if (direction > 0) {
    next = (std::max(value, 0) / step + 1) * step;
  } else {
    next = value <= 0 ? 0 : ((static_cast<long long>(value) - 1) / step) * step;
  }
  return static_cast<int>(std::clamp<long long>(next, 0, rules.spinTop));
}

std::vector<KeyRow> small_format_key_rows(const SongInfo& song, const Settings& settings, int limit) {
  std::vector<KeyRow> rows;
  for (int track : written_track_numbers(song, settings, limit)) rows.push_back({track, song.is_rhythm_track(track)});
  return rows;
}

}  // namespace mel
