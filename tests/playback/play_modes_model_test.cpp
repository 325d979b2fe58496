// The play modes' rules: key and tempo steps with their limits, the counter
// texts, the hold of a press, the end-of-playback table and intro play.
#include "playback/play_modes_model.h"

#include <gtest/gtest.h>

#include <optional>

namespace mel {
namespace {

struct StepCase {
  bool key;
  bool up;
  bool ctrl;
  int from;
  std::optional<int> to;
};

class ButtonSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(ButtonSteps, MoveWithinTheirLimits) {
  const StepCase& c = GetParam();
  EXPECT_EQ(c.key ? stepped_key(c.from, c.up, c.ctrl) : stepped_speed(c.from, c.up, c.ctrl), c.to);
}

// Fields: key (else tempo), up, Ctrl, from, to (none: the button does not move).
INSTANTIATE_TEST_SUITE_P(PlayModes, ButtonSteps,
                         ::testing::Values(StepCase{true, true, false, 23, 24}, StepCase{true, true, false, 24, {}},
                                           StepCase{true, true, true, 12, 24}, StepCase{true, false, true, -13, -24},
                                           StepCase{true, false, false, -24, {}},
                                           StepCase{false, true, false, 16, 18}, StepCase{false, true, false, 15, 16},
                                           StepCase{false, false, false, 16, 15}, StepCase{false, false, false, 18, 16},
                                           // 127 steps past the button limit, as it always has; then no more.
                                           StepCase{false, true, false, 127, 129}, StepCase{false, true, false, 129, {}},
                                           StepCase{false, true, true, 80, 128}, StepCase{false, false, true, 3, 1},
                                           StepCase{false, false, true, 1, {}}));

TEST(PlayModes, CounterTextsAndTheHoldOfAPress) {
  EXPECT_EQ(key_text(-3), "key -3");
  EXPECT_EQ(speed_text(18), "speed 1.12");
  EXPECT_EQ(speed_text(8), "speed 0.50");
  EXPECT_EQ(hold_on_press(PlayerState::Playing, HoldFlag::None), HoldFlag::Interrupted);
  EXPECT_EQ(hold_on_press(PlayerState::Stopped, HoldFlag::Interrupted), HoldFlag::FromIdle);
  EXPECT_EQ(hold_on_press(PlayerState::Paused, HoldFlag::None), HoldFlag::FromIdle);
  // Later repeats of a press that paused playback keep it to be resumed.
  EXPECT_EQ(hold_on_press(PlayerState::Paused, HoldFlag::Interrupted), HoldFlag::Interrupted);
}

struct EndCase {
  const char* name;
  EndOfPlayback end;
  EndAction action;
  int nextIndex;
};

class EndOfPlaybackTable : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndOfPlaybackTable, Decides) {
  const EndDecision decision = decide_end_of_playback(GetParam().end);
  EXPECT_EQ(decision.action, GetParam().action);
  if (decision.action == EndAction::LoadNext) {
    EXPECT_EQ(decision.nextIndex, GetParam().nextIndex);
  }
}

// Fields: position, length, window enabled, loop, exit after play, count, index.
INSTANTIATE_TEST_SUITE_P(
    PlayModes, EndOfPlaybackTable,
    ::testing::Values(
        EndCase{"SingleSongLoops", {64, 64, true, true, false, 1, 0}, EndAction::PlayAgain, 0},
        EndCase{"SingleSongStops", {64, 64, true, false, false, 1, 0}, EndAction::None, 0},
        EndCase{"SingleSongCloses", {64, 64, true, false, true, 1, 0}, EndAction::CloseWindow, 0},
        EndCase{"NextOfTwo", {64, 64, true, false, true, 2, 0}, EndAction::LoadNext, 1},
        EndCase{"LastOfTwoStops", {64, 64, true, false, false, 2, 1}, EndAction::None, 0},
        EndCase{"LastOfTwoCloses", {64, 64, true, false, true, 2, 1}, EndAction::CloseWindow, 0},
        EndCase{"LastOfThreeLoopsToFirst", {64, 64, true, true, true, 3, 2}, EndAction::LoadNext, 0},
        EndCase{"StoppedEarlyClearsTheExit", {30, 64, true, false, true, 2, 0}, EndAction::ClearExitAfterPlay, 0},
        // A dialog of the window is open: the next song does not start...
        EndCase{"DialogOpenHoldsTheList", {64, 64, false, true, false, 2, 0}, EndAction::ClearExitAfterPlay, 0},
        // ...but a single song on loop goes on.
        EndCase{"DialogOpenSingleLoop", {64, 64, false, true, false, 1, 0}, EndAction::PlayAgain, 0}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST(PlayModes, IntroPlayMovesOnPastTheIntroLength) {
  IntroTick tick;
  tick.intro = true;
  tick.count = 3;
  tick.index = 0;
  tick.position = kIntroLength;
  EXPECT_EQ(intro_move(tick), IntroMove::None);
  tick.position = kIntroLength + 1;
  EXPECT_EQ(intro_move(tick), IntroMove::Next);
  tick.index = 2;
  EXPECT_EQ(intro_move(tick), IntroMove::None);  // the last song plays to its end
  tick.loop = true;
  EXPECT_EQ(intro_move(tick), IntroMove::First);
  tick.windowEnabled = false;
  EXPECT_EQ(intro_move(tick), IntroMove::None);
  tick.windowEnabled = true;
  tick.count = 1;
  EXPECT_EQ(intro_move(tick), IntroMove::None);
}

}  // namespace
}  // namespace mel
