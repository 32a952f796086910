#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "uninstall/removal_text.h"
#include "uninstall/uninstall.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

const int kTempNames = 1000;
// wininit.ini is a small text file; a larger one is not ours to rewrite.
const DWORD kMaxWininitSize = 1 << 20;

// Adds "NUL=<path>" to the [Rename] section of wininit.ini, which the 9x
// family carries out at the next start, keeping the lines already there.
void ScheduleInWininit(const char *target)
{
  char ini[kPathSize];
  UINT len = GetWindowsDirectoryA(ini, sizeof(ini));
  if (len == 0 || len >= sizeof(ini) || !AppendBackslash(ini, sizeof(ini)) ||
      !AppendText(ini, sizeof(ini), "wininit.ini"))
    return;
  // wininit.ini cannot hold long names.
  char shortPath[kPathSize];
  DWORD shortLen = GetShortPathNameA(target, shortPath, sizeof(shortPath));
  if (shortLen == 0 || shortLen >= sizeof(shortPath))
    CopyText(shortPath, sizeof(shortPath), target);

  DWORD size = 0;
  char *text = NULL;
  HANDLE h = CreateFileA(ini, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (h != INVALID_HANDLE_VALUE)
  {
    size = GetFileSize(h, NULL);
    if (size == INVALID_FILE_SIZE || size > kMaxWininitSize)
    {
      CloseHandle(h);
      return;
    }
    text = (char *)malloc(size + 1);
    DWORD done = 0;
    if (!text || !ReadFile(h, text, size, &done, NULL) || done != size)
    {
      CloseHandle(h);
      free(text);
      return;
    }
    CloseHandle(h);
  }
  size_t outSize = size + strlen(shortPath) + 32;
  char *out = (char *)malloc(outSize);
  int outLen = out ? AddWininitRename(out, outSize, text ? text : "", size, shortPath) : -1;
  if (outLen >= 0)
  {
    h = CreateFileA(ini, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE)
    {
      DWORD written;
      WriteFile(h, out, (DWORD)outLen, &written, NULL);
      CloseHandle(h);
    }
  }
  free(out);
  free(text);
}

} // namespace

bool DeferLockedFile(const char *path)
{
  // The executable goes by self-removal, the list after the passes. Only
  // the names are compared.
  char module[kPathSize];
  if (GetModulePath(module, sizeof(module)) &&
      CompareTextNoCase(FileNamePart(path), FileNamePart(module)) == 0)
    return false;
  if (CompareTextNoCase(FileNamePart(path), "Uninstall.lst") == 0)
    return false;

  char temp[kPathSize];
  bool named = false;
  for (int i = 0; i < kTempNames; i++)
  {
    named = FormatTempName(temp, sizeof(temp), path, i);
    if (!named || GetFileAttributesA(temp) == INVALID_FILE_ATTRIBUTES)
      break;
  }
  // A temporary name that does not fit is no name: the file stays where it is.
  bool moved = named && MoveFileA(path, temp);
  const char *target = moved ? temp : path;

  if (WinNtMajorVersion())
    MoveFileExA(target, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
  else
    ScheduleInWininit(target);
  return !moved;
}
