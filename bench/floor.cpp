// The floor of the uninstall benchmark: the deletions that "Uninstall.lst"
// names and nothing else, one system call an entry, in one pass.
//   floor.exe [list]
// The list is "Uninstall.lst" beside floor.exe unless a path is given; its
// entries are relative to the list's folder. It is read by the tool's own
// list reader, so both act on the same entries and refuse the same lines.
// A folder is told from a file by its name, not by asking the system: an
// entry whose last component holds no dot is a folder and goes with
// RemoveDirectoryA, every other entry with DeleteFileA. The benchmark's
// folders have no dot and its files all have one, as the NSIS peer's script
// assumes too. A folder that is not empty yet simply stays: there is no
// second pass. Exit code 0, or 1 when the list cannot be opened.
#include <windows.h>

#include <string.h>

#include "uninstall/uninstall_list.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

int ReadFromHandle(void *context, char *buffer, int count)
{
  DWORD got = 0;
  if (!ReadFile(static_cast<HANDLE>(context), buffer, (DWORD)count, &got, NULL))
    return -1;
  return got > (DWORD)count ? -1 : (int)got;
}

// The list path from the command line (blanks and one pair of quotes
// around it removed), or "Uninstall.lst" beside the program.
bool ListPath(char *path, size_t size, const char *commandLine)
{
  while (*commandLine == ' ' || *commandLine == '\t')
    commandLine++;
  if (*commandLine == 0)
    return GetModulePath(path, size) && ReplaceFileName(path, size, "Uninstall.lst");
  if (*commandLine == '"')
    commandLine++;
  if (!CopyText(path, size, commandLine))
    return false;
  TrimLineEnd(path);
  size_t len = strlen(path);
  if (len > 0 && path[len - 1] == '"')
    path[len - 1] = 0;
  return path[0] != 0;
}

bool NamesAFolder(const char *entry) { return strchr(FileNamePart(entry), '.') == NULL; }

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
  FillDbcsTable(g_DbcsTable);
  char list[kPathSize];
  if (!ListPath(list, sizeof(list), commandLine))
    return 1;
  char folder[kPathSize];
  CopyText(folder, sizeof(folder), list); // same size: always fits
  *FileNamePart(folder) = 0;              // keeps the separator; empty: the current folder

  HANDLE file = CreateFileA(list, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  static ListReader reader; // 4 KB of buffer: kept off the stack
  InitListReader(reader, ReadFromHandle, file);
  char line[kListLineSize];
  char path[kPathSize];
  ListEntryKind kind;
  while ((kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd)
  {
    if (kind == ListRefused || line[0] == 0)
      continue;
    if (!IsEntryInsideFolder(line) || !JoinListPath(path, sizeof(path), folder, line))
      continue;
    if (NamesAFolder(line))
      RemoveDirectoryA(path);
    else
      DeleteFileA(path);
  }
  CloseHandle(file);
  return 0;
}
