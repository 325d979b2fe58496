#include "playback/play_modes_model.h"

#include <cstdio>

namespace mel {

std::optional<int> stepped_key(int keyOffset, bool up, bool ctrl) {
  const int step = ctrl ? kKeyOctaveStep : 1;
  if (up) {
    if (keyOffset >= kKeyOffsetMax) return std::nullopt;
    return keyOffset + step > kKeyOffsetMax ? kKeyOffsetMax : keyOffset + step;
  }
  if (keyOffset <= kKeyOffsetMin) return std::nullopt;
  return keyOffset - step < kKeyOffsetMin ? kKeyOffsetMin : keyOffset - step;
}

std::optional<int> stepped_speed(int speedFactor, bool up, bool ctrl) {
  if (up) {
    if (speedFactor >= kSpeedButtonMax) return std::nullopt;
    if (ctrl) return speedFactor * 2 > kSpeedButtonMax ? kSpeedButtonMax : speedFactor * 2;
    // No clamp on this path: 127 steps to 129, as it always has.
    return speedFactor + (speedFactor >= kSpeedAsWritten ? 2 : 1);
  }
  if (speedFactor <= kSpeedMin) return std::nullopt;
  if (ctrl) return speedFactor / 2 < kSpeedMin ? kSpeedMin : speedFactor / 2;
  return speedFactor - (speedFactor > kSpeedAsWritten ? 2 : 1);
}

std::string key_text(int keyOffset) { return "key " + std::to_string(keyOffset); }

std::string speed_text(int speedFactor) {
  char text[32];
  std::snprintf(text, sizeof text, "speed %d.%02d", speedFactor / 16, ((speedFactor % 16) * 25) / 4);
  return text;
}

HoldFlag hold_on_press(PlayerState state, HoldFlag current) {
  switch (state) {
    case PlayerState::Playing: return HoldFlag::Interrupted;
    case PlayerState::Stopped: return HoldFlag::FromIdle;
    case PlayerState::Paused: return current == HoldFlag::None ? HoldFlag::FromIdle : current;
  }
  return current;
}

EndDecision decide_end_of_playback(const EndOfPlayback& end) {
  const bool finished =
      end.position == end.length && (end.windowEnabled || (end.loop && end.count == 1));
  if (!finished) return {EndAction::ClearExitAfterPlay, end.index};
  if (end.count < 2) {
    if (end.loop) return {EndAction::PlayAgain, end.index};
    return {end.exitAfterPlay ? EndAction::CloseWindow : EndAction::None, end.index};
  }
  if (end.index + 1 < end.count || end.loop) return {EndAction::LoadNext, (end.index + 1) % end.count};
  return {end.exitAfterPlay ? EndAction::CloseWindow : EndAction::None, end.index};
}

IntroMove intro_move(const IntroTick& tick) {
  if (!tick.intro || !tick.windowEnabled || tick.position <= kIntroLength || tick.count <= 1) return IntroMove::None;
  if (tick.index + 1 < tick.count) return IntroMove::Next;
  return tick.loop ? IntroMove::First : IntroMove::None;
}

}  // namespace mel
