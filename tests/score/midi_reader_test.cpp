#include "score/midi_reader.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace mel {
namespace {

using test::Bytes;
using test::MidiFileBuilder;
using test::TrackBuilder;

TEST(MidiBuilder, BuildsHeaderAndTrackChunk) {
  TrackBuilder t;
  t.note_on(0, 0, 60).note_off(480, 0, 60).end();
  Bytes file = MidiFileBuilder(1, 480).track(t).bytes();
  Bytes expected{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0x01, 0xE0,
                 'M', 'T', 'r', 'k', 0, 0, 0, 13,
                 0x00, 0x90, 60, 100,
                 0x83, 0x60, 0x80, 60, 64,
                 0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(file, expected);
}

}  // namespace
}  // namespace mel
