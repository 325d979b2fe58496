#include "convert/format_table.h"

#include <string>

#include "formats/chara/chara_reader.h"
#include "formats/chara/chara_writer.h"
#include "formats/doti/doti_reader.h"
#include "formats/doti/doti_writer.h"
#include "formats/als/als_reader.h"
#include "formats/als/als_writer.h"
#include "formats/dxm/dxm_writer.h"
#include "formats/kanji_mld/kanji_mld_reader.h"
#include "formats/mfi/mfi_output.h"
#include "formats/mfi/mfi_reader.h"
#include "formats/mml/mml_reader.h"
#include "formats/mml/mml_writer.h"
#include "formats/pana/pana_reader.h"
#include "formats/pana/pana_writer.h"
#include "formats/pmail/pmail_reader.h"
#include "formats/smaf/smaf_reader.h"
#include "formats/smd/smd_reader.h"
#include "formats/smd/smd_writer.h"
#include "formats/wam/wam_reader.h"
#include "formats/wam/wam_writer.h"
#include "midi/midi_bytes.h"
#include "formats/midi/midi_reader.h"
#include "formats/midi/midi_writer.h"

namespace mel {

namespace {

// Magic bytes at the start of files that share an extension with another type.
constexpr char kCmxMagic[] = "cmid";
constexpr char kSmafMagic[] = "MMMD";
constexpr char kKanjiMldMagic[] = "\xEF\x41\x8B\xA4";
constexpr const char* kMidiMagic = midi::kHeaderTag;

// The ".txt" interpretations (txtfileas) and the texts the automatic one
// looks for.
constexpr int kTxtChara = 1;
constexpr int kTxtMml = 2;
constexpr int kTxtMfi = 3;
constexpr char kCharaTextStart[] = "]]";
constexpr char kMailTextStart[] = "--B:M";
constexpr char kAnyOtherText[] = "";

constexpr char kAllMelodyFilesText[] = "全てのﾒﾛﾃﾞｨﾌｧｲﾙ";
constexpr char kPatternSeparator = ';';

// Row order is the open dialog's filter order. Rows without a filter of their
// own are listed by the filter of the row before them.
std::vector<InputFormat> make_input_formats() {
  return {
    {kInputAls, "ALS melody", {{".als", ""}}, read_als_file, false, false,
     {"Audio/X-Alpha5ﾌｧｲﾙ(*.als)", "*.als"}},
    {kInputPmail, "X-PmailDX melody data", {{".dat", ""}}, read_pmail_file, false, false,
     {"X-PmailDX/X-BANDAIﾌｧｲﾙ(*.dat)", "*.dat"}},
    {kInputDxm, "DXM", {{".dxm", ""}}, read_midi_file, true, true, {"feelsoundﾌｧｲﾙ(*.dxm)", "*.dxm"}},
    {kInputChara, "chara melody", {{".cmd", ""}}, read_chara_file, false, false, {"きゃらﾒﾛﾃﾞｨﾌｧｲﾙ(*.cmd)", "*.cmd"},
     {kTxtChara, kCharaTextStart}},
    {kInputPana, "pana melody (623P PMD)", {{".pmd", ""}}, read_pana_file, true, false,
     {"623P用ﾊﾟﾅﾒﾛﾃﾞｨﾌｧｲﾙ(*.pmd)", "*.pmd"}},
    {kInputCmx, "CMX melody", {{".pmd", kCmxMagic}}, read_cmx_file, true, true},
    {kInputMfi, "MFi melody", {{".mld", ""}}, read_mfi_file, true, true, {"iﾒﾛﾃﾞｨﾌｧｲﾙ(*.mld)", "*.mld"},
     {kTxtMfi, kMailTextStart}},
    {kInputKanjiMld, "kanji-coded MLD", {{".mld", kKanjiMldMagic}}, read_kanji_mld_file, false, false},
    {kInputDotI, "dot-i / MOZiO melody", {{".mmd", ""}, {".mel", ""}, {".sml", ""}}, read_doti_file, false, false,
     {"ﾄﾞｯﾄi/MOZiOﾒﾛﾃﾞｨﾌｧｲﾙ(*.mmd;*.mel;*.sml)", "*.mmd;*.mel;*.sml"}},
    {kInputWam, "WAM melody", {{".wam", ""}}, read_wam_file, false, false, {"AsMelo用ﾒﾛﾃﾞｨﾌｧｲﾙ(*.wam)", "*.wam"}},
    {kInputSmd, "J-SKY SMD", {{".smd", ""}}, read_smd_file, false, false,
     {"J-SKYﾒﾛﾃﾞｨﾌｧｲﾙ(*.smd;*.smz)", "*.smd;*.smz"}},
    {kInputSmz, "J-SKY SMD (compressed name .smz)", {{".smz", ""}}, read_smd_file, false, false},
    {kInputSmaf, "SMAF", {{".mmf", ""}, {".smd", kSmafMagic}}, read_smaf_file, true, false,
     {"J-SKY/ezweb用SMAFﾌｧｲﾙ(*.mmf)", "*.mmf"}},
    {kInputSmafSmz, "SMAF (.smz)", {{".smz", kSmafMagic}}, read_smaf_file, true, false},
    {kInputMml, "MML text", {{".mml", ""}, {".mmlc", ""}}, read_mml_file, true, false,
     {"MMLﾌｧｲﾙ(*.mml;*.mmlc)", "*.mml;*.mmlc"}, {kTxtMml, kAnyOtherText}},
    {kInputMidi, "Standard MIDI File", {{".mid", ""}, {".rmi", ""}, {".pmd", kMidiMagic}}, read_midi_file, true, true,
     {"MIDIﾌｧｲﾙ(*.mid;*.rmi)", "*.mid;*.rmi"}},
    {kInputPlaylist, "M3U playlist", {{".m3u", ""}}, nullptr, false, false, {"ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ(*.m3u)", "*.m3u"}},
    {kInputFolder, "folder"},
  };
}

OutputFormat not_offered_by_create(OutputFormat row) {
  row.created = false;
  return row;
}

OutputFormat not_by_dispatcher(OutputFormat row) {
  row.byDispatcher = false;
  return row;
}

// The rows with a create item come first, in the order of their command ids
// (121 onwards); the create flow also offers MIDI, MML, the playlist and the
// raw copy through fixed commands.
std::vector<OutputFormat> make_output_formats() {
  return {
    {kOutputAls, "ALS melody", {".als"}, write_als_file, {1, "ALSファイル設定"}, {"alsnum", "alshmn"},
     "PDXﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceDdip},
    {kOutputDxm, "DXM", {".dxm"}, write_dxm_file, {10, "DXMファイル設定"}, {"dxmhmn", "dxmbyte"},
     "feelsoundﾌｧｲﾙ作成", kPlaceDdip, {}, {}, {11, "MIDI > DXMファイル設定"}},
    {kOutputChara, "chara melody", {".cmd"}, write_chara_file, {2, "きゃらメロディー設定"}, {},
     "きゃらﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceDocomo},
    {kOutputPana, "pana melody", {".pmd"}, write_pana_file, {5, "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定"}, {},
     "623P用ﾊﾟﾅﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceDocomo, {"pmd-pana", "pana"}},
    {kOutputMfi, "MFi melody", {".mld"}, write_mfi_file, {8, "MLDファイル設定"}, {"mldhmn", "mldbyte"},
     "iﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceDocomo, {}, {}, {}, ".txt", {"mld-mail"}},
    {kOutputDotI, "dot-i melody", {".mmd"}, write_doti_file, {3, "ドットi/MOZiOファイル設定"}, {"mmdnum", "mmdhmn"},
     "ﾄﾞｯﾄi/MOZiOﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceAstel, {},
     {{"ﾄﾞｯﾄiﾌｧｲﾙ", "*.mel"}, {"ﾄﾞｯﾄi試聴用ﾌｧｲﾙ", "*.sml"}, {"AN-X31Severﾌｧｲﾙ", "*.mmd"}}},
    {kOutputWam, "WAM melody", {".wam"}, write_wam_file, {7, "WAMファイル設定"}, {},
     "AsMelo用ﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceAstel},
    {kOutputSmd, "J-SKY SMD", {".smd"}, write_smd_file, {9, "SMDファイル設定"}, {"smdnum", "smdhmn"},
     "J-SKYﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceJphone, {}, {{"通常ﾌｧｲﾙ(smd)", "*.smd"}}},
    {kOutputMml2Mmf, "MML2MMF text", {".mus"}, write_mml2mmf_file, {15, "MML2MMFファイル設定"}, {},
     "MML2MMF用ﾌｧｲﾙ作成", kPlaceJphone | kPlaceKddi},
    {kOutputCmx, "CMX melody", {".pmd"}, write_cmx_file, {13, "PMDファイル設定"}, {"ezpmdhmn", "ezpmdbyte"},
     "ezwebﾒﾛﾃﾞｨﾌｧｲﾙ作成", kPlaceKddi, {"pmd-cmx", "cmx"}},
    {kOutputMidi, "Standard MIDI File", {".mid", ".rmi"}, write_midi_file},
    {kOutputMml, "MML", {".mml"}, write_mml_file, {14, "MMLファイル設定"}},
    // The second dot-i form: the create flow makes it from a dot-i file saved
    // under another extension than ".mmd".
    not_offered_by_create({kOutputMozio, "MOZiO melody", {".mel", ".sml"}, write_mozio_file}),
    // Written by the create flow itself, not by the dispatcher.
    not_by_dispatcher({kOutputPlaylist, "M3U playlist", {".m3u"}}),
    // The input's own bytes under the input's own extension.
    {kOutputRawCopy, "unchanged copy", {}},
  };
}

std::string join_patterns() {
  std::string all;
  for (const InputFormat& row : input_formats()) {
    if (!row.openFilter.second) continue;
    if (!all.empty()) all += kPatternSeparator;
    all += row.openFilter.second;
  }
  return all;
}

}  // namespace

// Built on first use, so that no other file's start-up code can see them
// before they exist.
const std::vector<InputFormat>& input_formats() {
  static const std::vector<InputFormat> rows = make_input_formats();
  return rows;
}

const std::vector<OutputFormat>& output_formats() {
  static const std::vector<OutputFormat> rows = make_output_formats();
  return rows;
}

const InputFormat* find_input_format(int type) {
  for (const InputFormat& row : input_formats()) {
    if (row.type == type) return &row;
  }
  return nullptr;
}

const OutputFormat* find_output_format(int kind) {
  for (const OutputFormat& row : output_formats()) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

const char* input_type_name(int type) {
  const InputFormat* row = find_input_format(type);
  return row ? row->name : "not a supported file";
}

const char* output_kind_name(int kind) {
  const OutputFormat* row = find_output_format(kind);
  return row ? row->name : "this format";
}

bool input_carries_instruments(int type) {
  const InputFormat* row = find_input_format(type);
  return row && row->carriesInstruments;
}

bool input_splits_chords(int type) {
  const InputFormat* row = find_input_format(type);
  return row && row->splitsChords;
}

std::vector<int> input_types_with_readers() {
  std::vector<int> types;
  for (const InputFormat& row : input_formats()) {
    if (row.reader) types.push_back(row.type);
  }
  return types;
}

const char* all_melody_files_pattern() {
  static const std::string pattern = join_patterns();
  return pattern.c_str();
}

const std::vector<DialogFilter>& melody_file_filters() {
  static const std::vector<DialogFilter> filters = [] {
    std::vector<DialogFilter> list = {{kAllMelodyFilesText, all_melody_files_pattern()}};
    for (const InputFormat& row : input_formats()) {
      if (row.openFilter.first) list.push_back(row.openFilter);
    }
    return list;
  }();
  return filters;
}

std::vector<const OutputFormat*> create_menu_formats() {
  std::vector<const OutputFormat*> rows;
  for (const OutputFormat& row : output_formats()) {
    if (row.menuText) rows.push_back(&row);
  }
  return rows;
}

}  // namespace mel
