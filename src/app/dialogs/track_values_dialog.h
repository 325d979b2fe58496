// Dialog 12 in its two modes: "音色設定" sets a program per track
// (PerTrackProgram), "音量設定" a volume per track (PerTrackVolume), for the
// first 24 tracks. Each row is an editable drop-down holding a number, "*"
// (follow the score) or the text of an instrument or volume menu item.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/dialog_model.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

enum class TrackValueMode { Instrument, Volume };

// A menu item offered in every row: its text and its program or volume.
struct TrackValueEntry {
  std::string text;
  int value = 0;
};

constexpr int kTrackValueRows = 24;

// The label of track k (0-based) on the track buttons and in dialog 12:
// "R  " for a rhythm track, "*  " for a track of several parts, else the
// part or the track number, "%d  "; count is the number of tracks that exist.
std::string track_button_label(const SongInfo& song, int k, int count);

// What a row's text stores: 129 for "*", an entry's value + 1 for its exact
// text, a number n as n + 1 (at most 128), else 0 (no override). A sign is
// not part of a number here.
int track_value_of_text(const std::string& text, const std::vector<TrackValueEntry>& entries);

class TrackValuesDialog : public DialogModel {
 public:
  // instrumentNames: the 128 names of the instrument name list (instrument
  // mode); standardEnabled: the instrument item "標準" is usable; applied runs
  // after OK and "適用" stored the rows (the window checks its items and converts again).
  TrackValuesDialog(TrackValueMode mode, const SongInfo& song, Settings& settings,
                    std::vector<TrackValueEntry> entries, std::vector<std::string> instrumentNames,
                    bool standardEnabled, std::function<void()> applied);

  int template_id() const override;
  std::string title() const override;
  const std::vector<ControlBinding>& controls() const override { return controls_; }
  std::vector<std::string> choices(int id) const override;
  std::string text(int id) const override;
  int state(int id) const override;
  void set_text(int id, const std::string& text) override;
  void set_state(int id, int state) override;
  bool enabled(int id) const override;
  void focused(int id) override;
  DialogAction command(int id) override;
  void ok() override;

 private:
  static int row_of(int id, int firstId);
  // The text a row shows for a stored value (override or the track's own).
  std::string value_text(int value) const;
  std::string own_text(int row) const;
  void select_list_line(int row);
  void apply();

  TrackValueMode mode_;
  const SongInfo& song_;
  Settings& settings_;
  std::vector<TrackValueEntry> entries_;
  std::vector<std::string> listLines_;
  bool standardEnabled_;
  std::function<void()> applied_;
  std::array<std::string, kTrackValueRows> rows_;
  int currentRow_ = 0;
  int listLine_ = -1;
  std::vector<ControlBinding> controls_;
};

}  // namespace mel
