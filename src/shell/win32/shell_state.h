// Everything the main window holds for the life of the process. One instance
// lives behind the window (GWLP_USERDATA); the window procedure finds it there.
#pragma once

#include <windows.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/settings_model.h"
#include "convert/engine.h"
#include "playback/player_model.h"
#include "shell/model/command_ids.h"
#include "shell/model/menu_model.h"
#include "shell/model/shell_state_model.h"

namespace mel {

constexpr wchar_t kMainWindowClassName[] = L"MVWIN";

// The bitmap buttons of the first row, in creation order.
enum ButtonIndex : int {
  kButtonPlay,
  kButtonStop,
  kButtonPause,
  kButtonOpen,
  kButtonKeyDown,
  kButtonKeyUp,
  kButtonTempoDown,
  kButtonTempoUp,
  kButtonPrevious,
  kButtonNext,
  kButtonSave,
  kButtonCount
};

// What the window asks of its surroundings. The program uses the defaults;
// the tests replace the dialogs and message boxes so nothing modal opens.
struct MainWindowOptions {
  // The settings file to read and write; empty: the per-user file, read
  // from the Windows folder until the first save (settings_location).
  std::wstring profilePath;
  // The built-in sequencer's clock speed (1 = real time).
  double clockScale = 1.0;
  // -1: the `sequencer` setting decides; otherwise a SequencerChoice.
  int sequencerOverride = -1;
  // The open dialog: in, the initial name; out, the chosen file.
  std::function<bool(HWND owner, std::filesystem::path& name)> openDialog;
  // The save dialog for a proposed path and OutputKind.
  std::function<bool(HWND owner, std::filesystem::path& name, int outputKind)> saveDialog;
  // Message boxes (text, caption, MB_* flags).
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)> messageBox;
};

struct ShellState;

// The player's window side: error boxes, timer 1 and the end signal.
class WindowPlayerHost : public PlayerHost {
 public:
  explicit WindowPlayerHost(ShellState& state) : state_(state) {}
  void show_device_error(const std::wstring& text) override;
  void start_tick_timer() override;
  void stop_tick_timer() override;
  void end_of_playback() override;

 private:
  ShellState& state_;
};

// The window's handles: child controls, menus and brushes.
struct WindowControls {
  std::array<HWND, kButtonCount> buttons{};
  HWND scroll = nullptr;
  HWND counter = nullptr;
  std::array<HWND, cmd::kTrackButtonCount> trackButtons{};
  HWND allTracksButton = nullptr;
  HWND splitButton = nullptr;
  HWND standardButton = nullptr;

  HMENU menu = nullptr;
  HMENU previousPopup = nullptr;
  HMENU nextPopup = nullptr;
  HMENU recentPopup = nullptr;
  HMENU colourPopup = nullptr;

  HBRUSH hollowBrush = nullptr;
  HBRUSH counterBrush = nullptr;
  HFONT uiFont = nullptr;  // the Japanese texts' font (ui_font.h)
};

struct ShellState {
  HWND hwnd = nullptr;
  HINSTANCE instance = nullptr;
  MainWindowOptions options;
  std::wstring commandLine;
  HWND otherInstance = nullptr;
  bool handedOver = false;  // this instance gave its command line to another one

  // Conversion: the held input, score, song header and options.
  Engine engine;
  std::unique_ptr<ClipboardSource> clipboard;  // the text behind "clip.txt"
  ShellSettings settings;

  WindowControls controls;
  PlaylistState playlist;
  DisplayState display;
  LoadState load;
  PlaybackState playback;
  MenuChoices menus;
  KeyState keys;
  ModalState modal;
};

// Marks a dialog or message box of the window as open for its lifetime.
class ModalScope {
 public:
  explicit ModalScope(ShellState& state);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  ShellState& state_;
};

// The state of a main window, or nullptr.
ShellState* shell_state_of(HWND window);

}  // namespace mel
