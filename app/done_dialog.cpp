#include <windows.h>
#include <shellapi.h>

#include "app/app.h"
#include "app/dialogs.h"
#include "app/resource.h"
#include "lang/lang_string.h"
#include "util/path.h"
#include "util/text.h"

namespace {

// A file of the install folder, which is the working directory in setup mode.
bool InstallFile(const char *name, char *out, size_t size)
{
  DWORD len = GetCurrentDirectoryA((DWORD)size, out);
  return len > 0 && len < size && AppendBackslash(out, size) && AppendText(out, size, name);
}

void OpenDocument(const char *target)
{
  ShellExecuteA(NULL, "open", target, NULL, "", SW_SHOWNORMAL);
}

} // namespace

INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  CommonDialogProc(dialog, message, wParam, lParam, "DONEDLG", 0);
  if (message == WM_INITDIALOG)
  {
    SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)g_WindowIcon);
    SendDlgItemMessageA(dialog, IDC_THANK_YOU, WM_SETFONT, (WPARAM)g_BoldFont, FALSE);
    char folder[kPathSize];
    DWORD len = GetCurrentDirectoryA(sizeof(folder), folder);
    if (len > 0 && len < sizeof(folder))
      SetDlgItemTextA(dialog, IDC_INSTALL_FOLDER, folder);
    if (g_Silent)
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  if (message != WM_COMMAND)
    return FALSE;
  char path[kPathSize];
  switch (LOWORD(wParam))
  {
  case IDOK:
  case IDCANCEL:
    EndDialog(dialog, 1);
    break;
  case IDC_RUN_ARCHIVER:
  {
    // Quoted, so that Windows never tries "C:\Program.exe" and the archiver
    // receives its own path as one argument.
    char command[kPathSize + 2];
    if (InstallFile("Quabix.exe", path, sizeof(path)) && FormatText(command, sizeof(command), "\"%s\"", path))
      RunProgram(command);
    break;
  }
  case IDC_READ_HELP:
    WinHelpA(dialog, "quabix.hlp", HELP_FINDER, 0);
    break;
  case IDC_VIEW_LICENSE:
    if (InstallFile("license.txt", path, sizeof(path)))
      OpenDocument(path);
    break;
  case IDC_ORDER:
    if (InstallFile("order.htm", path, sizeof(path)))
      OpenDocument(path);
    break;
  case IDC_HOME_PAGE:
    OpenDocument(GetLangString(IDS_HOME_PAGE));
    break;
  }
  return TRUE;
}
