// The format table against what the window and the command line promise: the
// create commands and their dialogs and extensions per output kind, and the
// rules every row must keep so that a new row is enough to add a format.
#include "convert/format_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/settings_model.h"
#include "convert/detect.h"
#include "convert/format_registry.h"
#include "shell/model/load_flow_model.h"
#include "shell/model/menu_model.h"

namespace mel {
namespace {

struct OutputCase {
  int kind;
  int createId;           // the create item's command id, 0 for none
  int dialog;             // settings dialog number, 0 for none
  const char* extension;  // the extension the create flow proposes
  int kindOfExtension;    // what that extension selects on the command line
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << "kind " << c.kind; }

class OutputKindRow : public ::testing::TestWithParam<OutputCase> {};

// Pana and CMX share ".pmd", so their extension selects neither.
INSTANTIATE_TEST_SUITE_P(
    EveryOutputKind, OutputKindRow,
    ::testing::Values(OutputCase{kOutputAls, 121, 1, ".als", kOutputAls},
                      OutputCase{kOutputDxm, 122, 10, ".dxm", kOutputDxm},
                      OutputCase{kOutputChara, 123, 2, ".cmd", kOutputChara},
                      OutputCase{kOutputPana, 124, 5, ".pmd", 0},
                      OutputCase{kOutputMfi, 125, 8, ".mld", kOutputMfi},
                      OutputCase{kOutputDotI, 126, 3, ".mmd", kOutputDotI},
                      OutputCase{kOutputWam, 127, 7, ".wam", kOutputWam},
                      OutputCase{kOutputSmd, 128, 9, ".smd", kOutputSmd},
                      OutputCase{kOutputMml2Mmf, 129, 15, ".mus", kOutputMml2Mmf},
                      OutputCase{kOutputCmx, 130, 13, ".pmd", 0},
                      OutputCase{kOutputMidi, 0, 0, ".mid", kOutputMidi},
                      OutputCase{kOutputMml, 0, 14, ".mml", kOutputMml},
                      OutputCase{kOutputPlaylist, 0, 0, ".m3u", 0}));

TEST_P(OutputKindRow, CreateItemDialogAndExtension) {
  const OutputCase& c = GetParam();
  int itemKind = 0;
  for (const CreateItem& item : create_items()) {
    if (item.id == c.createId) itemKind = item.outputKind;
  }
  EXPECT_EQ(itemKind, c.createId != 0 ? c.kind : 0);
  const auto target = create_target(c.kind, kInputMfi, 1, false, "/m/a.mld");
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->dialog, c.dialog);
  EXPECT_EQ(target->extension, c.extension);
  EXPECT_STREQ(output_extension(c.kind), c.extension);
  EXPECT_EQ(output_kind_for_extension(c.extension), c.kindOfExtension);
}

TEST(FormatTable, CodesAreUniqueAndCreateItemsFillTheirCommandRange) {
  std::set<int> inputs, outputs;
  for (const InputFormat& row : input_formats()) EXPECT_TRUE(inputs.insert(row.type).second) << row.type;
  for (const OutputFormat& row : output_formats()) EXPECT_TRUE(outputs.insert(row.kind).second) << row.kind;
  // A create item beyond 130 would have no command id of its own.
  EXPECT_EQ(create_items().size(), 10u);
  // Kinds that only the dispatcher or the create flow know of are not
  // offered by the command line.
  EXPECT_EQ(output_kind_for_extension(".m3u"), 0);
  EXPECT_EQ(output_kind_for_extension(".sml"), kOutputMozio);
  EXPECT_EQ(output_kind_for_extension(".rmi"), kOutputMidi);
  EXPECT_FALSE(create_target(kOutputMozio, kInputMfi, 1, false, "/m/a.mld").has_value());
}

TEST(FormatTable, TheOpenDialogOffersEveryDetectedExtension) {
  EXPECT_STREQ(all_melody_files_pattern(),
               "*.als;*.dat;*.dxm;*.cmd;*.pmd;*.mld;*.mmd;*.mel;*.sml;*.wam;*.smd;*.smz;*.mmf;*.mml;*.mmlc;*.mid;"
               "*.rmi;*.m3u");
  const std::string pattern = std::string(";") + all_melody_files_pattern() + ";";
  for (const InputFormat& row : input_formats()) {
    for (const DetectRule& rule : row.detect) {
      EXPECT_NE(pattern.find(std::string(";*") + rule.extension + ";"), std::string::npos) << rule.extension;
      // A file of this extension without the magic bytes is still some type.
      EXPECT_NE(detect_from_name_and_prefix(rule.extension, ByteView(), 0), kInputUnsupported) << rule.extension;
    }
  }
  EXPECT_EQ(melody_file_filters().size(), 14u);
}

// Notes every key that loading the settings file asks for.
class KeyRecorder : public ProfileReader {
 public:
  int get_int(const char*, const char* key, int defaultValue) const override {
    keys.insert(key);
    return defaultValue;
  }
  std::string get_string(const char*, const char* key, const std::string& defaultValue) const override {
    keys.insert(key);
    return defaultValue;
  }
  mutable std::set<std::string> keys;
};

TEST(FormatTable, WriterSettingsKeysAreKeysOfTheSettingsFile) {
  KeyRecorder recorder;
  load_settings(recorder, 0);
  for (const OutputFormat& row : output_formats()) {
    for (const char* key : row.settingsKeys) EXPECT_TRUE(recorder.keys.count(key)) << key;
  }
}

}  // namespace
}  // namespace mel
