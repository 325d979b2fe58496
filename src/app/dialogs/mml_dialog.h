// The "MMLファイル設定" and "MML2MMFファイル設定" dialogs: one model with the
// writer's dialect flag. Title, tempo, key with its range display and the key
// details, start and end counters; MML2MMF also the drum voices.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/format_dialog.h"
#include "app/dialogs/key_detail.h"
#include "formats/mml/mml_writer.h"

namespace mel {

class MmlDialog : public BoundDialog<MmlWriterSettings, FormatDialog> {
 public:
  MmlDialog(bool mml2mmf, const FormatDialogContext& context);
  // The factory of the format dialog entries: MML2MMF for its output kind.
  static std::unique_ptr<FormatDialog> make(int outputKind, const FormatDialogContext& context);

  int template_id() const override;
  std::string title() const override;
  bool enabled(int id) const override;
  void spin(int id, int direction, bool ctrl) override;
  DialogAction command(int id) override;
  void ok() override;
  DialogWriter writer() const override;

  // The values OK stored (the start values before OK).
  const MmlWriterSettings& stored() const { return stored_; }

 protected:
  std::string label(int id) const override;

 private:
  // The written tracks in output order, at most as many as the dialect looks at.
  std::vector<KeyRow> rows() const;
  int lowest_valid_key() const;
  int highest_valid_key() const;

  bool mml2mmf_;
  const SongInfo& song_;
  Settings& settings_;
  int counterLength_;
  bool hasRhythmTrack_;
  MmlWriterSettings stored_;
};

}  // namespace mel
