// The song the format dialog tests open their dialogs over.
#pragma once

#include "support/score_builder.h"

namespace mel::test {

// Two melodic tracks (keys 40..74 and 52..55) and a rhythm track (36..38),
// at 96 per minute, titled "さくら".
inline ScoreBuilder three_track_song() {
  ScoreBuilder b(96, 48);
  b.title("さくら");
  b.track().program(24).note(40, 48).note(74, 96).rest(48).note(60, 48);
  b.track().note(52, 192).note(55, 24);
  b.track(3).rhythm().note(36, 48).note(38, 48);
  return b;
}

}  // namespace mel::test
