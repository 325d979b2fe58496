// Pictures of every dialog, for scripts/dialog_screenshots.sh: with
// MEL_DIALOG_PICTURES naming a folder, each dialog is opened for real over a
// small song, drawn, copied from the screen into "<folder>/<name>.bmp" and
// cancelled. Without the variable the test is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/conversion_detail_dialog.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dxm_dialog.h"
#include "app/dialogs/key_detail.h"
#include "app/dialogs/mfi_dialog.h"
#include "app/dialogs/mml_dialog.h"
#include "app/dialogs/smd_dialog.h"
#include "app/dialogs/track_values_dialog.h"
#include "shell/win32/dialogs/model_dialog.h"
#include "support/score_builder.h"
#include "windows/shell/dialog_driver.h"

namespace mel {
namespace {

// The window's pixels as they are on the screen, as a 24-bit BMP file.
// (WM_PRINT would not depend on the screen, but Wine's dialogs do not print
// their controls that way.)
void save_window_picture(HWND window, const std::string& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

bool screen_is_black_at(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour == RGB(0, 0, 0);
}

TEST(DialogPictures, EveryDialog) {
  const char* folder = std::getenv("MEL_DIALOG_PICTURES");
  if (!folder || !*folder) GTEST_SKIP() << "MEL_DIALOG_PICTURES is not set";
  test::ScoreBuilder b(96, 48);
  b.title("さくら さくら");
  b.track().program(24).note(40, 48).note(74, 96).rest(48).note(60, 48);
  b.track().note(52, 192).note(55, 24);
  b.track(3).rhythm().note(36, 48).note(38, 48);
  Settings settings;
  settings.writers.mldLayout = 3;
  const FormatDialogContext context{b.song(), settings, 8, 40};
  const std::vector<TrackValueEntry> instruments = {{"ピアノ", 0}, {"ギター", 24}, {"フルート", 73}};
  const std::vector<TrackValueEntry> volumes = {{"特大(127)", 127}, {"中(100)", 100}};

  struct Picture {
    std::string name;
    std::function<std::unique_ptr<DialogModel>()> make;
  };
  const std::vector<Picture> pictures = {
      {"mld", [&] { return std::make_unique<MfiDialog>(false, context); }},
      {"pmd", [&] { return std::make_unique<MfiDialog>(true, context); }},
      {"dxm", [&] { return std::make_unique<DxmDialog>(false, context); }},
      {"dxm_direct", [&] { return std::make_unique<DxmDialog>(true, context); }},
      {"key_detail",
       [&] {
         return std::make_unique<KeyDetailDialog>(b.song(), std::vector<KeyRow>{{1, false}, {2, false}, {3, true}}, 36,
                                                  45, 107, settings.conv.octaveShift);
       }},
      {"instruments",
       [&] {
         return std::make_unique<TrackValuesDialog>(TrackValueMode::Instrument, b.song(), settings, instruments,
                                                    std::vector<std::string>{"ピアノ", "ブライトピアノ"}, true, nullptr);
       }},
      {"volumes",
       [&] {
         return std::make_unique<TrackValuesDialog>(TrackValueMode::Volume, b.song(), settings, volumes,
                                                    std::vector<std::string>{}, true, nullptr);
       }},
      {"conversion_detail", [&] { return std::make_unique<ConversionDetailDialog>(settings.conv); }},
      {"mml", [&] { return std::make_unique<MmlDialog>(false, context); }},
      {"mml2mmf", [&] { return std::make_unique<MmlDialog>(true, context); }},
      {"smd", [&] { return std::make_unique<SmdDialog>(context); }},
  };
  for (const Picture& picture : pictures) {
    const std::string path = std::string(folder) + "/" + picture.name + ".bmp";
    test::DialogDriver driver([&path](HWND dialog, const std::string&) {
      // Let the dialog be mapped and painted before its pixels are read: the
      // screen shows black where the X server has not drawn it yet.
      RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      RECT rect{};
      GetWindowRect(dialog, &rect);
      for (int i = 0; i < 500 && screen_is_black_at((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2); ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
        Sleep(10);
      }
      save_window_picture(dialog, path);
      test::DialogDriver::press(dialog, IDCANCEL);
    });
    std::unique_ptr<DialogModel> model = picture.make();
    EXPECT_EQ(run_model_dialog(nullptr, *model), IDCANCEL) << picture.name;
    EXPECT_EQ(driver.titles().size(), 1u) << picture.name;
  }
}

}  // namespace
}  // namespace mel
