#include "app/dialogs.h"

#include "app/resource.h"
#include "lang/lang_string.h"

void CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, const char *name, UINT helpTopic)
{
  switch (message)
  {
  case WM_SETFONT:
    // Sent while the dialog is created, before its controls: mirrored from
    // the start, they are mirrored too.
    ApplyReadingDirection(dialog);
    break;
  case WM_INITDIALOG:
    TranslateDialog(name, dialog);
    break;
  case WM_COMMAND:
    if (LOWORD(wParam) == IDC_HELP_BUTTON && helpTopic != 0)
      WinHelpA(dialog, "quabix.hlp", HELP_CONTEXT, helpTopic);
    break;
  case WM_HELP:
    if (helpTopic != 0)
      WinHelpA(dialog, "quabix.hlp", HELP_CONTEXT, helpTopic);
    break;
  }
}
