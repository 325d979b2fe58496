// The "SMDファイル設定" dialog: title, tempo (one of the format's four), key
// with its range display and the key details, the note limit per track, start
// and end counters.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/format_dialog.h"
#include "app/dialogs/key_detail.h"
#include "formats/smd/smd_writer.h"

namespace mel {

class SmdDialog : public BoundDialog<SmdWriterSettings, FormatDialog> {
 public:
  explicit SmdDialog(const FormatDialogContext& context);
  static std::unique_ptr<FormatDialog> make(int outputKind, const FormatDialogContext& context);

  int template_id() const override;
  std::string title() const override;
  void spin(int id, int direction, bool ctrl) override;
  DialogAction command(int id) override;
  // Stores the note limit into `smdnum`.
  void ok() override;
  DialogWriter writer() const override;

  // The values OK stored (the start values before OK).
  const SmdWriterSettings& stored() const { return stored_; }

 protected:
  std::string label(int id) const override;

 private:
  // The first `smdhmn` written tracks, rhythm tracks included.
  std::vector<KeyRow> rows() const;

  const SongInfo& song_;
  Settings& settings_;
  int counterLength_;
  SmdWriterSettings stored_;
};

}  // namespace mel
