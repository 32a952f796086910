// The start-up peer: the least a program can do to show one dialog from a
// resource. Its dialog closes with OK or Cancel.
#include <windows.h>

namespace {
INT_PTR CALLBACK MinimalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
  {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return message == WM_INITDIALOG;
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
  return (int)DialogBoxParamA(instance, "MINIMAL", NULL, MinimalProc, 0);
}
