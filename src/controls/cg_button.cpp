// The bitmap push button. Each control keeps its own state in a window
// property, so any number of buttons (and of windows holding them) work side
// by side; the placement rules and the bitmap checks are portable code.
#include "controls/cg_button.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "common/byte_reader.h"
#include "common/file_io.h"
#include "controls/button_geometry_model.h"
#include "controls/dib_image_model.h"

namespace mel {

namespace {

constexpr wchar_t kStateProperty[] = L"MelCgButtonState";
constexpr DWORD kStyleBitsMask = 0xFFFF;
constexpr WORD kPaletteVersion = 0x300;
constexpr int kHintDropPixels = 20;    // the hint appears this far below the cursor
constexpr int kHintBorderPixels = 2;   // added to the text extent each way
// A .bmp larger than the largest image the button accepts is not read at all.
constexpr std::uintmax_t kMaxBmpFileBytes =
    static_cast<std::uintmax_t>(kDibMaxDimension) * kDibMaxDimension * 4 + 65536;

constexpr COLORREF kFixedFace = RGB(192, 192, 192);
constexpr COLORREF kFixedFrame = RGB(64, 64, 64);
constexpr COLORREF kFixedShadow = RGB(128, 128, 128);

struct ButtonState {
  std::optional<DibImage> image;
  HPALETTE palette = nullptr;
  CgSize bitmap;
  CgSize display;
  unsigned style = 0;
  std::wstring hint;
  HWND hint_window = nullptr;
  HFONT hint_font = nullptr;  // WM_SETFONT; the caller keeps it alive
  bool pressed = false;
  bool has_last_mouse = false;
  POINT last_mouse{};  // screen coordinates
};

struct FaceColours {
  COLORREF face;
  COLORREF frame;
  COLORREF shadow;
  COLORREF highlight;
};

ButtonState* state_of(HWND hwnd) { return static_cast<ButtonState*>(GetPropW(hwnd, kStateProperty)); }

// ---------------------------------------------------------------------------
// Loading

std::optional<DibImage> load_resource_bitmap(HINSTANCE module, const wchar_t* name) {
  if (name == nullptr || (!IS_INTRESOURCE(name) && name[0] == L'\0')) return std::nullopt;
  HRSRC found = FindResourceW(module, name, RT_BITMAP);
  if (found == nullptr) return std::nullopt;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return std::nullopt;
  return parse_packed_dib(ByteView(static_cast<const uint8_t*>(bytes), size));
}

std::optional<DibImage> load_file_bitmap(const wchar_t* path) {
  if (path == nullptr || IS_INTRESOURCE(path) || path[0] == L'\0') return std::nullopt;
  try {
    const std::filesystem::path file(path);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxBmpFileBytes) return std::nullopt;
    const auto bytes = read_whole_file(file);
    if (!bytes) return std::nullopt;
    return parse_bmp_file(ByteView(*bytes));
  } catch (const std::exception&) {
    return std::nullopt;  // an unreadable path or no memory: a plain face
  }
}

// A palette of the image's colour table; nullptr when it has none.
HPALETTE make_palette(const DibImage& image) {
  if (image.colours.empty()) return nullptr;
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[kDibMaxColours];
  } block{};
  block.version = kPaletteVersion;
  block.count = static_cast<WORD>(image.colours.size());
  for (std::size_t i = 0; i < image.colours.size(); ++i) {
    block.entries[i].peRed = image.colours[i].red;
    block.entries[i].peGreen = image.colours[i].green;
    block.entries[i].peBlue = image.colours[i].blue;
    block.entries[i].peFlags = PC_RESERVED;
  }
  return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&block));
}

void release_bitmap(ButtonState& s) {
  if (s.palette != nullptr) DeleteObject(s.palette);
  s.palette = nullptr;
  s.image.reset();
  s.bitmap = CgSize{};
  s.display = CgSize{};
}

// Replaces the bitmap; a name that cannot be loaded leaves a plain face.
bool load_bitmap(HWND hwnd, ButtonState& s, const wchar_t* name) {
  release_bitmap(s);
  try {
    if (s.style & kCgStyleFromFile) {
      s.image = load_file_bitmap(name);
    } else {
      const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
      s.image = load_resource_bitmap(module, name);
    }
  } catch (const std::bad_alloc&) {
    s.image.reset();
  }
  if (!s.image) return false;
  if (s.style & kCgStylePalette) s.palette = make_palette(*s.image);
  s.bitmap = CgSize{s.image->width, s.image->height};
  s.display = s.bitmap;
  return true;
}

// ---------------------------------------------------------------------------
// Drawing

FaceColours colours_for(unsigned style) {
  FaceColours c{};
  if (style & kCgStyleFixedColours) {
    c.face = kFixedFace;
    c.frame = kFixedFrame;
    c.shadow = kFixedShadow;
  } else {
    c.face = GetSysColor(COLOR_BTNFACE);
    c.frame = GetSysColor(COLOR_WINDOWFRAME);
    c.shadow = GetSysColor(COLOR_BTNSHADOW);
  }
  c.highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  return c;
}

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  if (right <= left || bottom <= top) return;
  const RECT r{left, top, right, bottom};
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);  // a solid fill without a brush
}

void draw_raised_frame(HDC dc, int w, int h, const FaceColours& c) {
  fill(dc, w - 1, 0, w, h, c.frame);
  fill(dc, 0, h - 1, w, h, c.frame);
  fill(dc, w - 2, 1, w - 1, h - 1, c.shadow);
  fill(dc, 1, h - 2, w - 1, h - 1, c.shadow);
  fill(dc, 0, 0, w - 1, 1, c.face);
  fill(dc, 0, 0, 1, h - 1, c.face);
  fill(dc, 1, 1, w - 2, 2, c.highlight);
  fill(dc, 1, 1, 2, h - 2, c.highlight);
}

void draw_sunken_frame(HDC dc, int w, int h, const FaceColours& c) {
  fill(dc, 0, 0, w, 1, c.frame);
  fill(dc, 0, 0, 1, h, c.frame);
  fill(dc, 1, 1, w - 1, 2, c.shadow);
  fill(dc, 1, 1, 2, h - 1, c.shadow);
}

void draw_bitmap(HDC dc, const ButtonState& s, const CgPlacement& p) {
  const DibImage& image = *s.image;
  HPALETTE old_palette = nullptr;
  if (s.palette != nullptr) {
    old_palette = SelectPalette(dc, s.palette, FALSE);
    RealizePalette(dc);
  }
  SetStretchBltMode(dc, COLORONCOLOR);
  // The rows are stored bottom-up and the source origin is the bottom row, so
  // the top source_height rows start source_height rows below the top.
  StretchDIBits(dc, p.x, p.y, p.drawn_width, p.drawn_height, 0, image.height - p.source_height, p.source_width,
                p.source_height, image.bits.data(), reinterpret_cast<const BITMAPINFO*>(image.info.data()),
                DIB_RGB_COLORS, SRCCOPY);
  if (old_palette != nullptr) SelectPalette(dc, old_palette, FALSE);
}

void paint_button(HWND hwnd, const ButtonState& s, HDC dc) {
  RECT client{};
  GetClientRect(hwnd, &client);
  const int w = client.right;
  const int h = client.bottom;
  const FaceColours colours = colours_for(s.style);

  CgPlacement p;
  if (s.image) {
    const CgSize size{w, h};
    p = s.pressed ? place_pressed_bitmap(size, s.display, s.bitmap, s.style)
                  : place_raised_bitmap(size, s.display, s.bitmap, s.style);
  }
  const bool with_bitmap = s.image && p.draws_anything();
  if (with_bitmap) {
    fill(dc, 0, 0, p.x, h, colours.face);
    fill(dc, 0, 0, w, p.y, colours.face);
    fill(dc, p.x + p.drawn_width, 0, w, h, colours.face);
    fill(dc, 0, p.y + p.drawn_height, w, h, colours.face);
  } else {
    fill(dc, 0, 0, w, h, colours.face);
  }
  if (s.pressed) {
    draw_sunken_frame(dc, w, h, colours);
  } else {
    draw_raised_frame(dc, w, h, colours);
  }
  if (with_bitmap) draw_bitmap(dc, s, p);
}

// ---------------------------------------------------------------------------
// Hint

// Removes a showing hint (and the capture that waits for the next move), or
// stops the timer that would show one.
void remove_hint(HWND hwnd, ButtonState& s) {
  KillTimer(hwnd, kCgHintTimer);
  if (s.hint_window == nullptr) return;
  HWND popup = s.hint_window;
  s.hint_window = nullptr;
  DestroyWindow(popup);
  if (GetCapture() == hwnd) ReleaseCapture();
}

void show_hint(HWND hwnd, ButtonState& s, POINT cursor) {
  HWND owner = GetAncestor(hwnd, GA_ROOT);
  const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
  HWND popup = CreateWindowExW(0, L"STATIC", s.hint.c_str(), WS_POPUP | WS_BORDER | SS_NOPREFIX, cursor.x,
                               cursor.y + kHintDropPixels, 0, 0, owner, nullptr, module, nullptr);
  if (popup == nullptr) return;
  if (s.hint_font != nullptr) SendMessageW(popup, WM_SETFONT, reinterpret_cast<WPARAM>(s.hint_font), FALSE);

  SIZE extent{};
  HDC dc = GetDC(popup);
  if (dc != nullptr) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(popup, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font != nullptr ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32W(dc, s.hint.c_str(), static_cast<int>(s.hint.size()), &extent);
    if (old_font != nullptr) SelectObject(dc, old_font);
    ReleaseDC(popup, dc);
  }
  SetWindowPos(popup, nullptr, cursor.x, cursor.y + kHintDropPixels, extent.cx + kHintBorderPixels,
               extent.cy + kHintBorderPixels, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(popup, SW_SHOWNOACTIVATE);
  s.hint_window = popup;
  SetCapture(hwnd);  // the next move anywhere removes the hint
}

void on_hint_timer(HWND hwnd, ButtonState& s) {
  KillTimer(hwnd, kCgHintTimer);
  if (s.hint_window != nullptr || s.hint.empty()) return;
  POINT cursor{};
  if (!GetCursorPos(&cursor) || WindowFromPoint(cursor) != hwnd) return;
  if (GetAncestor(hwnd, GA_ROOT) != GetActiveWindow()) return;
  show_hint(hwnd, s, cursor);
}

void on_mouse_move(HWND hwnd, ButtonState& s, WPARAM keys, LPARAM where) {
  KillTimer(hwnd, kCgHintTimer);
  POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  ClientToScreen(hwnd, &at);
  // Windows repeats a move at the same place when windows appear or the
  // capture changes; only a real move counts.
  if (s.has_last_mouse && at.x == s.last_mouse.x && at.y == s.last_mouse.y) return;
  s.has_last_mouse = true;
  s.last_mouse = at;
  if (s.hint_window != nullptr) {
    remove_hint(hwnd, s);
  } else if ((keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
    SetTimer(hwnd, kCgHintTimer, kCgHintDelayMs, nullptr);
  }
}

// ---------------------------------------------------------------------------
// Notifications

void notify_parent(HWND hwnd, UINT message) {
  HWND parent = GetParent(hwnd);
  if (parent == nullptr) return;
  SendMessageW(parent, message, static_cast<WPARAM>(GetDlgCtrlID(hwnd)), reinterpret_cast<LPARAM>(hwnd));
}

void on_left_down(HWND hwnd, ButtonState& s) {
  remove_hint(hwnd, s);
  s.pressed = true;
  if (HDC dc = GetDC(hwnd)) {
    paint_button(hwnd, s, dc);
    ReleaseDC(hwnd, dc);
  }
  SetCapture(hwnd);
  notify_parent(hwnd, kCgNotifyPressed);  // the parent may destroy the button: nothing after this
}

void on_left_up(HWND hwnd, ButtonState& s) {
  // Only a release that ends a press of this button is a click: a button-up
  // whose press went elsewhere (or whose capture was taken away) fires nothing.
  const bool wasPressed = s.pressed;
  s.pressed = false;
  if (GetCapture() == hwnd) ReleaseCapture();
  InvalidateRect(hwnd, nullptr, FALSE);
  if (wasPressed) notify_parent(hwnd, WM_COMMAND);
}

void on_capture_lost(HWND hwnd, ButtonState& s) {
  // Another window took the mouse (a dialog, a switch to another program):
  // the hint would never see the move that removes it, and the button is no
  // longer held.
  if (s.hint_window != nullptr) {
    HWND popup = s.hint_window;
    s.hint_window = nullptr;
    DestroyWindow(popup);
  }
  if (s.pressed) {
    s.pressed = false;
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

bool on_create(HWND hwnd, const CREATESTRUCTW* cs) {
  auto* s = new (std::nothrow) ButtonState;
  if (s == nullptr) return false;
  if (!SetPropW(hwnd, kStateProperty, s)) {
    delete s;
    return false;
  }
  s->style = static_cast<unsigned>(cs->style & kStyleBitsMask);
  load_bitmap(hwnd, *s, cs->lpszName);
  return true;
}

void on_destroy(HWND hwnd, ButtonState& s) {
  KillTimer(hwnd, kCgHintTimer);
  if (s.hint_window != nullptr) {
    DestroyWindow(s.hint_window);
    s.hint_window = nullptr;
  }
  release_bitmap(s);
  // Only this button goes away: the program's message loop keeps running.
}

LRESULT CALLBACK cg_button_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) return on_create(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lparam)) ? 0 : -1;
  ButtonState* s = state_of(hwnd);
  if (s == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);

  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc != nullptr) paint_button(hwnd, *s, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      paint_button(hwnd, *s, reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case kCgSetDisplaySize:
      s->display = display_size_from_message(wparam, static_cast<uint32_t>(lparam), s->bitmap);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case kCgSetBitmap: {
      const bool loaded = load_bitmap(hwnd, *s, reinterpret_cast<const wchar_t*>(lparam));
      InvalidateRect(hwnd, nullptr, FALSE);
      return loaded ? TRUE : FALSE;
    }
    case kCgSetHint: {
      const auto* text = reinterpret_cast<const wchar_t*>(lparam);
      s->hint.assign(text != nullptr ? text : L"", kept_hint_length(text));
      return 0;
    }
    case WM_SETFONT:
      s->hint_font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(s->hint_font);
    case WM_LBUTTONDOWN:
      on_left_down(hwnd, *s);
      return 0;
    case WM_LBUTTONUP:
      on_left_up(hwnd, *s);
      return 0;
    case WM_RBUTTONDOWN:
      remove_hint(hwnd, *s);
      notify_parent(hwnd, kCgNotifyRightClicked);
      return 0;
    case WM_MOUSEMOVE:
      on_mouse_move(hwnd, *s, wparam, lparam);
      return 0;
    case WM_TIMER:
      if (wparam != kCgHintTimer) break;
      on_hint_timer(hwnd, *s);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd) on_capture_lost(hwnd, *s);
      return 0;
    case WM_DESTROY:
      on_destroy(hwnd, *s);
      return 0;
    case WM_NCDESTROY:
      RemovePropW(hwnd, kStateProperty);
      delete s;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

bool register_cg_button_class(HINSTANCE instance) {
  WNDCLASSW existing{};
  if (GetClassInfoW(instance, kCgButtonClassName, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = 0;
  wc.lpfnWndProc = cg_button_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kCgButtonClassName;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int cg_button_hint(HWND button, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = L'\0';
  const ButtonState* s = button != nullptr ? state_of(button) : nullptr;
  if (s == nullptr) return 0;
  const std::size_t n = std::min(s->hint.size(), static_cast<std::size_t>(capacity - 1));
  s->hint.copy(buffer, n);
  buffer[n] = L'\0';
  return static_cast<int>(n);
}

bool cg_button_has_bitmap(HWND button) {
  const ButtonState* s = button != nullptr ? state_of(button) : nullptr;
  return s != nullptr && s->image.has_value();
}

HWND cg_button_hint_window(HWND button) {
  const ButtonState* s = button != nullptr ? state_of(button) : nullptr;
  return s != nullptr ? s->hint_window : nullptr;
}

}  // namespace mel
