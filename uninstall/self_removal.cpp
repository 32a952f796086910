#include <windows.h>

#include "uninstall/removal_text.h"
#include "uninstall/uninstall.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {
// Three paths of up to 1023 bytes, each % doubled, in six lines written five
// times over: the largest batch file fits.
char s_batch[64 * 1024];
} // namespace

void StartSelfRemoval()
{
  char exe[kPathSize], folder[kPathSize], bat[kPathSize];
  if (!GetModulePath(exe, sizeof(exe)))
    return;
  DWORD len = GetTempPathA(sizeof(bat), bat);
  if (len == 0 || len >= sizeof(bat) || !AppendText(bat, sizeof(bat), "Uninstall_Qbx.Bat"))
    return;
  len = GetCurrentDirectoryA(sizeof(folder), folder);
  if (len == 0 || len >= sizeof(folder))
    return;
  bool nt = WinNtMajorVersion() != 0;
  int batchLen = ComposeSelfRemovalBatch(s_batch, sizeof(s_batch), exe, folder, bat, nt);
  if (batchLen < 0)
    return;

  HANDLE file = CreateFileA(bat, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  BOOL ok = WriteFile(file, s_batch, (DWORD)batchLen, &written, NULL) && written == (DWORD)batchLen;
  CloseHandle(file);
  if (!ok)
  {
    DeleteFileA(bat); // a batch file cut short must not run
    return;
  }

  char comspec[kPathSize];
  comspec[0] = 0;
  len = GetEnvironmentVariableA("COMSPEC", comspec, sizeof(comspec));
  if (len >= sizeof(comspec))
    comspec[0] = 0;
  char command[2 * kPathSize + 16];
  if (!FormatText(command, sizeof(command), "%s /c \"%s\"", comspec, bat))
    return;

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
    // The interpreter gets the NUL device as its standard handles, so no
    // console shows; handles passed this way must be inheritable.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    startup.dwFlags = STARTF_USESTDHANDLES;
    nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  }
  SetCurrentDirectoryA("..");
  PROCESS_INFORMATION process;
  CreateProcessA(NULL, command, NULL, NULL, TRUE, nt ? 0 : DETACHED_PROCESS, NULL, NULL, &startup,
                 &process);
  if (nul != INVALID_HANDLE_VALUE)
    CloseHandle(nul);
}
