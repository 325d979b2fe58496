#include "shell/win32/ui_font.h"

#include <cwchar>
#include <vector>

namespace mel {
namespace {

// Japanese UI fonts of Windows first, then those of the common Linux font
// packages (what Wine finds through the system's fonts).
const wchar_t* const kPreferredFaces[] = {
    L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI", L"MS PGothic", L"IPAPGothic", L"IPAGothic",
};

// Faces beginning with '@' are the same fonts turned for vertical writing.
constexpr wchar_t kVerticalFacePrefix = L'@';

int CALLBACK collect_face(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM lParam) {
  auto* faces = reinterpret_cast<std::vector<std::wstring>*>(lParam);
  if (font->lfFaceName[0] != kVerticalFacePrefix) faces->emplace_back(font->lfFaceName);
  return 1;
}

std::vector<std::wstring> japanese_faces() {
  std::vector<std::wstring> faces;
  LOGFONTW query{};
  query.lfCharSet = SHIFTJIS_CHARSET;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &query, collect_face, reinterpret_cast<LPARAM>(&faces), 0);
  ReleaseDC(nullptr, screen);
  return faces;
}

LOGFONTW message_font() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return metrics.lfMessageFont;
  LOGFONTW fallback{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
  return fallback;
}

}  // namespace

std::wstring japanese_ui_font_face() {
  const std::vector<std::wstring> installed = japanese_faces();
  for (const wchar_t* preferred : kPreferredFaces) {
    for (const std::wstring& face : installed) {
      if (_wcsicmp(face.c_str(), preferred) == 0) return face;
    }
  }
  return installed.empty() ? std::wstring() : installed.front();
}

HFONT create_ui_font() {
  LOGFONTW font = message_font();
  const std::wstring face = japanese_ui_font_face();
  if (!face.empty()) {
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    font.lfCharSet = SHIFTJIS_CHARSET;
  }
  return CreateFontIndirectW(&font);
}

void use_ui_font(WindowControls& controls) {
  controls.uiFont = create_ui_font();
  const auto font = reinterpret_cast<WPARAM>(controls.uiFont);
  for (HWND control : {controls.counter, controls.allTracksButton, controls.splitButton, controls.standardButton}) {
    SendMessageW(control, WM_SETFONT, font, FALSE);
  }
  for (HWND button : controls.trackButtons) SendMessageW(button, WM_SETFONT, font, FALSE);
  for (HWND button : controls.buttons) SendMessageW(button, WM_SETFONT, font, FALSE);
}

}  // namespace mel
