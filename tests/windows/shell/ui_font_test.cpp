// The window's Japanese texts get a font that has their glyphs. The suite also
// runs under LANG=en_US.UTF-8 (a CTest entry of its own), where the System
// font the controls had before shows those texts as boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/win32/main_window.h"
#include "shell/win32/ui_font.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

// Every Japanese text the window draws itself: the track panel, the counter's
// messages and the button hints (full-width and half-width katakana).
const std::wstring kWindowTexts = L"全標準分解再生停止一時停止前の曲次の曲ﾌｧｲﾙを開くｷｰﾀﾞｳﾝﾃﾝﾎﾟｱｯﾌﾟ変換";

// The characters of text that font has no glyph for.
std::wstring missing_glyphs(HFONT font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  std::vector<WORD> glyphs(text.size());
  GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  std::wstring missing;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (glyphs[i] == 0xFFFF) missing += text[i];
  }
  return missing;
}

std::string code_points(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += std::to_string(static_cast<unsigned>(c)) + " ";
  return out;
}

TEST(UiFont, HasAJapaneseFaceWithEveryGlyphTheWindowDraws) {
  EXPECT_FALSE(japanese_ui_font_face().empty());
  HFONT font = create_ui_font();
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(missing_glyphs(font, kWindowTexts), L"") << code_points(missing_glyphs(font, kWindowTexts));
  DeleteObject(font);
}

TEST(UiFont, TheCounterTrackPanelAndButtonHintsUseIt) {
  const fs::path folder = fs::temp_directory_path() / (L"melvarino_font_" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(folder);
  MainWindowOptions options;
  options.profilePath = (folder / L"korvani.ini").wstring();
  options.sequencerOverride = kSequencerBuiltin;
  options.messageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) { return IDOK; };
  HINSTANCE instance = GetModuleHandleW(nullptr);
  ASSERT_TRUE(register_main_window_class(instance));
  HWND window = create_main_window(instance, L"", options);
  ASSERT_NE(window, nullptr);
  const WindowControls& controls = shell_state_of(window)->controls;

  std::vector<HWND> japanese = {controls.counter, controls.allTracksButton, controls.splitButton,
                                controls.standardButton, controls.trackButtons[0]};
  japanese.insert(japanese.end(), controls.buttons.begin(), controls.buttons.end());
  for (HWND control : japanese) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << GetDlgCtrlID(control);
    EXPECT_EQ(missing_glyphs(font, kWindowTexts), L"") << GetDlgCtrlID(control);
  }

  DestroyWindow(window);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  std::error_code error;
  fs::remove_all(folder, error);
}

}  // namespace
}  // namespace mel
