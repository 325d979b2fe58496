#include "shell/model/key_map_model.h"

#include "shell/model/command_ids.h"

namespace mel {
namespace {

constexpr int kScanDigit1 = 2;
constexpr int kScanDigit9 = 10;
constexpr int kScanDigit0 = 11;
constexpr int kScanSpace = 57;
constexpr int kScanPeriod = 52;
constexpr int kScanCtrl = 29;

struct CtrlShortcut {
  int scanCode;
  KeyCommand command;
};
constexpr CtrlShortcut kCtrlShortcuts[] = {
    {19, {cmd::kOpenLastCreated, kFromShortcut}},  // R
    {20, {cmd::kFirst, 0}},                        // T
    {24, {cmd::kOpen, kFromShortcut}},             // O
    {25, {cmd::kProperties, 0}},                   // P
    {31, {cmd::kCopyAs, 0}},                       // S
    {47, {cmd::kClipboardPlay, 0}},                // V
    {48, {cmd::kPrevious, 0}},                     // B
    {49, {cmd::kNext, 0}},                         // N
};

}  // namespace

KeyCommand key_down_command(KeyState& keys, int scanCode, bool playing) {
  if (scanCode >= kScanDigit1 && scanCode <= kScanDigit9) return {cmd::kTrackFirst + scanCode - kScanDigit1, 0};
  if (scanCode == kScanDigit0) return {cmd::kAllTracks, 0};
  if (scanCode == kScanSpace) return {playing ? cmd::kPause : cmd::kPlay, 0};
  if (scanCode == kScanPeriod) return {cmd::kStop, 0};
  if (scanCode == kScanCtrl) {
    keys.ctrlDown = true;
    return {};
  }
  if (!keys.ctrlDown) return {};
  for (const CtrlShortcut& shortcut : kCtrlShortcuts) {
    if (shortcut.scanCode == scanCode) return shortcut.command;
  }
  return {};
}

void key_up(KeyState& keys, int scanCode) {
  if (scanCode == kScanCtrl) keys.ctrlDown = false;
}

void keyboard_focus_lost(KeyState& keys) { keys.ctrlDown = false; }

}  // namespace mel
