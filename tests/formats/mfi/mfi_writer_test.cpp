#include "formats/mfi/mfi_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/mfi/mfi_output.h"
#include "formats/mfi/mfi_track_merge.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;
using Bytes = std::vector<uint8_t>;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Settings for exact files: no size limit, no rest joining.
Settings plain(int layout) {
  Settings s;
  s.writers.mldbyte = 0;
  s.writers.ezpmdbyte = 0;
  s.writers.mldLayout = layout;
  s.conv.relnflg = 0;
  return s;
}

// The dialog's values without the key auto-fit, so keys are as written.
MfiWriterSettings values(const SongInfo& song, const Settings& s, bool cmx = false) {
  MfiWriterSettings m = mfi_dialog_values(song, s, cmx);
  m.key = s.play.KeyOffset;
  return m;
}

// The events of the track chunk number n (0-based) of a written file.
Bytes chunk_events(const Bytes& file, int n) {
  std::size_t pos = 10 + ((file[8] << 8) | file[9]);
  for (;;) {
    std::size_t length = (std::size_t{file[pos + 4]} << 24) | (file[pos + 5] << 16) | (file[pos + 6] << 8) | file[pos + 7];
    if (n-- == 0) return Bytes(file.begin() + pos + 8, file.begin() + pos + 8 + length);
    pos += 8 + length;
  }
}

TEST(MfiWriter, RestProgramAndNoteLongerThanOnePieceWriteExactBytes) {
  ScoreBuilder b(100, 48);
  b.title("ab");
  b.track().rest(48).program(70).note(60, 300);
  Settings s = plain(kMfiLayoutSh);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  Bytes expected = cat({
      text("melo"), {0, 0, 0, 67},       // file length - 8
      {0, 28, 1, 1, 1},                  // header length, content type, subtype, one track
      text("titl"), {0, 2}, text("ab"),  // title
      text("sorc"), {0, 1, 2},           // source
      text("vers"), {0, 4}, text("0100"),
      text("trac"), {0, 0, 0, 29},
      {0, 0xFF, 0xD0, 0},                // start marker
      {0, 0xFF, 0xC3, 100},              // tempo 100, 48 ticks per quarter note
      {0, 0xD3, 0},                      // the rest: status 0xD3 on slot 0, gate 0
      {0, 0xFF, 0xE1, 3},                // program 70: bank 3 ...
      {0, 0xFF, 0xE0, 6},                // ... voice 6
      {48, 15, 255},                     // key 60 (number 15): a piece of 254, gate 255
      {254, 15, 45},                     // the last piece of 46, gate 45
      {46, 0xFF, 0xD0, 1},               // end marker after the last piece
  });
  EXPECT_EQ(file, expected);
}

TEST(MfiWriter, ChordOfTwoTracksMergesIntoOneChunkInTheStandardLayout) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().note(64, 48);
  Settings s = plain(kMfiLayoutStandard);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  EXPECT_EQ(file[12], 1) << "one track chunk";
  EXPECT_EQ(chunk_events(file, 0), (Bytes{
                                       0, 0xFF, 0xC3, 120,  // the first input's tempo; markers dropped
                                       0, 0x0F, 47,         // key 60 on slot 0
                                       0, 0x53, 47,         // key 64 on slot 1
                                       48, 0xFF, 0xDF, 0,   // end of track
                                   }));
}

TEST(MfiWriter, ChordWithinOneChannelAndRhythmTrackInSixteenChordMode) {
  ScoreBuilder b(120, 48);
  b.track(1).note(60, 48);
  b.track(1).note(64, 48);
  b.track(10).rhythm().note(36, 48);
  Settings s = plain(kMfiLayout503i);
  s.writers.chordsInChannel = 1;
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  // Channels 0 (both tracks of part 1) and 9: chunks for channels 0-3, 4-7, 8-11.
  ASSERT_EQ(file[12], 3);
  EXPECT_EQ(chunk_events(file, 0), (Bytes{0, 0xFF, 0xC3, 120, 0, 0x0F, 47, 0, 0x13, 47, 48, 0xFF, 0xDF, 0}));
  EXPECT_EQ(chunk_events(file, 1), (Bytes{0, 0xFF, 0xDF, 0}));
  EXPECT_EQ(chunk_events(file, 2), (Bytes{
                                       0, 0xFF, 0xE1, 0x42,  // fixed rhythm voice: bank 2 ...
                                       0, 0xFF, 0xE0, 0x40,  // ... voice 0, slot 1 (channel 9)
                                       0, 0x41, 47,          // drum key 36 + 10 = 46 (number 1)
                                       48, 0xFF, 0xDF, 0,
                                   }));
}

TEST(MfiWriter, TempoChangeIsNotWrittenAndOnlyTheFirstTempoIsKept) {
  ScoreBuilder b(90, 48);
  b.track().note(60, 48).control(kTempoEvent, 150).note(62, 48);
  Settings s = plain(kMfiLayoutSh);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  EXPECT_EQ(chunk_events(file, 0),
            (Bytes{0, 0xFF, 0xD0, 0, 0, 0xFF, 0xC3, 90, 0, 15, 47, 48, 17, 47, 48, 0xFF, 0xD0, 1}));
}

TEST(MfiWriter, JoinedRestsAndRoundingFollowTheGrid) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 100).note(62, 47).rest(1);
  Settings s = plain(kMfiLayoutSh);
  s.conv.relnflg = 1;
  Bytes events = chunk_events(write_mfi_output(b.score(), b.song(), s, values(b.song(), s)), 0);
  EXPECT_EQ(events, (Bytes{
                        0, 0xFF, 0xD0, 0, 0, 0xFF, 0xC3, 120,
                        0, 15, 97,  // 100 = a piece of 96 (gate 97) ...
                        96, 15, 2,  // ... and 4 rounded to 3 (gate 2); 1 carried
                        3, 17, 47,  // 47 joins the rest of 1 to make 48
                        48, 0xFF, 0xD0, 1,
                    }));
}

TEST(MfiWriter, KeysFoldIntoTheRangeOfEachMode) {
  ScoreBuilder b(120, 48);
  for (int t = 0; t < 4; ++t) b.track().note(t == 0 ? 40 : 108, 48);
  Settings s = plain(kMfiLayoutSh);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  EXPECT_EQ(chunk_events(file, 0)[9], 7) << "key 40 becomes 52 in 4-chord mode";
  EXPECT_EQ(chunk_events(file, 1)[9], 0x40 | 63) << "key 108 stays on slot 1";
  EXPECT_EQ(chunk_events(file, 3)[9], 0xC0 | 51) << "key 108 becomes 96 on slot 3";

  s = plain(kMfiLayout503i);
  s.writers.extendedScale = 1;
  file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  Bytes first = chunk_events(file, 0);
  ASSERT_GE(first.size(), 8u);
  EXPECT_EQ(first[5], 19) << "key 40 is number 19 ...";
  EXPECT_EQ(first[7] & 3, 2) << "... two octaves down";
}

TEST(MfiWriter, OctaveShiftRowsFollowTheWrittenTracks) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().note(60, 48);
  Settings s = plain(kMfiLayoutSh);
  s.play.TrackSelection = 2;
  s.play.TrackMask = 0x2;     // only track 2 is written ...
  s.conv.octaveShift[0] = 1;  // ... and takes the first row
  Bytes events = chunk_events(write_mfi_output(b.score(), b.song(), s, values(b.song(), s)), 0);
  EXPECT_EQ(events[9], 72 - 45);
}

TEST(MfiWriter, NegativeKeysFoldWithFloorModulo) {
  ScoreBuilder b(120, 48);
  b.track().note(5, 48);
  Settings s = plain(kMfiLayoutSh);
  MfiWriterSettings m = values(b.song(), s);
  m.key = -36;  // 5 - 36 = -31 folds to 53
  Bytes events = chunk_events(write_mfi_output(b.score(), b.song(), s, m), 0);
  EXPECT_EQ(events[9], 53 - 45);
}

TEST(MfiWriter, HandsetVoiceAfterProgramWritesItsBank) {
  ScoreBuilder b(120, 48);
  b.track(0).program(70).control(kNativeVoiceEvent, 5).program(0).note(60, 48);
  Settings s = plain(kMfiLayoutSh);
  Bytes events = chunk_events(write_mfi_output(b.score(), b.song(), s, values(b.song(), s)), 0);
  EXPECT_EQ(Bytes(events.begin() + 8, events.end() - 7), (Bytes{
                                                             0, 0xFF, 0xE1, 3, 0, 0xFF, 0xE0, 6,  // program 70
                                                             0, 0xFF, 0xE1, 0, 0, 0xFF, 0xE0, 5,  // voice 5: bank 0 again
                                                         }))
      << "and the stand-in program after the handset voice is not written";
}

TEST(MfiWriter, HostileControlValuesStayOnTheirSlot) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48);
  b.track().raw({kVolumeEvent, 200, kPanEvent, 255, kProgramEvent, 250}).note(60, 48);
  Settings s = plain(kMfiLayout503i);
  Bytes events = chunk_events(write_mfi_output(b.score(), b.song(), s, values(b.song(), s)), 0);
  for (std::size_t i = 0; i + 3 < events.size(); ++i) {
    if (events[i + 1] == 0xFF && events[i + 2] >= 0xE0 && events[i + 2] <= 0xE3) {
      EXPECT_EQ(events[i + 3] & 0xC0, 0x40) << "control at " << i << " must stay on slot 1";
    }
  }
}

TEST(MfiWriter, NoVoiceOrVolumeOptionAndMailTextLeaveOutEvents) {
  ScoreBuilder b(120, 48);
  b.track().program(3).volume(100).note(60, 48);
  Settings s = plain(kMfiLayoutSh);
  s.play.StandardVolume = 0;
  s.writers.outputVoice = kNoVoiceOrVolume;
  s.writers.mailBase64 = 1;
  MfiTracks tracks = write_mfi_tracks(b.score(), b.song(), s, values(b.song(), s));
  Bytes expected = cat({text("melo"), {0, 0, 0, 30, 0, 9, 1, 1, 1}, text("titl"), {0, 0},  // no "sorc", no "vers"
                        text("trac"), {0, 0, 0, 11}, {0, 0xFF, 0xC3, 120, 0, 15, 47, 48, 0xFF, 0xD0, 1}});
  EXPECT_EQ(tracks.bytes, expected);
}

TEST(MfiWriter, KeyAutoFitMovesTheSongIntoTheHandsetRange) {
  ScoreBuilder b(120, 48);
  b.track().note(40, 48).note(74, 48);
  Settings s = plain(kMfiLayoutStandard);
  s.play.KeyOffset = -5;
  EXPECT_EQ(mfi_dialog_values(b.song(), s, false).key, 19);
}

// ---- Track merge and size limit ---------------------------------------------

Bytes mfi_file(std::initializer_list<Bytes> chunks) {
  Bytes out = cat({text("melo"), {0, 0, 0, 0, 0, 0, 1, 1, static_cast<uint8_t>(chunks.size())}});
  for (const Bytes& c : chunks) {
    Bytes head = cat({text("trac"), {0, 0, static_cast<uint8_t>(c.size() >> 8), static_cast<uint8_t>(c.size())}});
    out = cat({out, head, c});
  }
  return out;
}

TEST(MfiTrackMerge, LaterVoiceAtOneInstantReplacesTheEarlierAndLongGapsUseFillers) {
  Bytes in = mfi_file({{0, 0xFF, 0xE0, 0x01,  // voice 1, slot 0
                        0, 0xFF, 0xE0, 0x02,  // voice 2, same slot, same instant
                        0, 0x0F, 10,          // a note
                        0xFF, 0xD3, 0,        // a rest at 255 (dropped, its time kept)
                        0xFF, 0xD3, 0,        // another at 510
                        90, 0x0F, 10,         // the next note, 600 after the first
                        10, 0xFF, 0xD0, 1}});
  Bytes out = merge_mfi_tracks(ByteView(in), {0}, false);
  EXPECT_EQ(chunk_events(out, 0), (Bytes{0, 0xFF, 0xE0, 0x02, 0, 0x0F, 10,
                                         255, 0x20, 0, 255, 0x20, 0,  // two fillers
                                         90, 0x0F, 10,
                                         10, 0xFF, 0xDF, 0}));
}

TEST(MfiSizeLimit, FileWithinTheLimitIsUnchanged) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48).note(62, 300);
  b.track().note(50, 348);
  Settings s = plain(kMfiLayoutSh);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  EXPECT_EQ(limit_mfi_size(ByteView(file), static_cast<int>(file.size())), file);
}

TEST(MfiSizeLimit, SmallLimitEndsEveryTrackAtTheCutTime) {
  ScoreBuilder b(120, 48);
  b.track().note(60, 48).note(62, 48).note(64, 48).note(65, 48);
  b.track().note(50, 192);
  Settings s = plain(kMfiLayoutSh);
  Bytes file = write_mfi_output(b.score(), b.song(), s, values(b.song(), s));
  // The budget: header 36 + 2 x 12, then events in time order: both start
  // markers, tempos, the notes at 0 (3 bytes each); the cut falls on 96.
  int limit = 36 + 24 + 4 * 4 + 2 * 3 + 3;
  Bytes out = limit_mfi_size(ByteView(file), limit);
  EXPECT_LE(static_cast<int>(out.size()), limit);
  EXPECT_EQ(chunk_events(out, 0), (Bytes{0, 0xFF, 0xD0, 0, 0, 0xFF, 0xC3, 120, 0, 15, 47, 48, 17, 47, 48, 0xFF, 0xD0, 1}));
  EXPECT_EQ(chunk_events(out, 1), (Bytes{0, 0xFF, 0xD0, 0, 0, 0xFF, 0xC3, 120, 0, 0x45, 96, 96, 0xFF, 0xD0, 1}))
      << "the long note ends exactly at the cut";
}

}  // namespace
}  // namespace mel
