#include <windows.h>

#include "app/dialogs.h"
#include "app/resource.h"
#include "registry/registry.h"

namespace {

const char kMenuItemsKey[] = "Setup\\MenuItems";

struct MenuItem
{
  const char *Value;
  DWORD Default;
};

// Controls 101 to 111, in this order.
const MenuItem kMenuItems[] = {
  {"ExtrTo", 1},   {"ExtrHere", 1}, {"Extr", 1},     {"ExtrSep", 1}, {"OpenSFX", 1}, {"AddTo", 1},
  {"AddArc", 1},   {"EmailArc", 1}, {"EmailOpt", 1}, {"Test", 0},    {"Convert", 0},
};
const int kMenuItemCount = sizeof(kMenuItems) / sizeof(kMenuItems[0]);

} // namespace

INT_PTR CALLBACK ContextItemsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  CommonDialogProc(dialog, message, wParam, lParam, "CONTEXTITEMS", kContextItemsHelpTopic);
  switch (message)
  {
  case WM_HELP:
    return TRUE; // not passed on to the Setup dialog, which has a topic of its own
  case WM_INITDIALOG:
    for (int i = 0; i < kMenuItemCount; i++)
    {
      // Any value other than 0 shows as checked; this program writes 0 and 1.
      DWORD on = GetAppDword(kMenuItemsKey, kMenuItems[i].Value, kMenuItems[i].Default);
      CheckDlgButton(dialog, IDC_FIRST_MENU_ITEM + i, on ? BST_CHECKED : BST_UNCHECKED);
    }
    return TRUE;
  case WM_COMMAND:
    if (LOWORD(wParam) == IDOK)
    {
      for (int i = 0; i < kMenuItemCount; i++)
        SetAppDword(kMenuItemsKey, kMenuItems[i].Value,
                    IsDlgButtonChecked(dialog, IDC_FIRST_MENU_ITEM + i) == BST_CHECKED ? 1 : 0);
      EndDialog(dialog, 1);
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL)
    {
      EndDialog(dialog, 0);
      return TRUE;
    }
    return FALSE;
  }
  return FALSE;
}
