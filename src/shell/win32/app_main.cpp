// melvarino.exe: the entry point of the window program.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "shell/win32/main_window.h"

namespace {

// MELVARINO_SETTINGS names the settings file to use instead of the per-user
// "korvani.ini"; MELVARINO_CLOCK_SCALE runs the built-in sequencer's clock
// faster (the tests use it).
void read_environment(mel::MainWindowOptions& options) {
  if (const wchar_t* settings = _wgetenv(L"MELVARINO_SETTINGS"); settings && *settings) {
    options.profilePath = settings;
  }
  if (const wchar_t* scale = _wgetenv(L"MELVARINO_CLOCK_SCALE"); scale && *scale) {
    const double value = std::wcstod(scale, nullptr);
    if (value >= 1.0 && value <= 1000.0) options.clockScale = value;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  mel::MainWindowOptions options;
  read_environment(options);
  if (!mel::register_main_window_class(instance)) return 0;
  HWND window = mel::create_main_window(instance, commandLine ? commandLine : L"", options);
  if (!window) return 0;  // the command line went to the running instance
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return mel::run_message_loop(window);
}
