// The vocabulary of MML text (".mml", ".mmlc") and of the MML2MMF compiler's
// input text (".mus"): command letters, the full-width Shift-JIS forms the
// reader accepts, the number ranges of the commands, the standard lengths the
// writer uses and the MML2MMF drum-key map. The reader and the writer share it.
// Literals are CP932 bytes in the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mel {
namespace mml {

// ---- Text units -------------------------------------------------------------

// Ticks per whole note in MML lengths (240 per quarter note).
constexpr int kWholeTicks = 960;

// ---- Structure --------------------------------------------------------------

constexpr char kBlockOpen = '{';
constexpr char kBlockClose = '}';
constexpr char kQuote = '\'';
constexpr char kEscape = '\\';
constexpr char kCommentLine = ';';
constexpr char kSlash = '/';
constexpr char kStar = '*';
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

// ---- Commands (letters in either case) --------------------------------------

constexpr char kTempo = 'T';
constexpr char kOctave = 'O';
constexpr char kDefaultLength = 'L';
constexpr char kTranspose = 'K';
constexpr char kGate = 'Q';
constexpr char kVolume = 'V';
constexpr char kPan = 'P';
constexpr char kProgram = '@';
constexpr char kNativeVoiceTag[] = "MLD";  // after '@', either case
constexpr char kPart = '!';
constexpr char kIgnored = '`';
constexpr char kKeyNote = 'N';
constexpr char kRestLetter = 'R';
constexpr char kOctaveDown = '<';
constexpr char kOctaveUp = '>';

// Note and length syntax.
constexpr char kSharp = '#';
constexpr char kPlus = '+';
constexpr char kMinus = '-';
constexpr char kDot = '.';
constexpr char kMultiply = '*';
constexpr char kTie = '&';
constexpr char kTieAlternative = '^';
constexpr char kChord = '=';

// Command ranges.
constexpr int kMinTempo = 4;
constexpr int kMaxTempo = 1024;
constexpr int kMaxOctave = 10;
constexpr int kStartOctave = 6;
constexpr int kMinTranspose = -128;
constexpr int kMaxTranspose = 127;
constexpr int kMinGate = 1;
constexpr int kFullGate = 8;
constexpr int kMaxControl = 127;      // volume, pan, key number
constexpr int kRhythmProgramNumber = 128;  // "@128": a rhythm track
constexpr int kMaxNativeVoice = 255;
constexpr int kMinPart = 1;
constexpr int kMaxPart = 64;
constexpr int kMinDivision = 1;       // a length number n gives 960 / n ticks
constexpr int kMaxDivision = 32767;
constexpr int kMinMultiplier = 1;
constexpr int kMaxMultiplier = 127;
constexpr int kStartDefaultLength = 240;

// Semitones of the letters C D E F G A B from C, indexed from 'A'.
constexpr std::array<int, 7> kLetterSemitones = {9, 11, 0, 2, 4, 5, 7};

// ---- Full-width forms (two CP932 bytes each) ---------------------------------

constexpr std::size_t kWideSize = 2;

struct WideNote {
  const char* text;  // one or two full-width characters
  std::size_t size;
  int semitone;
};
constexpr std::array<WideNote, 7> kWideNotes = {{
    {"ド", 2, 0}, {"レ", 2, 2}, {"ミ", 2, 4}, {"ファ", 4, 5}, {"ソ", 2, 7}, {"ラ", 2, 9}, {"シ", 2, 11},
}};
constexpr std::array<const char*, 3> kWideRests = {"休", "○", "●"};
constexpr char kWideSharp[] = "＃";
constexpr std::array<const char*, 2> kWideOctaveUp = {"△", "▲"};
constexpr std::array<const char*, 2> kWideOctaveDown = {"▽", "▼"};
constexpr char kWideDot[] = "．";
constexpr char kWideZero[] = "０";  // "０" .. "９" are consecutive
constexpr char kWideOne[] = "全";   // counts as the digit 1

// ---- Writer -------------------------------------------------------------------

// The length the writer sets with "L8" at a track's first event, and the one
// it writes as a bare dot.
constexpr int kWriterDefaultLength = 120;
constexpr int kWriterDottedDefault = 180;

// The keys each dialect holds: MML folds every key into 2..127; the MML2MMF
// compiler plays 37..96, towards which the key is fitted.
constexpr int kMmlLowestKey = 2;
constexpr int kMmlHighestKey = 127;
constexpr int kMml2MmfLowestKey = 37;
constexpr int kMml2MmfHighestKey = 96;
// The MML2MMF key fit, drum voices and key range look at the first this many
// written tracks.
constexpr int kMml2MmfConsideredTracks = 16;

// MML2MMF: the key each General MIDI drum key 24-84 is played at.
constexpr int kFirstMappedDrumKey = 24;
constexpr int kLastMappedDrumKey = 84;
constexpr int kUnmappedDrumKey = 38;  // a drum key outside 24-84 becomes the snare
constexpr std::array<uint8_t, 61> kDrumKeyMap = {
    79, 61, 51, 56, 61, 47, 76, 60, 69, 55, 50, 57, 39, 62, 65, 77, 68, 62, 62, 62, 62,  // 24-44
    62, 67, 62, 62, 81, 62, 79, 74, 84, 80, 83, 81, 82, 72, 78, 67, 52, 65, 52, 45,      // 45-64
    81, 57, 81, 76, 74, 80, 56, 51, 83, 56, 69, 68, 63, 81, 60, 80, 64, 83, 53, 50,      // 65-84
};

// MML2MMF voice slots: sixteen, melodic programs from 0 up, drum keys from 15
// down; a drum voice is written as key + 128.
constexpr int kVoiceSlots = 16;
constexpr int kDrumVoiceBase = 128;
constexpr int kMaxRhythmVoices = 15;

}  // namespace mml
}  // namespace mel
