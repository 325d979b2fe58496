// The bitmap push button in a real window: bitmaps from the program's
// resources and from .bmp files drawn where the placement rules say, the
// notifications its parent gets, the hint, and that a button going away
// leaves the program running.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "common/file_io.h"
#include "controls/cg_button.h"
#include "controls/dib_image_model.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kParentClass[] = L"MelCgButtonTestParent";
constexpr int kButtonId = 11;
constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kFrame = RGB(64, 64, 64);
constexpr COLORREF kShadow = RGB(128, 128, 128);

struct Notification {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// What the parent window received from its buttons.
std::vector<Notification>& notifications() {
  static std::vector<Notification> list;
  return list;
}

LRESULT CALLBACK parent_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND || message == mel::kCgNotifyPressed || message == mel::kCgNotifyRightClicked) {
    notifications().push_back({message, wparam, lparam});
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// A client area read back as colours.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> colours;
  COLORREF at(int x, int y) const { return colours[static_cast<std::size_t>(y * width + x)]; }
};

// Has the button draw its client area into a memory bitmap.
Pixels render(HWND button) {
  RECT client{};
  GetClientRect(button, &client);
  Pixels out;
  out.width = client.right;
  out.height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;  // top-down, so row y is y
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const auto* px = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < out.width * out.height; ++i) {
    const uint32_t v = px[i];
    out.colours.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return out;
}

// The colour of pixel (x, y), counted from the top, of a 24-bit image.
COLORREF image_pixel(const mel::DibImage& image, int x, int y) {
  const std::size_t stride = mel::dib_row_stride(image.width, image.bit_count);
  const std::size_t at = static_cast<std::size_t>(image.height - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
  return RGB(image.bits[at + 2], image.bits[at + 1], image.bits[at]);
}

constexpr COLORREF kTopLeft = RGB(255, 0, 0);
constexpr COLORREF kTopRight = RGB(0, 255, 0);
constexpr COLORREF kBottomLeft = RGB(0, 0, 255);
constexpr COLORREF kBottomRight = RGB(255, 255, 0);

// A 24-bit .bmp of w x h in four coloured quarters.
std::vector<uint8_t> quarters_bmp(int w, int h) {
  std::vector<uint8_t> b;
  const auto put = [&b](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const std::size_t stride = mel::dib_row_stride(w, 24);
  const uint32_t rows = static_cast<uint32_t>(stride * static_cast<std::size_t>(h));
  b.push_back('B');
  b.push_back('M');
  put(54 + rows, 4);  // file size
  put(0, 4);          // reserved
  put(54, 4);         // rows offset
  put(40, 4);         // header size
  put(static_cast<uint32_t>(w), 4);
  put(static_cast<uint32_t>(h), 4);
  put(1, 2);   // planes
  put(24, 2);  // bits per pixel
  for (int i = 0; i < 6; ++i) put(0, 4);  // compression .. important colours
  for (int row = h - 1; row >= 0; --row) {  // bottom row first
    std::size_t written = 0;
    for (int x = 0; x < w; ++x) {
      const bool top = row < h / 2;
      const bool left = x < w / 2;
      const COLORREF c = top ? (left ? kTopLeft : kTopRight) : (left ? kBottomLeft : kBottomRight);
      b.push_back(GetBValue(c));
      b.push_back(GetGValue(c));
      b.push_back(GetRValue(c));
      written += 3;
    }
    b.insert(b.end(), stride - written, 0);
  }
  return b;
}

class CgButton : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleW(nullptr);
    ASSERT_TRUE(mel::register_cg_button_class(instance_));
    WNDCLASSW wc{};
    wc.lpfnWndProc = parent_proc;
    wc.hInstance = instance_;
    wc.lpszClassName = kParentClass;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);  // fails harmlessly when an earlier case registered it
    parent_ = CreateWindowExW(0, kParentClass, L"CGBUTTON test", WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr,
                              nullptr, instance_, nullptr);
    ASSERT_NE(parent_, nullptr);
    notifications().clear();
    dir_ = fs::temp_directory_path() / (L"melvarino_cgbutton_" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(dir_);
  }

  void TearDown() override {
    if (parent_ != nullptr) DestroyWindow(parent_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

  HWND make_button(const wchar_t* name, DWORD style_bits, int w, int h, int id = kButtonId) {
    return CreateWindowExW(0, mel::kCgButtonClassName, name, WS_CHILD | WS_VISIBLE | style_bits, 10, 10, w, h,
                           parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  }

  std::wstring write_file(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    EXPECT_TRUE(mel::write_file_atomic(path, bytes));
    return path.wstring();
  }

  HINSTANCE instance_ = nullptr;
  HWND parent_ = nullptr;
  fs::path dir_;
};

TEST_F(CgButton, ResourceBitmapIsDrawnCentredOnTheRaisedFixedColourFace) {
  const auto source = mel::read_whole_file(fs::path(MEL_SOURCE_DIR "/resources/bitmaps/play.bmp"));
  ASSERT_TRUE(source.has_value());
  const auto image = mel::parse_bmp_file(mel::ByteView(*source));
  ASSERT_TRUE(image.has_value());

  // The smallest main-window button: 25 x 22.
  HWND button = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 25, 22);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(mel::cg_button_has_bitmap(button));
  const Pixels raised = render(button);
  EXPECT_EQ(raised.at(0, 0), kFace);
  EXPECT_EQ(raised.at(24, 21), kFrame);
  EXPECT_EQ(raised.at(23, 20), kShadow);
  EXPECT_EQ(raised.at(24, 0), kFrame);
  const int x0 = (25 - image->width) / 2;
  const int y0 = (22 - image->height) / 2;
  int differences = 0;
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) differences += raised.at(x0 + x, y0 + y) != image_pixel(*image, x, y);
  EXPECT_EQ(differences, 0);

  // Held down: the bitmap two pixels right and down, the frame sunken.
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  const Pixels pressed = render(button);
  EXPECT_EQ(pressed.at(0, 0), kFrame);
  EXPECT_EQ(pressed.at(1, 1), kShadow);
  differences = 0;
  for (int y = 0; y < image->height && y0 + 2 + y < 22; ++y)
    for (int x = 0; x < image->width && x0 + 2 + x < 25; ++x)
      differences += pressed.at(x0 + 2 + x, y0 + 2 + y) != image_pixel(*image, x, y);
  EXPECT_EQ(differences, 0);
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(render(button).at(0, 0), kFace);
}

TEST_F(CgButton, EveryNamedBitmapOfTheProgramLoads) {
  HWND button = make_button(L"BITMAP_NPLAY", mel::kCgStyleFixedColours, 30, 22);
  ASSERT_NE(button, nullptr);
  for (const wchar_t* name :
       {L"BITMAP_PLAY", L"BITMAP_STOP", L"BITMAP_PAUSE", L"BITMAP_OPEN", L"BITMAP_FLAT", L"BITMAP_SHARP",
        L"BITMAP_PLAYDOWN", L"BITMAP_PLAYUP", L"BITMAP_PLAYBACK", L"BITMAP_PLAYNEXT", L"BITMAP_REC", L"BITMAP_NFLAT",
        L"BITMAP_NSHARP", L"BITMAP_NPLAYDOWN", L"BITMAP_NPLAYUP", L"BITMAP_NPLAYBACK", L"BITMAP_NPLAYNEXT",
        L"BITMAP_NREC"}) {
    EXPECT_TRUE(SendMessageW(button, mel::kCgSetBitmap, 0, reinterpret_cast<LPARAM>(name))) << name;
    EXPECT_TRUE(mel::cg_button_has_bitmap(button)) << name;
  }
}

TEST_F(CgButton, UnknownOrDamagedBitmapLeavesAPlainFace) {
  HWND button = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 25, 22);
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(SendMessageW(button, mel::kCgSetBitmap, 0, reinterpret_cast<LPARAM>(L"BITMAP_NOSUCH")));
  EXPECT_FALSE(mel::cg_button_has_bitmap(button));
  EXPECT_FALSE(SendMessageW(button, mel::kCgSetBitmap, 0, 0));
  const Pixels plain = render(button);
  EXPECT_EQ(plain.at(12, 10), kFace);
  EXPECT_EQ(plain.at(24, 21), kFrame);

  // From files: a missing one, one cut short in its rows, one whose row
  // offset points far past its end, and one that is not a bitmap at all.
  const std::vector<uint8_t> good = quarters_bmp(32, 24);
  std::vector<uint8_t> cut(good.begin(), good.end() - 100);
  std::vector<uint8_t> far_rows = good;
  far_rows[10] = far_rows[11] = far_rows[12] = 0xFF;
  const std::wstring paths[] = {(dir_ / L"none.bmp").wstring(), write_file(L"cut.bmp", cut),
                                write_file(L"far.bmp", far_rows), write_file(L"text.bmp", {'h', 'e', 'l', 'l', 'o'})};
  for (const std::wstring& path : paths) {
    HWND from_file = make_button(path.c_str(), mel::kCgStyleFixedColours | mel::kCgStyleFromFile, 40, 40, 12);
    ASSERT_NE(from_file, nullptr);
    EXPECT_FALSE(mel::cg_button_has_bitmap(from_file));
    EXPECT_EQ(render(from_file).at(20, 20), kFace);
    DestroyWindow(from_file);
  }
}

TEST_F(CgButton, FileBitmapFollowsThePlacementRules) {
  const std::wstring path = write_file(L"quarters.bmp", quarters_bmp(32, 24));
  HWND button = make_button(path.c_str(), mel::kCgStyleFixedColours | mel::kCgStyleFromFile, 40, 40);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(mel::cg_button_has_bitmap(button));
  Pixels p = render(button);
  EXPECT_EQ(p.at(3, 8), kFace);
  EXPECT_EQ(p.at(4, 7), kFace);
  EXPECT_EQ(p.at(4, 8), kTopLeft);
  EXPECT_EQ(p.at(35, 8), kTopRight);
  EXPECT_EQ(p.at(4, 31), kBottomLeft);
  EXPECT_EQ(p.at(35, 31), kBottomRight);
  EXPECT_EQ(p.at(36, 31), kFace);

  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  p = render(button);
  EXPECT_EQ(p.at(6, 10), kTopLeft);
  EXPECT_EQ(p.at(5, 10), kFace);
  SendMessageW(button, WM_LBUTTONUP, 0, 0);

  // Half size in both directions: 16 x 12, centred.
  SendMessageW(button, mel::kCgSetDisplaySize, 1, MAKELPARAM(50, 50));
  p = render(button);
  EXPECT_EQ(p.at(11, 14), kFace);
  EXPECT_EQ(p.at(12, 14), kTopLeft);
  EXPECT_EQ(p.at(27, 25), kBottomRight);
  EXPECT_EQ(p.at(28, 25), kFace);

  // Too wide for a 40 x 30 face: the left columns, cut off at the room.
  const std::wstring wide = write_file(L"wide.bmp", quarters_bmp(64, 24));
  SetWindowPos(button, nullptr, 0, 0, 40, 30, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(SendMessageW(button, mel::kCgSetBitmap, 0, reinterpret_cast<LPARAM>(wide.c_str())));
  p = render(button);
  EXPECT_EQ(p.at(2, 3), kTopLeft);
  EXPECT_EQ(p.at(33, 3), kTopLeft);  // source column 31: still the left half
  EXPECT_EQ(p.at(34, 3), kTopRight);
  EXPECT_EQ(p.at(37, 3), kTopRight);
  EXPECT_NE(p.at(38, 3), kTopRight);  // the frame

  // Too tall for it: the top 26 rows of 48 (24 of the upper half, 2 of the lower).
  const std::wstring tall = write_file(L"tall.bmp", quarters_bmp(32, 48));
  ASSERT_TRUE(SendMessageW(button, mel::kCgSetBitmap, 0, reinterpret_cast<LPARAM>(tall.c_str())));
  p = render(button);
  EXPECT_EQ(p.at(4, 2), kTopLeft);
  EXPECT_EQ(p.at(4, 25), kTopLeft);
  EXPECT_EQ(p.at(4, 26), kBottomLeft);
  EXPECT_EQ(p.at(4, 27), kBottomLeft);
  EXPECT_NE(p.at(4, 28), kBottomLeft);  // the frame
}

TEST_F(CgButton, ParentHearsPressReleaseAndRightClick) {
  HWND button = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 25, 22);
  ASSERT_NE(button, nullptr);
  const auto handle = reinterpret_cast<LPARAM>(button);

  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(notifications().size(), 1u);
  EXPECT_EQ(notifications()[0].message, mel::kCgNotifyPressed);
  EXPECT_EQ(notifications()[0].wparam, static_cast<WPARAM>(kButtonId));
  EXPECT_EQ(notifications()[0].lparam, handle);
  EXPECT_EQ(GetCapture(), button);

  // Released far outside the control: still a command.
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-200), 300));
  ASSERT_EQ(notifications().size(), 2u);
  EXPECT_EQ(notifications()[1].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(notifications()[1].wparam, static_cast<WPARAM>(kButtonId));
  EXPECT_EQ(notifications()[1].lparam, handle);
  EXPECT_NE(GetCapture(), button);

  SendMessageW(button, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(notifications().size(), 3u);
  EXPECT_EQ(notifications()[2].message, mel::kCgNotifyRightClicked);
  EXPECT_EQ(notifications()[2].wparam, static_cast<WPARAM>(kButtonId));
  EXPECT_EQ(notifications()[2].lparam, handle);
}

TEST_F(CgButton, ReleaseWithoutItsPressFiresNothing) {
  HWND button = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 25, 22);
  ASSERT_NE(button, nullptr);
  // A button-up whose press went to another window (dragged in from outside).
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(notifications().empty());

  // A press whose capture another window took away is no click either.
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_EQ(notifications().size(), 1u);
  SendMessageW(button, WM_CAPTURECHANGED, 0, 0);
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(notifications().size(), 1u);
}

TEST_F(CgButton, HintKeepsSixteenCharactersPerButton) {
  HWND first = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 25, 22, 11);
  HWND second = make_button(L"BITMAP_STOP", mel::kCgStyleFixedColours, 25, 22, 12);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  SendMessageW(first, mel::kCgSetHint, 0, reinterpret_cast<LPARAM>(L"ABCDEFGHIJKLMNOPQRST"));
  SendMessageW(second, mel::kCgSetHint, 0, reinterpret_cast<LPARAM>(L"ﾌｧｲﾙを開く"));
  wchar_t text[64];
  EXPECT_EQ(mel::cg_button_hint(first, text, 64), 16);
  EXPECT_EQ(std::wstring(text), L"ABCDEFGHIJKLMNOP");
  EXPECT_EQ(mel::cg_button_hint(second, text, 64), 7);
  EXPECT_EQ(std::wstring(text), L"ﾌｧｲﾙを開く");
  EXPECT_EQ(mel::cg_button_hint(first, text, 4), 3);  // cut to the caller's buffer
  EXPECT_EQ(std::wstring(text), L"ABC");
  EXPECT_EQ(mel::cg_button_hint(parent_, text, 64), 0);  // not a button
}

TEST_F(CgButton, HintAppearsBelowTheCursorAndTheNextMoveRemovesIt) {
  HWND button = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours, 40, 40);
  ASSERT_NE(button, nullptr);
  SendMessageW(button, mel::kCgSetHint, 0, reinterpret_cast<LPARAM>(L"再生"));
  ShowWindow(parent_, SW_SHOW);
  SetForegroundWindow(parent_);
  SetActiveWindow(parent_);
  UpdateWindow(parent_);
  POINT centre{20, 20};
  ClientToScreen(button, &centre);
  SetCursorPos(centre.x, centre.y);
  POINT cursor{};
  GetCursorPos(&cursor);
  if (GetActiveWindow() != parent_ || WindowFromPoint(cursor) != button) {
    GTEST_SKIP() << "the test window cannot be made active under the cursor here";
  }

  SendMessageW(button, WM_TIMER, mel::kCgHintTimer, 0);
  HWND hint = mel::cg_button_hint_window(button);
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(IsWindowVisible(hint));
  EXPECT_EQ(GetActiveWindow(), parent_);  // shown without taking the activation
  RECT where{};
  GetWindowRect(hint, &where);
  EXPECT_EQ(where.left, cursor.x);
  EXPECT_EQ(where.top, cursor.y + 20);
  wchar_t text[16];
  GetWindowTextW(hint, text, 16);
  EXPECT_EQ(std::wstring(text), L"再生");
  EXPECT_EQ(GetCapture(), button);

  // The next move (anywhere, the button holds the mouse) takes it away.
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
  EXPECT_EQ(mel::cg_button_hint_window(button), nullptr);
  EXPECT_FALSE(IsWindow(hint));
  EXPECT_NE(GetCapture(), button);

  // A hint that lost the mouse to another window goes too.
  SendMessageW(button, WM_TIMER, mel::kCgHintTimer, 0);
  hint = mel::cg_button_hint_window(button);
  ASSERT_NE(hint, nullptr);
  SetCapture(parent_);
  EXPECT_EQ(mel::cg_button_hint_window(button), nullptr);
  EXPECT_FALSE(IsWindow(hint));
  ReleaseCapture();
}

TEST_F(CgButton, DestroyingAButtonLeavesTheProgramRunning) {
  HWND first = make_button(L"BITMAP_PLAY", mel::kCgStyleFixedColours | mel::kCgStylePalette, 25, 22, 11);
  HWND second = make_button(L"BITMAP_STOP", mel::kCgStyleFixedColours, 25, 22, 12);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(DestroyWindow(first));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(IsWindow(parent_));
  // The other button is untouched.
  EXPECT_TRUE(mel::cg_button_has_bitmap(second));
  SendMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageW(second, WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(notifications().size(), 2u);
  EXPECT_EQ(notifications()[1].lparam, reinterpret_cast<LPARAM>(second));
}

}  // namespace
