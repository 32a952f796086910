#include <windows.h>

#include <string.h>

#include "app/app.h"
#include "app/resource.h"
#include "lang/lang_string.h"
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_list.h"
#include "util/file.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

const char kListName[] = "Uninstall.lst";

int ReadFromFile(void *context, char *buffer, int count)
{
  return static_cast<File *>(context)->Read(buffer, count);
}

void DeleteWithoutAttributes(const char *name)
{
  SetFileAttributesA(name, 0);
  DeleteFileA(name);
}

// One pass over the list; returns the number of files and folders removed.
int RunPass(ListReader &reader, const char *folder, bool &restartNeeded)
{
  int removed = 0;
  char line[kListLineSize];
  char path[kPathSize];
  ListEntryKind kind;
  while ((kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd)
  {
    if (kind == ListRefused || line[0] == 0)
      continue;
    // Never reach outside the install folder, and never act on a path that
    // had to be cut short.
    if (!IsEntryInsideFolder(line) || !JoinListPath(path, sizeof(path), folder, line))
      continue;
    DWORD attributes = GetFileAttributesA(path);
    SetFileAttributesA(path, 0);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
      if (RemoveDirectoryA(path))
        removed++;
      continue;
    }
    if (DeleteFileA(path))
    {
      removed++;
      continue;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES)
      continue;
    if (DeferLockedFile(path))
      restartNeeded = true;
  }
  return removed;
}

} // namespace

void RunUninstall()
{
  char folder[kPathSize];
  if (!GetModulePath(folder, sizeof(folder)))
    return;
  char *slash = strrchr(folder, '\\');
  if (!slash)
    return;
  if (slash != folder && slash[-1] == ':')
    slash[1] = 0; // a drive root keeps its backslash
  else
    slash[0] = 0;
  SetCurrentDirectoryA(folder);
  if (!AppendBackslash(folder, sizeof(folder)))
    return;

  if (!g_Silent)
  {
    const char *caption = GetLangString(IDS_UNINSTALL_CAPTION);
    const char *text = GetLangString(IDS_CONFIRM_UNINSTALL);
    if (MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return;
  }

  File list;
  if (!list.Open(kListName, true))
  {
    // Sized for the longest string (511 bytes) and the name: never cut.
    char message[600];
    if (!FormatWithText(message, sizeof(message), GetLangString(IDS_CANNOT_OPEN_LIST), kListName))
      CopyText(message, sizeof(message), kListName);
    MessageBoxA(NULL, message, GetLangString(IDS_UNINSTALL_CAPTION), MB_ICONERROR | MB_SETFOREGROUND);
    return;
  }

  RemoveIntegration();
  FreeLanguageDll();
  DeleteWithoutAttributes("quabix.gid");
  DeleteWithoutAttributes("quabix.fts");

  bool restartNeeded = false;
  ListReader reader;
  InitListReader(reader, ReadFromFile, &list);
  while (RunPass(reader, folder, restartNeeded) > 0)
  {
    if (!list.Seek(0))
      break;
    RewindListReader(reader);
  }
  list.Close();

  if (restartNeeded)
    MessageBoxA(NULL, GetLangString(IDS_REBOOT_NEEDED), GetLangString(IDS_UNINSTALL_CAPTION),
                MB_ICONINFORMATION | MB_SETFOREGROUND);

  // The list goes only once self-removal is under way: an uninstall stopped
  // before (at the restart notice, say) finds it again when run once more and
  // finishes its work; without it the tool could only report the list missing.
  char listPath[kPathSize];
  bool listNamed = JoinListPath(listPath, sizeof(listPath), folder, kListName);
  StartSelfRemoval(); // the parent of the install folder is current now
  if (listNamed)
    DeleteFileA(listPath);
}
