#include "formats/chara/chara_writer.h"

#include <algorithm>

#include "common/byte_writer.h"
#include "common/cp932.h"
#include "common/limits.h"
#include "formats/chara/chara_format.h"
#include "formats/shared/handset_codes.h"
#include "formats/shared/one_part_writer.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace chara;
using midi::kSemitonesPerOctave;

// The title line holds at most 15 bytes: a double-byte character is copied
// while at most 13 have been written, a single byte while at most 14.
constexpr std::size_t kLastDoubleByteAt = 13;
constexpr std::size_t kLastSingleByteAt = 14;
constexpr uint8_t kBlank = ' ';
constexpr uint8_t kMarkBracket = ']';
constexpr char kLineEnd[] = "\r\n";

constexpr int kMaxNoteLimit = 32767;
// The dialog's key fit towards the keys it names as valid, 79-107.
constexpr int kFitRiseBelow = 79;
constexpr int kFitFallFrom = 91;
// Once the output has passed this size the later events are skipped; a note
// takes 3 bytes, so the text never passes the output buffer.
constexpr std::size_t kWriteBound = 0x3FFFD;

void put_title_line(ByteSink& out, const std::string& title) {
  std::size_t written = 0;
  for (std::size_t i = 0; i < title.size();) {
    uint8_t b = static_cast<uint8_t>(title[i]);
    if (is_handset_title_lead_byte(b) && i + 1 < title.size()) {
      if (written > kLastDoubleByteAt) break;
      out.put(b);
      out.put(static_cast<uint8_t>(title[i + 1]));
      written += 2;
      i += 2;
      continue;
    }
    if (written > kLastSingleByteAt) break;
    // A "]]" in the title would read as the header mark.
    bool markAhead = b == kMarkBracket && i + 1 < title.size() && title[i + 1] == kMarkBracket;
    out.put(markAhead ? kBlank : b);
    ++written;
    ++i;
  }
  if (written > 0) out.put_text(kLineEnd);
}

class CharaNotes : public OnePartSink {
 public:
  CharaNotes(ByteSink& out, int noteLimit) : out_(out), limit_(std::clamp(noteLimit, 0, kMaxNoteLimit)) {}

  bool room() const override { return (limit_ == 0 || count_ < limit_) && out_.pos() <= kWriteBound; }

  void put(bool note, int key, int units, bool continuation) override {
    out_.put(static_cast<uint8_t>('0' + code_of_length(kLengthByDigit, units, 1)));
    if (!note) {
      out_.put(kRestLetter);
      out_.put(kRestOctave);
    } else if (continuation) {
      out_.put(kTieLetter);
      out_.put(kTieOctave);
    } else {
      int v = fold_into_octaves(key, kLowestKey, kHighestKey);
      KeyLetter l = letter_of_pitch_class(v);
      out_.put(static_cast<uint8_t>(kFirstLetter + l.letter));
      out_.put(static_cast<uint8_t>('1' + 2 * (v / kSemitonesPerOctave - kLowestKey / kSemitonesPerOctave) + l.sharp));
    }
    ++count_;
  }

 private:
  ByteSink& out_;
  const int limit_;
  int count_ = 0;
};

}  // namespace

CharaWriterSettings chara_dialog_values(const SongInfo& song, const Settings& settings) {
  OnePartDialogStart start = one_part_dialog_start(song, settings, kFitRiseBelow, kFitFallFrom);
  CharaWriterSettings c;
  c.tempo = start.tempo;
  c.key = start.key;
  return c;
}

std::vector<uint8_t> write_chara(const Score& score, const SongInfo& song, const Settings& settings,
                                 const CharaWriterSettings& chara) {
  ByteSink out(kOutputCapacity);
  put_title_line(out, song.title);
  out.put_text(chara.headerMark.substr(0, kMaxTextLength));
  out.put(static_cast<uint8_t>('0' + code_for_tempo(chara.tempo)));
  CharaNotes notes(out, chara.noteLimit);
  OnePartWalkSettings walk{chara.key, chara.startCounter, chara.endCounter};
  walk_one_part(score, song, settings, one_part_track(score, settings), walk, notes);
  return out.take();
}

std::vector<uint8_t> write_chara_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_chara(score, song, settings, chara_dialog_values(song, settings));
}

}  // namespace mel
