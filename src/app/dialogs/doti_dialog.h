// The "ドットi/MOZiOファイル設定" dialog: title, tempo of the code table, key
// with its range over the first mmdhmn tracks, note limit (mmdnum), start and
// end counters and the sixteenth-triplet option. The chosen file name decides
// the layout: ".mmd" the dot-i one, any other extension MOZiO.
#pragma once

#include <string>

#include "app/dialogs/melody_format_dialog.h"
#include "formats/doti/doti_writer.h"
#include "score/format_codes.h"

namespace mel {

class DotiDialog : public MelodyFormatDialog<DotiWriterSettings> {
 public:
  explicit DotiDialog(const FormatDialogContext& context);

  int template_id() const override { return IDD_DOTI_SETTINGS; }
  std::string title() const override { return "ドットi/MOZiOファイル設定"; }
  void ok() override;
  DialogWriter writer_for(int outputKind) const override;

 protected:
  int track_limit() const override;
};

}  // namespace mel
