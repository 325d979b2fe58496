#include "shell/model/shell_rules_model.h"

#include "shell/model/command_ids.h"

namespace mel {
namespace {

constexpr int kRecModePinned = 1000;

bool in_range(int id, int first, int last) { return id >= first && id <= last; }

}  // namespace

bool clears_exit_after_play(int id) {
  using namespace cmd;
  switch (id) {
    case kPause:
    case kOpen:
    case kOpenLastCreated:
    case kProperties:
    case kCopyAs:
    case kCreateMidi:
    case kCreateMml:
    case kCreatePlaylist:
    case kLoop:
    case kResetKeySpeed:
    case kConversionDetail:
    case kTopmost:
    case kTrackPanel:
    case kCounterDisplay:
    case kThreeTimes:
    case kMidiStandard:
    case kPseudoChord:
    case kMultiTrackSelect:
    case kTrackSplit:
    case kStandardInstrument:
    case kStandardVolume:
    case kPrevious:
    case kNext:
    case kFirst:
    case kIntro:
    case kAbout:
      return true;
    default:
      break;
  }
  return in_range(id, kKeyDown, kTempoUp) || in_range(id, kRecentFirst, kRecentLast) ||
         in_range(id, kCreateFirst, kCreateLast) || in_range(id, kExternalFirst, kExternalLast) ||
         in_range(id, kAllTracks, kTrackLast) || in_range(id, kInstrumentFirst, kInstrumentLast) ||
         in_range(id, kVolumeFirst, kVolumeLast) || in_range(id, kShowOpenButton, kShowSaveButton) ||
         in_range(id, kPreviousPopupFirst, kPreviousPopupFirst + kPopupLength - 1) ||
         in_range(id, kNextPopupFirst, kNextPopupFirst + kPopupLength - 1);
}

int save_button_command(int recmode) {
  const int command = recmode % kRecModePinned;
  // The save button sending itself would repeat without end.
  return command == cmd::kSaveButton ? 0 : command;
}

int recmode_after_create(int recmode, int createCommand) {
  return recmode >= kRecModePinned ? recmode : createCommand;
}

int playlist_move_target(int id, int currentIndex, int fileCount) {
  using namespace cmd;
  const bool hasPrevious = currentIndex >= 1;
  const bool hasNext = currentIndex + 1 < fileCount;
  if (id == kPrevious) return hasPrevious ? currentIndex - 1 : -1;
  if (id == kNext) return hasNext ? currentIndex + 1 : -1;
  if (id == kFirst) return hasPrevious ? 0 : -1;
  if (in_range(id, kPreviousPopupFirst, kPreviousPopupFirst + kPopupLength - 1)) {
    if (currentIndex <= 0) return -1;
    const int target = currentIndex - (id - kPreviousPopupFirst + 1);
    return target < 0 ? 0 : target;
  }
  if (in_range(id, kNextPopupFirst, kNextPopupFirst + kPopupLength - 1)) {
    if (!hasNext) return -1;
    const int target = currentIndex + (id - kNextPopupFirst + 1);
    return target > fileCount - 1 ? fileCount - 1 : target;
  }
  return -1;
}

}  // namespace mel
