// Builds scores in tests the way a reader does: tempo bytes first, events
// through the event writer, and the reader's bookkeeping (trackStart, part,
// running time, songLength, firstNoteTime / lastNoteEnd / leadIn, noteCount,
// trackCount and scoreTrackCount, an EndOfTrack byte between tracks).
//
//   ScoreBuilder b(120, 48);
//   b.track().program(5).note(60, 48).rest(48).note(62, 48);
//   b.track(3).rhythm().note(36, 96);
//   write_midi_file(b.score(), b.song(), settings);
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "score/score_stream.h"

namespace mel {
namespace test {

class ScoreBuilder {
 public:
  explicit ScoreBuilder(int tempo = kResetTempo, int timebase = kResetTimebase) {
    reset_song_header(song_);
    song_.tempo = tempo;
    song_.timebase = timebase;
    store_score_tempo(score_.bytes.data(), tempo);
    score_.length = kTempoBytes;
  }

  // Begins the next track (closing the previous one with EndOfTrack) and gives
  // it a part number (0 = none).
  ScoreBuilder& track(int part = 0) {
    if (tracks_ > 0) put_raw(kEndOfTrack);
    ++tracks_;
    running_ = 0;
    if (recorded()) {
      song_.trackStart[tracks_ - 1] = static_cast<int>(score_.length);
      song_.part[tracks_ - 1] = part;
    }
    song_.trackCount = tracks_;
    song_.scoreTrackCount = tracks_;
    return *this;
  }

  // Marks the current track as a rhythm track, as a reader stores it.
  ScoreBuilder& rhythm() {
    ensure_track();
    if (recorded()) song_.program[tracks_ - 1] = kRhythmProgram;
    return *this;
  }

  ScoreBuilder& note(int key, int ticks) {
    ensure_track();
    if (recorded()) {
      int i = tracks_ - 1;
      if (song_.firstNoteTime[i] == 0) {
        song_.firstNoteTime[i] = static_cast<int>(running_) + 1;
        if (!anyNote_ || running_ < song_.leadIn) song_.leadIn = static_cast<int>(running_);
        anyNote_ = true;
      }
      ++song_.noteCount[i];
    }
    put_event(key, ticks);
    running_ += ticks;
    if (recorded()) song_.lastNoteEnd[tracks_ - 1] = static_cast<int>(running_) + 1;
    raise_song_length();
    return *this;
  }

  ScoreBuilder& rest(int ticks) {
    ensure_track();
    put_event(kRest, ticks);
    running_ += ticks;
    raise_song_length();
    return *this;
  }

  ScoreBuilder& control(int code, int value) {
    ensure_track();
    put_event(code, value);
    return *this;
  }
  ScoreBuilder& program(int value) { return control(kProgramEvent, value); }
  ScoreBuilder& volume(int value) { return control(kVolumeEvent, value); }
  ScoreBuilder& pan(int value) { return control(kPanEvent, value); }
  ScoreBuilder& velocity(int value) { return control(kVelocityEvent, value); }

  ScoreBuilder& title(const std::string& text) {
    set_song_text(song_.title, text);
    return *this;
  }
  ScoreBuilder& copyright(const std::string& text) {
    set_song_text(song_.copyright, text);
    return *this;
  }

  // Raw bytes appended to the stream without bookkeeping (hostile input).
  ScoreBuilder& raw(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) put_raw(b);
    return *this;
  }

  int track_count() const { return tracks_; }
  long long running_time() const { return running_; }
  Score& score() { return score_; }
  SongInfo& song() { return song_; }

 private:
  bool recorded() const { return tracks_ >= 1 && tracks_ <= kMaxTracks; }
  void ensure_track() {
    if (tracks_ == 0) track();
  }
  void put_raw(uint8_t b) {
    if (score_.length < score_.bytes.size()) score_.bytes[score_.length++] = b;
  }
  void put_event(int code, int value) {
    uint8_t* at = score_.bytes.data() + score_.length;
    uint8_t* end = score_.bytes.data() + score_.bytes.size();
    score_.length += write_event(song_, at, end, tracks_, code, value);
  }
  void raise_song_length() {
    song_.songLength = static_cast<int>(std::max<long long>(song_.songLength, running_));
  }

  Score score_;
  SongInfo song_;
  int tracks_ = 0;
  long long running_ = 0;
  bool anyNote_ = false;
};

}  // namespace test
}  // namespace mel
