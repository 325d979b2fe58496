// The two sequencer devices of the Windows program: the MCI "sequencer"
// device and the built-in sequencer (plays the file itself, on its own clock,
// to the first MIDI output when there is one). Both notify window with
// MM_MCINOTIFY when a play reaches the end.
#pragma once

#include <windows.h>

#include <memory>

#include "playback/player_model.h"

namespace mel {

std::unique_ptr<SequencerDevice> make_mci_sequencer(HWND window);

// clockScale > 1 runs the built-in clock faster (tests); 1 is real time.
std::unique_ptr<SequencerDevice> make_builtin_sequencer(HWND window, double clockScale = 1.0);

// True when MCI can sound a MIDI file here: a MIDI output exists.
bool mci_sequencer_can_play();

}  // namespace mel
