// The play modes' rules: key and tempo steps with their limits, the counter
// texts, the hold of a press, the end-of-playback table and intro play.
#include "playback/play_modes_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace mel {
namespace {

// Presses a button until it stops moving; the values it went through.
std::vector<int> hold_button(int start, bool key, bool up, bool ctrl) {
  std::vector<int> values;
  std::optional<int> value = start;
  while ((value = key ? stepped_key(*value, up, ctrl) : stepped_speed(*value, up, ctrl))) {
    values.push_back(*value);
    if (values.size() > 200) break;
  }
  return values;
}

TEST(PlayModes, KeyStepsBySemitonesOrOctavesAndStopsAtTwoOctaves) {
  const std::vector<int> up = hold_button(20, true, true, false);
  EXPECT_EQ(up, (std::vector<int>{21, 22, 23, 24}));
  EXPECT_EQ(hold_button(0, true, true, true), (std::vector<int>{12, 24}));
  EXPECT_EQ(hold_button(-13, true, false, true), (std::vector<int>{-24}));  // clamped, not -25
  EXPECT_EQ(stepped_key(-24, false, false), std::nullopt);
}

TEST(PlayModes, TempoStepsByTwoFromSixteenAndByOneBelow) {
  EXPECT_EQ(stepped_speed(16, true, false), 18);
  EXPECT_EQ(stepped_speed(18, true, false), 20);
  EXPECT_EQ(stepped_speed(16, false, false), 15);
  EXPECT_EQ(stepped_speed(18, false, false), 16);
  EXPECT_EQ(stepped_speed(15, true, false), 16);
  // The long-standing step past the button limit: 127 + 2, then no more.
  EXPECT_EQ(stepped_speed(127, true, false), 129);
  EXPECT_EQ(stepped_speed(129, true, false), std::nullopt);
  EXPECT_EQ(stepped_speed(128, true, true), std::nullopt);
  // Ctrl doubles and halves within 1..128.
  EXPECT_EQ(stepped_speed(80, true, true), 128);
  EXPECT_EQ(stepped_speed(3, false, true), 1);
  EXPECT_EQ(stepped_speed(1, false, true), std::nullopt);
  EXPECT_EQ(hold_button(16, false, false, false).back(), 1);
}

TEST(PlayModes, CounterTextsOfKeyAndTempo) {
  EXPECT_EQ(key_text(-3), "key -3");
  EXPECT_EQ(speed_text(18), "speed 1.12");
  EXPECT_EQ(speed_text(8), "speed 0.50");
  EXPECT_EQ(speed_text(16), "speed 1.00");
}

TEST(PlayModes, APressResumesOnlyWhatItInterrupted) {
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
  if (decision.action == EndAction::LoadNext) EXPECT_EQ(decision.nextIndex, GetParam().nextIndex);
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
