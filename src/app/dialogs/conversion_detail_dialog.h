// "ファイル変換詳細設定": the conversion options that steer how readers reduce
// music to monophonic tracks and how the passes and writers reshape it.
#pragma once

#include <string>

#include "app/dialogs/dialog_model.h"
#include "score/options.h"

namespace mel {

// The dialog's working values, one member per control.
struct ConversionDetailValues {
  int shortNoteCut = 0;
  int lowNoteCut = 0;
  int lowNoteFold = 0;
  int lengthScale = kScaleAsWritten;
  int pseudoChordLevel = 3;
  int pseudoChordVoices = 1;
  int accompaniment = 0;
  int chordSplitCount = 4;
  int splitChannels = 0xFFFF;  // bit 0 = channel 1
  bool restMerge = true;
  bool sixteenthGrid = false;
  bool highNoteFirst = false;
  bool leadingRestCut = false;
};

class ConversionDetailDialog : public BoundDialog<ConversionDetailValues> {
 public:
  explicit ConversionDetailDialog(ConversionOptions& options);

  int template_id() const override;
  std::string title() const override;
  int state(int id) const override;
  void set_state(int id, int state) override;
  bool enabled(int id) const override;
  void spin(int id, int direction, bool ctrl) override;
  void clicked(int id, bool ctrl, bool shift) override;
  DialogAction command(int id) override;
  void ok() override;

  // "%d.%02d": 0.25, 0.50, 1.00, 2.00 or 4.00.
  static std::string scale_text(int scale);

 protected:
  std::string label(int id) const override;

 private:
  static int channel_of(int id);

  ConversionOptions& options_;
};

}  // namespace mel
