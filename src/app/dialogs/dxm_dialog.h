// The "DXMファイル設定" dialog (written from the score) and the "MIDI > DXM
// ファイル設定" dialog (written from MIDI bytes played as written): one model,
// the direct one without tempo and snare replacement but with pitch bends.
#pragma once

#include <string>

#include "app/dialogs/format_dialog.h"
#include "app/dialogs/key_detail.h"
#include "formats/dxm/dxm_writer.h"

namespace mel {

class DxmDialog : public BoundDialog<DxmWriterSettings, FormatDialog> {
 public:
  DxmDialog(bool direct, const FormatDialogContext& context);

  int template_id() const override;
  std::string title() const override;
  void spin(int id, int direction, bool ctrl) override;
  DialogAction command(int id) override;
  void ok() override;
  DialogWriter writer() const override;

  // The text "説明" shows.
  static const char* explanation();

 protected:
  std::string label(int id) const override;

 private:
  std::vector<KeyRow> rows() const;

  bool direct_;
  const SongInfo& song_;
  Settings& settings_;
  int counterLength_;
  DxmWriterSettings stored_;
};

}  // namespace mel
