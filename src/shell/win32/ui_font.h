// The font of the window's own Japanese texts (the counter display, the track
// panel's "全", "標準" and "分解" and the button hints). Controls left with the
// System font show those texts as boxes wherever the system's code page is
// not Japanese, so they get a font that has the glyphs: a Japanese UI font
// when one is installed, else the message font of the system's metrics.
#pragma once

#include <windows.h>

#include <string>

#include "shell/win32/shell_state.h"

namespace mel {

// The face name the font takes: the first Japanese UI font installed, in
// the order of preference, or any other font with the Japanese character
// set; empty when there is none (the message font is used as it is).
std::wstring japanese_ui_font_face();

// Creates the font (the message font's size and weight, with that face).
// The caller deletes it.
HFONT create_ui_font();

// Creates the font into controls.uiFont and gives it to the counter, the
// track panel's buttons and the bitmap buttons (for their hints).
void use_ui_font(WindowControls& controls);

}  // namespace mel
