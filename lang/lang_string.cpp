#include "lang/lang_string.h"

#include <string.h>

#include "app/resource.h"
#include "lang/language_file.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

#ifndef WS_EX_LAYOUTRTL
#define WS_EX_LAYOUTRTL 0x00400000L
#endif

namespace {
HINSTANCE s_ownModule;
HINSTANCE s_resourceModule;

const int kStringBuffers = 8;
char s_strings[kStringBuffers][kStringTextSize];
int s_stringIndex;

const int kMaxTranslatedChildren = 512;
const char kLanguageDll[] = "qbxlng.dll";

bool LanguageDllPath(char *path, size_t size, const char *folder)
{
  if (folder)
    return CopyText(path, size, folder) && AppendBackslash(path, size) && AppendText(path, size, kLanguageDll);
  return GetModulePath(path, size) && ReplaceFileName(path, size, kLanguageDll);
}

// Replaces a window's text by its translation; an empty text, or one
// without translation, is left as it is (also a text too long to read whole).
void TranslateWindowText(HWND window, const char *dialogName)
{
  char text[kWindowTextSize];
  text[0] = 0;
  GetWindowTextA(window, text, sizeof(text));
  if (text[0] && g_LanguageResources.LookupText(text, sizeof(text), text, dialogName, '$'))
    SetWindowTextA(window, text);
}
} // namespace

ExtResource::~ExtResource() { FreeLanguageDll(); }

void LoadLanguageDll(HINSTANCE ownModule, const char *folder)
{
  FreeLanguageDll();
  s_ownModule = ownModule;
  s_resourceModule = ownModule;
  char path[kPathSize];
  if (!LanguageDllPath(path, sizeof(path), folder))
    return;
  HMODULE dll = LoadLibraryA(path);
  if (dll)
  {
    s_resourceModule = dll;
    g_ExtResource.Loaded = 1;
  }
}

void FreeLanguageDll()
{
  if (!g_ExtResource.Loaded)
    return;
  FreeLibrary(s_resourceModule);
  s_resourceModule = s_ownModule;
  g_ExtResource.Loaded = 0;
}

HINSTANCE GetResourceModule() { return s_resourceModule ? s_resourceModule : GetModuleHandleA(NULL); }

HINSTANCE GetOwnModule() { return s_ownModule ? s_ownModule : GetModuleHandleA(NULL); }

char *GetLangString(UINT id)
{
  s_stringIndex = (s_stringIndex + 1) % kStringBuffers;
  char *text = s_strings[s_stringIndex];
  memset(text, 0, kStringTextSize);
  if (g_LanguageResources.IsLoaded())
    LoadStringA(GetOwnModule(), id, text, kStringTextSize);
  else if (LoadStringA(GetResourceModule(), id, text, kStringTextSize) <= 0)
    LoadStringA(GetOwnModule(), id, text, kStringTextSize);
  g_LanguageResources.LookupText(text, kStringTextSize, text, NULL, 's');
  return text;
}

bool GetDialogScale(const char *dialogName, int &xs, int &ys)
{
  char entry[kStringTextSize];
  g_LanguageResources.LookupText(entry, sizeof(entry), "", dialogName, '$');
  return ParseDialogScale(entry, xs, ys);
}

void TranslateDialog(const char *dialogName, HWND dialog)
{
  int xs, ys;
  bool scale = GetDialogScale(dialogName, xs, ys);
  RECT w, c;
  GetWindowRect(dialog, &w);
  GetClientRect(dialog, &c);
  // Frame and caption; the extra pixel makes dx / 2 the width of one side.
  int dx = (w.right - w.left + 1) - c.right;
  int dy = (w.bottom - w.top + 1) - c.bottom;
  if (scale)
  {
    SetWindowPos(dialog, NULL, 0, 0, c.right * xs / 100 + dx, c.bottom * ys / 100 + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
    // Left and top stay; a mirrored dialog's children moved with its right
    // edge, which is where their offsets are measured from.
    GetWindowRect(dialog, &w);
  }
  TranslateWindowText(dialog, dialogName);
  dy -= GetSystemMetrics(SM_CYDLGFRAME);

  // A mirrored dialog places its children from the right edge of its client
  // area: their horizontal offsets are taken from the right.
  bool mirrored = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;

  HWND first = GetWindow(dialog, GW_CHILD);
  HWND child = first;
  for (int n = 0; child && n < kMaxTranslatedChildren; n++)
  {
    TranslateWindowText(child, dialogName);
    if (scale)
    {
      RECT r;
      GetWindowRect(child, &r);
      int x = ((mirrored ? w.right - r.right : r.left - w.left) - dx / 2) * xs / 100;
      int y = (r.top - w.top - dy) * ys / 100;
      int width = (r.right - r.left + 1) * xs / 100;
      int height = (r.bottom - r.top + 1) * ys / 100;
      char cls[kWindowTextSize];
      cls[0] = 0;
      GetClassNameA(child, cls, sizeof(cls));
      if (CompareTextNoCase(cls, "COMBOBOX") == 0 && (GetWindowLongA(child, GWL_STYLE) & 3) != CBS_SIMPLE)
      {
        // A drop-down combo box is sized with its list. The result is not
        // checked: Wine returns 0 (CB_OKAY) for success.
        RECT d = {0, 0, 0, 0};
        SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&d);
        if (d.bottom > d.top)
          height += (d.bottom - d.top + 1) * ys / 100;
      }
      SetWindowPos(child, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOOWNERZORDER);
    }
    child = GetWindow(child, GW_HWNDNEXT);
    if (child == first)
      break;
  }
}

void ApplyReadingDirection(HWND window)
{
  if (g_LanguageResources.RightToLeft())
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
}

void FatalOutOfMemory()
{
  // The caption comes from the resource module: the file is not loaded.
  MessageBoxA(NULL, "Not enough memory to load the language file uninstall.lng.", GetLangString(IDS_DISPLAY_NAME),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  ExitProcess(1);
}
