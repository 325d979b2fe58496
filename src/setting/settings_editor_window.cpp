#include "setting/settings_editor_window.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_editor_model.h"
#include "setting/setting_ids.h"
#include "shell/win32/win_text.h"

namespace mel {

namespace {

constexpr char kEditorCaption[] = "MELVARINO 設定";

// Each row has three controls: the edit or check box, its label and its range.
constexpr int kFirstRowId = 2000;
constexpr int kIdsPerRow = 3;
constexpr int kLabelOffset = 1;
constexpr int kRangeOffset = 2;

// The rows of a page fill two columns, left to right, top to bottom.
constexpr int kColumns = 2;

// Sizes in dialog units, turned into pixels with the dialog's font.
constexpr int kMargin = 7;
constexpr int kPagePadding = 6;
constexpr int kRowHeight = 16;
constexpr int kControlHeight = 12;
constexpr int kLabelTop = 2;
constexpr int kGap = 4;
constexpr int kColumnGap = 14;
constexpr int kNumberWidth = 40;
constexpr int kTextWidth = 140;
constexpr int kCheckBoxExtra = 16;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
constexpr int kTextCapacity = 1024;

struct Layout {
  int margin, padding, rowHeight, controlHeight, labelTop, gap, columnGap;
  int numberWidth, textWidth, checkExtra, buttonWidth, buttonHeight, buttonGap;
};

// One column of a page: the widths its rows line up on.
struct Column {
  int label = 0;
  int control = 0;
  int range = 0;
  int check = 0;
  int width(const Layout& l) const {
    const int boxed = label + (label ? l.gap : 0) + control + (range ? l.gap + range : 0);
    return std::max(boxed, check);
  }
};

struct PageLayout {
  Column columns[kColumns];
  int width = 0;
  int height = 0;
};

struct EditorWindow {
  SettingsEditorModel model;
  std::filesystem::path writeTo;
  std::function<void()> saved;
  std::vector<std::size_t> firstRows;  // the first row of each page
  std::vector<HWND> pages;             // the window holding each page's rows
  int page = 0;
};

EditorWindow* editor_of(HWND dialog) { return reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

Layout pixel_layout(HWND dialog) {
  auto x = [dialog](int units) {
    RECT r{0, 0, units, 0};
    MapDialogRect(dialog, &r);
    return static_cast<int>(r.right);
  };
  auto y = [dialog](int units) {
    RECT r{0, 0, 0, units};
    MapDialogRect(dialog, &r);
    return static_cast<int>(r.bottom);
  };
  return {x(kMargin),       x(kPagePadding), y(kRowHeight),     y(kControlHeight), y(kLabelTop),
          x(kGap),          x(kColumnGap),   x(kNumberWidth),   x(kTextWidth),     x(kCheckBoxExtra),
          x(kButtonWidth),  y(kButtonHeight), x(kButtonGap)};
}

int text_width(HDC dc, const std::string& text) {
  const std::wstring wide = widen(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

PageLayout measure_page(HDC dc, const EditorPage& page, const Layout& l) {
  PageLayout result;
  for (std::size_t i = 0; i < page.rows.size(); ++i) {
    const EditorRow& row = page.rows[i];
    Column& column = result.columns[i % kColumns];
    if (row.kind == EditorRowKind::Check) {
      column.check = std::max(column.check, text_width(dc, row.label) + l.checkExtra);
      continue;
    }
    column.label = std::max(column.label, text_width(dc, row.label));
    column.control = std::max(column.control, row.kind == EditorRowKind::Text ? l.textWidth : l.numberWidth);
    column.range = std::max(column.range, text_width(dc, editor_range_text(row)));
  }
  for (const Column& column : result.columns) result.width += column.width(l);
  result.width += l.columnGap * (kColumns - 1);
  const int lines = static_cast<int>((page.rows.size() + kColumns - 1) / kColumns);
  result.height = lines * l.rowHeight;
  return result;
}

HWND make_control(HWND parent, HFONT font, const wchar_t* kind, const std::string& text, DWORD style, DWORD exStyle,
                  int id, int x, int y, int width, int height) {
  HWND control = CreateWindowExW(exStyle, kind, widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                 parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// The controls of one page, placed from (left, top) of its window.
void make_page_controls(HWND page, HFONT font, const std::vector<EditorRow>& rows, const PageLayout& layout,
                        std::size_t firstRow,
                        int left, int top, const Layout& l) {
  int columnLeft[kColumns] = {left};
  for (int c = 1; c < kColumns; ++c) columnLeft[c] = columnLeft[c - 1] + layout.columns[c - 1].width(l) + l.columnGap;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const EditorRow& row = rows[i];
    const Column& column = layout.columns[i % kColumns];
    const int x = columnLeft[i % kColumns];
    const int y = top + static_cast<int>(i / kColumns) * l.rowHeight;
    const int id = settings_editor_control_id(firstRow + i);
    if (row.kind == EditorRowKind::Check) {
      make_control(page, font, L"BUTTON", row.label, BS_AUTOCHECKBOX | WS_TABSTOP, 0, id, x, y, column.check,
                   l.controlHeight);
      continue;
    }
    make_control(page, font, L"STATIC", row.label, SS_LEFT, 0, id + kLabelOffset, x, y + l.labelTop, column.label,
                 l.controlHeight);
    const int boxLeft = x + column.label + l.gap;
    const int boxWidth = row.kind == EditorRowKind::Text ? l.textWidth : l.numberWidth;
    make_control(page, font, L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, id, boxLeft, y, boxWidth,
                 l.controlHeight);
    make_control(page, font, L"STATIC", editor_range_text(row), SS_LEFT, 0, id + kRangeOffset,
                 boxLeft + boxWidth + l.gap, y + l.labelTop, column.range, l.controlHeight);
  }
}

INT_PTR CALLBACK page_proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A page is a child dialog over the tab control's display area, so that the
// tab key walks into its rows and the themed tab texture is drawn behind them.
HWND make_page_window(HWND dialog, const RECT& area) {
  struct EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
  };
  // The header's five numbers are two-byte words right after its two double words.
  static_assert(sizeof(DLGTEMPLATE) == 18 && offsetof(EmptyTemplate, menu) == 18, "a packed dialog template");
  alignas(4) static const EmptyTemplate kTemplate{{WS_CHILD | DS_CONTROL, WS_EX_CONTROLPARENT, 0, 0, 0, 0, 0}, 0, 0, 0};
  HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &kTemplate.header, dialog, page_proc, 0);
  EnableThemeDialogTexture(page, ETDT_ENABLETAB);
  SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
  return page;
}

void move(HWND control, int x, int y, int width, int height) {
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Builds the tabs and every row, and sizes the window to the largest page.
void build_window(HWND dialog, EditorWindow& editor) {
  const Layout l = pixel_layout(dialog);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  HWND tabs = GetDlgItem(dialog, IDC_SETTINGS_TABS);
  const std::vector<EditorPage>& pages = settings_editor_pages();

  HDC dc = GetDC(dialog);
  HGDIOBJ oldFont = SelectObject(dc, font);
  std::vector<PageLayout> layouts;
  int width = 0, height = 0;
  for (const EditorPage& page : pages) {
    layouts.push_back(measure_page(dc, page, l));
    width = std::max(width, layouts.back().width);
    height = std::max(height, layouts.back().height);
  }
  SelectObject(dc, oldFont);
  ReleaseDC(dialog, dc);

  for (std::size_t p = 0; p < pages.size(); ++p) {
    std::wstring title = widen(pages[p].title);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(tabs, TCM_INSERTITEMW, p, reinterpret_cast<LPARAM>(&item));
  }
  // The tab control's size around a display area that holds every page.
  RECT tabRect{0, 0, width + 2 * l.padding, height + 2 * l.padding};
  SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
  OffsetRect(&tabRect, l.margin - tabRect.left, l.margin - tabRect.top);
  move(tabs, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top);
  RECT display = tabRect;
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));

  std::size_t firstRow = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    editor.firstRows.push_back(firstRow);
    editor.pages.push_back(make_page_window(dialog, display));
    make_page_controls(editor.pages.back(), font, pages[p].rows, layouts[p], firstRow, l.padding, l.padding, l);
    firstRow += pages[p].rows.size();
  }

  const int buttonTop = tabRect.bottom + l.margin;
  int buttonLeft = tabRect.right;
  for (int id : {IDC_SETTINGS_APPLY, IDCANCEL, IDOK}) {
    buttonLeft -= l.buttonWidth;
    move(GetDlgItem(dialog, id), buttonLeft, buttonTop, l.buttonWidth, l.buttonHeight);
    buttonLeft -= l.buttonGap;
  }
  RECT frame{0, 0, tabRect.right + l.margin, buttonTop + l.buttonHeight + l.margin};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void show_page(HWND dialog, EditorWindow& editor, int page) {
  editor.page = page;
  SendDlgItemMessageW(dialog, IDC_SETTINGS_TABS, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  for (std::size_t p = 0; p < editor.pages.size(); ++p) {
    ShowWindow(editor.pages[p], static_cast<int>(p) == page ? SW_SHOW : SW_HIDE);
  }
}

int page_of_row(const EditorWindow& editor, std::size_t row) {
  int page = 0;
  for (std::size_t p = 0; p < editor.firstRows.size(); ++p) {
    if (editor.firstRows[p] <= row) page = static_cast<int>(p);
  }
  return page;
}

// The page window that holds a row's controls.
HWND page_of(const EditorWindow& editor, std::size_t row) { return editor.pages[page_of_row(editor, row)]; }

void show_values(const EditorWindow& editor) {
  for (std::size_t row = 0; row < editor.model.row_count(); ++row) {
    HWND page = page_of(editor, row);
    const int id = settings_editor_control_id(row);
    if (editor.model.row(row).kind == EditorRowKind::Check) {
      CheckDlgButton(page, id, editor.model.text(row) == "1" ? BST_CHECKED : BST_UNCHECKED);
    } else {
      SetDlgItemTextW(page, id, widen(editor.model.text(row)).c_str());
    }
  }
}

void read_values(EditorWindow& editor) {
  for (std::size_t row = 0; row < editor.model.row_count(); ++row) {
    HWND page = page_of(editor, row);
    const int id = settings_editor_control_id(row);
    if (editor.model.row(row).kind == EditorRowKind::Check) {
      editor.model.set_text(row, IsDlgButtonChecked(page, id) == BST_CHECKED ? "1" : "0");
    } else {
      wchar_t text[kTextCapacity] = {};
      GetDlgItemTextW(page, id, text, kTextCapacity);
      editor.model.set_text(row, narrow(text));
    }
  }
}

void warn(HWND dialog, const std::string& text) {
  MessageBoxW(dialog, widen(text).c_str(), widen(kEditorCaption).c_str(), MB_OK | MB_ICONWARNING);
}

// OK and 適用: false when a value was refused or the file could not be
// written (the user has been told). Nothing changed: nothing is written.
bool save(HWND dialog, EditorWindow& editor) {
  read_values(editor);
  const bool changed = editor.model.changed();
  std::optional<SettingsEditorModel::Refusal> refused;
  if (editor.model.save(editor.writeTo, refused)) {
    show_values(editor);
    if (changed && editor.saved) editor.saved();
    return true;
  }
  if (!refused) {
    warn(dialog, "設定を保存できませんでした。\n" + path_to_cp932(editor.writeTo));
    return false;
  }
  // The refused box is shown, its text selected, before the message.
  show_page(dialog, editor, page_of_row(editor, refused->row));
  HWND box = GetDlgItem(page_of(editor, refused->row), settings_editor_control_id(refused->row));
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
  warn(dialog, refused->message);
  return false;
}

INT_PTR CALLBACK editor_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    EditorWindow& editor = *reinterpret_cast<EditorWindow*>(lParam);
    build_window(dialog, editor);
    show_values(editor);
    show_page(dialog, editor, 0);
    return TRUE;
  }
  EditorWindow* editor = editor_of(dialog);
  if (!editor) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (save(dialog, *editor)) EndDialog(dialog, IDOK);
          return TRUE;
        case IDC_SETTINGS_APPLY: save(dialog, *editor); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
      }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_SETTINGS_TABS && header->code == TCN_SELCHANGE) {
        show_page(dialog, *editor, static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return TRUE;
      }
      return FALSE;
    }
    default: return FALSE;
  }
}

}  // namespace

int settings_editor_control_id(std::size_t row) { return kFirstRowId + static_cast<int>(row) * kIdsPerRow; }

INT_PTR run_settings_editor(HWND owner, const SettingsLocation& location, std::function<void()> saved) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  EditorWindow editor{SettingsEditorModel(IniProfile::from_file(location.readFrom), GetVersion()), location.writeTo,
                      std::move(saved), {}, {}, 0};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS_EDITOR), owner,
                                         editor_proc, reinterpret_cast<LPARAM>(&editor));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace mel
