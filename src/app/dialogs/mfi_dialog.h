// The "MLDファイル設定" (MFi) and "PMDファイル設定" (CMX) dialogs: title, tempo,
// key with its range display, size limit, start and end counters, the
// handset layout, voice, mail text and 16-chord options.
#pragma once

#include <memory>
#include <string>

#include "app/dialogs/format_dialog.h"
#include "formats/mfi/mfi_writer.h"

namespace mel {

// The dialog's working values, one member per control.
struct MfiDialogValues {
  std::string title;
  int tempo = 120;
  int key = 0;
  int sizeLimit = 0;
  int startCounter = 0;
  int endCounter = 0;
  int velocity = 0;
  int layout = kMfiLayoutStandard;  // MFi: the "機種" entry
  std::string voice;                // MFi: the "楽器No." box as typed or chosen
  bool mailBase64 = false;          // MFi
  bool chordsInChannel = false;
  bool extendedScale = false;
};

class MfiDialog : public BoundDialog<MfiDialogValues, FormatDialog> {
 public:
  MfiDialog(bool cmx, const FormatDialogContext& context);

  int template_id() const override;
  std::string title() const override;
  std::vector<std::string> choices(int id) const override;
  bool enabled(int id) const override;
  void spin(int id, int direction, bool ctrl) override;
  DialogAction command(int id) override;
  void ok() override;
  DialogWriter writer() const override;
  std::string extension(const std::string& tableExtension) const override;

  // The writer's settings the current values stand for.
  MfiWriterSettings writer_settings() const;
  // The "楽器No." text as the writer's outputVoice: entries 1..6 and 257, a
  // number n as n + 1 (at most 256), anything else 0.
  static int voice_value(const std::string& text);
  static std::string voice_text(int outputVoice);

 protected:
  std::string label(int id) const override;

 private:
  bool sixteen_chord() const;
  std::vector<KeyRow> rows(const MfiWriterSettings& m) const;

  bool cmx_;
  const SongInfo& song_;
  Settings& settings_;
  int counterLength_;
  MfiWriterSettings stored_;
};

}  // namespace mel
