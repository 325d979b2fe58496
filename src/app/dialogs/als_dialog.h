// The "ALSファイル設定" dialog: title, an even tempo within 60-182, key with its
// range over the parts to write, note limit (alsnum), start and end counters,
// three writing options and the chord option, which switches alshmn between
// one part and three.
#pragma once

#include <string>

#include "app/dialogs/melody_format_dialog.h"
#include "formats/als/als_writer.h"

namespace mel {

class AlsDialog : public MelodyFormatDialog<AlsWriterSettings> {
 public:
  explicit AlsDialog(const FormatDialogContext& context);

  int template_id() const override { return IDD_ALS_SETTINGS; }
  std::string title() const override { return "ALSファイル設定"; }
  int state(int id) const override;
  void set_state(int id, int state) override;
  void ok() override;

 protected:
  int track_limit() const override { return values_.parts; }
  // The tempo is made even.
  void finish_values(AlsWriterSettings& als) override;
};

}  // namespace mel
