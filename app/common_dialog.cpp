#include "app/dialogs.h"

#include "app/resource.h"
#include "lang/lang_string.h"

void CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, const char *name, UINT helpTopic)
{
  // WM_SETFONT comes while the dialog is made, before its controls: mirrored
  // then, they are created mirrored too.
  if (message == WM_SETFONT)
    ApplyReadingDirection(dialog);
  else if (message == WM_INITDIALOG)
    TranslateDialog(name, dialog);
  bool help = message == WM_HELP || (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP_BUTTON);
  if (help && helpTopic != 0)
    WinHelpA(dialog, "quabix.hlp", HELP_CONTEXT, helpTopic);
}
