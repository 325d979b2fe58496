// CGBUTTON: the bitmap push button of the main window. It shows a bitmap
// resource (or a .bmp file) on a raised face, draws itself pressed while the
// left button is held, shows a hint after the mouse rests on it, and reports
// to its parent: kCgNotifyPressed on left-button down, WM_COMMAND on left-button
// up, kCgNotifyRightClicked on right-button down (wParam the child id, lParam
// the control). The messages below are the control's whole vocabulary.
#pragma once

#include <windows.h>

namespace mel {

constexpr wchar_t kCgButtonClassName[] = L"CGBUTTON";

// Style bits (the low 16 bits of the window style).
constexpr DWORD kCgStyleTopLeft = 0x01;      // bitmap 2 pixels in from the top left
constexpr DWORD kCgStyleShrink = 0x02;       // shrink a bitmap that does not fit
constexpr DWORD kCgStyleFixedColours = 0x08; // grey face and frame, not the system colours
constexpr DWORD kCgStyleFromFile = 0x10;     // the window text is a .bmp file path
constexpr DWORD kCgStylePalette = 0x20;      // realise a palette from the colour table

// Messages to the control.
constexpr UINT kCgSetDisplaySize = WM_USER + 1;  // wParam 0: w x h pixels; 1: w %, h % (lParam low/high word)
constexpr UINT kCgSetBitmap = WM_USER + 2;       // lParam: const wchar_t* bitmap name or file path;
                                                 // returns TRUE when it loaded (else a plain face)
constexpr UINT kCgSetHint = WM_USER + 3;         // lParam: const wchar_t* hint (16 characters kept)

// Notifications to the parent.
constexpr UINT kCgNotifyPressed = WM_USER + 101;
constexpr UINT kCgNotifyRightClicked = WM_USER + 102;

constexpr int kCgHintCapacity = 16;
constexpr UINT_PTR kCgHintTimer = 1;
constexpr UINT kCgHintDelayMs = 500;

// Registers the class for the module hInstance; true when it is registered
// (also when it already was).
bool register_cg_button_class(HINSTANCE instance);

// Read-outs of a control's state (for the main window and the tests).
// Copies the hint text, NUL-terminated and cut to capacity, into buffer and
// returns the number of characters copied; 0 for a window that is not a button.
int cg_button_hint(HWND button, wchar_t* buffer, int capacity);
// True when the control has a bitmap to show (false: a plain face).
bool cg_button_has_bitmap(HWND button);
// The hint pop-up the control is showing, or nullptr.
HWND cg_button_hint_window(HWND button);

}  // namespace mel
