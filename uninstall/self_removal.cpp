#include <windows.h>

#include <string.h>

#include "app/app.h"
#include "app/resource.h"
#include "lang/lang_string.h"
#include "uninstall/removal_text.h"
#include "uninstall/uninstall.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {
// Three paths of up to 1023 bytes, each % doubled, in six lines written five
// times over: the largest batch file fits.
char s_batch[64 * 1024];

const char kBatchName[] = "Uninstall_Qbx.Bat";

// The best-fit flag and the used-default report are refused for the UTF
// code pages and a few others above 50000; the 9x family knows no best-fit
// flag at all. The round trip below catches best-fit letters either way.
bool TakesNoBestFit(UINT codePage)
{
  return WinNtMajorVersion() >= 5 && codePage < 50000 && codePage != 42;
}

// A wide text in the bytes of a code page that name it exactly, checked by
// converting back: never a "?" or a best-fit letter, which would name
// another file or none.
bool WideToCodePage(char *dest, size_t size, const WCHAR *wide, UINT codePage)
{
  WCHAR back[kPathSize];
  BOOL usedDefault = FALSE;
  bool strict = TakesNoBestFit(codePage == CP_OEMCP ? GetOEMCP() : GetACP());
  int m = WideCharToMultiByte(codePage, strict ? WC_NO_BEST_FIT_CHARS : 0, wide, -1, dest, (int)size, NULL,
                              strict ? &usedDefault : NULL);
  if (m <= 0 || usedDefault)
    return false;
  int k = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, dest, -1, back, (int)kPathSize);
  return k > 0 && memcmp(wide, back, (size_t)k * sizeof(WCHAR)) == 0;
}

// cmd reads a batch file in the console's OEM code page, while the paths
// here are ANSI: converted through UTF-16, so a letter that the OEM code
// page lacks is never written as another one.
bool AnsiToOem(char *dest, size_t size, const char *ansi)
{
  WCHAR wide[kPathSize];
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, wide, (int)kPathSize) > 0 &&
         WideToCodePage(dest, size, wide, CP_OEMCP);
}

// A path as the batch file names it: in OEM bytes, else its short form in
// OEM bytes (which needs the file or folder to exist). False when neither
// survives the round trip.
bool BatchFilePath(char *dest, size_t size, const char *ansi)
{
  if (AnsiToOem(dest, size, ansi))
    return true;
  char shortPath[kPathSize];
  DWORD len = GetShortPathNameA(ansi, shortPath, sizeof(shortPath));
  return len > 0 && len < sizeof(shortPath) && AnsiToOem(dest, size, shortPath);
}

// Writes the batch file that is open as file; false when it is not complete.
bool WriteBatch(HANDLE file, const char *exe, const char *folder, const char *bat, bool nt)
{
  int len = ComposeSelfRemovalBatch(s_batch, sizeof(s_batch), exe, folder, bat, nt, g_Silent);
  DWORD written = 0;
  return len >= 0 && WriteFile(file, s_batch, (DWORD)len, &written, NULL) && written == (DWORD)len;
}

// Starts the interpreter, hidden (NT family) or detached with NUL as its
// standard handles (9x family), from the parent of the install folder.
bool StartInterpreter(char *command, bool nt)
{
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  HANDLE nul = INVALID_HANDLE_VALUE;
  if (nt)
  {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  else
  {
    // Handles passed this way must be inheritable.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    startup.dwFlags = STARTF_USESTDHANDLES;
    nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  }
  // The interpreter inherits the current directory, which must not hold
  // the folder it is to remove.
  SetCurrentDirectoryA("..");
  PROCESS_INFORMATION process;
  BOOL started = CreateProcessA(NULL, command, NULL, NULL, TRUE, nt ? 0 : DETACHED_PROCESS, NULL, NULL,
                                &startup, &process);
  if (nul != INVALID_HANDLE_VALUE)
    CloseHandle(nul);
  return started != 0;
}

typedef DWORD(WINAPI *GetTempPathWFn)(DWORD, LPWSTR);
typedef DWORD(WINAPI *GetShortPathNameWFn)(LPCWSTR, LPWSTR, DWORD);

// The folders to try for the batch file, each ending in a backslash, in
// order: the temporary folder; on the NT family, when the ANSI code page
// cannot spell it (an account name in another script), its short form
// instead; then the Windows folder's "Temp", which an elevated tool may
// write. Returns how many were found.
int TempFolders(char (*folders)[kPathSize], int max)
{
  int count = 0;
  bool spelt = false;
  // Looked up at run time: the 9x family has no wide calls.
  GetTempPathWFn tempW = (GetTempPathWFn)GetKernelProc("GetTempPathW");
  GetShortPathNameWFn shortW = (GetShortPathNameWFn)GetKernelProc("GetShortPathNameW");
  WCHAR wide[kPathSize], wideShort[kPathSize];
  DWORD len;
  if (WinNtMajorVersion() && tempW && shortW && (len = tempW(kPathSize, wide)) > 0 && len < kPathSize)
  {
    if (count < max && WideToCodePage(folders[count], kPathSize, wide, CP_ACP))
      count++;
    else if (count < max && (len = shortW(wide, wideShort, kPathSize)) > 0 && len < kPathSize &&
             WideToCodePage(folders[count], kPathSize, wideShort, CP_ACP))
      count++;
    spelt = true;
  }
  if (!spelt && count < max && (len = GetTempPathA(kPathSize, folders[count])) > 0 && len < kPathSize)
    count++;
  if (count < max && (len = GetWindowsDirectoryA(folders[count], kPathSize)) > 0 && len < kPathSize &&
      AppendBackslash(folders[count], kPathSize) && AppendText(folders[count], kPathSize, "Temp\\"))
    count++;
  return count;
}

// Writes the whole batch file into the folder temp (ending in a backslash):
// bat and batOem get its path. False, and no file left, when it cannot.
bool WriteBatchIn(const char *temp, char *bat, char *batOem, const char *exeOem, const char *folderOem, bool nt)
{
  if (!CopyText(bat, kPathSize, temp) || !AppendText(bat, kPathSize, kBatchName))
    return false;
  HANDLE file = CreateFileA(bat, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  bool ok = BatchFilePath(batOem, kPathSize, bat) && WriteBatch(file, exeOem, folderOem, batOem, nt);
  ok = CloseHandle(file) && ok;
  if (!ok)
    DeleteFileA(bat); // a batch file cut short must not stay behind
  return ok;
}

// Writes the batch file and starts the interpreter on it; false when the
// executable will not be removed that way.
bool TrySelfRemoval()
{
  char exe[kPathSize], folder[kPathSize], bat[kPathSize];
  if (!GetModulePath(exe, sizeof(exe)))
    return false;
  DWORD len = GetCurrentDirectoryA(sizeof(folder), folder); // the install folder
  if (len == 0 || len >= sizeof(folder))
    return false;
  char exeOem[kPathSize], folderOem[kPathSize], batOem[kPathSize];
  if (!BatchFilePath(exeOem, sizeof(exeOem), exe) || !BatchFilePath(folderOem, sizeof(folderOem), folder))
    return false;

  bool nt = WinNtMajorVersion() != 0;
  static char temps[3][kPathSize];
  int count = TempFolders(temps, 3);
  int i = 0;
  while (i < count && !WriteBatchIn(temps[i], bat, batOem, exeOem, folderOem, nt))
    i++;
  if (i == count)
    return false;
  // The batch file's short form exists only now that the file does.
  char comspec[kPathSize], shortBat[kPathSize], command[2 * kPathSize + 16];
  len = GetEnvironmentVariableA("COMSPEC", comspec, sizeof(comspec));
  if (len == 0 || len >= sizeof(comspec))
    comspec[0] = 0;
  const char *started = bat; // CreateProcessA takes the ANSI path
  if (!nt)
  {
    len = GetShortPathNameA(bat, shortBat, sizeof(shortBat));
    started = len > 0 && len < sizeof(shortBat) ? shortBat : "";
  }
  // A batch file that never runs must not stay behind.
  if (!ComposeInterpreterCommand(command, sizeof(command), comspec, started, WinNtMajorVersion()) ||
      !StartInterpreter(command, nt))
  {
    DeleteFileA(bat);
    return false;
  }
  return true;
}

} // namespace

void ShowRemovalWarning()
{
  if (!MayShowMessage())
    return;
  char exe[kPathSize];
  if (!GetModulePath(exe, sizeof(exe)))
    exe[0] = 0;
  // Room for both strings (511 bytes each) and the path: never cut.
  char text[2 * 512 + kPathSize + 8];
  char *done = GetLangString(IDS_UNINSTALL_DONE);
  char *deleteText = GetLangString(IDS_DELETE_MANUALLY);
  char *caption = GetLangString(IDS_UNINSTALL_CAPTION);
  if (!CopyText(text, sizeof(text), done) || !AppendText(text, sizeof(text), "\n"))
    text[0] = 0;
  size_t len = strlen(text);
  FormatWithText(text + len, sizeof(text) - len, deleteText, exe);
  MessageBoxA(NULL, text, caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void StartSelfRemoval()
{
  if (!TrySelfRemoval())
    ShowRemovalWarning();
}
