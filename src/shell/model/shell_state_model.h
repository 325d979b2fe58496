// The parts of the main window's state that hold no Win32 types: the
// playlist and the files around it, what the window shows, the song the last
// load gave, the player, the menu choices the settings add, the keys held and
// the dialogs open. The window's state (win32/shell_state.h) is made of these
// parts, its handles and the engine; each handler takes the parts it needs.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "playback/play_modes_model.h"
#include "playback/player_model.h"
#include "shell/model/menu_model.h"

namespace mel {

constexpr int kInstrumentNameCount = 128;

// The playlist, its current entry and the files the window remembers.
struct PlaylistState {
  std::vector<std::filesystem::path> entries;  // in play order
  int currentIndex = 0;
  int capacity = 255;                         // `files`
  std::vector<std::filesystem::path> recent;  // most recent first
  std::filesystem::path currentFile;          // the file being played; the open dialog's start
  std::filesystem::path lastCreated;          // the last file a create command wrote
  std::filesystem::path saveFolder;           // where the save dialog opens

  int count() const { return static_cast<int>(entries.size()); }
  bool full() const { return count() >= capacity; }
  bool index_inside() const { return currentIndex >= 0 && currentIndex < count(); }
  // The entry at the current index; empty when the index is outside the list.
  std::filesystem::path current_entry() const {
    return index_inside() ? entries[currentIndex] : std::filesystem::path();
  }
};

// Ticks (100 ms each) the counter keeps a title or message before it shows
// the position again.
constexpr int kCounterHoldTicks = 5;

// What the window shows and the layout's bookkeeping.
struct DisplayState {
  unsigned controlFlags = 0;  // `ControlFlags`: kFlag*
  bool fullView = true;       // false: the compact view
  int effectiveColour = 2;    // the counter's painted colour, 0..7
  int counterHold = 0;        // ticks the counter keeps a title or message
  bool relayoutRunning = false;
  int fixedHeight = 0;
  int minimumWidth = 0;
  int heightFixesInRow = 0;  // relayouts posted by painting that did not make the content fit
};

// What the last load gave.
struct LoadState {
  std::filesystem::path tempMidiPath;  // receives every playback conversion
  int inputType = 0;                   // of the loaded file
  bool songLoaded = false;             // the last load gave something to play
  int currentOutputKind = 0;           // of the last create
};

// The player and what it plays through. Members are destroyed in reverse
// order: the player goes before the host and the device it uses.
struct PlaybackState {
  std::unique_ptr<SequencerDevice> device;
  std::unique_ptr<PlayerHost> host;
  std::unique_ptr<SequencerPlayer> player;
  bool intro = false;            // intro play
  HoldFlag hold = HoldFlag::None;  // a key/tempo press or a scroll-bar drag holds the player
  int endOfPlaybackSignals = 0;  // how many times the player said it stopped
};

// The menu choices that the settings and the instrument name list supply.
struct MenuChoices {
  std::vector<InstrumentEntry> instruments;
  int instrumentIndex = 0;
  int volumeIndex = 2;
  std::vector<ExternalProgram> externalPrograms;
  std::array<std::string, kInstrumentNameCount> instrumentNames;
};

// Keys the window follows between their key-down and key-up.
struct KeyState {
  bool ctrlDown = false;
};

// The dialogs and message boxes of the window that are open right now. A
// close that arrives meanwhile (from the taskbar, a posted close) waits until
// the last of them has returned: the code that opened it still needs the
// window and its state afterwards.
class ModalState {
 public:
  void opened() { ++depth_; }
  // True when this was the last one open and a close waited for it: the
  // close is to be carried out now.
  bool closed() {
    if (--depth_ > 0 || !closePending_) return false;
    closePending_ = false;
    return true;
  }
  // True when a close must wait (it is remembered until the last one closes).
  bool defer_close() {
    if (depth_ <= 0) return false;
    closePending_ = true;
    return true;
  }

  bool propertyDialogOpen = false;

 private:
  int depth_ = 0;
  bool closePending_ = false;
};

}  // namespace mel
