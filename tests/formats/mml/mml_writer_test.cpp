#include "formats/mml/mml_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/mml/mml_reader.h"
#include "support/read_score.h"
#include "support/score_builder.h"

namespace mel {
namespace {

using test::ScoreBuilder;

std::string text_of(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string write(ScoreBuilder& b, const Settings& settings, bool mml2mmf, int rhythmVoices = 0) {
  MmlWriterSettings m = mml2mmf ? mml2mmf_dialog_values(b.song(), settings) : mml_dialog_values(b.song(), settings);
  m.rhythmVoices = rhythmVoices;
  return text_of(write_mml(b.score(), b.song(), settings, m));
}

Settings without_rest_merge() {
  Settings s;
  s.conv.relnflg = 0;
  return s;
}

TEST(MmlWriter, StandardLengthsDefaultLengthAndTiesInBothDialects) {
  ScoreBuilder b;
  b.track().note(72, 120).note(74, 180).note(72, 300).rest(300).note(60, 120);
  EXPECT_EQ(write(b, without_rest_merge(), false), "T120\r\n{\r\n  L8O6cd.c4&16r4r16O5c\r\n}");
  EXPECT_EQ(write(b, without_rest_merge(), true), "1[T120]\r\n1[L8O5cd.c4&c16r4r16O4c]");
}

TEST(MmlWriter, LinesEndAfterTheNoteThatPassesFortyTwoBytes) {
  ScoreBuilder b;
  b.track();
  for (int i = 0; i < 12; ++i) b.note(61, 60);
  b.track(2).note(72, 240);
  EXPECT_EQ(write(b, without_rest_merge(), false),
            "T120\r\n{\r\n  L8O5c#16c#16c#16c#16c#16c#16c#16c#16c#16c#16\r\n  c#16c#16\r\n}\r\n"
            "{\r\n  !2\r\n  L8O6c4\r\n}");
}

TEST(MmlWriter, TitlesAreEscapedByteByByte) {
  ScoreBuilder b;
  b.title("It's ソ").track().note(72, 120);
  EXPECT_EQ(write(b, Settings{}, false), "T120\r\n{\r\n  'It\\'s \x83\x5C\x5C'\r\n\r\n  L8O6c\r\n}");
  b.title("a,b]ソ");
  EXPECT_EQ(write(b, Settings{}, true), "1[T120]\r\nC[ST:a\\,b \x83\x5C\x5C,]\r\n1[L8O5c]");
}

// The first note of a track always states its octave: a note below key 12
// without "O0" read back six octaves higher.
TEST(MmlWriter, FirstNoteOfEveryTrackStatesItsOctave) {
  ScoreBuilder b;
  b.track().note(5, 240).track().note(5, 240);
  std::string text = write(b, Settings{}, false);
  EXPECT_EQ(text, "T120\r\n{\r\n  L8O0f4\r\n}\r\n{\r\n  L8O0f4\r\n}");
  std::vector<uint8_t> bytes(text.begin(), text.end());
  test::ReadResult r = test::read_with(read_mml_file, bytes);
  EXPECT_EQ(r.score.bytes[kFirstTrackOffset], 5);
  EXPECT_EQ(r.song.lowestPitch[1], 5);
}

TEST(MmlWriter, InstrumentAndVolumeSelections) {
  ScoreBuilder b;
  b.track().program(5).volume(90).pan(30).note(72, 120).program(7).note(72, 120).program(200).volume(255);
  b.track().program(3).rhythm().note(36, 120);
  Settings s;
  // Values above 127 (a hostile MIDI data byte) are taken as 127: "@200"
  // would read back as "@128" and make the track a rhythm track.
  EXPECT_EQ(write(b, s, false), "T120\r\n{\r\n  @5V90P30L8O6c@7c@127V127\r\n}\r\n{\r\n  L8@128O3c\r\n}");
  EXPECT_EQ(write(b, s, true), "1[T120]\r\n1[@5@V127@X90@P30L8O5c@7c@127@X127]\r\n2[L8O2d#]");
  // A fixed instrument and volume: one command at the head of each melodic
  // track, the score's own changes left out.
  s.play.KeepFileInstruments = 0;
  s.play.StandardVolume = 0;
  s.play.melody = 10;
  s.play.PerTrackVolume[0] = 51;
  EXPECT_EQ(write(b, s, false), "T120\r\n{\r\n  @10V50P30L8O6cc\r\n}\r\n{\r\n  V100L8@128O3c\r\n}");
}

TEST(MmlWriter, Mml2MmfVoiceSlotsAndDrumKeys) {
  ScoreBuilder b;
  b.track().program(5).note(72, 120).program(6).note(72, 120).program(7).note(72, 120);
  b.track().rhythm().note(38, 120).note(38, 120).note(90, 120);
  // Two melodic slots (slot 0 holds program 0): 6 and 7 become program 0.
  // The snare is voice 166 played at key 65 - 12; key 90 is taken as 38.
  EXPECT_EQ(write(b, Settings{}, true, 14), "1[T120]\r\n1[@5L8O5c@0c@0c]\r\n2[L8@166O4fff]");
  // Without drum voices the keys get no voice but still go through the map.
  EXPECT_EQ(write(b, Settings{}, true, 0), "1[T120]\r\n1[@5L8O5c@6c@7c]\r\n2[L8O4fff]");
}

TEST(MmlWriter, DialogStartValues) {
  ScoreBuilder b(150);
  b.track().note(20, 120).note(40, 120).track().rhythm().note(100, 120);
  Settings s;
  s.play.KeyOffset = -5;
  s.play.SpeedFactor = 8;
  MmlWriterSettings mml = mml_dialog_values(b.song(), s);
  EXPECT_EQ(mml.tempo, 75);
  EXPECT_EQ(mml.key, -5);
  // MML2MMF raises 20..40 by octaves towards 37..96; the rhythm track is left out.
  s.play.KeyOffset = 0;
  EXPECT_EQ(mml2mmf_dialog_values(b.song(), s).key, 24);
  s.play.SpeedFactor = 255;
  EXPECT_EQ(mml_dialog_values(b.song(), s).tempo, 1024);
}

struct VoiceCase {
  int tracks;
  int rhythmTracks;
  int programs;
  int drumKeys;
  int voices;
};

TEST(MmlWriter, RhythmVoicesOfTheMml2MmfDialog) {
  for (const VoiceCase& c : std::vector<VoiceCase>{
           {3, 0, 2, 0, 0},     // no rhythm track
           {3, 1, 3, 5, 5},     // programs and drum keys fit
           {5, 5, 12, 5, 5},    // no more drum keys than rhythm tracks
           {5, 4, 12, 5, 10},   // what the programs leave
           {16, 1, 16, 2, 0},   // 15 - 16 would be -1
           {20, 1, 3, 20, 12},  // only 16 tracks are looked at
       }) {
    SongInfo song;
    song.scoreTrackCount = c.tracks;
    for (int t = 0; t < c.rhythmTracks; ++t) song.program[t] = kRhythmProgram;
    song.programCount = c.programs;
    song.rhythmKeyCount = c.drumKeys;
    EXPECT_EQ(mml2mmf_dialog_values(song, Settings{}).rhythmVoices, c.voices)
        << c.tracks << " " << c.rhythmTracks << " " << c.programs << " " << c.drumKeys;
  }
}

TEST(MmlWriter, OnlySelectedTracksAreWrittenInOrder) {
  ScoreBuilder b;
  b.track().note(72, 120).track().note(74, 120).track().note(76, 120);
  Settings s;
  s.play.TrackSelection = 2;
  s.play.TrackMask = 0b010;
  EXPECT_EQ(write(b, s, false), "T120\r\n{\r\n  L8O6d\r\n}");
  s.play.TrackMask = 0b101;
  EXPECT_EQ(write(b, s, true), "1[T120]\r\n1[L8O5c]\r\n2[L8O5e]");
}

// One event can need thousands of pieces: the bound is tested before each,
// and the track is still closed within the buffer.
TEST(MmlWriter, LongNotesStopAtTheOutputBoundWithTheTrackClosed) {
  ScoreBuilder b(120, 1);  // 4 ticks to a whole note: a tick is 240 units
  b.track();
  for (int i = 0; i < 12; ++i) b.note(72, 65535);
  for (bool mml2mmf : {false, true}) {
    std::string text = write(b, Settings{}, mml2mmf);
    ASSERT_LE(text.size(), kOutputCapacity);
    EXPECT_GT(text.size(), 262114u);
    EXPECT_EQ(text.substr(text.size() - 3), mml2mmf ? "\r\n]" : "\r\n}");
    if (!mml2mmf) {
      std::vector<uint8_t> bytes(text.begin(), text.end());
      EXPECT_EQ(test::read_with(read_mml_file, bytes).song.trackCount, 1);
    }
  }
}

// ---- Round trips ---------------------------------------------------------------------

struct Sounding {
  long long start;
  int key;
  int length;
  bool operator==(const Sounding& o) const { return start == o.start && key == o.key && length == o.length; }
};

struct TrackNotes {
  std::vector<Sounding> notes;
  long long length = 0;
  bool operator==(const TrackNotes& o) const { return notes == o.notes && length == o.length; }
};

std::ostream& operator<<(std::ostream& os, const TrackNotes& t) {
  os << "[" << t.length << ":";
  for (const Sounding& n : t.notes) os << " " << n.start << "/" << n.key << "/" << n.length;
  return os << "]";
}

// The notes of each track (at most 32), keys passed through keyOf(track, key).
template <class KeyOf>
std::vector<TrackNotes> notes_of(const Score& score, KeyOf keyOf) {
  std::vector<TrackNotes> tracks(1);
  for (std::size_t pos = kFirstTrackOffset; tracks.size() <= static_cast<std::size_t>(kMaxTracks);) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    if (ev.kind == ScoreEvent::EndOfTrack) {
      tracks.emplace_back();
    } else if (ev.kind != ScoreEvent::Control) {
      TrackNotes& t = tracks.back();
      if (ev.kind == ScoreEvent::Note) t.notes.push_back({t.length, keyOf(static_cast<int>(tracks.size()), ev.code), ev.value});
      t.length += ev.value;
    }
  }
  if (tracks.size() > static_cast<std::size_t>(kMaxTracks)) tracks.resize(kMaxTracks);
  return tracks;
}

int folded(int key) {
  if (key < 2) return (key + 130 + 120) % 12 + 2;
  if (key > 127) return (key - 8) % 12 + 116;
  return key;
}

// Scores of 1 to 34 tracks (only 32 are written), drum tracks, notes of one
// tick up to longer than one event holds, keys 1 and 127 with key offsets up
// to +-24: MML read back gives the same notes, folded into the keys 2..127.
TEST(MmlWriter, RoundTripsThroughTheReader) {
  std::mt19937 rng(4);
  const std::vector<std::string> titles = {"", "It's", "ソ\\", "a'b\\c ソ's"};
  for (int round = 0; round < 300; ++round) {
    int trackCount = round % 10 == 0 ? 32 + static_cast<int>(rng() % 3) : 1 + static_cast<int>(rng() % 6);
    ScoreBuilder b(4 + static_cast<int>(rng() % 1021));
    b.title(titles[rng() % titles.size()]);
    for (int t = 1; t <= trackCount; ++t) {
      b.track(static_cast<int>(rng() % 3));
      if (rng() % 4 == 0) b.rhythm();
      int events = 1 + static_cast<int>(rng() % 12);
      for (int e = 0; e < events; ++e) {
        static const int kLengths[] = {1, 5, 15, 119, 120, 180, 65535, 70000};
        int length = rng() % 2 ? kLengths[rng() % 8] : 1 + static_cast<int>(rng() % 3000);
        int key = rng() % 5 == 0 ? (rng() % 2 ? 1 : 127) : 1 + static_cast<int>(rng() % 127);
        bool rest = rng() % 5 == 0 && !(t == std::min(trackCount, kMaxTracks) && e == events - 1);
        if (rest) {
          b.rest(length);
        } else {
          b.note(key, length);
        }
        if (rng() % 6 == 0) b.program(static_cast<int>(rng() % 128));
      }
    }
    Settings s = without_rest_merge();
    s.play.KeyOffset = static_cast<int>(rng() % 49) - 24;
    std::vector<uint8_t> text = write_mml_file(b.score(), b.song(), s);
    test::ReadResult r = test::read_with(read_mml_file, text);

    SongInfo& song = b.song();
    auto expected = notes_of(b.score(), [&](int track, int key) {
      return folded(key + (song.is_rhythm_track(track) ? 0 : s.play.KeyOffset));
    });
    auto actual = notes_of(r.score, [](int, int key) { return key; });
    ASSERT_EQ(actual, expected) << "round " << round << "\n" << text_of(text);
    EXPECT_EQ(r.song.tempo, song.tempo);
    EXPECT_EQ(r.song.title, song.title);
    for (int t = 1; t <= static_cast<int>(expected.size()); ++t) {
      if (!expected[t - 1].notes.empty()) {
        EXPECT_EQ(r.song.is_rhythm_track(t), song.is_rhythm_track(t)) << t;
      }
    }
  }
}

}  // namespace
}  // namespace mel
