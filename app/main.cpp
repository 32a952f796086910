// Entry point of the setup configuration tool: setup mode with "/setup",
// uninstall mode with no counted switch.
#include <windows.h>
#include <shellapi.h>

#include <string.h>

#include "app/app.h"
#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/resource.h"
#include "lang/lang_string.h"
#include "lang/language_file.h"
#include "uninstall/uninstall.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

bool g_Silent;
char g_ProgramGroupPath[kPathSize];
HICON g_WindowIcon;
HFONT g_BoldFont;

namespace {

// Path scanning must know the code page before anything else runs.
struct DbcsStartUp
{
  DbcsStartUp() { FillDbcsTable(g_DbcsTable); }
} s_dbcsStartUp;

} // namespace

// Constructed after the DBCS table, destroyed in reverse order at exit: the
// message table first, then the language DLL.
ExtResource g_ExtResource;
LanguageResources g_LanguageResources;

namespace {

void OnSwitch(SwitchKind kind, void *)
{
  if (kind == SwitchWait)
    Sleep(2000);
  else if (kind == SwitchWarning)
    ShowRemovalWarning();
  else if (kind == SwitchSilent)
    g_Silent = true;
}

// Loads a DLL from the system folder only: a copy planted beside the tool
// (the install folder is searched first) must never be loaded.
HMODULE LoadSystemLibrary(const char *name)
{
  char path[kPathSize];
  UINT len = GetSystemDirectoryA(path, sizeof(path));
  if (len == 0 || len >= sizeof(path) || !AppendBackslash(path, sizeof(path)) ||
      !AppendText(path, sizeof(path), name))
    return NULL;
  return LoadLibraryA(path);
}

} // namespace

bool MayShowMessage() { return !g_Silent || PersonCanSee(); }

bool RunProgram(const char *commandLine)
{
  char command[kPathSize];
  if (!CopyText(command, sizeof(command), commandLine))
    return false;
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
  LoadLanguageDll(instance);
  g_LanguageResources.LoadLanguageFile("uninstall.lng");
  OleInitialize(NULL);
  HMODULE richEdit = LoadSystemLibrary("riched32.dll");
  g_WindowIcon = LoadIconA(GetResourceModule(), "QBXICON");
  // DEFAULT_CHARSET: a translated closing line is drawn in the script of the
  // system's code page, not in Western glyphs.
  g_BoldFont = CreateFontA(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                           "MS Sans Serif");

  // The runtime's own split of the command line goes wrong on an unquoted
  // name with blanks, which Windows hands on unchanged: skip the name here.
  char module[kPathSize];
  if (!GetModulePath(module, sizeof(module)))
    module[0] = 0;
  char moduleShort[kPathSize];
  bool known = module[0] && GetFileShortPath(module, moduleShort, sizeof(moduleShort));
  const char *arguments =
    SkipProgramName(GetCommandLineA(), module, known ? NamesSameFile : NULL, moduleShort);
  CommandLine switches = ParseCommandLine(arguments, OnSwitch, NULL);
  Mode mode = ChooseMode(switches);
  if (mode == ModeSetup)
  {
    // -1 (the dialog could not be made) counts as a cancel.
    if (DialogBoxParamA(GetResourceModule(), "SETUPDLG", NULL, SetupDialogProc, 0) > 0)
    {
      DialogBoxParamA(GetResourceModule(), "DONEDLG", NULL, DoneDialogProc, 0);
      if (g_ProgramGroupPath[0] && !g_Silent)
        ShellExecuteA(NULL, "open", g_ProgramGroupPath, NULL, "", SW_SHOWNORMAL);
    }
  }
  int exitCode = 0;
  if (mode == ModeUninstall)
    exitCode = RunUninstall();
  else if (mode == ModeNone)
    exitCode = kExitInvalidCommandLine;

  if (richEdit)
    FreeLibrary(richEdit);
  OleUninitialize();
  DeleteObject(g_BoldFont);
  return exitCode;
}
