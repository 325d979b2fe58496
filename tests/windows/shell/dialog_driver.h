// Drives the real dialogs a test opens, the way Wine's own conformance tests
// do: a CBT hook sees each dialog as it is activated and starts a zero timer
// on it; the timer runs the test's handler inside the dialog's own modal loop,
// which sets controls through their messages and presses OK or Cancel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/win32/win_text.h"

namespace mel {
namespace test {

class DialogDriver {
 public:
  // handler(dialog, title): the dialog is shown and filled.
  using Handler = std::function<void(HWND dialog, const std::string& title)>;

  explicit DialogDriver(Handler handler) : handler_(std::move(handler)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbt_hook, nullptr, GetCurrentThreadId());
  }
  ~DialogDriver() {
    if (hook_) UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // The captions of the dialogs handled, in order (CP932).
  const std::vector<std::string>& titles() const { return titles_; }

  // Presses a button as a click does.
  static void press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  // Types into an edit box (the dialog hears EN_CHANGE).
  static void type(HWND dialog, int id, const std::string& cp932) {
    SetDlgItemTextW(dialog, id, widen(cp932).c_str());
  }
  static std::string text(HWND dialog, int id) {
    wchar_t buffer[1024] = {};
    GetDlgItemTextW(dialog, id, buffer, 1024);
    return narrow(buffer);
  }

 private:
  static constexpr UINT_PTR kTimer = 0x7E57;
  static constexpr const wchar_t* kDrivenProperty = L"MelDialogDriven";

  static bool is_dialog(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770";
  }
  static LRESULT CALLBACK cbt_hook(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    // A dialog is activated again when a dialog it opened closes; it is
    // handed to the handler once.
    if (code == HCBT_ACTIVATE && current_ && is_dialog(window) && !GetPropW(window, kDrivenProperty)) {
      SetPropW(window, kDrivenProperty, reinterpret_cast<HANDLE>(1));
      SetTimer(window, kTimer, 0, on_timer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static void CALLBACK on_timer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    if (!current_) return;
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    current_->titles_.push_back(narrow(title));
    current_->handler_(window, narrow(title));
  }

  Handler handler_;
  HHOOK hook_ = nullptr;
  std::vector<std::string> titles_;
  static inline DialogDriver* current_ = nullptr;
};

}  // namespace test
}  // namespace mel
