#include "formats/mfi/mfi_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/midi/midi_writer.h"
#include "support/mfi_builder.h"
#include "support/midicsv.h"
#include "support/read_score.h"

namespace mel {
namespace {

using test::MfiBuilder;
using test::MfiTrack;
using Bytes = std::vector<uint8_t>;
using Track = std::vector<std::string>;

using Read = test::ReadResult;

Read read_mfi(const Bytes& file, const Settings& settings = Settings{}) {
  return test::read_with(read_mfi_file, file, settings);
}

Read read_cmx(const Bytes& file, const Settings& settings = Settings{}) {
  Read r;
  read_cmx_file(ByteView(file), r.score, r.song, settings);
  return r;
}

// The score's tracks as readable events: "60/48" a note of key 60 lasting 48
// ticks, "r/12" a rest, "name=value" a control.
std::vector<Track> score_tracks(const Score& score) {
  std::vector<Track> tracks(1);
  std::size_t pos = kFirstTrackOffset;
  for (;;) {
    ScoreEvent ev = decode_score_event(score.bytes.data(), score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    pos += ev.size;
    switch (ev.kind) {
      case ScoreEvent::EndOfTrack: tracks.emplace_back(); break;
      case ScoreEvent::Note: tracks.back().push_back(std::to_string(ev.code) + "/" + std::to_string(ev.value)); break;
      case ScoreEvent::Rest: tracks.back().push_back("r/" + std::to_string(ev.value)); break;
      default: {
        const char* name = ev.code == kVelocityEvent     ? "vel"
                           : ev.code == kTempoEvent      ? "tempo"
                           : ev.code == kNativeVoiceEvent ? "native"
                           : ev.code == kVolumeEvent     ? "vol"
                           : ev.code == kProgramEvent    ? "prog"
                           : ev.code == kPanEvent        ? "pan"
                                                         : "ctl";
        tracks.back().push_back(std::string(name) + "=" + std::to_string(ev.value));
      }
    }
  }
  if (score.length <= kFirstTrackOffset) tracks.clear();
  return tracks;
}

// ---- Layout, pitch, timing -------------------------------------------------

TEST(MfiReader, ReadsHeaderTempoAndOneChannel) {
  MfiBuilder b;
  b.title("テスト曲").copyright("(C) 2003");
  b.track()
      .tempo(0, 0xC3, 120)  // timebase 6 * 2^3 = 48
      .note(0, 0, 15, 40)   // key 15 sounds MIDI 60; next note 48 later
      .note(48, 0, 17, 46)  // 48 - 46 = 2: the note fills the whole 48
      .note(48, 0, 19, 24)  // the last note: gate + 1 like the others, then the rest
      .end(48);
  Read r = read_mfi(b.bytes());

  EXPECT_EQ(r.song.title, "テスト曲");
  EXPECT_EQ(r.song.copyright, "(C) 2003");
  EXPECT_EQ(r.song.tempo, 120);
  EXPECT_EQ(r.song.timebase, 48);
  EXPECT_EQ(r.score.tempo(), 120);
  // 48 - 40 > 2: the first note sounds gate + 1 and leaves a rest of 7.
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/41", "r/7", "62/48", "64/25", "r/23"}}));
  EXPECT_EQ(r.score.length, 2u + 5 * 3);  // no EndOfTrack after the last track
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.trackStart[0], 2);
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(r.song.noteCount[0], 3);
  EXPECT_EQ(r.song.lowestPitch[0], 60);
  EXPECT_EQ(r.song.highestPitch[0], 64);
  EXPECT_EQ(r.song.firstNoteTime[0], 1);
  EXPECT_EQ(r.song.lastNoteEnd[0], 122);
  EXPECT_EQ(r.song.songLength, 144);
  EXPECT_EQ(r.song.leadIn, 0);
}

TEST(MfiReader, SplitsOneChunkIntoChannelsInOrderWithTheirTiming) {
  MfiBuilder b;
  b.track()
      .assign(0, 3, 9)      // slot 3 now addresses channel 9 (the rhythm channel)
      .note(0, 2, 20, 24)   // channel 2, t=0
      .note(0, 0, 15, 24)   // channel 0, t=0
      .note(24, 3, 5, 12)   // channel 9, t=24: drum key 5
      .note(24, 0, 17, 24)  // channel 0, t=48
      .end(24);             // t=72
  Bytes file = b.bytes();
  Read r = read_mfi(file);

  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{
                                       {"60/25", "r/23", "62/24"},
                                       {"65/25", "r/47"},
                                       {"r/24", "40/13", "r/35"},  // MFi drums sound 10 lower
                                   }));
  EXPECT_EQ(r.song.trackCount, 3);
  EXPECT_EQ(r.song.part[0], 1);
  EXPECT_EQ(r.song.part[1], 3);
  EXPECT_EQ(r.song.part[2], 10);
  EXPECT_EQ(r.song.trackStart[1], 12);
  EXPECT_EQ(r.song.trackStart[2], 19);
  EXPECT_FALSE(r.song.is_rhythm_track(1));
  EXPECT_TRUE(r.song.is_rhythm_track(3));
  EXPECT_EQ(r.song.firstNoteTime[2], 25);
  EXPECT_EQ(r.song.rhythmKeyCount, 1);
  EXPECT_TRUE(r.song.rhythmKeySet.test(40));

  // In a CMX file the drum keys keep the melodic base.
  Bytes cmx = file;
  std::copy_n("cmid", 4, cmx.begin());
  Read c = read_cmx(cmx);
  EXPECT_EQ(score_tracks(c.score)[2], (Track{"r/24", "50/13", "r/35"}));
}

TEST(MfiReader, LaterChunksAddressTheirOwnChannelsAndEmptyChannelsGiveWay) {
  MfiBuilder b;
  b.track().note(24, 0, 15, 24).end(24);       // chunk 1, slot 0: channel 0
  b.track().note(12, 1, 27, 12).end(36);       // chunk 2, slot 1: channel 5
  b.track().note(0, 2, 10, 0).volume(0, 2, 40).end(48);  // chunk 3: only a silent note
  Read r = read_mfi(b.bytes());

  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"r/24", "60/24"}, {"r/12", "72/13", "r/23"}}));
  EXPECT_EQ(r.song.trackCount, 2);
  EXPECT_EQ(r.song.part[1], 6);
  EXPECT_EQ(r.song.firstNoteTime[0], 25);
  EXPECT_EQ(r.song.firstNoteTime[1], 13);
  EXPECT_EQ(r.song.leadIn, 12);
  // The discarded third track leaves nothing behind.
  EXPECT_EQ(r.song.part[2], 0);
  EXPECT_EQ(r.song.noteCount[2], 0);
  EXPECT_EQ(r.song.trackStart[2], 0);
}

TEST(MfiReader, FourByteNotesShiftOctavesAndCarryTheirOwnVelocity) {
  MfiBuilder b;
  b.four_byte_notes();
  b.track()
      .note4(0, 0, 15, 48, 40)       // velocity 40
      .note4(48, 0, 15, 48, 41, -2)  // bits 7-3 unchanged: no new velocity; two octaves down
      .note4(48, 0, 15, 48, 20, 1)   // velocity 20, an octave up
      .end(48);
  // Each velocity stands in front of the note that carries it.
  EXPECT_EQ(score_tracks(read_mfi(b.bytes()).score),
            (std::vector<Track>{{"vel=80", "60/48", "36/48", "vel=40", "72/48"}}));
}

// ---- Controls ---------------------------------------------------------------

TEST(MfiReader, VoicesBanksAndControlsPrecedeTheNoteTheyWereGivenBefore) {
  MfiBuilder b;
  b.track()
      .bank(0, 0, 0)
      .voice(0, 0, 2)  // a handset voice: NativeVoice 2 and its stand-in program
      .volume(0, 0, 50)
      .pan(0, 0, 32)
      .voice(0, 1, 9)  // slot 1 is channel 1: not for channel 0's track
      .note(0, 0, 15, 48)
      .bank(48, 0, 2)
      .voice(0, 0, 5)  // bank 2: General MIDI program 5
      .note(0, 0, 17, 48)
      .bank(0, 1, 3)
      .voice(0, 1, 1)  // channel 1: bank 3 voice 1 is program 65
      .note(0, 1, 20, 48)
      .end(48);
  Read r = read_mfi(b.bytes());

  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{
                                       {"native=2", "prog=16", "vol=100", "pan=64", "60/48", "prog=5", "62/48"},
                                       {"prog=65", "r/48", "65/48"},  // controls go in front of the leading rest
                                   }));
  EXPECT_EQ(r.song.program[0], kMixedValue);  // NativeVoice then a different Program
  EXPECT_EQ(r.song.program[1], 66);
  EXPECT_EQ(r.song.volume[0], 101);
  EXPECT_EQ(r.song.programCount, 2);  // 5 and 65; the stand-in is not counted
  EXPECT_TRUE(r.song.programSet.test(5));
  EXPECT_TRUE(r.song.programSet.test(65));

  // A track with only a handset voice records it as NativeVoice + 513.
  MfiBuilder native;
  native.track().bank(0, 0, 1).voice(0, 0, 0).note(0, 0, 15, 48).end(48);
  Read n = read_mfi(native.bytes());
  EXPECT_EQ(n.song.program[0], kNativeVoiceBase + 64);
  EXPECT_EQ(score_tracks(n.score)[0][1], "prog=1");  // bank 1 voice 0 has no special stand-in
}

TEST(MfiReader, DrumChannelKeepsItsRhythmMarkAfterAProgram) {
  MfiBuilder b;
  b.track().assign(0, 0, 9).bank(0, 0, 2).voice(0, 0, 0).note(0, 0, 1, 12).end(12);
  Read r = read_mfi(b.bytes());
  EXPECT_TRUE(r.song.is_rhythm_track(1));
  EXPECT_EQ(r.song.programCount, 0);  // drum kits are not melody programs
}

TEST(MfiReader, TempoEventsSetTheSongTempoOrBecomeTempoChanges) {
  MfiBuilder b;
  b.track()
      .tempo(0, 0xCB, 0)    // tempo 0: ignored, timebase included
      .tempo(0, 0xCB, 90)   // before the first note: the song tempo, timebase 15 * 2^3
      .note(0, 0, 15, 120)
      .tempo(60, 0xC3, 0)   // a later tempo 0 is ignored as well
      .tempo(0, 0xC3, 150)  // later on track 1: a tempo change in front of the next note
      .note(60, 0, 17, 120)
      .tempo(0, 0xC3, 0)
      .note(120, 0, 19, 120)
      .end(120);
  b.track().tempo(0, 0xC3, 200).note(0, 0, 15, 120).end(120);  // not track 1: ignored
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(r.song.tempo, 90);
  EXPECT_EQ(r.score.tempo(), 90);
  EXPECT_EQ(r.song.timebase, 120);
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/120", "tempo=150", "62/120", "64/120"}, {"60/120"}}));

  // A file whose only tempo is 0 keeps the reset tempo.
  MfiBuilder zero;
  zero.track().tempo(0, 0xC3, 0).note(0, 0, 15, 48).end(48);
  Read z = read_mfi(zero.bytes());
  EXPECT_EQ(z.song.tempo, kResetTempo);
  EXPECT_EQ(z.score.tempo(), kResetTempo);
  EXPECT_EQ(z.song.timebase, 48);
}

// ---- Strikes and chords -------------------------------------------------------

TEST(MfiReader, OverlappingStrikesOfOneKeyBecomeOneNote) {
  MfiBuilder b;
  b.track()
      .note(0, 0, 15, 48)
      .note(24, 0, 15, 48)  // before the first gate ends: continues it until 72
      .note(72, 0, 17, 24)
      .end(24);
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/73", "r/23", "62/24"}}));
  EXPECT_EQ(r.song.noteCount[0], 3);
}

MfiBuilder five_note_chord() {
  MfiBuilder b;
  b.track()
      .note(0, 0, 15, 48)
      .note(0, 0, 17, 48)
      .note(0, 0, 19, 48)
      .note(0, 0, 20, 48)
      .note(0, 0, 22, 48)
      .note(48, 0, 24, 48)
      .end(48);
  return b;
}

TEST(MfiReader, ChordsSoundTheirLastNoteUnlessTrackSplitIsOn) {
  Read off = read_mfi(five_note_chord().bytes());
  EXPECT_EQ(score_tracks(off.score), (std::vector<Track>{{"67/48", "69/48"}}));

  Settings split;
  split.play.TrackSplit = 1;
  split.conv.chsepcnt = 4;
  Read on = read_mfi(five_note_chord().bytes(), split);
  EXPECT_EQ(score_tracks(on.score), (std::vector<Track>{
                                        {"60/48", "69/48"},
                                        {"62/49", "r/47"},
                                        {"64/49", "r/47"},
                                        {"65/49", "r/47"},  // the fifth voice is dropped
                                    }));
  EXPECT_EQ(on.song.trackCount, 4);
  EXPECT_EQ(on.song.part[3], 1);

  split.conv.chordSplitChannels = 0x0002;  // only channel 1 (index 1) is split
  Read unsplit = read_mfi(five_note_chord().bytes(), split);
  EXPECT_EQ(score_tracks(unsplit.score), (std::vector<Track>{{"60/48", "69/48"}}));

  // A split count beyond its range takes no more than 16 voices.
  MfiBuilder wide;
  MfiTrack& t = wide.track();
  for (int key = 0; key < 20; ++key) t.note(0, 0, key, 48);
  t.end(48);
  split.conv.chordSplitChannels = 0xFFFF;
  split.conv.chsepcnt = 100;
  Read limited = read_mfi(wide.bytes(), split);
  EXPECT_EQ(limited.song.trackCount, 16);
  EXPECT_EQ(score_tracks(limited.score).back(), (Track{"60/48"}));  // voice 15: key 15
}

// ---- Faults of earlier readers ----------------------------------------------

TEST(MfiReader, ChunkWithoutEndEventKeepsItsLastNote) {
  MfiBuilder b;
  b.track().note(0, 0, 15, 48).note(48, 0, 17, 30);  // ends at its length, before the next chunk
  b.track().note(0, 0, 15, 48).note(48, 0, 17, 30);  // ends at the end of the file
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/48", "62/30"}, {"60/48", "62/30"}}));
  EXPECT_EQ(r.song.songLength, 78);

  // Cut short inside a chord, the chunk still gives every chord voice a track.
  MfiBuilder cut;
  cut.track().note(0, 0, 15, 24).note(0, 0, 19, 24).note(24, 0, 17, 24).note(0, 0, 20, 24);
  Settings split;
  split.play.TrackSplit = 1;
  EXPECT_EQ(score_tracks(read_mfi(cut.bytes(), split).score),
            (std::vector<Track>{{"60/24", "62/24"}, {"64/24", "65/24"}}));
}

TEST(MfiReader, TrackLongerThan64KBKeepsEveryNote) {
  // 22000 legato notes (66000 bytes) with an end marker in the middle: the
  // marker is no chunk end, because the chunk's 32-bit length runs further.
  MfiBuilder b;
  MfiTrack& t = b.track();
  for (int i = 0; i < 22000; ++i) {
    t.note(i == 0 ? 0 : 4, 0, 10 + i % 40, 4);
    if (i == 11000) t.end_marker(0);
  }
  t.end(4);
  ASSERT_GT(t.data.size(), 0x10000u);
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.noteCount[0], 22000);
  EXPECT_EQ(r.song.songLength, 22000 * 4);
}

TEST(MfiReader, NoteWhoseBytesSpellATrackTagIsANote) {
  MfiBuilder b;
  b.four_byte_notes();
  b.track()
      .note4(0x74, 1, 0x32, 0x61, 0x18, -1)  // 't' delta, 'r' slot 1 key 50, 'a' gate, 'c' velocity 24 octave -1
      .note4(0, 1, 20, 48, 24)
      .note4(48, 1, 22, 48, 24)
      .note4(48, 1, 24, 48, 24)
      .end(48);
  Read r = read_mfi(b.bytes());
  ASSERT_EQ(r.song.trackCount, 1);
  EXPECT_EQ(r.song.noteCount[0], 4);
  EXPECT_EQ(r.song.part[0], 2);
  EXPECT_EQ(r.song.songLength, 0x74 + 3 * 48);
}

TEST(MfiReader, EndMarkersLetANoteRingWithoutDelayingTheNextOne) {
  MfiBuilder b;
  b.track()
      .note(0, 0, 15, 10)
      .end_marker(2)        // rings its full 10 ticks (not gate + 1) ...
      .note(18, 0, 17, 30)  // ... and this note still starts at 20
      .filler(5)
      .note(15, 0, 19, 24)  // starts at 40, cutting the ringing note to 20
      .end(24);
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/10", "r/10", "62/20", "64/24"}}));
  EXPECT_EQ(r.song.songLength, 64);
}

TEST(MfiReader, RhythmSwitchOfTheTracksChannelRereadsTheChunk) {
  MfiBuilder once;
  once.track().note(0, 0, 15, 24).rhythm(24, 0, true).note(0, 0, 15, 24).end(24);
  Read r = read_mfi(once.bytes());
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"50/24", "50/24"}}));
  EXPECT_TRUE(r.song.is_rhythm_track(1));
  EXPECT_EQ(r.song.rhythmKeyCount, 1);

  // Switching back and forth rereads once per switch and then finishes.
  MfiBuilder toggle;
  toggle.track()
      .note(0, 0, 15, 24)
      .rhythm(24, 0, true)
      .note(0, 0, 15, 24)
      .rhythm(24, 0, false)
      .note(0, 0, 15, 24)
      .rhythm(24, 0, true)
      .note(0, 0, 15, 24)
      .end(24);
  // Reread at the first, second and third switch; the last reading starts with
  // the mask the third switch left.
  EXPECT_EQ(score_tracks(read_mfi(toggle.bytes()).score),
            (std::vector<Track>{{"50/24", "50/24", "60/24", "50/24"}}));
}

TEST(MfiReader, RereadDuringALaterPassReplacesTheChunksEarlierTracks) {
  MfiBuilder b;
  b.track().note(0, 0, 15, 24).end(72);  // an earlier chunk stays as it is
  b.track()
      .note(0, 0, 15, 24)   // chunk 2, slot 0: channel 4
      .note(0, 1, 20, 24)   // slot 1: channel 5
      .rhythm(24, 2, true)  // channel 2: the third score track's number - 1
      .note(0, 1, 20, 24)
      .rhythm(24, 2, false)
      .note(0, 1, 20, 24)
      .end(24);
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{
                                       {"60/25", "r/47"},
                                       {"60/25", "r/47"},
                                       {"65/24", "65/24", "65/24"},
                                   }));
  EXPECT_EQ(r.song.trackCount, 3);
  EXPECT_EQ(r.song.part[1], 5);
  EXPECT_EQ(r.song.part[2], 6);
  EXPECT_EQ(r.song.trackStart[2], 2 + 6 + 1 + 6 + 1);
}

// ---- Header chunks and variants ---------------------------------------------

TEST(MfiReader, SkipsUnknownSubChunksAndLongEventsAndCutsLongTitles) {
  MfiBuilder b;
  b.sub_chunk("vers", {'0', '3', '0', '0'});
  b.title(std::string(300, 'a'));
  b.sub_chunk("exst", {0x00, 0x10, 0x20});
  b.track()
      .long_event(0, 0xF0, {0x01, 0x02, 0x03, 0xFF, 0xDF, 0x00})
      .ext(0, 0xB0, 0x7F)  // an unknown 4-byte event
      .note(0, 0, 15, 48)
      .end(48);
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(r.song.title, std::string(255, 'a'));
  EXPECT_EQ(score_tracks(r.score), (std::vector<Track>{{"60/48"}}));
}

TEST(MfiReader, FileWithoutTrackChunksGivesAnEmptyScore) {
  MfiBuilder b;
  b.title("x");
  Read r = read_mfi(b.bytes());
  EXPECT_EQ(r.score.length, 2u);
  EXPECT_EQ(r.song.trackCount, 0);
  EXPECT_EQ(r.score.tempo(), kResetTempo);
}

// ---- Through the MIDI writer ---------------------------------------------------

// The notes of each MIDI track as midicsv lists them, "key@start/length",
// pairing every Note_on with the next Note_off (or Note_on of velocity 0) of
// its key and channel. Tracks without notes are left out.
std::vector<Track> midicsv_notes(const test::MidiCsv& csv) {
  std::map<int, Track> byTrack;
  std::map<std::string, std::pair<long, std::size_t>> sounding;  // track,channel,key -> start, index
  for (const std::string& line : csv.lines) {
    std::vector<std::string> f = test::csv_fields(line);
    if (f.size() < 6 || (f[2] != "Note_on_c" && f[2] != "Note_off_c")) continue;
    int track = std::stoi(f[0]);
    long time = std::stol(f[1]);
    int key = std::stoi(f[4]);
    std::string id = f[0] + "," + f[3] + "," + f[4];
    bool on = f[2] == "Note_on_c" && std::stoi(f[5]) > 0;
    if (on) {
      Track& notes = byTrack[track];
      sounding[id] = {time, notes.size()};
      notes.push_back(std::to_string(key) + "@" + std::to_string(time) + "/?");
    } else if (auto it = sounding.find(id); it != sounding.end()) {
      std::string& note = byTrack[track][it->second.second];
      note = note.substr(0, note.size() - 1) + std::to_string(time - it->second.first);
      sounding.erase(it);
    }
  }
  std::vector<Track> tracks;
  for (auto& [track, notes] : byTrack) tracks.push_back(notes);
  return tracks;
}

TEST(MfiReader, MidiFileHoldsTheKeysStartsAndLengthsOfTheReadingRules) {
  MfiBuilder b;
  b.track()
      .tempo(0, 0xC3, 120)
      .assign(0, 3, 9)
      .note(0, 0, 15, 40)   // ch 0: 60 at 0, next note 48 later: 41 ticks
      .note(0, 3, 5, 12)    // ch 9: drum 40 at 0, next at 48: 13 ticks
      .note(24, 2, 20, 24)  // ch 2: 65 at 24 ...
      .note(12, 2, 20, 48)  // ... struck again at 36: rings to 84, next at 96: 61 ticks
      .note(12, 0, 17, 48)  // ch 0: 62 at 48, 48 ticks
      .note(0, 3, 7, 12)    // ch 9: 42 at 48, the last note: gate + 1
      .note(48, 0, 19, 20)  // ch 0: 64 at 96, gate + 1
      .note(0, 2, 22, 24)   // ch 2: 67 at 96, gate + 1
      .end(48);
  b.track()
      .note(12, 1, 27, 30)  // chunk 2, ch 5: 72 at 12 ...
      .end_marker(8)        // ... rings, but only until the next note at 30
      .note(10, 1, 29, 24)  // 74 at 30, gate + 1
      .end(30);
  Read r = read_mfi(b.bytes());
  ASSERT_EQ(r.song.trackCount, 4);

  Settings settings;
  settings.play.ForPlayback = 0;
  std::vector<uint8_t> midi = write_midi_file(r.score, r.song, settings);
  test::MidiCsv csv = test::run_midicsv(midi);
  if (!csv.available) GTEST_SKIP() << csv.error;
  ASSERT_TRUE(csv.ok) << csv.error;
  EXPECT_EQ(midicsv_notes(csv), (std::vector<Track>{
                                    {"60@0/41", "62@48/48", "64@96/21"},
                                    {"65@24/61", "67@96/25"},
                                    {"40@0/13", "42@48/13"},
                                    {"72@12/18", "74@30/25"},
                                }));
}

// ---- Robustness -------------------------------------------------------------

// Whatever the input, the score is a walkable stream within its buffer whose
// EndOfTrack bytes agree with the track count.
void expect_sane(const Read& r) {
  ASSERT_GE(r.score.length, kFirstTrackOffset);
  ASSERT_LE(r.score.length, kScoreCapacity);
  EXPECT_GT(r.score.tempo(), 0);
  EXPECT_EQ(r.score.tempo(), r.song.tempo);
  int ends = 0;
  std::size_t pos = kFirstTrackOffset;
  for (;;) {
    ScoreEvent ev = decode_score_event(r.score.bytes.data(), r.score.length, pos);
    if (ev.kind == ScoreEvent::EndOfScore) break;
    if (ev.kind == ScoreEvent::EndOfTrack) ++ends;
    pos += ev.size;
  }
  EXPECT_EQ(pos, r.score.length);
  EXPECT_EQ(ends, std::max(0, r.song.trackCount - 1));
  EXPECT_GE(r.song.songLength, 0);
}

std::vector<Bytes> sample_files() {
  std::vector<Bytes> files;
  MfiBuilder plain;
  plain.title("t").four_byte_notes();
  plain.track()
      .tempo(0, 0xC3, 120)
      .bank(0, 0, 2)
      .voice(0, 0, 3)
      .note4(0, 0, 15, 40, 30)
      .note4(0, 1, 17, 40, 30, 1)
      .rhythm(10, 0, true)
      .long_event(0, 0xF1, {1, 2, 3})
      .note4(38, 0, 19, 24, 50, -2)
      .end(24);
  plain.track().assign(0, 0, 9).note4(0, 0, 3, 12, 20).end_marker(6).note4(6, 0, 4, 12, 20).end(12);
  files.push_back(plain.bytes());
  MfiBuilder channels;
  channels.track().assign(0, 3, 9).note(0, 2, 20, 24).note(0, 0, 15, 24).note(24, 3, 5, 12).note(24, 0, 17, 24).end(24);
  files.push_back(channels.bytes());
  files.push_back(five_note_chord().bytes());
  return files;
}

TEST(MfiReader, SurvivesEveryTruncationOfValidFiles) {
  Settings split;
  split.play.TrackSplit = 1;
  for (const Bytes& file : sample_files()) {
    for (std::size_t n = 0; n <= file.size(); ++n) {
      Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
      SCOPED_TRACE(n);
      expect_sane(read_mfi(cut));
      expect_sane(read_cmx(cut, split));
    }
  }
}

TEST(MfiReader, SurvivesRandomBytes) {
  std::mt19937 rng(20240611);
  Settings split;
  split.play.TrackSplit = 1;
  split.conv.chsepcnt = 16;
  for (int round = 0; round < 300; ++round) {
    Bytes file(rng() % 600);
    for (uint8_t& b : file) b = static_cast<uint8_t>(rng());
    // Give most of them a header and track tags so the event decoder runs.
    if (round % 3 != 0 && file.size() > 40) {
      std::copy_n("melo", 4, file.begin());
      for (std::size_t at = 13; at + 8 < file.size(); at += 8 + rng() % 120) {
        std::copy_n("trac", 4, file.begin() + static_cast<std::ptrdiff_t>(at));
        if (round % 2) file[at + 1 + 7] = 0xFF;  // extended events after some tags
      }
    }
    SCOPED_TRACE(round);
    expect_sane(read_mfi(file, round % 2 ? split : Settings{}));
    expect_sane(read_cmx(file));
  }
}

TEST(MfiReader, StopsCleanlyWhenTheScoreIsFull) {
  MfiBuilder b;
  for (int chunk = 0; chunk < 4; ++chunk) {
    MfiTrack& t = b.track();
    for (int i = 0; i < 15000; ++i) t.note(4, 0, 10 + i % 40, 1);  // note + rest: 6 bytes each
    t.end(4);
  }
  Read r = read_mfi(b.bytes());
  expect_sane(r);
  EXPECT_GT(r.score.length, 0x3F000u);
  EXPECT_LT(r.song.trackCount, 4);
}

}  // namespace
}  // namespace mel
