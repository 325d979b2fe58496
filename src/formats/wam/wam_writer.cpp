#include "formats/wam/wam_writer.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "common/cp932.h"
#include "common/limits.h"
#include "formats/shared/handset_codes.h"
#include "formats/shared/one_part_writer.h"
#include "formats/wam/wam_format.h"
#include "midi/midi_bytes.h"

namespace mel {

namespace {

using namespace wam;
using midi::kSemitonesPerOctave;

constexpr std::size_t kMaxTitleBytes = 22;
// The dialog's key fit towards the keys it names as valid, 72-107.
constexpr int kFitRiseBelow = 72;
constexpr int kFitFallFrom = 84;
// Slots are written while at least 40 units are left (the rounding leaves
// multiples of 60 and 80 only, so in effect 60).
constexpr int kMinPieceUnits = 40;
// The whole file is at most 18 + 22 + 1 + 128 + 3 bytes, so the output bound
// of the other writers is never near.

class WamSlots : public OnePartSink {
 public:
  explicit WamSlots(int noteLimit) : limit_(noteLimit < 1 || noteLimit > kSlots ? kSlots : noteLimit) {}

  bool room() const override { return count_ < limit_; }

  // The second and later pieces of a note are rests.
  void put(bool note, int key, int units, bool continuation) override {
    auto code = static_cast<uint8_t>(code_of_length(kLengthByCode, units, 1));
    if (!note || continuation) {
      pitch_[count_] = kRestPitch;
      length_[count_] = code;
    } else {
      int v = fold_into_octaves(key, kLowestKey, kHighestKey);
      KeyLetter l = letter_of_pitch_class(v);
      int octave = v / kSemitonesPerOctave - kOctaveBaseKey / kSemitonesPerOctave;
      pitch_[count_] = static_cast<uint8_t>(((kFirstLetterNibble + l.letter) << kNibbleShift) + (l.sharp ? kSharpNibble : 0));
      length_[count_] = static_cast<uint8_t>((octave << kNibbleShift) + code);
    }
    ++count_;
  }

  // The two arrays and their check bytes.
  void write(ByteSink& out) const {
    uint8_t pitchSum = 0;
    uint8_t lengthSum = 0;
    for (uint8_t b : pitch_) {
      out.put(b);
      pitchSum = static_cast<uint8_t>(pitchSum + b);
    }
    for (uint8_t b : length_) {
      out.put(b);
      lengthSum = static_cast<uint8_t>(lengthSum + b);
    }
    out.put(pitchSum);
    out.put(lengthSum);
    out.put(static_cast<uint8_t>(pitchSum + lengthSum));
  }

 private:
  const int limit_;
  int count_ = 0;
  std::array<uint8_t, kSlots> pitch_{};
  std::array<uint8_t, kSlots> length_{};
};

}  // namespace

std::string wam_title(const std::string& title) {
  std::string kept;
  for (std::size_t i = 0; i < title.size();) {
    std::size_t n = is_handset_title_lead_byte(title[i]) ? 2 : 1;
    // A lead byte at the end would take the tempo code along when read.
    if (i + n > title.size() || kept.size() + n > kMaxTitleBytes) break;
    kept.append(title, i, n);
    i += n;
  }
  return kept;
}

WamWriterSettings wam_dialog_values(const SongInfo& song, const Settings& settings) {
  OnePartDialogStart start = one_part_dialog_start(song, settings, kFitRiseBelow, kFitFallFrom);
  WamWriterSettings w;
  w.title = wam_title(song.title);
  w.tempo = start.tempo;
  w.key = start.key;
  return w;
}

std::vector<uint8_t> write_wam(const Score& score, const SongInfo& song, const Settings& settings,
                               const WamWriterSettings& wam) {
  ByteSink out(kOutputCapacity);
  const std::string title = wam_title(wam.title);
  std::size_t characters = 0;
  for (std::size_t i = 0; i < title.size(); i += is_handset_title_lead_byte(title[i]) ? 2 : 1) ++characters;
  out.put_bytes(reinterpret_cast<const uint8_t*>(kSignature), kSignatureSize);
  out.put_be(0, 2);
  out.put(static_cast<uint8_t>(characters));  // the count's high byte stays 0
  out.put(0);
  out.put_text(title);
  out.put(static_cast<uint8_t>(code_for_tempo(wam.tempo)));
  WamSlots slots(wam.noteLimit);
  OnePartWalkSettings walk{wam.key, wam.startCounter, wam.endCounter, kMinPieceUnits};
  walk_one_part(score, song, settings, one_part_track(score, settings), walk, slots);
  slots.write(out);
  return out.take();
}

std::vector<uint8_t> write_wam_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_wam(score, song, settings, wam_dialog_values(song, settings));
}

}  // namespace mel
