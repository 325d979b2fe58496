#include "shell/win32/commands_dialogs.h"

#include <algorithm>

#include <string>
#include <vector>

#include "app/dialogs/conversion_detail_dialog.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/track_values_dialog.h"
#include "app/report_model.h"
#include "convert/engine.h"
#include "shell/model/command_ids.h"
#include "shell/model/load_flow_model.h"
#include "shell/model/menu_model.h"
#include "shell/win32/commands_help.h"
#include "shell/win32/dialogs/model_dialog.h"
#include "shell/win32/main_window.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/win_text.h"

namespace mel {
namespace {

constexpr int kMenuTextCapacity = 128;

void about_box(ShellState& state) {
  show_message(state, std::string(kProductName) + " " + kVersionText, "このプログラムについて", MB_OK);
}

// The text of a menu item as it stands, or "" when the item does not exist.
std::string menu_item_text(const ShellState& state, int id) {
  wchar_t text[kMenuTextCapacity] = {};
  if (GetMenuStringW(state.controls.menu, static_cast<UINT>(id), text, kMenuTextCapacity, MF_BYCOMMAND) <= 0) return {};
  return narrow(text);
}

// The rows' choices: the instrument items that exist, with their programs,
// or the volume items with their volumes.
std::vector<TrackValueEntry> track_value_entries(const ShellState& state, TrackValueMode mode) {
  std::vector<TrackValueEntry> entries;
  if (mode == TrackValueMode::Instrument) {
    for (const InstrumentEntry& entry : instrument_entries(state.settings)) {
      const std::string text = menu_item_text(state, entry.id);
      if (!text.empty()) entries.push_back({text, entry.program});
    }
    return entries;
  }
  for (int i = 0; i < static_cast<int>(volume_table().size()); ++i) {
    entries.push_back({menu_item_text(state, cmd::kVolumeFirst + i), volume_table()[i]});
  }
  return entries;
}

// Dialog 12 (commands 262 and 292): OK and "適用" store the rows, check the
// per-track item instead of "標準" and convert again.
void per_track_dialog(ShellState& state, TrackValueMode mode) {
  const bool instrument = mode == TrackValueMode::Instrument;
  const bool standardEnabled = instrument && item_enabled(state, cmd::kStandardInstrument);
  auto applied = [&state, instrument, standardEnabled] {
    if (instrument) {
      if (standardEnabled) set_item_checked(state, cmd::kStandardInstrument, false);
      set_item_checked(state, cmd::kPerTrackInstrument, true);
    } else {
      set_item_checked(state, cmd::kStandardVolume, false);
      set_item_checked(state, cmd::kPerTrackVolume, true);
    }
    SendMessageW(state.hwnd, WM_COMMAND, cmd::kReconvert, 0);
  };
  std::vector<std::string> names;
  if (instrument) names.assign(state.menus.instrumentNames.begin(), state.menus.instrumentNames.end());
  TrackValuesDialog dialog(mode, state.engine.song, state.engine.settings, track_value_entries(state, mode),
                           std::move(names), standardEnabled, applied);
  const ModalScope modal(state);
  run_model_dialog(state.hwnd, dialog);
}

// "ファイル変換詳細設定" (203): the options take effect at the next
// conversion, which decodes the held input again.
void conversion_detail_dialog(ShellState& state) {
  ConversionDetailDialog dialog(state.engine.settings.conv);
  const ModalScope modal(state);
  if (run_model_dialog(state.hwnd, dialog) == IDOK) state.engine.ReloadRequest = kReloadDecodeHeld;
}

// ---- The property report (101): modeless and without an owner, one at a time.

constexpr int kReportMargin = 10;
constexpr int kReportLineHeight = 12;
constexpr int kReportButtonGap = 20;

struct ReportWindow {
  HWND dialog = nullptr;
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  ShellState* state = nullptr;
};
ReportWindow g_report;

int line_count(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

// The height of one report line: the font is asked for 12 pixels, but where
// the system's fixed-pitch font spaces its lines wider, 12 would clip the last
// lines of the report.
int report_line_height(HWND dialog) {
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, g_report.font);
  TEXTMETRICW metrics{};
  const bool measured = GetTextMetricsW(dc, &metrics) != 0;
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);
  return measured ? std::max<int>(kReportLineHeight, metrics.tmHeight + metrics.tmExternalLeading) : kReportLineHeight;
}

// Fills the report and fits the dialog around it: the text at (10, 10), the
// two buttons in one row below it with three equal gaps.
void show_report(HWND dialog, ShellState& state) {
  const std::string report =
      build_property_report(state.engine.song, state.engine.settings, state.playback.player->length_ms());
  SetDlgItemTextW(dialog, IDC_REPORT_TEXT, widen(report).c_str());
  const int lines = line_count(report);
  RECT client{};
  GetClientRect(dialog, &client);
  const int width = client.right - client.left;
  const int lineHeight = report_line_height(dialog);
  const int textHeight = lineHeight * lines + lineHeight;
  MoveWindow(GetDlgItem(dialog, IDC_REPORT_TEXT), kReportMargin, kReportMargin, width - 2 * kReportMargin, textHeight,
             TRUE);
  HWND ok = GetDlgItem(dialog, IDOK);
  HWND refresh = GetDlgItem(dialog, IDC_REFRESH);
  RECT button{};
  GetWindowRect(ok, &button);
  const int buttonWidth = button.right - button.left;
  const int buttonHeight = button.bottom - button.top;
  const int gap = (width - 2 * buttonWidth) / 3;
  const int buttonTop = kReportMargin + textHeight + kReportButtonGap;
  MoveWindow(ok, gap, buttonTop, buttonWidth, buttonHeight, TRUE);
  MoveWindow(refresh, 2 * gap + buttonWidth, buttonTop, buttonWidth, buttonHeight, TRUE);
  // The window grows to hold the buttons with a margin below them (the
  // historical fixed formula clipped them under today's frame metrics).
  RECT frame{};
  GetWindowRect(dialog, &frame);
  RECT wanted{0, 0, width, buttonTop + buttonHeight + kReportMargin};
  AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  const bool topmost = (GetWindowLongW(state.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  SetWindowPos(dialog, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, frame.right - frame.left,
               wanted.bottom - wanted.top, SWP_NOMOVE | SWP_NOACTIVATE);
}

void close_report(HWND dialog) {
  if (g_report.font) DeleteObject(g_report.font);
  if (g_report.brush) DeleteObject(g_report.brush);
  g_report = ReportWindow{};
  DestroyWindow(dialog);
}

INT_PTR CALLBACK report_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_report.font = CreateFontW(kReportLineHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                                  nullptr);
      g_report.brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      // Given to the text box as its own font as well: a static that selects
      // its font after asking for its colours would otherwise draw the report
      // in the dialog's proportional font, taller than the lines are spaced.
      SendDlgItemMessageW(dialog, IDC_REPORT_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(g_report.font), FALSE);
      show_report(dialog, *g_report.state);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SelectObject(dc, g_report.font);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(g_report.brush);
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: close_report(dialog); return TRUE;
        case IDCANCEL: close_report(dialog); return TRUE;
        case IDC_REFRESH: show_report(dialog, *g_report.state); return TRUE;
        default: return FALSE;
      }
    default: return FALSE;
  }
}

void property_report(ShellState& state) {
  if (g_report.dialog && IsWindow(g_report.dialog)) return;  // one at a time
  g_report.state = &state;
  g_report.dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROPERTY_REPORT), nullptr,
                                       report_proc, 0);
}

}  // namespace

HWND property_report_window() { return g_report.dialog; }

void on_dialogs_command(ShellState& state, int id, LPARAM) {
  switch (id) {
    case cmd::kAbout: about_box(state); return;
    case cmd::kHelp: open_help(state); return;
    case cmd::kSettingsProgram: start_settings_program(state); return;
    case cmd::kProperties: property_report(state); return;
    case cmd::kConversionDetail: conversion_detail_dialog(state); return;
    case cmd::kPerTrackInstrument: per_track_dialog(state, TrackValueMode::Instrument); return;
    case cmd::kPerTrackVolume: per_track_dialog(state, TrackValueMode::Volume); return;
    default: return;
  }
}

}  // namespace mel
