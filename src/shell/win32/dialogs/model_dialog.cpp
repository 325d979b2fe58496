#include "shell/win32/dialogs/model_dialog.h"

#include <string>

#include "shell/win32/win_text.h"

namespace mel {

namespace {

constexpr COLORREF kWarningText = RGB(192, 0, 0);
constexpr COLORREF kWarningBackground = RGB(192, 192, 192);
constexpr int kTextCapacity = 1024;

// The window side of one open dialog: the model and the one brush the
// warning labels are drawn on.
struct OpenDialog {
  DialogModel& model;
  const ModelDialogHooks* hooks;
  HBRUSH warningBrush = nullptr;
  bool showing = false;  // notifications caused by show() are not the user's
};

OpenDialog* open_dialog(HWND dialog) { return reinterpret_cast<OpenDialog*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

std::string control_text(HWND dialog, int id) {
  wchar_t text[kTextCapacity] = {};
  GetDlgItemTextW(dialog, id, text, kTextCapacity);
  return narrow(text);
}

const ControlBinding* binding_of(const DialogModel& model, int id) {
  for (const ControlBinding& binding : model.controls()) {
    if (binding.id == id) return &binding;
  }
  return nullptr;
}

const ControlBinding* binding_of_spin(const DialogModel& model, int spinId) {
  for (const ControlBinding& binding : model.controls()) {
    if (binding.spinId != 0 && binding.spinId == spinId) return &binding;
  }
  return nullptr;
}

// The controls' contents into the model.
void read_controls(HWND dialog, DialogModel& model) {
  for (const ControlBinding& binding : model.controls()) {
    switch (binding.kind) {
      case ControlKind::Number:
      case ControlKind::Text:
      case ControlKind::ChoiceText: model.set_text(binding.id, control_text(dialog, binding.id)); break;
      case ControlKind::Check: model.set_state(binding.id, IsDlgButtonChecked(dialog, binding.id) == BST_CHECKED); break;
      case ControlKind::Choice:
        model.set_state(binding.id, static_cast<int>(SendDlgItemMessageW(dialog, binding.id, CB_GETCURSEL, 0, 0)));
        break;
      case ControlKind::Slider:
        model.set_state(binding.id, GetScrollPos(GetDlgItem(dialog, binding.id), SB_CTL));
        break;
      case ControlKind::List:
        model.set_state(binding.id, static_cast<int>(SendDlgItemMessageW(dialog, binding.id, LB_GETCURSEL, 0, 0)));
        break;
      case ControlKind::Label: break;
    }
  }
}

void enable(HWND dialog, int id, bool enabled) {
  if (HWND control = GetDlgItem(dialog, id)) EnableWindow(control, enabled);
}

// The model's values into the controls; editsToo is false while the user
// types, so that the box being typed in is not rewritten.
void show_model(HWND dialog, OpenDialog& open, bool editsToo) {
  DialogModel& model = open.model;
  open.showing = true;
  SetWindowTextW(dialog, widen(model.title()).c_str());
  for (const ControlBinding& binding : model.controls()) {
    switch (binding.kind) {
      case ControlKind::Number:
      case ControlKind::Text:
      case ControlKind::ChoiceText:
        if (editsToo) SetDlgItemTextW(dialog, binding.id, widen(model.text(binding.id)).c_str());
        break;
      case ControlKind::Label: SetDlgItemTextW(dialog, binding.id, widen(model.text(binding.id)).c_str()); break;
      case ControlKind::Check:
        CheckDlgButton(dialog, binding.id, model.state(binding.id) ? BST_CHECKED : BST_UNCHECKED);
        break;
      case ControlKind::Choice:
        SendDlgItemMessageW(dialog, binding.id, CB_SETCURSEL, static_cast<WPARAM>(model.state(binding.id)), 0);
        break;
      case ControlKind::Slider: SetScrollPos(GetDlgItem(dialog, binding.id), SB_CTL, model.state(binding.id), TRUE); break;
      case ControlKind::List:
        SendDlgItemMessageW(dialog, binding.id, LB_SETCURSEL, static_cast<WPARAM>(model.state(binding.id)), 0);
        break;
    }
    enable(dialog, binding.id, model.enabled(binding.id));
    if (binding.spinId != 0) enable(dialog, binding.spinId, model.enabled(binding.id));
  }
  open.showing = false;
}

void fill_choices(HWND dialog, const DialogModel& model) {
  for (const ControlBinding& binding : model.controls()) {
    if (binding.kind == ControlKind::Choice || binding.kind == ControlKind::ChoiceText || binding.kind == ControlKind::List) {
      const bool list = binding.kind == ControlKind::List;
      SendDlgItemMessageW(dialog, binding.id, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
      for (const std::string& choice : model.choices(binding.id)) {
        const std::wstring text = widen(choice);
        SendDlgItemMessageW(dialog, binding.id, list ? LB_ADDSTRING : CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(text.c_str()));
      }
    } else if (binding.kind == ControlKind::Slider) {
      const auto [low, high] = model.slider_range(binding.id);
      SetScrollRange(GetDlgItem(dialog, binding.id), SB_CTL, low, high, FALSE);
    }
  }
}

void run_command(HWND dialog, OpenDialog& open, int id) {
  read_controls(dialog, open.model);
  DialogAction action = open.model.command(id);
  if (!action.message.empty()) {
    MessageBoxW(dialog, widen(action.message).c_str(), widen(action.caption).c_str(), MB_OK);
  }
  if (action.child) run_model_dialog(dialog, *action.child, open.hooks);
  if (action.refresh) show_model(dialog, open, true);
}

void on_command(HWND dialog, OpenDialog& open, int id, int code) {
  if (id == IDOK) {
    read_controls(dialog, open.model);
    open.model.ok();
    EndDialog(dialog, IDOK);
    return;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return;
  }
  if (open.showing) return;
  const ControlBinding* binding = binding_of(open.model, id);
  if (!binding) {
    if (code == BN_CLICKED) run_command(dialog, open, id);
    return;
  }
  if (binding->kind == ControlKind::List) {
    if (code == LBN_SELCHANGE) read_controls(dialog, open.model);
    if (code == LBN_DBLCLK) run_command(dialog, open, id);
    return;
  }
  if (binding->kind == ControlKind::ChoiceText && (code == CBN_SETFOCUS || code == CBN_EDITCHANGE)) {
    read_controls(dialog, open.model);
    open.model.focused(id);
    show_model(dialog, open, false);
    return;
  }
  // A choice or a check changes what else is enabled and shown; typing
  // changes the computed labels (the key range follows the key).
  const bool changed = code == BN_CLICKED || code == CBN_SELCHANGE || code == EN_CHANGE;
  if (!changed) return;
  if (code == BN_CLICKED && binding->kind == ControlKind::Check) {
    read_controls(dialog, open.model);
    open.model.clicked(id, (GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
    show_model(dialog, open, false);
    return;
  }
  if (code == CBN_SELCHANGE && binding->kind == ControlKind::ChoiceText) {
    // The edit part is updated after this notification; take the entry itself.
    const LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    const std::vector<std::string> choices = open.model.choices(id);
    read_controls(dialog, open.model);
    if (index >= 0 && static_cast<std::size_t>(index) < choices.size()) open.model.set_text(id, choices[index]);
  } else {
    read_controls(dialog, open.model);
  }
  show_model(dialog, open, false);
}

void on_scroll(HWND dialog, OpenDialog& open, HWND bar, int code, bool horizontal) {
  const int barId = GetDlgCtrlID(bar);
  read_controls(dialog, open.model);
  if (horizontal) {
    const ControlBinding* binding = binding_of(open.model, barId);
    if (!binding || binding->kind != ControlKind::Slider) return;
    int position = open.model.state(barId);
    if (code == SB_LINELEFT || code == SB_PAGELEFT) --position;
    if (code == SB_LINERIGHT || code == SB_PAGERIGHT) ++position;
    if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(bar, SB_CTL, &info);
      position = info.nTrackPos;
    }
    open.model.set_state(barId, position);
  } else {
    const ControlBinding* binding = binding_of_spin(open.model, barId);
    if (!binding || (code != SB_LINEUP && code != SB_LINEDOWN)) return;
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    open.model.spin(binding->id, code == SB_LINEUP ? 1 : -1, ctrl);
  }
  show_model(dialog, open, true);
}

INT_PTR CALLBACK model_dialog_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    OpenDialog& open = *reinterpret_cast<OpenDialog*>(lParam);
    fill_choices(dialog, open.model);
    show_model(dialog, open, true);
    if (open.hooks && open.hooks->opened) open.hooks->opened(dialog, open.model);
    return TRUE;
  }
  OpenDialog* open = open_dialog(dialog);
  if (!open) return FALSE;
  switch (message) {
    case WM_COMMAND: on_command(dialog, *open, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (lParam != 0) on_scroll(dialog, *open, reinterpret_cast<HWND>(lParam), LOWORD(wParam), message == WM_HSCROLL);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (!open->model.warns(id)) return FALSE;
      if (!open->warningBrush) open->warningBrush = CreateSolidBrush(kWarningBackground);
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kWarningText);
      SetBkColor(dc, kWarningBackground);
      return reinterpret_cast<INT_PTR>(open->warningBrush);
    }
    default: return FALSE;
  }
}

}  // namespace

INT_PTR run_model_dialog(HWND owner, DialogModel& model, const ModelDialogHooks* hooks) {
  OpenDialog open{model, hooks};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(model.template_id()), owner,
                                         model_dialog_proc, reinterpret_cast<LPARAM>(&open));
  if (open.warningBrush) DeleteObject(open.warningBrush);
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace mel
