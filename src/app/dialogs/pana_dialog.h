// The "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定" dialog: tempo of the code table, key with its range
// over the first three tracks, note limit, start and end counters, the
// "楽器No." box and whether the proposed file name is "melody".
#pragma once

#include <string>
#include <vector>

#include "app/dialogs/melody_format_dialog.h"
#include "formats/pana/pana_writer.h"

namespace mel {

class PanaDialog : public MelodyFormatDialog<PanaWriterSettings> {
 public:
  explicit PanaDialog(const FormatDialogContext& context);

  int template_id() const override { return IDD_PANA_SETTINGS; }
  std::string title() const override { return "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定"; }
  std::vector<std::string> choices(int id) const override;
  std::string text(int id) const override;
  void set_text(int id, const std::string& text) override;
  void ok() override;
  bool proposes_melody_name() const override { return stored_.melodyFileName; }

  // The "楽器No." text as the writer's instrument code: an entry gives its
  // number, a typed number n gives n + 1 (at most 10), anything else 0.
  static int instrument_code(const std::string& text);

 protected:
  int track_limit() const override;
  void finish_values(PanaWriterSettings& pana) override;

 private:
  std::string instrument_;  // the "楽器No." box as typed or chosen
};

}  // namespace mel
