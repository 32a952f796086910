// winpilot: acts on the tool's windows from a second process, as a user
// would, and reports what it sees as JSON lines on standard output.
//
//   winpilot wait <caption> [ms]           wait until the window is visible
//   winpilot gone <caption> [ms]           wait until no such window is left
//   winpilot dump <caption>                the window and all its children
//   winpilot click <caption> <id> [ms]     press a button (id as a number)
//   winpilot check <caption> <id> <0|1>    set a check box directly
//   winpilot key <caption> <vk> [alt]      focus the window, send one key
//   winpilot close <caption>               the close box (WM_SYSCOMMAND)
//   winpilot windows                       every visible top-level window
//   winpilot shortpath <path>              the short (8.3) form of a path
//   winpilot acp                           the ANSI code page
//   winpilot load <dll>                    LoadLibraryA as a program does by
//                                          default (its own folder first)
//   winpilot visible <caption> <ms> <flag> write <flag>, then return as soon
//                                          as the window is visible (for
//                                          timing: polls every millisecond)
//   winpilot watch <caption> <flag>        write <flag>, then watch (every
//                                          millisecond) until the window is
//                                          visible or <flag> is deleted
//   winpilot helpspy <log> <ready> [s]     stands in for the help viewer:
//                                          records every WinHelp request
//   winpilot launch <program> <command>    starts <program> with exactly that
//                                          command line, as Windows starts an
//                                          uninstall command, waits for it and
//                                          prints its exit code; program "-":
//                                          found from the command line
//   winpilot launch-unseen <program> <command>
//                                          the same in a window station of its
//                                          own that is not visible, as a
//                                          deployment agent runs it: a message
//                                          box there is never answered
//
// Commands can be chained with "--" in one run. Captions are exact; "*"
// matches any window of dialog class. Exit code 1 when a step failed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

void PutJsonString(const char *s)
{
  putchar('"');
  for (const unsigned char *p = (const unsigned char *)s; *p; p++)
  {
    if (*p == '"' || *p == '\\')
      printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x7f)
      printf("\\u%04x", *p); // bytes, to be read back as latin-1
    else
      putchar(*p);
  }
  putchar('"');
}

struct FindContext
{
  const char *Caption;
  HWND Found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp)
{
  FindContext *ctx = (FindContext *)lp;
  if (!IsWindowVisible(hwnd))
    return TRUE;
  char text[1024] = "", cls[256] = "";
  GetWindowTextA(hwnd, text, sizeof(text));
  GetClassNameA(hwnd, cls, sizeof(cls));
  bool match = strcmp(ctx->Caption, "*") == 0 ? strcmp(cls, "#32770") == 0 : strcmp(text, ctx->Caption) == 0;
  if (match)
  {
    ctx->Found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindTop(const char *caption)
{
  FindContext ctx = {caption, NULL};
  EnumWindows(FindProc, (LPARAM)&ctx);
  return ctx.Found;
}

// A dialog counts as ready once it is visible and has its children.
HWND WaitTop(const char *caption, int ms)
{
  DWORD start = GetTickCount();
  for (;;)
  {
    HWND h = FindTop(caption);
    if (h && GetWindow(h, GW_CHILD))
    {
      Sleep(100); // let WM_INITDIALOG finish its work
      return h;
    }
    if ((int)(GetTickCount() - start) > ms)
      return NULL;
    Sleep(50);
  }
}

// How long a window may take to answer a question: as long as the command
// waits for it. Under emulation and load a busy dialog answers late, and a
// fixed short limit would read its text as empty.
UINT g_replyMs = 2000;

void DumpWindow(const char *kind, HWND h)
{
  char text[4096] = "", cls[256] = "";
  SendMessageTimeoutA(h, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_NORMAL, g_replyMs, NULL);
  GetClassNameA(h, cls, sizeof(cls));
  RECT r;
  GetWindowRect(h, &r);
  LONG style = GetWindowLongA(h, GWL_STYLE);
  LONG exStyle = GetWindowLongA(h, GWL_EXSTYLE);
  int id = GetDlgCtrlID(h);
  printf("{\"kind\":\"%s\",\"hwnd\":%lu,\"id\":%d,\"class\":", kind, (unsigned long)(ULONG_PTR)h, id);
  PutJsonString(cls);
  printf(",\"text\":");
  PutJsonString(text);
  DWORD_PTR check = 0;
  if (_stricmp(cls, "Button") == 0)
    SendMessageTimeoutA(h, BM_GETCHECK, 0, 0, SMTO_NORMAL, g_replyMs, &check);
  printf(",\"checked\":%d,\"enabled\":%d,\"visible\":%d,\"style\":%ld,\"exstyle\":%ld,"
         "\"rect\":[%ld,%ld,%ld,%ld]}\n",
         (int)check, IsWindowEnabled(h) ? 1 : 0, IsWindowVisible(h) ? 1 : 0, style, exStyle, r.left, r.top,
         r.right, r.bottom);
}

int Dump(HWND top)
{
  DumpWindow("window", top);
  int n = 0;
  for (HWND c = GetWindow(top, GW_CHILD); c && n < 1000; c = GetWindow(c, GW_HWNDNEXT), n++)
    DumpWindow("child", c);
  return 0;
}

void SendKey(WORD vk, bool alt)
{
  INPUT in[4];
  ZeroMemory(in, sizeof(in));
  int n = 0;
  if (alt)
  {
    in[n].type = INPUT_KEYBOARD;
    in[n++].ki.wVk = VK_MENU;
  }
  in[n].type = INPUT_KEYBOARD;
  in[n++].ki.wVk = vk;
  in[n].type = INPUT_KEYBOARD;
  in[n].ki.wVk = vk;
  in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
  if (alt)
  {
    in[n].type = INPUT_KEYBOARD;
    in[n].ki.wVk = VK_MENU;
    in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(n, in, sizeof(INPUT));
}

// WinHelp hands its requests to the window of class "MS_WINHELP" as
// WM_COPYDATA with this header, the help file's name at ofsFilename.
struct WinHelpRequest
{
  WORD size;
  WORD command;
  LONG data;
  LONG reserved;
  WORD ofsFilename;
  WORD ofsData;
};

const char *s_helpLog;

LRESULT CALLBACK HelpSpyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_COPYDATA)
  {
    const COPYDATASTRUCT *copy = (const COPYDATASTRUCT *)lParam;
    const WinHelpRequest *request = (const WinHelpRequest *)copy->lpData;
    if (request && copy->cbData >= sizeof(WinHelpRequest))
    {
      FILE *f = fopen(s_helpLog, "ab");
      if (f)
      {
        const char *file = request->ofsFilename ? (const char *)request + request->ofsFilename : "";
        char caller[256] = "";
        GetWindowTextA((HWND)wParam, caller, sizeof(caller));
        fprintf(f, "{\"command\":%u,\"data\":%ld,\"file\":\"%s\",\"caller\":\"%s\"}\n", request->command,
                request->data, file, caller);
        fclose(f);
      }
    }
    return TRUE;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int HelpSpy(const char *log, const char *ready, int seconds)
{
  s_helpLog = log;
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof(wc));
  wc.lpfnWndProc = HelpSpyProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.lpszClassName = "MS_WINHELP";
  if (!RegisterClassA(&wc))
    return 1;
  HWND h = CreateWindowA("MS_WINHELP", "help spy", WS_POPUP, 0, 0, 1, 1, NULL, NULL, wc.hInstance, NULL);
  if (!h)
    return 1;
  FILE *f = fopen(ready, "wb");
  if (f)
    fclose(f);
  DWORD end = GetTickCount() + (DWORD)seconds * 1000;
  MSG msg;
  while ((int)(end - GetTickCount()) > 0 && GetFileAttributesA(ready) != INVALID_FILE_ATTRIBUTES)
  {
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
  }
  DestroyWindow(h);
  return 0;
}

int Fail(const char *what, const char *caption)
{
  printf("{\"error\":\"%s\",\"caption\":", what);
  PutJsonString(caption);
  printf("}\n");
  return 1;
}

int RunCommand(int argc, char **argv)
{
  const char *cmd = argv[0];
  if (strcmp(cmd, "windows") == 0)
  {
    HWND h = NULL;
    while ((h = FindWindowExA(NULL, h, NULL, NULL)) != NULL)
      if (IsWindowVisible(h))
        DumpWindow("window", h);
    return 0;
  }
  if (strcmp(cmd, "acp") == 0)
  {
    printf("{\"acp\":%u}\n", GetACP());
    return 0;
  }
  if (argc < 2)
    return Fail("usage", cmd);
  if (strcmp(cmd, "helpspy") == 0 && argc > 2)
    return HelpSpy(argv[1], argv[2], argc > 3 ? atoi(argv[3]) : 120);
  if (strcmp(cmd, "shortpath") == 0)
  {
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(argv[1], shortPath, sizeof(shortPath));
    if (n == 0 || n >= sizeof(shortPath))
      return Fail("no short path", argv[1]);
    printf("{\"short\":");
    PutJsonString(shortPath);
    printf("}\n");
    return 0;
  }
  if (strcmp(cmd, "load") == 0)
  {
    char path[MAX_PATH] = "";
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module)
      return Fail("not loaded", argv[1]);
    GetModuleFileNameA(module, path, sizeof(path));
    printf("{\"loaded\":");
    PutJsonString(path);
    printf("}\n");
    return 0;
  }
  bool unseen = strcmp(cmd, "launch-unseen") == 0;
  if ((unseen || strcmp(cmd, "launch") == 0) && argc > 2)
  {
    // The application named and the command line handed on unchanged: an
    // unquoted path with blanks reaches the program as it stands.
    static char line[32768];
    if (strlen(argv[2]) >= sizeof(line))
      return Fail("command line too long", argv[1]);
    strcpy(line, argv[2]);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    char desktop[64];
    if (unseen)
    {
      // A new window station is never visible; its desktop must be made
      // from inside it.
      wsprintfA(desktop, "QbxUnseen%lu", GetCurrentProcessId());
      HWINSTA own = GetProcessWindowStation();
      HWINSTA station = CreateWindowStationA(desktop, 0, WINSTA_ALL_ACCESS, NULL);
      if (!station || !SetProcessWindowStation(station))
        return Fail("no window station", desktop);
      HDESK made = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
      SetProcessWindowStation(own);
      if (!made)
        return Fail("no desktop", desktop);
      lstrcatA(desktop, "\\Default");
      startup.lpDesktop = desktop;
    }
    PROCESS_INFORMATION process;
    // "-": no application name, the program found from the command line, as
    // a deployment tool runs a command it read from the registry.
    const char *program = strcmp(argv[1], "-") == 0 ? NULL : argv[1];
    if (!CreateProcessA(program, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
      return Fail("not started", argv[1]);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("{\"exit\":%lu}\n", (unsigned long)code);
    return 0;
  }
  const char *caption = argv[1];
  if (strcmp(cmd, "visible") == 0 && argc > 3)
  {
    int ms = atoi(argv[2]);
    HANDLE flag = CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_ALWAYS, 0,
                              NULL);
    if (flag != INVALID_HANDLE_VALUE)
      CloseHandle(flag);
    DWORD start = GetTickCount();
    while (!FindTop(caption))
    {
      if ((int)(GetTickCount() - start) > ms)
        return Fail("no window", caption);
      Sleep(1);
    }
    printf("{\"visible\":true}\n");
    return 0;
  }
  if (strcmp(cmd, "watch") == 0 && argc > 2)
  {
    HANDLE flag = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_ALWAYS, 0,
                              NULL);
    if (flag == INVALID_HANDLE_VALUE)
      return Fail("cannot write the flag", argv[2]);
    CloseHandle(flag);
    bool seen = false;
    while (!(seen = FindTop(caption) != NULL) && GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES)
      Sleep(1);
    printf("{\"seen\":%s}\n", seen ? "true" : "false");
    return 0;
  }
  if (strcmp(cmd, "gone") == 0)
  {
    int ms = argc > 2 ? atoi(argv[2]) : 10000;
    DWORD start = GetTickCount();
    while (FindTop(caption))
    {
      if ((int)(GetTickCount() - start) > ms)
        return Fail("still there", caption);
      Sleep(50);
    }
    printf("{\"gone\":true}\n");
    return 0;
  }
  int waitMs = 20000;
  if (strcmp(cmd, "wait") == 0 && argc > 2)
    waitMs = atoi(argv[2]);
  if (strcmp(cmd, "click") == 0 && argc > 3)
    waitMs = atoi(argv[3]);
  if (waitMs > (int)g_replyMs)
    g_replyMs = (UINT)waitMs;
  HWND top = WaitTop(caption, waitMs);
  if (!top)
    return Fail("no window", caption);
  if (strcmp(cmd, "wait") == 0 || strcmp(cmd, "dump") == 0)
    return Dump(top);
  if (strcmp(cmd, "click") == 0 && argc > 2)
  {
    HWND b = GetDlgItem(top, atoi(argv[2]));
    if (!b)
      return Fail("no control", argv[2]);
    if (!IsWindowEnabled(b))
      return Fail("control disabled", argv[2]); // a user cannot click it either
    PostMessageA(b, BM_CLICK, 0, 0);
    printf("{\"clicked\":%d}\n", atoi(argv[2]));
    return 0;
  }
  if (strcmp(cmd, "check") == 0 && argc > 3)
  {
    HWND b = GetDlgItem(top, atoi(argv[2]));
    if (!b)
      return Fail("no control", argv[2]);
    SendMessageA(b, BM_SETCHECK, atoi(argv[3]) ? BST_CHECKED : BST_UNCHECKED, 0);
    printf("{\"checked\":%d}\n", atoi(argv[3]));
    return 0;
  }
  if (strcmp(cmd, "key") == 0 && argc > 2)
  {
    SetForegroundWindow(top);
    Sleep(200);
    SendKey((WORD)atoi(argv[2]), argc > 3 && strcmp(argv[3], "alt") == 0);
    printf("{\"key\":%d}\n", atoi(argv[2]));
    return 0;
  }
  if (strcmp(cmd, "close") == 0)
  {
    PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    printf("{\"closed\":true}\n");
    return 0;
  }
  return Fail("unknown command", cmd);
}

} // namespace

int main(int argc, char **argv)
{
  int rc = 0;
  int start = 1;
  for (int i = 1; i <= argc; i++)
  {
    if (i == argc || strcmp(argv[i], "--") == 0)
    {
      if (i > start && RunCommand(i - start, argv + start) != 0)
        rc = 1;
      fflush(stdout);
      start = i + 1;
    }
  }
  return rc;
}
