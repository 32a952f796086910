#include "app/dialogs.h"

#include "app/resource.h"

void CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, const char *, UINT helpTopic)
{
  bool help = message == WM_HELP || (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP_BUTTON);
  if (help && helpTopic != 0)
    WinHelpA(dialog, "quabix.hlp", HELP_CONTEXT, helpTopic);
}
