#include <windows.h>
#include <richedit.h>

#include "app/app.h"
#include "app/dialogs.h"
#include "app/resource.h"
#include "integration/integration.h"
#include "integration/setup_options.h"
#include "lang/lang_string.h"

namespace {

struct OptionBox
{
  int Control;
  unsigned char SetupOptions::*Field;
};

const OptionBox kOptionBoxes[] = {
  {IDC_DESKTOP, &SetupOptions::Desktop},         {IDC_START_MENU, &SetupOptions::StartMenu},
  {IDC_PROGRAMS, &SetupOptions::Programs},       {IDC_SHELL_EXT, &SetupOptions::ShellExt},
  {IDC_CASCADED_MENU, &SetupOptions::CascadedMenu}, {IDC_MENU_ICONS, &SetupOptions::MenuIcons},
};

void ShowOptions(HWND dialog, const SetupOptions &options)
{
  for (int i = 0; i < kArchiveTypeCount; i++)
    CheckDlgButton(dialog, IDC_FIRST_TYPE + i, options.Associations[i] ? BST_CHECKED : BST_UNCHECKED);
  for (size_t i = 0; i < sizeof(kOptionBoxes) / sizeof(kOptionBoxes[0]); i++)
    CheckDlgButton(dialog, kOptionBoxes[i].Control, options.*kOptionBoxes[i].Field ? BST_CHECKED : BST_UNCHECKED);
  // The two menu choices only mean something with the shell extension.
  EnableWindow(GetDlgItem(dialog, IDC_CASCADED_MENU), options.ShellExt != 0);
  EnableWindow(GetDlgItem(dialog, IDC_MENU_ICONS), options.ShellExt != 0);
}

void ReadOptions(HWND dialog, SetupOptions &options)
{
  for (int i = 0; i < kArchiveTypeCount; i++)
    options.Associations[i] = IsDlgButtonChecked(dialog, IDC_FIRST_TYPE + i) == BST_CHECKED ? 1 : 0;
  for (size_t i = 0; i < sizeof(kOptionBoxes) / sizeof(kOptionBoxes[0]); i++)
    options.*kOptionBoxes[i].Field = IsDlgButtonChecked(dialog, kOptionBoxes[i].Control) == BST_CHECKED ? 1 : 0;
}

} // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  CommonDialogProc(dialog, message, wParam, lParam, "SETUPDLG", kSetupHelpTopic);
  if (message == WM_INITDIALOG)
  {
    SetupOptions options;
    LoadSetupOptions(options);
    ShowOptions(dialog, options);
    SetForegroundWindow(dialog);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)g_WindowIcon);
    SendDlgItemMessageA(dialog, IDC_EXPLANATION, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    if (g_Silent)
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  if (message != WM_COMMAND)
    return FALSE;
  SetupOptions options;
  switch (LOWORD(wParam))
  {
  case IDC_SHELL_EXT:
    ReadOptions(dialog, options);
    ShowOptions(dialog, options);
    break;
  case IDC_SELECT_ALL:
    for (int id = IDC_FIRST_TYPE; id <= IDC_LAST_TYPE; id++)
      CheckDlgButton(dialog, id, BST_CHECKED);
    break;
  case IDC_CONTEXT_ITEMS:
    DialogBoxParamA(GetResourceModule(), "CONTEXTITEMS", dialog, ContextItemsDialogProc, 0);
    break;
  case IDOK:
    ReadOptions(dialog, options);
    SaveAndApplySetupOptions(options, g_ProgramGroupPath, sizeof(g_ProgramGroupPath));
    EndDialog(dialog, 1);
    break;
  case IDCANCEL:
    EndDialog(dialog, 0);
    break;
  }
  return TRUE;
}
