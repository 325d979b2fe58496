// The settings dialogs of the one-part handset formats: "きゃらメロディー設定"
// (chara) and "WAMファイル設定" (WAM). One model over a per-format table: the
// tempo steps through the handset tempo table, the key shows the range of the
// one written track, the note limit steps by 32; chara has the header mark
// choice, WAM the title. Neither has a key details button; the key is moved by
// octaves on opening as the writer's start values move it. OK stores nothing
// into the settings: the values live only for the file being written.
#pragma once

#include <string>
#include <vector>

#include "app/dialogs/format_dialog.h"
#include "score/format_codes.h"

namespace mel {

// The dialog's working values, one member per control.
struct OnePartDialogValues {
  std::string headerMark;  // chara: "ﾍｯﾀﾞｰ"
  std::string title;       // WAM: "曲名"
  int tempo = 0;
  int key = 0;
  int noteLimit = 0;
  int startCounter = 0;
  int endCounter = 0;
};

struct OnePartFormat;

class OnePartDialog : public BoundDialog<OnePartDialogValues, FormatDialog> {
 public:
  // outputKind: kOutputChara or kOutputWam.
  OnePartDialog(int outputKind, const FormatDialogContext& context);

  int template_id() const override;
  std::string title() const override;
  std::vector<std::string> choices(int id) const override;
  void spin(int id, int direction, bool ctrl) override;
  void ok() override;
  DialogWriter writer() const override;

  // The values OK stored (the start values before OK).
  const OnePartDialogValues& stored() const { return stored_; }

 protected:
  std::string label(int id) const override;

 private:
  const OnePartFormat& format_;
  const SongInfo& song_;
  const Settings& settings_;
  int counterLength_;
  OnePartDialogValues stored_;
};

}  // namespace mel
