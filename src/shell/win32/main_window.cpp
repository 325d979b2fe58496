#include "shell/win32/main_window.h"

#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "controls/cg_button.h"
#include "playback/sequencer_devices.h"
#include "shell/model/instrument_names_model.h"
#include "shell/model/key_map_model.h"
#include "shell/model/layout_model.h"
#include "shell/model/load_flow_model.h"
#include "shell/win32/commands_play.h"
#include "shell/win32/load_flow.h"
#include "shell/win32/shell_commands.h"
#include "shell/win32/shell_menu.h"
#include "shell/win32/shell_sources.h"
#include "shell/win32/ui_font.h"
#include "shell/win32/win32_profile.h"
#include "shell/win32/win_text.h"
#include "shell/win32/window_messages.h"

namespace mel {
namespace {

constexpr DWORD kMainWindowStyle = WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
// A caption is read with this limit, so at most 9 characters are compared.
constexpr int kCaptionReadLimit = 10;
constexpr int kClassNameCapacity = 32;
// The bitmap buttons' style: a child with the fixed grey colours.
constexpr DWORD kBitmapButtonStyle = WS_CHILD | kCgStyleFixedColours;
// Relayouts that painting may post in a row before it gives up: a menu bar
// that never fits must not keep the window busy forever.
constexpr int kMaxHeightFixesInRow = 2;
// At most two rebuilds of a menu whose titles came out disabled.
constexpr int kMaxMenuRebuilds = 2;
// How long a second instance waits for the running one to take its files.
constexpr UINT kHandOverTimeoutMs = 10000;
// The counter frame's grey.
constexpr COLORREF kFrameGrey = RGB(128, 128, 128);

struct CreateParams {
  std::wstring commandLine;
  MainWindowOptions options;
};

struct ButtonFace {
  int id;
  const char* bitmap;
  const char* hint;
};

const ButtonFace kButtonFaces[kButtonCount] = {
    {cmd::kPlay, "BITMAP_PLAY", "再生"},
    {cmd::kStop, "BITMAP_STOP", "停止"},
    {cmd::kPause, "BITMAP_PAUSE", "一時停止"},
    {cmd::kOpen, "BITMAP_OPEN", "ﾌｧｲﾙを開く"},
    {cmd::kKeyDown, "BITMAP_NFLAT", "ｷｰﾀﾞｳﾝ"},
    {cmd::kKeyUp, "BITMAP_NSHARP", "ｷｰｱｯﾌﾟ"},
    {cmd::kTempoDown, "BITMAP_NPLAYDOWN", "ﾃﾝﾎﾟﾀﾞｳﾝ"},
    {cmd::kTempoUp, "BITMAP_NPLAYUP", "ﾃﾝﾎﾟｱｯﾌﾟ"},
    {cmd::kPrevious, "BITMAP_NPLAYBACK", "前の曲"},
    {cmd::kNext, "BITMAP_NPLAYNEXT", "次の曲"},
    {cmd::kSaveButton, "BITMAP_NREC", "ﾌｧｲﾙ変換"},
};

ViewState view_of(const DisplayState& display, const ShellSettings& settings) {
  ViewState view;
  view.controlFlags = display.controlFlags;
  view.fullView = display.fullView;
  view.trackPanel = settings.tracpanel == 1;
  return view;
}

FrameMetrics frame_metrics() {
  FrameMetrics metrics;
  metrics.cxFrame = GetSystemMetrics(SM_CXFRAME);
  metrics.cyFrame = GetSystemMetrics(SM_CYFRAME);
  metrics.cySize = GetSystemMetrics(SM_CYSIZE);
  metrics.cyBorder = GetSystemMetrics(SM_CYBORDER);
  metrics.cyMenu = GetSystemMetrics(SM_CYMENU);
  return metrics;
}

bool menu_should_be_attached(const DisplayState& display) {
  return (display.controlFlags & kFlagMenu) != 0 && display.fullView;
}

int client_height(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.bottom - rect.top;
}

int client_width(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.right - rect.left;
}

// ---------------------------------------------------------------------------
// Start-up.

struct InstanceSearch {
  HWND self;
  HWND found;
};

BOOL CALLBACK match_running_instance(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<InstanceSearch*>(lParam);
  if (window == search->self) return TRUE;
  wchar_t caption[kCaptionReadLimit] = {};
  GetWindowTextW(window, caption, kCaptionReadLimit);
  wchar_t className[kClassNameCapacity] = {};
  GetClassNameW(window, className, kClassNameCapacity);
  if (widen(kProductName) == caption && std::wstring(kMainWindowClassName) == className) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND find_running_instance(HWND self) {
  InstanceSearch search{self, self};
  EnumWindows(match_running_instance, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND create_child(ShellState& state, DWORD exStyle, const wchar_t* className, const std::wstring& text, DWORD style,
                  int id) {
  return CreateWindowExW(exStyle, className, text.c_str(), style, 0, 0, 0, 0, state.hwnd,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
}

DWORD track_button_style(const ShellState& state) {
  return WS_CHILD | (state.engine.settings.play.MultiTrackSelect ? BS_CHECKBOX : BS_RADIOBUTTON);
}

void create_controls(ShellState& state) {
  for (int i = 0; i < kButtonCount; ++i) {
    state.controls.buttons[i] = create_child(state, 0, kCgButtonClassName, widen(kButtonFaces[i].bitmap),
                                             kBitmapButtonStyle, kButtonFaces[i].id);
  }
  state.controls.scroll = create_child(state, 0, L"SCROLLBAR", L"", WS_CHILD | SBS_HORZ, 0);
  state.controls.counter =
      create_child(state, WS_EX_ACCEPTFILES, L"STATIC", L"", WS_CHILD | SS_NOPREFIX | SS_LEFTNOWORDWRAP, 0);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    state.controls.trackButtons[k] =
        create_child(state, 0, L"BUTTON", std::to_wstring(k + 1), track_button_style(state), cmd::kTrackFirst + k);
  }
  state.controls.allTracksButton =
      create_child(state, 0, L"BUTTON", widen("全"), WS_CHILD | BS_RADIOBUTTON, cmd::kAllTracks);
  state.controls.splitButton =
      create_child(state, 0, L"BUTTON", widen("分解"), WS_CHILD | BS_CHECKBOX, cmd::kTrackSplit);
  state.controls.standardButton =
      create_child(state, 0, L"BUTTON", widen("標準"), WS_CHILD | BS_CHECKBOX, cmd::kMidiStandard);
  use_ui_font(state.controls);
}

void create_popups(ShellState& state) {
  state.controls.previousPopup = CreatePopupMenu();
  state.controls.nextPopup = CreatePopupMenu();
  state.controls.recentPopup = CreatePopupMenu();
  state.controls.colourPopup = create_colour_popup();
}

void disable_song_controls(ShellState& state) {
  for (int i = kButtonKeyDown; i <= kButtonSave; ++i) EnableWindow(state.controls.buttons[i], FALSE);
  for (HWND button : state.controls.trackButtons) EnableWindow(button, FALSE);
  EnableWindow(state.controls.allTracksButton, FALSE);
  EnableWindow(state.controls.splitButton, FALSE);
  EnableWindow(state.controls.standardButton, FALSE);
  const PlaybackOptions& play = state.engine.settings.play;
  SendMessageW(state.controls.allTracksButton, BM_SETCHECK, play.TrackSelection == 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) {
    const bool checked = play.TrackSelection != 0 && ((play.TrackMask >> k) & 1u);
    SendMessageW(state.controls.trackButtons[k], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  SendMessageW(state.controls.splitButton, BM_SETCHECK, play.TrackSplit ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(state.controls.standardButton, BM_SETCHECK, play.MidiStandard ? BST_CHECKED : BST_UNCHECKED, 0);
}

// One pass of the start-up initialisation.
void initialisation_pass(ShellState& state) {
  run_command(state, cmd::kLoadSettings, 0);
  state.engine.settings.writers.mfiTrackMerge = 1;
  relayout_now(state, kRelayoutRecompute);
  if (!state.controls.hollowBrush) {
    LOGBRUSH hollow{BS_NULL, 0, 0};
    state.controls.hollowBrush = CreateBrushIndirect(&hollow);
  }
  disable_song_controls(state);
  apply_startup_menu_state(state);
}

void create_temporary_midi_file(ShellState& state) {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH, folder) == 0) return;
  if (GetTempFileNameW(folder, L"dum", 0, name) == 0) return;
  state.load.tempMidiPath = name;
}

void delete_temporary_midi_file(ShellState& state) {
  if (!state.load.tempMidiPath.empty()) DeleteFileW(state.load.tempMidiPath.c_str());
}

void load_instrument_name_list(ShellState& state) {
  state.menus.instrumentNames = read_instrument_names(program_folder() / L"data" / L"mldname.dat");
}

void create_player(ShellState& state) {
  int choice = state.options.sequencerOverride >= 0 ? state.options.sequencerOverride : state.settings.sequencer;
  if (choice == kSequencerAutomatic) choice = mci_sequencer_can_play() ? kSequencerMci : kSequencerBuiltin;
  state.playback.device = choice == kSequencerMci ? make_mci_sequencer(state.hwnd)
                                                  : make_builtin_sequencer(state.hwnd, state.options.clockScale);
  state.playback.host = std::make_unique<WindowPlayerHost>(state);
  state.playback.player = std::make_unique<SequencerPlayer>(*state.playback.device, *state.playback.host);
}

// Hands the command line to the running instance as command 50.
void hand_over_command_line(ShellState& state) {
  HWND other = state.otherInstance;
  ShowWindow(other, SW_SHOW);
  SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  COPYDATASTRUCT data{};
  data.dwData = cmd::kHandOver;
  data.cbData = static_cast<DWORD>((state.commandLine.size() + 1) * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(state.commandLine.c_str());
  // A running instance that hangs must not hang this one: after the wait
  // this instance closes as it would have anyway.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(other, WM_COPYDATA, reinterpret_cast<WPARAM>(state.hwnd), reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG | SMTO_BLOCK, kHandOverTimeoutMs, &answer);
  state.handedOver = true;
}

// Returns false when the window must close (its command line was handed over).
bool on_create(ShellState& state) {
  state.otherInstance = find_running_instance(state.hwnd);
  register_cg_button_class(state.instance);
  create_controls(state);
  create_popups(state);
  state.controls.menu = build_menu_bar();
  SetMenu(state.hwnd, state.controls.menu);

  const Win32Profile profile(settings_location(state.options.profilePath).readFrom.wstring());
  if (profile.get_int(kBehaviourSection, "autooff", 1) == 1) state.display.controlFlags |= kFlagExitAfterPlay;
  state.playlist.capacity = profile.get_int(kBehaviourSection, "files", 255);
  if (state.playlist.capacity < 1 || state.playlist.capacity > 1024) state.playlist.capacity = 1024;
  state.display.fullView = true;
  state.engine.settings.play.MidiStandard = 1;
  state.engine.settings.play.TrackSplit = 0;

  initialisation_pass(state);
  for (int rebuild = 0; rebuild < kMaxMenuRebuilds && any_top_level_disabled(state.controls.menu); ++rebuild) {
    const bool attached = GetMenu(state.hwnd) == state.controls.menu;
    SetMenu(state.hwnd, nullptr);
    DestroyMenu(state.controls.menu);
    state.controls.menu = build_menu_bar();
    if (attached) SetMenu(state.hwnd, state.controls.menu);
    initialisation_pass(state);
  }
  CheckMenuItem(state.controls.colourPopup, cmd::kColourFirst + state.settings.dispcolor - 1,
                MF_BYCOMMAND | MF_CHECKED);

  create_temporary_midi_file(state);
  load_instrument_name_list(state);
  state.clipboard = make_windows_clipboard(state.hwnd);
  state.engine.set_clipboard(state.clipboard.get());
  create_player(state);

  if (state.commandLine.empty()) {
    state.display.controlFlags &= ~kFlagExitAfterPlay;
    return true;
  }
  if (state.otherInstance != state.hwnd && state.settings.onerun == 1) {
    hand_over_command_line(state);
    return false;
  }
  accept_command_line(state, state.commandLine);
  if (state.playlist.entries.empty()) {
    state.display.controlFlags &= ~kFlagExitAfterPlay;
    return true;
  }
  state.engine.ReloadRequest = kReloadReadFile;
  state.playlist.currentIndex = 0;
  run_command(state, cmd::kLoadEntry, state.settings.autoplay ? 0 : 1);
  return true;
}

void on_destroy(ShellState& state) {
  if (key_is_down(VK_CONTROL) || state.settings.autosetsave == 1) run_command(state, cmd::kSaveSettings, 0);
  if (state.playback.player && state.playback.player->state() == PlayerState::Playing) state.playback.player->stop();
  if (state.playback.player) state.playback.player->set_file({});
  if (state.controls.menu && GetMenu(state.hwnd) != state.controls.menu) DestroyMenu(state.controls.menu);
  state.controls.menu = nullptr;
  state.engine.release();
  delete_temporary_midi_file(state);
  for (HMENU* popup : {&state.controls.previousPopup, &state.controls.nextPopup, &state.controls.recentPopup,
                       &state.controls.colourPopup}) {
    if (*popup) DestroyMenu(*popup);
    *popup = nullptr;
  }
  if (state.controls.hollowBrush) DeleteObject(state.controls.hollowBrush);
  if (state.controls.counterBrush) DeleteObject(state.controls.counterBrush);
  state.controls.hollowBrush = state.controls.counterBrush = nullptr;
  if (state.controls.uiFont) DeleteObject(state.controls.uiFont);
  state.controls.uiFont = nullptr;
  PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// Layout.

void place(HWND control, const ControlRect& rect) {
  if (!control) return;
  MoveWindow(control, rect.x, rect.y, rect.width, rect.height, FALSE);
  ShowWindow(control, rect.visible ? SW_SHOW : SW_HIDE);
}

void on_size(ShellState& state, int width) {
  const ControlLayout layout = layout_controls(view_of(state.display, state.settings), width,
                                               state.settings.scrollsizex, state.display.relayoutRunning);
  if (!state.display.relayoutRunning) state.settings.scrollsizex = layout.rememberedScrollWidth;
  const ControlRect* row[kButtonCount] = {&layout.play,     &layout.stop,   &layout.pause,     &layout.open,
                                          &layout.keyDown,  &layout.keyUp,  &layout.tempoDown, &layout.tempoUp,
                                          &layout.previous, &layout.next,   &layout.save};
  for (int i = 0; i < kButtonCount; ++i) place(state.controls.buttons[i], *row[i]);
  place(state.controls.scroll, layout.scroll);
  place(state.controls.counter, layout.counter);
  for (int k = 0; k < cmd::kTrackButtonCount; ++k) place(state.controls.trackButtons[k], layout.tracks[k]);
  place(state.controls.allTracksButton, layout.allTracks);
  place(state.controls.standardButton, layout.standard);
  place(state.controls.splitButton, layout.split);
  InvalidateRect(state.hwnd, nullptr, TRUE);
}

void set_window_size(ShellState& state, int width, int height) {
  SetWindowPos(state.hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void relayout_now(ShellState& state, LPARAM mode) {
  const bool realDoubleClick = mode != kRelayoutRecompute && mode != kRelayoutKeepWidth;
  if (realDoubleClick) {
    state.display.fullView = !state.display.fullView;
    state.display.heightFixesInRow = 0;
  }
  if (mode == kRelayoutRecompute) state.display.heightFixesInRow = 0;
  state.display.relayoutRunning = true;
  const ViewState view = view_of(state.display, state.settings);
  int width = 0;
  if (mode == kRelayoutKeepWidth) {
    width = client_width(state.hwnd);
  } else {
    SetMenu(state.hwnd, menu_should_be_attached(state.display) ? state.controls.menu : nullptr);
    width = relayout_client_width(view, state.settings.scrollsizex);
  }
  const FrameMetrics metrics = frame_metrics();
  const int contentHeight = content_height(view);
  const int windowWidth = width + 2 * metrics.cxFrame;
  int height = window_height_without_menu(contentHeight, metrics);
  state.display.minimumWidth = minimum_window_width(view, metrics.cxFrame);
  if (GetMenu(state.hwnd)) {
    height = fit_height_to_menu(contentHeight, height, metrics, [&](int windowHeight) {
      set_window_size(state, windowWidth, windowHeight);
      return client_height(state.hwnd);
    });
  }
  set_window_size(state, windowWidth, height);
  state.display.fixedHeight = height;
  state.display.relayoutRunning = false;
  // Content that fits again lets painting correct the next wrap of the menu
  // bar; only relayouts that cannot make it fit count towards the limit.
  if (!GetMenu(state.hwnd) || !needs_height_fix(client_height(state.hwnd), contentHeight)) {
    state.display.heightFixesInRow = 0;
  }
  InvalidateRect(state.hwnd, nullptr, TRUE);
}

namespace {

void on_get_min_max_info(const DisplayState& display, MINMAXINFO* info) {
  if (display.relayoutRunning || display.fixedHeight <= 0) return;
  info->ptMinTrackSize.x = display.minimumWidth;
  info->ptMinTrackSize.y = display.fixedHeight;
  info->ptMaxTrackSize.y = display.fixedHeight;
}

// ---------------------------------------------------------------------------
// Painting.

bool counter_shown(const DisplayState& display) { return (display.controlFlags & kFlagDisplay) && display.fullView; }

void draw_counter_frame(const ShellState& state, HDC dc) {
  RECT rect{};
  GetWindowRect(state.controls.counter, &rect);
  MapWindowPoints(nullptr, state.hwnd, reinterpret_cast<POINT*>(&rect), 2);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  MoveToEx(dc, rect.left - 2, rect.bottom + 1, nullptr);
  LineTo(dc, rect.left - 2, rect.top - 2);
  LineTo(dc, rect.right + 1, rect.top - 2);
  SelectObject(dc, GetStockObject(WHITE_PEN));
  LineTo(dc, rect.right + 1, rect.bottom + 1);
  LineTo(dc, rect.left - 2, rect.bottom + 1);
  HPEN grey = CreatePen(PS_SOLID, 1, kFrameGrey);
  SelectObject(dc, grey);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(grey);
}

void on_paint(ShellState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(state.hwnd, &paint);
  if (counter_shown(state.display)) draw_counter_frame(state, dc);
  InvalidateRect(state.controls.scroll, nullptr, FALSE);
  EndPaint(state.hwnd, &paint);
  if (menu_should_be_attached(state.display) &&
      needs_height_fix(client_height(state.hwnd), content_height(view_of(state.display, state.settings))) &&
      state.display.heightFixesInRow < kMaxHeightFixesInRow) {
    ++state.display.heightFixesInRow;
    post_relayout(state, kRelayoutKeepWidth);
  }
}

// ---------------------------------------------------------------------------
// Playback messages.

void on_tick(ShellState& state) {
  SequencerPlayer& player = *state.playback.player;
  if (player.state() == PlayerState::Playing) player.poll_position();
  SetScrollPos(state.controls.scroll, SB_CTL, static_cast<int>(player.position()), TRUE);
  if (state.display.counterHold > 0) {
    --state.display.counterHold;
    return;
  }
  if (player.length() > 0 && player.position() < player.length()) {
    set_counter_text(state, counter_position_text(player.position(), player.length(), state.engine.song.title));
  }
  IntroTick tick;
  tick.position = player.position();
  tick.windowEnabled = IsWindowEnabled(state.hwnd) != 0;
  tick.intro = state.playback.intro;
  tick.loop = state.settings.loop == 1;
  tick.count = state.playlist.count();
  tick.index = state.playlist.currentIndex;
  switch (intro_move(tick)) {
    case IntroMove::Next: post_command(state, cmd::kNext); break;
    case IntroMove::First: post_command(state, cmd::kFirst); break;
    case IntroMove::None: break;
  }
}

void close_main_window(ShellState& state) { PostMessageW(state.hwnd, WM_CLOSE, 0, 0); }

void on_end_of_playback(ShellState& state) {
  SequencerPlayer& player = *state.playback.player;
  ++state.playback.endOfPlaybackSignals;
  set_counter_text(state, "");
  SetScrollPos(state.controls.scroll, SB_CTL, 0, TRUE);
  state.display.counterHold = 0;
  EndOfPlayback end;
  end.position = player.position();
  end.length = player.length();
  end.windowEnabled = IsWindowEnabled(state.hwnd) != 0;
  end.loop = state.settings.loop == 1;
  end.exitAfterPlay = (state.display.controlFlags & kFlagExitAfterPlay) != 0;
  end.count = state.playlist.count();
  end.index = state.playlist.currentIndex;
  const EndDecision decision = decide_end_of_playback(end);
  switch (decision.action) {
    case EndAction::PlayAgain: post_command(state, cmd::kPlay); break;
    case EndAction::LoadNext:
      state.playlist.currentIndex = decision.nextIndex;
      post_command(state, cmd::kLoadEntry, 0);
      break;
    case EndAction::CloseWindow: close_main_window(state); break;
    case EndAction::ClearExitAfterPlay: clear_exit_after_play(state); break;
    case EndAction::None: break;
  }
  player.set_position(0);
}

void on_mci_notify(ShellState& state, int code, long deviceId) {
  const bool wasPlaying = state.playback.player->state() == PlayerState::Playing;
  state.playback.player->notify(code, deviceId);
  // Only the end of the play in progress puts the title back: a notification
  // the player set aside (one of an earlier play) leaves the counter alone.
  const bool ended = wasPlaying && state.playback.player->state() != PlayerState::Playing;
  const bool last = state.playlist.currentIndex + 1 >= state.playlist.count();
  if (ended && last && state.settings.loop == 0 && code == kNotifySuccessful) show_title_on_counter(state);
}

// ---------------------------------------------------------------------------
// Keyboard.

int scan_code_of(LPARAM lParam) { return static_cast<int>((lParam >> 16) & 0xFF); }

void on_key_down(ShellState& state, LPARAM lParam) {
  const bool playing = state.playback.player->state() == PlayerState::Playing;
  const KeyCommand command = key_down_command(state.keys, scan_code_of(lParam), playing);
  // A key is the user's command, as the menu's would be.
  if (command.id != 0) PostMessageW(state.hwnd, WM_COMMAND, command.id, command.lParam);
}

bool is_repeat_timer(WPARAM id) {
  return id >= cmd::kKeyDown + kRepeatTimerOffset && id <= cmd::kTempoUp + kRepeatTimerOffset;
}

void on_timer(ShellState& state, WPARAM id) {
  if (is_repeat_timer(id)) {
    on_key_tempo_pressed(state, static_cast<int>(id - kRepeatTimerOffset), false);
  } else {
    on_tick(state);
  }
}

void on_button_pressed(ShellState& state, int id) {
  if (id >= cmd::kKeyDown && id <= cmd::kTempoUp) on_key_tempo_pressed(state, id, true);
}

// ---------------------------------------------------------------------------
// Colours.

COLORREF counter_background(int effectiveColour) {
  constexpr int kLit = 239;
  constexpr int kDim = 191;
  return RGB((effectiveColour & 1) ? kLit : kDim, (effectiveColour & 2) ? kLit : kDim,
             (effectiveColour & 4) ? kLit : kDim);
}

LRESULT on_counter_colour(ShellState& state, HDC dc) {
  const COLORREF background = counter_background(state.display.effectiveColour);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, background);
  if (state.controls.counterBrush) DeleteObject(state.controls.counterBrush);
  state.controls.counterBrush = CreateSolidBrush(background);
  return reinterpret_cast<LRESULT>(state.controls.counterBrush);
}

LRESULT on_button_colour(ShellState& state, HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(state.controls.hollowBrush);
}

void on_menu_select(ShellState& state) {
  set_item_enabled(state, cmd::kClipboardPlay, IsClipboardFormatAvailable(CF_TEXT) != 0);
  set_item_enabled(state, cmd::kOpenLastCreated, !state.playlist.lastCreated.empty());
}

void on_right_button_down(ShellState& state, LPARAM lParam) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  if (ChildWindowFromPoint(state.hwnd, point) != state.controls.counter) return;
  ClientToScreen(state.hwnd, &point);
  TrackPopupMenu(state.controls.colourPopup, TPM_LEFTBUTTON, point.x, point.y, 0, state.hwnd, nullptr);
}

void on_button_right_clicked(ShellState& state, int id) {
  HMENU popup = id == cmd::kPrevious ? state.controls.previousPopup
                : id == cmd::kNext   ? state.controls.nextPopup
                : id == cmd::kOpen   ? state.controls.recentPopup
                                     : nullptr;
  if (!popup) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, state.hwnd, nullptr);
}

LRESULT on_copy_data(ShellState& state, const COPYDATASTRUCT* data) {
  if (!data || data->dwData != static_cast<ULONG_PTR>(cmd::kHandOver)) return FALSE;
  const auto* text = static_cast<const wchar_t*>(data->lpData);
  const std::size_t length = data->cbData / sizeof(wchar_t);
  std::wstring commandLine(text, text ? length : 0);
  while (!commandLine.empty() && commandLine.back() == L'\0') commandLine.pop_back();
  take_handed_over_command_line(state, commandLine);
  return TRUE;
}

// The window's state is made before anything else and lives behind it.
void attach_new_state(HWND window, const CREATESTRUCTW* create) {
  const auto* params = static_cast<const CreateParams*>(create->lpCreateParams);
  auto* state = new ShellState;
  state->hwnd = window;
  state->instance = create->hInstance;
  state->commandLine = params->commandLine;
  state->options = params->options;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
}

LRESULT CALLBACK main_window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    attach_new_state(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    return DefWindowProcW(window, message, wParam, lParam);
  }
  ShellState* state = shell_state_of(window);
  if (!state) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      return on_create(*state) ? 0 : -1;
    case WM_CLOSE:
      if (state->modal.defer_close()) return 0;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      on_destroy(*state);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      delete state;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_QUERYENDSESSION:
      delete_temporary_midi_file(*state);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE:
      on_size(*state, LOWORD(lParam));
      return 0;
    case WM_GETMINMAXINFO: on_get_min_max_info(state->display, reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION) relayout_now(*state, lParam);
      return 0;
    case WM_PAINT:
      on_paint(*state);
      return 0;
    case WM_COMMAND:
      on_command(*state, LOWORD(wParam), lParam);
      return 0;
    case WM_KEYDOWN:
      on_key_down(*state, lParam);
      return 0;
    case WM_KEYUP: key_up(state->keys, scan_code_of(lParam)); return 0;
    case WM_KILLFOCUS: keyboard_focus_lost(state->keys); return 0;
    case kMsgOwnCommand: run_command(*state, static_cast<int>(wParam), lParam); return 0;
    case WM_TIMER: on_timer(*state, wParam); return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == state->controls.scroll) {
        on_position_scroll(*state, LOWORD(wParam), HIWORD(wParam));
      }
      return 0;
    case WM_DROPFILES: on_drop_files(*state, reinterpret_cast<HDROP>(wParam)); return 0;
    case kCgNotifyPressed: on_button_pressed(*state, static_cast<int>(wParam)); return 0;
    case MM_MCINOTIFY:
      on_mci_notify(*state, static_cast<int>(wParam), static_cast<long>(lParam));
      return 0;
    case kMsgEndOfPlayback: on_end_of_playback(*state); return 0;
    case kCgNotifyRightClicked: on_button_right_clicked(*state, static_cast<int>(wParam)); return 0;
    case WM_MENUSELECT:
      on_menu_select(*state);
      return 0;
    case WM_RBUTTONDOWN:
      on_right_button_down(*state, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == state->controls.counter) {
        return on_counter_colour(*state, reinterpret_cast<HDC>(wParam));
      }
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CTLCOLORBTN:
      return on_button_colour(*state, reinterpret_cast<HDC>(wParam));
    case WM_COPYDATA:
      return on_copy_data(*state, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

// ---------------------------------------------------------------------------

void WindowPlayerHost::show_device_error(const std::wstring& text) {
  show_wide_message(state_, text, L"ERROR", MB_OK | MB_ICONWARNING);
}
void WindowPlayerHost::start_tick_timer() { SetTimer(state_.hwnd, kTickTimer, kTickPeriodMs, nullptr); }
void WindowPlayerHost::stop_tick_timer() { KillTimer(state_.hwnd, kTickTimer); }
void WindowPlayerHost::end_of_playback() { SendMessageW(state_.hwnd, kMsgEndOfPlayback, 0, 0); }

void set_button_hints(ShellState& state) {
  for (int i = 0; i < kButtonCount; ++i) {
    const std::wstring hint = widen(kButtonFaces[i].hint);
    SendMessageW(state.controls.buttons[i], kCgSetHint, 0, reinterpret_cast<LPARAM>(hint.c_str()));
  }
}

ShellState* shell_state_of(HWND window) {
  if (!window) return nullptr;
  return reinterpret_cast<ShellState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool register_main_window_class(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = main_window_procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kMainWindowClassName;
  if (RegisterClassExW(&windowClass)) return true;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND create_main_window(HINSTANCE instance, const std::wstring& commandLine, const MainWindowOptions& options) {
  CreateParams params{commandLine, options};
  return CreateWindowExW(WS_EX_ACCEPTFILES, kMainWindowClassName, widen(kProductName).c_str(), kMainWindowStyle,
                         CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, &params);
}

int run_message_loop(HWND mainWindow) {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Files dropped on the counter display count as dropped on the window.
    ShellState* state = shell_state_of(mainWindow);
    if (message.message == WM_DROPFILES && state && message.hwnd == state->controls.counter) message.hwnd = mainWindow;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void post_relayout(ShellState& state, LPARAM mode) { PostMessageW(state.hwnd, WM_NCLBUTTONDBLCLK, HTCAPTION, mode); }

void set_counter_text(ShellState& state, const std::string& text) {
  SetWindowTextW(state.controls.counter, widen(text).c_str());
}

void show_title_on_counter(ShellState& state) { set_counter_text(state, state.engine.song.title); }

void send_command(ShellState& state, int id, LPARAM lParam) { SendMessageW(state.hwnd, WM_COMMAND, id, lParam); }

void post_command(ShellState& state, int id, LPARAM lParam) { PostMessageW(state.hwnd, kMsgOwnCommand, id, lParam); }

void clear_exit_after_play(ShellState& state) { state.display.controlFlags &= ~kFlagExitAfterPlay; }

ModalScope::ModalScope(ShellState& state) : state_(state) { state_.modal.opened(); }

ModalScope::~ModalScope() {
  if (state_.modal.closed()) PostMessageW(state_.hwnd, WM_CLOSE, 0, 0);
}

int show_message(ShellState& state, const std::string& text, const std::string& caption, UINT flags) {
  return show_wide_message(state, widen(text), widen(caption), flags);
}

int show_wide_message(ShellState& state, const std::wstring& text, const std::wstring& caption, UINT flags) {
  const ModalScope modal(state);
  if (state.options.messageBox) return state.options.messageBox(state.hwnd, text, caption, flags);
  return MessageBoxW(state.hwnd, text.c_str(), caption.c_str(), flags);
}

std::filesystem::path program_folder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(path).parent_path();
}

bool key_is_down(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace mel
