// The play modes' rules that need no window: how the key and tempo buttons
// step, what the counter says meanwhile, how a press holds playback, what
// follows the end of a song, and when intro play moves on.
#pragma once

#include <optional>
#include <string>

#include "playback/player_model.h"
#include "score/options.h"

namespace mel {

constexpr int kKeyOffsetMin = -24;
constexpr int kKeyOffsetMax = 24;
constexpr int kSpeedMin = 1;
// The tempo buttons stop here (one step up from 127 still gives 129).
constexpr int kSpeedButtonMax = 128;
// With Ctrl the key moves by an octave.
constexpr int kKeyOctaveStep = 12;
// Intro play moves on once the position passes this many sixteenths.
constexpr long kIntroLength = 100;

// The key after one press of key down or key up (an octave with Ctrl);
// nothing when the key cannot move that way.
std::optional<int> stepped_key(int keyOffset, bool up, bool ctrl);
// The speed factor after one press of tempo down or up (halved or doubled
// with Ctrl; steps of 2 from 16 on, of 1 below); nothing when it cannot move.
std::optional<int> stepped_speed(int speedFactor, bool up, bool ctrl);

// "key %d" and "speed %d.%02d" (a factor of 18 reads speed 1.12).
std::string key_text(int keyOffset);
std::string speed_text(int speedFactor);

// Why a key/tempo press or a scroll-bar drag holds the player.
enum class HoldFlag : int {
  None = 0,
  Interrupted = 1,  // it paused playback: play on afterwards
  FromIdle = 2,     // it began while stopped or paused: stay paused
};

// The hold flag after a press or a drag step arrives in this player state.
HoldFlag hold_on_press(PlayerState state, HoldFlag current);

// What the window does when the player says it stopped.
enum class EndAction {
  None,             // stopped by hand after the song's end: nothing follows
  PlayAgain,        // loop over a single song
  LoadNext,         // go to nextIndex and play it
  CloseWindow,      // the last song ended and the window closes after playing
  ClearExitAfterPlay,  // stopped before the end: the user took over
};

struct EndOfPlayback {
  long position = 0;
  long length = 0;
  bool windowEnabled = true;  // false while a modal dialog of the window is open
  bool loop = false;
  bool exitAfterPlay = false;
  int count = 0;
  int index = 0;
};

struct EndDecision {
  EndAction action = EndAction::None;
  int nextIndex = 0;
};

EndDecision decide_end_of_playback(const EndOfPlayback& end);

// What intro play does on a tick.
enum class IntroMove { None, Next, First };

struct IntroTick {
  long position = 0;
  bool windowEnabled = true;
  bool intro = false;
  bool loop = false;
  int count = 0;
  int index = 0;
};

IntroMove intro_move(const IntroTick& tick);

}  // namespace mel
