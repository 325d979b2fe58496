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

#include "app/dialogs/als_dialog.h"
#include "app/dialogs/conversion_detail_dialog.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/doti_dialog.h"
#include "app/dialogs/dxm_dialog.h"
#include "app/dialogs/key_detail.h"
#include "app/dialogs/mfi_dialog.h"
#include "app/dialogs/pana_dialog.h"
#include "app/dialogs/one_part_dialog.h"
#include "app/dialogs/mml_dialog.h"
#include "app/dialogs/smd_dialog.h"
#include "app/dialogs/track_values_dialog.h"
#include "setting/settings_editor_window.h"
#include "shell/model/command_ids.h"
#include "shell/win32/commands_dialogs.h"
#include "shell/win32/dialogs/model_dialog.h"
#include "support/score_builder.h"
#include "windows/shell/dialog_driver.h"
#include "windows/shell/main_window_fixture.h"

namespace mel {
namespace {

// The window's pixels, frame included, as a 24-bit BMP file. They are read
// from the window's own drawing surface, which holds what its controls have
// drawn even before it reaches the X server (reading the screen gave black or
// stale parts where the server had not been sent them yet).
void save_window_picture(HWND window, const std::string& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC source = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
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
  ReleaseDC(window, source);
}

// Where the dialog is saved when its picture timer fires.
std::string g_picturePath;
constexpr UINT_PTR kPictureTimer = 0x7E58;
// Time for the dialog to be shown, laid out and painted while its own modal
// loop runs.
constexpr UINT kPaintDelayMs = 700;

void CALLBACK take_picture(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  save_window_picture(dialog, g_picturePath);
  test::DialogDriver::press(dialog, IDCANCEL);
}

// The driver's handler: the picture is taken once the dialog has had time to
// paint, then the dialog is cancelled.
void picture_when_painted(HWND dialog, const std::string&) {
  SetTimer(dialog, kPictureTimer, kPaintDelayMs, take_picture);
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
      {"mmd", [&] { return std::make_unique<DotiDialog>(context); }},
      {"als", [&] { return std::make_unique<AlsDialog>(context); }},
      {"pmd_pana", [&] { return std::make_unique<PanaDialog>(context); }},
      {"chara", [&] { return std::make_unique<OnePartDialog>(kOutputChara, context); }},
      {"wam", [&] { return std::make_unique<OnePartDialog>(kOutputWam, context); }},
      {"mml", [&] { return std::make_unique<MmlDialog>(false, context); }},
      {"mml2mmf", [&] { return std::make_unique<MmlDialog>(true, context); }},
      {"smd", [&] { return std::make_unique<SmdDialog>(context); }},
  };
  for (const Picture& picture : pictures) {
    const std::string path = std::string(folder) + "/" + picture.name + ".bmp";
    g_picturePath = path;
    test::DialogDriver driver(picture_when_painted);
    std::unique_ptr<DialogModel> model = picture.make();
    EXPECT_EQ(run_model_dialog(nullptr, *model), IDCANCEL) << picture.name;
    EXPECT_EQ(driver.titles().size(), 1u) << picture.name;
  }
}

// The settings editor (setting.exe) on its first page, over an empty file.
TEST(DialogPictures, SettingsEditor) {
  const char* folder = std::getenv("MEL_DIALOG_PICTURES");
  if (!folder || !*folder) GTEST_SKIP() << "MEL_DIALOG_PICTURES is not set";
  g_picturePath = std::string(folder) + "/setting.bmp";
  test::DialogDriver driver(picture_when_painted);
  const std::filesystem::path missing = std::filesystem::temp_directory_path() / L"melvarino_picture_none.ini";
  EXPECT_EQ(run_settings_editor(nullptr, {missing, missing, {}}), IDCANCEL);
}

// The property report is modeless: it is opened over the window's song.
class DialogPicturesOfTheWindow : public test_window::MainWindowTest {};

TEST_F(DialogPicturesOfTheWindow, PropertyReport) {
  const char* folder = std::getenv("MEL_DIALOG_PICTURES");
  if (!folder || !*folder) GTEST_SKIP() << "MEL_DIALOG_PICTURES is not set";
  ShellState& state = open_window();
  open_file(state, song_);
  SendMessageW(state.hwnd, WM_COMMAND, cmd::kProperties, 0);
  HWND report = property_report_window();
  ASSERT_NE(report, nullptr);
  test_window::pump_for(kPaintDelayMs);
  save_window_picture(report, std::string(folder) + "/property_report.bmp");
  test::DialogDriver::press(report, IDOK);
}

}  // namespace
}  // namespace mel
