#include <windows.h>

#include <string.h>

#include "app/app.h"
#include "app/resource.h"
#include "lang/lang_string.h"
#include "uninstall/outcome.h"
#include "uninstall/removal_text.h"
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_list.h"
#include "util/file.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

const char kListName[] = "Uninstall.lst";

void DeleteWithoutAttributes(const char *name)
{
  SetFileAttributesA(name, 0);
  DeleteFileA(name);
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// What one uninstall run learns over its passes.
struct Passes
{
  const char *Folder;      // the install folder, ending in a backslash
  LineStates Lines;        // what is known about each line of the list
  RestartFolders Folders;  // folders that held deferred files (NT family)
  bool RestartPending;     // something was scheduled for the restart
  bool NoticeNeeded;       // a file could not be moved, or not scheduled at all
  bool LeftBehind;         // a file could be neither deleted nor scheduled
  bool ListIncomplete;     // a read of the list failed
};

LineState Defer(Passes &passes, const char *path)
{
  DeferResult result = DeferLockedFile(path);
  if (result == DeferMoved || result == DeferInPlace)
  {
    passes.RestartPending = true;
    // A folder that does not fit stays at the restart, as does every folder
    // that is not empty then: never more than a folder left behind.
    if (WinNtMajorVersion())
      AddRestartFolders(passes.Folders, passes.Folder, path);
  }
  if (result == DeferInPlace || result == DeferNotScheduled)
    passes.NoticeNeeded = true;
  if (result == DeferNotScheduled)
    passes.LeftBehind = true;
  // Deferred or left to self-removal: later passes have nothing to do here.
  return LineDone;
}

// Removes one listed path. Most entries are plain files, so the deletion is
// tried first and the path is looked at only when it fails: DeleteFileA
// refuses a folder and a read-only file with access denied, a running
// program with access denied and a file held open with a sharing violation.
LineState RemoveEntry(Passes &passes, const char *path, LineState state, int &removed)
{
  if (state == LineFolder)
  {
    if (RemoveDirectoryA(path))
    {
      removed++;
      return LineDone;
    }
    return IsMissing(GetLastError()) ? LineDone : LineFolder;
  }
  if (DeleteFileA(path))
  {
    removed++;
    return LineDone;
  }
  // "folder\" may name no file to DeleteFileA, yet it names the folder.
  if (IsMissing(GetLastError()) && !IsSeparator(*LastCharPos(path)))
    return LineDone;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return IsMissing(GetLastError()) ? LineDone : LineOpen;
  // Read-only files and folders must go too; hidden and system are cleared
  // with them, as a file waiting for the restart needs none of them.
  bool cleared = (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) &&
                 SetFileAttributesA(path, 0);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
  {
    if (RemoveDirectoryA(path))
    {
      removed++;
      return LineDone;
    }
    return LineFolder; // not empty yet
  }
  if (cleared && (attributes & FILE_ATTRIBUTE_READONLY) && DeleteFileA(path))
  {
    removed++;
    return LineDone;
  }
  return Defer(passes, path);
}

// One pass over the list; returns the number of files and folders removed.
// open is set when a line may still change: one not done, or the rest of a
// list whose reading failed.
int RunPass(ListReader &reader, Passes &passes, bool &open)
{
  int removed = 0;
  open = false;
  char line[kListLineSize];
  char path[kPathSize];
  ListEntryKind kind;
  for (int index = 0; (kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd; index++)
  {
    if (kind == ListFailed)
    {
      open = true; // the rest of the list was not seen
      passes.ListIncomplete = true;
      break;
    }
    LineState state = GetLineState(passes.Lines, index);
    if (state == LineDone)
      continue;
    // Never reach outside the install folder, and never act on a path that
    // had to be cut short.
    if (kind == ListRefused || line[0] == 0 || !IsEntryInsideFolder(line) ||
        !JoinListPath(path, sizeof(path), passes.Folder, line))
      state = LineDone;
    else
      state = RemoveEntry(passes, path, state, removed);
    // Without memory for it a line stays open and is only asked about again.
    bool kept = SetLineState(passes.Lines, index, state);
    if (state != LineDone || !kept)
      open = true;
  }
  return removed;
}

} // namespace

int RunUninstall()
{
  char folder[kPathSize];
  if (!GetModulePath(folder, sizeof(folder)))
    return kExitFailed;
  char *slash = strrchr(folder, '\\');
  if (!slash)
    return kExitFailed;
  if (slash != folder && slash[-1] == ':')
    slash[1] = 0; // a drive root keeps its backslash
  else
    slash[0] = 0;
  SetCurrentDirectoryA(folder);
  if (!AppendBackslash(folder, sizeof(folder)))
    return kExitFailed;

  if (!g_Silent)
  {
    const char *caption = GetLangString(IDS_UNINSTALL_CAPTION);
    const char *text = GetLangString(IDS_CONFIRM_UNINSTALL);
    if (MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return kExitDeclined;
  }

  File list;
  if (!list.Open(kListName, true))
  {
    // Sized for the longest string (511 bytes) and the name: never cut.
    char message[600];
    if (!FormatWithText(message, sizeof(message), GetLangString(IDS_CANNOT_OPEN_LIST), kListName))
      CopyText(message, sizeof(message), kListName);
    if (MayShowMessage())
      MessageBoxA(NULL, message, GetLangString(IDS_UNINSTALL_CAPTION), MB_ICONERROR | MB_SETFOREGROUND);
    return kExitFailed;
  }

  RemoveIntegration();
  FreeLanguageDll();
  DeleteWithoutAttributes("quabix.gid");
  DeleteWithoutAttributes("quabix.fts");

  Passes passes;
  passes.Folder = folder;
  InitRestartFolders(passes.Folders);
  passes.RestartPending = false;
  passes.NoticeNeeded = false;
  passes.LeftBehind = false;
  passes.ListIncomplete = false;
  ListReader reader;
  InitListReader(reader, ReadFromFile, &list);
  // Until a pass removes nothing, or nothing is left that a pass could change.
  bool open = false;
  while (RunPass(reader, passes, open) > 0 && open)
  {
    if (!list.Seek(0))
    {
      passes.ListIncomplete = true;
      break;
    }
    RewindListReader(reader);
  }
  list.Close();

  // Windows carries out scheduled deletions in order, after the files that
  // were scheduled during the passes: the folders that held them, deepest
  // first, then the install folder. A folder that is not empty then stays.
  // (wininit.ini on the 9x family removes files only.)
  for (const char *f = NULL; (f = NextRestartFolder(passes.Folders, f)) != NULL;)
    if (MoveFileExA(f, NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
      passes.RestartPending = true;

  if (passes.NoticeNeeded && MayShowMessage())
    MessageBoxA(NULL, GetLangString(IDS_REBOOT_NEEDED), GetLangString(IDS_UNINSTALL_CAPTION),
                MB_ICONINFORMATION | MB_SETFOREGROUND);

  UninstallOutcome outcome = {passes.ListIncomplete, passes.RestartPending, passes.LeftBehind};
  // A list that could not be read to its end stays, and so do the tool and
  // its folder: a second run finishes the job.
  if (passes.ListIncomplete)
    return UninstallExitCode(outcome);

  // The list goes only once self-removal is under way: an uninstall stopped
  // before (at the restart notice, say) finds it again when run once more and
  // finishes its work; without it the tool could only report the list missing.
  char listPath[kPathSize];
  bool listNamed = JoinListPath(listPath, sizeof(listPath), folder, kListName);
  StartSelfRemoval(); // it may leave another folder current
  if (listNamed)
    DeleteFileA(listPath);
  return UninstallExitCode(outcome);
}
