// langdialog: shows a dialog translated, the way every dialog of the tool
// is: ApplyReadingDirection on WM_SETFONT, TranslateDialog on WM_INITDIALOG.
// Like uninstall.exe it loads "qbxlng.dll" and "uninstall.lng" from its own
// folder, and the dialog from the resource module. Its own resources are the
// test dialog "LANGTEST" and the tool's dialogs.
//
//   langdialog show <name> [children]   the dialog, until OK or Cancel; with
//                                       a number, that many extra static
//                                       children ("Item") are created
//                                       before translating
//   langdialog fatal                    the out-of-memory stop
//
// Prints JSON lines: the dialog and its children before and after the
// translation ("phase"), with screen rectangles, styles and texts.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lang/lang_string.h"
#include "lang/language_file.h"
#include "util/path.h"
#include "util/platform.h"

ExtResource g_ExtResource;
LanguageResources g_LanguageResources;

namespace {

const char *s_dialogName = "LANGTEST";
int s_extraChildren;
LONG s_exStyleAfterSetFont = -1;

void PutJsonString(const char *s)
{
  putchar('"');
  for (const unsigned char *p = (const unsigned char *)s; *p; p++)
  {
    if (*p == '"' || *p == '\\')
      printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x7f)
      printf("\\u%04x", *p); // bytes, read back as latin-1
    else
      putchar(*p);
  }
  putchar('"');
}

void PutWindow(const char *phase, const char *kind, HWND h)
{
  char text[1024] = "", cls[256] = "";
  GetWindowTextA(h, text, sizeof(text));
  GetClassNameA(h, cls, sizeof(cls));
  RECT r;
  GetWindowRect(h, &r);
  printf("{\"phase\":\"%s\",\"kind\":\"%s\",\"id\":%d,\"class\":", phase, kind, GetDlgCtrlID(h));
  PutJsonString(cls);
  printf(",\"text\":");
  PutJsonString(text);
  printf(",\"style\":%ld,\"exstyle\":%ld,\"rect\":[%ld,%ld,%ld,%ld]", GetWindowLongA(h, GWL_STYLE),
         GetWindowLongA(h, GWL_EXSTYLE), r.left, r.top, r.right, r.bottom);
  if (strcmp(kind, "window") == 0)
  {
    RECT c;
    GetClientRect(h, &c);
    POINT origin = {0, 0};
    ClientToScreen(h, &origin);
    printf(",\"client\":[%ld,%ld],\"origin\":[%ld,%ld],\"cydlgframe\":%d,\"exstyle_at_setfont\":%ld", c.right,
           c.bottom, origin.x, origin.y, GetSystemMetrics(SM_CYDLGFRAME), s_exStyleAfterSetFont);
  }
  if (_stricmp(cls, "ComboBox") == 0)
  {
    RECT d = {0, 0, 0, 0};
    SendMessageA(h, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&d);
    printf(",\"dropped\":[%ld,%ld,%ld,%ld]", d.left, d.top, d.right, d.bottom);
  }
  printf("}\n");
}

void PutDialog(const char *phase, HWND dialog)
{
  PutWindow(phase, "window", dialog);
  HWND first = GetWindow(dialog, GW_CHILD);
  int n = 0;
  for (HWND c = first; c && n < 2000; c = GetWindow(c, GW_HWNDNEXT), n++)
  {
    PutWindow(phase, "child", c);
    if (GetWindow(c, GW_HWNDNEXT) == first)
      break;
  }
  fflush(stdout);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
  switch (message)
  {
  case WM_SETFONT:
    ApplyReadingDirection(dialog);
    s_exStyleAfterSetFont = GetWindowLongA(dialog, GWL_EXSTYLE);
    return FALSE;
  case WM_INITDIALOG:
    for (int i = 0; i < s_extraChildren; i++)
      CreateWindowExA(0, "STATIC", "Item", WS_CHILD | WS_VISIBLE, 2 + i % 40, 2 + i / 40, 5, 5, dialog,
                      (HMENU)(INT_PTR)(1000 + i), GetModuleHandleA(NULL), NULL);
    PutDialog("before", dialog);
    TranslateDialog(s_dialogName, dialog);
    PutDialog("after", dialog);
    return TRUE;
  case WM_COMMAND:
    if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
      EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

} // namespace

int main(int argc, char **argv)
{
  FillDbcsTable(g_DbcsTable);
  HINSTANCE own = GetModuleHandleA(NULL);
  LoadLanguageDll(own);
  g_LanguageResources.LoadLanguageFile("uninstall.lng");
  printf("{\"dll\":%d,\"file\":%d,\"rtl\":%d}\n", g_ExtResource.Loaded, g_LanguageResources.IsLoaded() ? 1 : 0,
         g_LanguageResources.RightToLeft() ? 1 : 0);
  fflush(stdout);
  if (argc > 1 && strcmp(argv[1], "fatal") == 0)
    FatalOutOfMemory();
  if (argc > 2 && strcmp(argv[1], "show") == 0)
  {
    s_dialogName = argv[2];
    s_extraChildren = argc > 3 ? atoi(argv[3]) : 0;
    LoadLibraryA("riched32.dll"); // the Setup dialog's explanation box
    INT_PTR result = DialogBoxParamA(GetResourceModule(), s_dialogName, NULL, DialogProc, 0);
    printf("{\"result\":%d}\n", (int)result);
    return 0;
  }
  return 2;
}
