// Resource ids of the settings editor, shared by its resource script and its
// window code.
#pragma once

#define IDD_SETTINGS_EDITOR 900  // "MELVARINO 設定"
#define IDC_SETTINGS_TABS 901
#define IDC_SETTINGS_APPLY 902
