// The DXM container as the writers build it: "MCDF", a directory of 24 fixed
// entries, their data, the title and the creator text, then the MIDI part
// ("CThd", "CTrk" chunks at 24 ticks per quarter note; a note-off carries its
// key only). Shared by the writer from the score and the writer from MIDI.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/byte_writer.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel::dxm {

constexpr int kDivision = 24;  // ticks per quarter note
constexpr int kUnitsPerWhole = kDivision * 4;
constexpr uint32_t kMaxDelta = 0x1FFFFF;  // three bytes of delta time
constexpr int kMelodicChannels = 4;

// Directory entries (0-based) whose place or data is set at the end.
constexpr std::size_t kEntryOffsetAt = 2;
constexpr std::size_t kMidiPartEntry = 16;
std::size_t entry_at(std::size_t index);
std::size_t directory_end();

// Magic, directory, fixed data, title and creator text.
void write_container_head(ByteSink& out, const std::string& title);
// Sets the file length and the MIDI part's place and size (it begins at midiAt).
void write_container_lengths(ByteSink& out, std::size_t midiAt);
// "CThd", length 6, the format, the track count and 24 ticks per quarter note.
void write_midi_header(ByteSink& out, int format, int trackCount);
void put_end_of_track(ByteSink& out, uint32_t delta);
// Brings a key into 2..127 keeping its pitch class.
int fold_key(int64_t key);
// A MIDI data byte: values outside 0..127 are held at the nearer end.
uint8_t data_byte(int64_t value);
// A 4-byte chunk tag.
void put_tag(ByteSink& out, const char* tag);

// The instrument a track plays, as the channel plan compares them.
int track_instrument(const SongInfo& song, const PlaybackOptions& play, int track);

// Gives tracks their channels: rhythm tracks channel index 9, the others the
// first four channels (sharing one with an earlier track of the same
// instrument when asked); -1 once all four are taken.
class ChannelPlanner {
 public:
  explicit ChannelPlanner(bool shareInstruments) : share_(shareInstruments) {}
  int assign(int instrument, bool rhythm);

 private:
  bool share_;
  std::array<int, kMelodicChannels> instrument_{};
  int used_ = 0;
};

}  // namespace mel::dxm
