// Runs a dialog template over its portable model: the controls are filled
// from the model's control table, every edit, choice, check, spin and scroll
// goes back into the model, and OK hands the controls' contents to the
// model's OK. One dialog procedure serves every dialog.
#pragma once

#include <windows.h>

#include <functional>

#include "app/dialogs/dialog_model.h"

namespace mel {

// Lets a caller see each dialog as it opens (the window's tests drive the
// real dialog from here).
struct ModelDialogHooks {
  std::function<void(HWND dialog, DialogModel& model)> opened;
};

// Modal; IDOK after the model's OK stored its values, else IDCANCEL.
INT_PTR run_model_dialog(HWND owner, DialogModel& model, const ModelDialogHooks* hooks = nullptr);

}  // namespace mel
