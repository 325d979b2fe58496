#include "formats/dxm/dxm_format.h"

#include <algorithm>
#include <initializer_list>

#include "common/byte_reader.h"
#include "common/saturate.h"
#include "midi/midi_bytes.h"

namespace mel::dxm {

namespace {

// ---- Container ----------------------------------------------------------------

constexpr char kContainerMagic[] = "MCDF";
constexpr std::size_t kMagicSize = 4;
constexpr std::size_t kEntrySize = 10;  // type, identifier, 32-bit offset, 32-bit size
constexpr std::size_t kEntrySizeAt = 6;
constexpr int kEntryWordSize = 4;
constexpr uint8_t kDirectoryEnd = 0xFF;
constexpr std::size_t kDirectoryEndSize = 10;  // FF FF and 8 zero bytes

// The directory, in order. Entries marked kLength* are filled in at the end;
// the MIDI part, the title and the creator text are not fixed data.
enum class EntryData { Fixed, MidiPart, Title, Creator };
struct DirectoryEntry {
  uint8_t type;
  uint8_t id;
  std::initializer_list<uint8_t> data;
  EntryData kind = EntryData::Fixed;
};

constexpr uint8_t kGeneral = 0x00;
constexpr uint8_t kSong = 0x02;

const std::array<DirectoryEntry, 24>& directory() {
  static const std::array<DirectoryEntry, 24> entries = {{
      {kGeneral, 0x00, {'0', '1', '.', '0'}},
      {kGeneral, 0x01, {0, 0, 0, 0, 0, 0, 0, 0}},
      {kGeneral, 0x10, {0x00, 0x00, 0xFF, 0xFF}},
      {kGeneral, 0x11, {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF}},
      {kGeneral, 0x81, {0x00, 0x00, 0x10, 0x2F}},  // 00 and the file length
      {kGeneral, 0x82, {'2', '8', '5', '6'}},
      {kGeneral, 0x83, {0x00, 0x07, 0xD0, 0x09, 0x00, 0x00, 0x00, 0x00}},
      {kGeneral, 0x84, {'0', '1', '.', '0'}},
      {kGeneral, 0x85, {0x00}},
      {kGeneral, 0xC0, {}},
      {kSong, 0x00, {0x04, 0x02, 0x18, 0x08}},
      {kSong, 0x01, {0x00, 0x00}},
      {kSong, 0x02, {0x00, 0x00}},
      {kSong, 0x03, {0x03, 0x01, 0x00, 0x02}},
      {kSong, 0x04, {0x00}},
      {kSong, 0x05, {0x05, 0x26, 0x3E, 0x30}},
      {kSong, 0x40, {}, EntryData::MidiPart},
      {kSong, 0x81, {0x00, 0x00, 0x0D, 0x9D}},  // 00 and the MIDI part's size
      {kSong, 0x82, {'2', '8', '5', '6'}},
      {kSong, 0x83, {0x00, 0x07, 0xD0, 0x09, 0x00, 0x00, 0x00, 0x00}},
      {kSong, 0x84, {'0', '1', '.', '0'}},
      {kSong, 0x85, {0x00}},
      {kSong, 0xC0, {}, EntryData::Title},
      {kSong, 0xC4, {}, EntryData::Creator},
  }};
  return entries;
}

// Entries (0-based) whose data or place is set at the end.
constexpr std::size_t kFileLengthEntry = 4;
constexpr std::size_t kMidiSizeEntry = 17;
// Those two data words: 00 and a 3-byte length.
constexpr std::size_t kLengthDataAt = 1;
constexpr int kLengthDataSize = 3;


constexpr char kCreatorText[] = "MELVARINO V8.00";

constexpr int kLowestKey = 2;
constexpr int kHighestKey = 127;
constexpr int kLowFoldOffset = 130;
constexpr int kHighFoldOffset = 8;
constexpr int kHighFoldBase = 116;
constexpr int kSemitones = 12;

constexpr int kRhythmChannel = midi::kRhythmChannel;
// A program-129 ("mixed") track is identified by its part, outside every
// program and handset voice value.
constexpr int kMixedPartBase = 1024;

}  // namespace

void put_tag(ByteSink& out, const char* tag) { out.put_bytes(reinterpret_cast<const uint8_t*>(tag), midi::kTagSize); }

uint8_t data_byte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, midi::kMaxDataByte)); }

std::size_t entry_at(std::size_t index) { return kMagicSize + index * kEntrySize; }
std::size_t directory_end() { return entry_at(directory().size()) + kDirectoryEndSize; }

void write_container_head(ByteSink& out, const std::string& title) {
  out.put_bytes(reinterpret_cast<const uint8_t*>(kContainerMagic), kMagicSize);
  const auto& entries = directory();
  std::size_t data = entry_at(entries.size()) + kDirectoryEndSize;
  std::size_t creatorLength = sizeof kCreatorText - 1;
  std::size_t titleAt = data;
  for (const DirectoryEntry& e : entries) {
    if (e.kind == EntryData::Fixed) titleAt += e.data.size();
  }
  for (const DirectoryEntry& e : entries) {
    out.put(e.type);
    out.put(e.id);
    std::size_t offset = data;
    std::size_t size = e.data.size();
    if (e.kind == EntryData::Title) {
      offset = titleAt;
      size = title.size();
    } else if (e.kind == EntryData::Creator) {
      offset = titleAt + title.size();
      size = creatorLength;
    } else if (e.kind == EntryData::MidiPart) {
      offset = 0;
    }
    out.put_be(static_cast<uint32_t>(offset), kEntryWordSize);
    out.put_be(static_cast<uint32_t>(size), kEntryWordSize);
    if (e.kind == EntryData::Fixed) data += size;
  }
  out.put(kDirectoryEnd);
  out.put(kDirectoryEnd);
  out.put_be(0, 8);
  for (const DirectoryEntry& e : entries) {
    if (e.kind == EntryData::Fixed) out.put_bytes(e.data.begin(), e.data.size());
  }
  out.put_text(title);
  out.put_text(kCreatorText);
}

void write_container_lengths(ByteSink& out, std::size_t midiAt) {
  std::size_t total = out.pos();
  std::size_t midiSize = total - midiAt;
  ByteView written(out.data(), total);
  std::size_t fileLengthData = ByteReader(written, entry_at(kFileLengthEntry) + kEntryOffsetAt).u32be();
  std::size_t midiSizeData = ByteReader(written, entry_at(kMidiSizeEntry) + kEntryOffsetAt).u32be();
  out.patch_be(fileLengthData + kLengthDataAt, static_cast<uint32_t>(total), kLengthDataSize);
  out.patch_be(entry_at(kMidiPartEntry) + kEntryOffsetAt, static_cast<uint32_t>(midiAt), kEntryWordSize);
  out.patch_be(entry_at(kMidiPartEntry) + kEntrySizeAt, static_cast<uint32_t>(midiSize), kEntryWordSize);
  out.patch_be(midiSizeData + kLengthDataAt, static_cast<uint32_t>(midiSize), kLengthDataSize);
}

void write_midi_header(ByteSink& out, int format, int trackCount) {
  put_tag(out, midi::kDxmHeaderTag);
  out.put_be(midi::kHeaderDataLength, 4);
  out.put_be(static_cast<uint32_t>(format), 2);
  out.put_be(static_cast<uint32_t>(trackCount), 2);
  out.put_be(kDivision, 2);
}

void put_end_of_track(ByteSink& out, uint32_t delta) {
  put_vlq3(out, delta);
  out.put(midi::kMeta);
  out.put(midi::kMetaEndOfTrack);
  out.put(0);
}


int fold_key(int64_t key) {
  if (key < kLowestKey) return floor_mod(key + kLowFoldOffset, kSemitones) + kLowestKey;
  if (key > kHighestKey) return floor_mod(key - kHighFoldOffset, kSemitones) + kHighFoldBase;
  return static_cast<int>(key);
}

int track_instrument(const SongInfo& song, const PlaybackOptions& play, int track) {
  int program = play.PerTrackProgram[track - 1];
  if (play.KeepFileInstruments == 0 && program != kFollowScore) return program > 0 ? program : play.melody + 1;
  int own = song.program[track - 1];
  return own == kMixedValue ? song.part[track - 1] + kMixedPartBase : own;
}

int ChannelPlanner::assign(int instrument, bool rhythm) {
  if (rhythm) return kRhythmChannel;
  if (share_) {
    for (int c = 0; c < used_; ++c) {
      if (instrument_[c] == instrument) return c;
    }
  }
  if (used_ == kMelodicChannels) return -1;
  instrument_[used_] = instrument;
  return used_++;
}

}  // namespace mel::dxm
