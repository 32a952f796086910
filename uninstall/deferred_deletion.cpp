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

bool WriteWholeFile(void *, const char *path, const char *data, size_t length)
{
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  bool whole = WriteFile(h, data, (DWORD)length, &written, NULL) && written == (DWORD)length &&
               FlushFileBuffers(h);
  return CloseHandle(h) && whole;
}

bool MoveOneFile(void *, const char *from, const char *to) { return MoveFileA(from, to) != 0; }

bool RemoveOneFile(void *, const char *path)
{
  SetFileAttributesA(path, 0);
  return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool ExistsFile(void *, const char *path) { return FileExists(path); }

// A file of that name in the Windows folder; false when it does not fit.
bool WindowsFile(char *dest, size_t size, const char *name)
{
  UINT len = GetWindowsDirectoryA(dest, (UINT)size);
  return len > 0 && len < size && AppendBackslash(dest, size) && AppendText(dest, size, name);
}

// Adds "NUL=<path>" to the [Rename] section of wininit.ini, which the 9x
// family carries out at the next start, keeping every line already there.
// False when it was not scheduled. The file is rewritten only when it was
// read whole, or when it does not exist: any other failure to open or read
// it leaves it as it is. wininit.ini removes files only; the folders that
// held them stay on the 9x family.
bool ScheduleInWininit(const char *target)
{
  char ini[kPathSize], newIni[kPathSize], oldIni[kPathSize];
  if (!WindowsFile(ini, sizeof(ini), "wininit.ini") || !WindowsFile(newIni, sizeof(newIni), "wininit.qbn") ||
      !WindowsFile(oldIni, sizeof(oldIni), "wininit.qbo"))
    return false;
  // wininit.ini cannot hold long names.
  char shortPath[kPathSize];
  DWORD shortLen = GetShortPathNameA(target, shortPath, sizeof(shortPath));
  if ((shortLen == 0 || shortLen >= sizeof(shortPath)) && !CopyText(shortPath, sizeof(shortPath), target))
    return false;

  FileOps ops = {WriteWholeFile, MoveOneFile, RemoveOneFile, ExistsFile, NULL};
  if (!RecoverSetAsideFile(ops, ini, oldIni))
    return false;
  // The system caches profile files and writes them back later: flush the
  // cache so that the file on disk is the whole, current text.
  WritePrivateProfileStringA(NULL, NULL, NULL, ini);
  DWORD size = 0;
  char *text = NULL;
  HANDLE h = CreateFileA(ini, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE)
  {
    if (GetLastError() != ERROR_FILE_NOT_FOUND)
      return false;
  }
  else
  {
    DWORD high = 0;
    size = GetFileSize(h, &high);
    bool read = size != INVALID_FILE_SIZE && high == 0 && size <= kMaxWininitSize;
    if (read)
    {
      text = (char *)malloc(size + 1);
      DWORD done = 0;
      read = text && ReadFile(h, text, size, &done, NULL) && done == size;
    }
    CloseHandle(h);
    if (!read)
    {
      free(text);
      return false;
    }
  }
  size_t outSize = size + strlen(shortPath) + 32;
  char *out = (char *)malloc(outSize);
  int outLen = out ? AddWininitRename(out, outSize, text ? text : "", size, shortPath) : -1;
  // The new text is written beside the file and put in place only when it
  // was written whole: a full disk never truncates the renames there.
  bool scheduled = outLen >= 0 && ReplaceWholeFile(ops, ini, newIni, oldIni, out, (size_t)outLen);
  free(out);
  free(text);
  return scheduled;
}

} // namespace

DeferResult DeferLockedFile(const char *path)
{
  // The executable goes by self-removal, the list after the passes. Only
  // the names are compared.
  char module[kPathSize];
  if (GetModulePath(module, sizeof(module)) &&
      CompareTextNoCase(FileNamePart(path), FileNamePart(module)) == 0)
    return DeferSkipped;
  if (CompareTextNoCase(FileNamePart(path), "Uninstall.lst") == 0)
    return DeferSkipped;

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

  bool scheduled;
  if (WinNtMajorVersion())
    scheduled = MoveFileExA(target, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  else
    scheduled = ScheduleInWininit(target);
  if (!scheduled)
    return DeferNotScheduled;
  return moved ? DeferMoved : DeferInPlace;
}
