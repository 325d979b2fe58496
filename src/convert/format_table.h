// The format table: one row per input type and one per output kind. Detection,
// dispatch, the create menu, the open and save dialogs, the command line's
// output formats and the fuzzer all read these rows, so a new format is one
// folder under src/formats and one row here.
//
// Adding an input format: a row in input_formats() with its code, a name,
// the extensions (and magic bytes) that detect it, its reader, whether it
// carries its own instruments and, when it has its own open-dialog entry, the
// filter text and pattern (the "all melody files" pattern is the patterns of
// the rows in order).
// Adding an output format: a row in output_formats() with its code, a name,
// the extensions it is written with (the first is the default), its writer,
// its settings dialog and, when it is offered in the create menu, the menu
// text and placement (the create items take the command ids 121.. in the
// order of the rows that have a menu text).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "score/format_codes.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Decodes input into score (bytes and length) and song.
using ScoreReader = void (*)(ByteView input, Score& score, SongInfo& song, const Settings& settings);

// Encodes the score into a complete output file.
using ScoreWriter = std::vector<uint8_t> (*)(const Score& score, const SongInfo& song, const Settings& settings);

// A file name and its first bytes that select an input type: the extension
// (lower case, with its dot) and bytes the file must begin with (empty: any).
struct DetectRule {
  const char* extension;
  std::string magic{};
};

// How ".txt" files are taken for a type: the `txtfileas` value that always
// means this type, and, for the automatic value, the text such a file
// begins with ("" for the type taken when no other text start matches).
struct TextRule {
  int txtfileas = 0;  // 0: ".txt" is never this type
  const char* automaticStart = nullptr;
};

// An open or save dialog filter: description and pattern.
using DialogFilter = std::pair<const char*, const char*>;

struct InputFormat {
  InputType type = kInputUnsupported;
  const char* name = "";  // short English name, for reports and the command line
  std::vector<DetectRule> detect{};
  ScoreReader reader = nullptr;     // null: recognised, not read yet (or not a melody)
  bool carriesInstruments = false;  // the file chooses its instruments ("標準" applies)
  bool splitsChords = false;        // "トラック分解" can split its chords into tracks
  DialogFilter openFilter{nullptr, nullptr};  // none: listed by another row's filter
  TextRule text{};
};

// Which settings put a create item into the File menu (otherwise it sits in
// "その他ﾌｧｲﾙ作成").
enum CreatePlacement : unsigned {
  kPlaceDdip = 1,     // makeddip
  kPlaceDocomo = 2,   // makedocomo
  kPlaceAstel = 4,    // makeastel
  kPlaceJphone = 8,   // makejphone
  kPlaceKddi = 16,    // makekddi
};

// A format's settings dialog: its number and title (0 and "": none).
struct SettingsDialogRef {
  int number = 0;
  const char* title = "";
};

struct OutputFormat {
  OutputKind kind = kOutputMidi;
  const char* name = "";  // short English name, for messages and --help
  std::vector<const char*> extensions{};  // written with; the first is the default
  ScoreWriter writer = nullptr;  // null: not written yet (or written by the engine itself)
  SettingsDialogRef dialog{};
  std::vector<const char*> settingsKeys{};  // the writer's own keys in the settings file
  const char* menuText = nullptr;  // create item text; null: not a create item
  unsigned placement = 0;          // kPlace* bits of the create item
  std::vector<const char*> aliases{};  // further --to names
  // Save dialog filters, the proposed name then without its extension;
  // empty: "すべてのﾌｧｲﾙ", and the name keeps its extension.
  std::vector<DialogFilter> saveFilters{};
  // DXM: the dialog used when MIDI input is played as written ("MIDI標準").
  SettingsDialogRef directMidiDialog{};
  // MFi: the extension and further --to names of the Base64 mail text form.
  const char* mailTextExtension = nullptr;
  std::vector<const char*> mailTextNames{};
  bool created = true;       // a create command offers this kind
  bool byDispatcher = true;  // the dispatcher accepts this kind
};

// The rows, in the order of the open dialog's filters.
const std::vector<InputFormat>& input_formats();
// The rows, create items first in the order of their command ids.
const std::vector<OutputFormat>& output_formats();

// The row of a code, or nullptr.
const InputFormat* find_input_format(int type);
const OutputFormat* find_output_format(int kind);

// A short English name of an input type ("not a supported file" for codes
// without a row; folders have one).
const char* input_type_name(int type);
// A short English name of an output kind ("this format" for unknown kinds).
const char* output_kind_name(int kind);

// True for the input types whose files carry their own instruments.
bool input_carries_instruments(int type);
// True for the input types whose chords "トラック分解" splits into tracks.
bool input_splits_chords(int type);

// The input types that have a reader, in table order.
std::vector<int> input_types_with_readers();

// The open dialog's filters: "全てのﾒﾛﾃﾞｨﾌｧｲﾙ" with the patterns of every row
// joined, then each row's own filter.
const std::vector<DialogFilter>& melody_file_filters();
// The joined pattern of every row ("*.als;*.dat;...").
const char* all_melody_files_pattern();

// The output kinds of the create items in the order of their command ids.
std::vector<const OutputFormat*> create_menu_formats();

}  // namespace mel
