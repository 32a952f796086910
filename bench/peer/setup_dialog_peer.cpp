// The start-up peer that shows the same dialog as uninstall.exe /setup: the
// Setup dialog's template, the same common-controls manifest and the
// rich-edit library its explanation control needs, and nothing else. What
// uninstall.exe takes longer is its own start-up work.
#include <windows.h>

namespace {
INT_PTR CALLBACK PeerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
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
  HMODULE richEdit = LoadLibraryA("riched32.dll");
  INT_PTR result = DialogBoxParamA(instance, "SETUPDLG", NULL, PeerProc, 0);
  if (richEdit)
    FreeLibrary(richEdit);
  return (int)result;
}
