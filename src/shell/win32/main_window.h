// The main window "MVWIN": start-up, shutdown, layout, painting, timers and
// the player's messages. Commands are in shell_commands.h, the load and
// create flows in load_flow.cpp, the menu in shell_menu.cpp.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "shell/win32/shell_state.h"

namespace mel {

// Registers "MVWIN" (and the bitmap button class) for the module.
bool register_main_window_class(HINSTANCE instance);

// Creates the main window with the command-line text (the arguments after the
// program name). Returns nullptr when the window closed itself during
// start-up: its command line went to a running instance.
HWND create_main_window(HINSTANCE instance, const std::wstring& commandLine, const MainWindowOptions& options);

// The message loop: runs until the quit message and returns its code.
int run_message_loop(HWND mainWindow);

// The relayout a caption double-click starts: lParam 1 recomputes the width,
// 0 keeps it, anything else is a real double-click that toggles the view.
constexpr LPARAM kRelayoutRecompute = 1;
constexpr LPARAM kRelayoutKeepWidth = 0;
void post_relayout(ShellState& state, LPARAM mode);
// The same relayout, at once.
void relayout_now(ShellState& state, LPARAM mode);

// Gives the bitmap buttons their hint texts.
void set_button_hints(ShellState& state);

// Shows text on the counter display (CP932).
void set_counter_text(ShellState& state, const std::string& text);
// The song title of the loaded file on the counter.
void show_title_on_counter(ShellState& state);

// Sends a command to the window itself, as the menu would.
void send_command(ShellState& state, int id, LPARAM lParam = 0);
// Posts one of the window's own steps: it runs later, as the window's and not
// the user's command.
void post_command(ShellState& state, int id, LPARAM lParam = 0);

// The exit-after-play bit.
void clear_exit_after_play(ShellState& state);

// Message box through the window's options (a modal box, or the tests' hook).
int show_message(ShellState& state, const std::string& text, const std::string& caption, UINT flags);
// The same for text that is UTF-16 already (the system's own messages).
int show_wide_message(ShellState& state, const std::wstring& text, const std::wstring& caption, UINT flags);

// The folder of the running executable (empty when it cannot be told).
std::filesystem::path program_folder();

// Is the key down right now (Ctrl, Shift).
bool key_is_down(int virtualKey);

}  // namespace mel
