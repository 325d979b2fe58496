#include "formats/als/als_reader.h"

#include <algorithm>
#include <climits>

#include "formats/als/als_format.h"
#include "formats/shared/melody_track_reader.h"

namespace mel {

namespace {

using namespace als;

class AlsReader {
 public:
  AlsReader(ByteView input, Score& score, SongInfo& song, const Settings& settings)
      : in_(input), song_(song), tracks_(score, song, settings.conv) {}

  void read() {
    while (!in_.at_end() && !tracks_.full()) {
      uint8_t b = in_.u8();
      if (b == kFileEnd) break;
      if (b == kTitleStart) {
        read_title();
      } else if (is_part_header(b)) {
        // A part header cut off before its parameter ends the data.
        if (in_.at_end() || !part_header(b, in_.u8())) break;
      } else if (b == kStopNotes || b == kStopNotesToo) {
        notesOn_ = false;
      } else if (is_length_code(b) && notesOn_) {
        length_code(b);
      }
    }
    tracks_.finish();
  }

 private:
  // The title runs up to 0xFD, which then stops note reading, or up to 0xFF,
  // which then ends the file.
  void read_title() {
    std::size_t start = in_.pos();
    while (!in_.at_end() && in_.peek() != kTitleEnd && in_.peek() != kFileEnd) in_.u8();
    set_song_text(song_.title, in_.view().data + start, in_.pos() - start);
  }

  // Returns false when the header would begin a 33rd track.
  bool part_header(uint8_t header, uint8_t parameter) {
    int part = header & kPartNumberMask;
    if (tracks_.track() == 0) {
      if (parameter > kTempoParameterBase) tracks_.set_tempo((parameter - kTempoParameterBase) * kTempoParameterScale);
      tracks_.begin_track(part);
    } else if (tracks_.counted()) {
      if (!tracks_.begin_track(part)) return false;
    } else {
      tracks_.restart_track(part);
    }
    notesOn_ = true;
    return true;
  }

  // One length code: further codes tie on to it; a pitch byte ends the note
  // (0 a rest); anything else, or the end of the data, ends it as a rest and
  // is then read as usual.
  void length_code(uint8_t code) {
    carried_ = std::min<int64_t>(carried_ + code_ticks(code), INT_MAX);
    tracks_.count_note();
    if (!in_.at_end() && is_length_code(in_.peek())) return;
    int64_t ticks = carried_;
    carried_ = 0;
    if (in_.at_end() || in_.peek() > kHighestPitch) {
      tracks_.add(kRest, ticks);
      return;
    }
    uint8_t pitch = in_.u8();
    tracks_.add(pitch == kRestPitch ? kRest : pitch + kPitchKeyOffset, ticks);
  }

  ByteReader in_;
  SongInfo& song_;
  MelodyTrackReader tracks_;
  bool notesOn_ = false;  // note reading starts with the first part header
  int64_t carried_ = 0;   // the length of the length codes tied so far
};

}  // namespace

void read_als_file(ByteView input, Score& score, SongInfo& song, const Settings& settings) {
  AlsReader(input, score, song, settings).read();
}

}  // namespace mel
