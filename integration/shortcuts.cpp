#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string.h>

#include "app/resource.h"
#include "integration/association_rules.h"
#include "integration/integration.h"
#include "integration/saved_records.h"
#include "integration/setup_options.h"
#include "lang/lang_string.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

// The path of a special folder; false when the system cannot resolve it.
bool SpecialFolder(int csidl, char *out, size_t size)
{
  if (size < MAX_PATH)
    return false;
  LPITEMIDLIST items = NULL;
  if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &items)) || !items)
    return false;
  BOOL ok = SHGetPathFromIDListA(items, out);
  IMalloc *malloc = NULL;
  if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc)
  {
    malloc->Free(items);
    malloc->Release();
  }
  return ok != 0;
}

bool JoinName(char *path, size_t size, const char *folder, const char *name)
{
  return CopyText(path, size, folder) && AppendBackslash(path, size) && AppendText(path, size, name);
}

struct GroupEntry
{
  const char *FixedName; // or null: the name is the string NameId
  UINT NameId;
  const char *Target;
};

const GroupEntry kGroupEntries[] = {
  {"Quabix", 0, "Quabix.exe"},
  {NULL, IDS_HELP_LINK, "Quabix.hlp"},
  {NULL, IDS_MANUAL_LINK, "Qbx.txt"},
};

// A program group "Quabix" in a Programs folder, made or removed.
void ApplyProgramGroup(bool create, const char *programs, const char *installFolder, const char *description,
                       char *groupPath, size_t groupSize)
{
  char folder[kPathSize];
  if (!JoinName(folder, sizeof(folder), programs, "Quabix"))
    return;
  if (!create)
  {
    DeleteFolder(folder);
    return;
  }
  if (groupPath)
    CopyText(groupPath, groupSize, folder);
  CreateDirectoryA(folder, NULL);
  if (FileExists(folder))
    AddSavedPath(kSavedGroups, folder);
  for (size_t i = 0; i < sizeof(kGroupEntries) / sizeof(kGroupEntries[0]); i++)
  {
    const GroupEntry &e = kGroupEntries[i];
    char name[512 + 8], link[kPathSize], target[kPathSize];
    if (!CopyText(name, sizeof(name), e.FixedName ? e.FixedName : GetLangString(e.NameId)) ||
        !AppendText(name, sizeof(name), ".lnk") || !JoinName(link, sizeof(link), folder, name) ||
        !JoinName(target, sizeof(target), installFolder, e.Target))
      continue;
    if (CreateShellLink(target, link, description))
      AddSavedPath(kSavedLinks, link);
  }
}

// The target path of a link file; false when it cannot be read.
bool ReadShellLinkTarget(const char *link, char *out, size_t size)
{
  if (size < MAX_PATH)
    return false;
  IShellLinkA *shellLink = NULL;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&shellLink)))
    return false;
  bool read = false;
  IPersistFile *file = NULL;
  WCHAR wide[MAX_PATH];
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void **)&file)))
  {
    out[0] = 0;
    read = MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) > 0 && SUCCEEDED(file->Load(wide, STGM_READ)) &&
           SUCCEEDED(shellLink->GetPath(out, MAX_PATH, NULL, SLGP_RAWPATH)) && out[0] != 0;
    file->Release();
  }
  shellLink->Release();
  return read;
}

// A link that still points at the archiver, its help or its manual in the
// install folder, as setup wrote it or in the short form of both paths (the
// tool may be started under either spelling of its folder).
bool IsProductLink(const char *link, const char *installFolder)
{
  char target[kPathSize];
  if (!ReadShellLinkTarget(link, target, sizeof(target)))
    return false;
  if (IsProductLinkTarget(target, installFolder))
    return true;
  char shortTarget[kPathSize], shortFolder[kPathSize];
  DWORD a = GetShortPathNameA(target, shortTarget, sizeof(shortTarget));
  DWORD b = GetShortPathNameA(installFolder, shortFolder, sizeof(shortFolder));
  return a && a < sizeof(shortTarget) && b && b < sizeof(shortFolder) && IsProductLinkTarget(shortTarget, shortFolder);
}

} // namespace

bool CreateShellLink(const char *target, const char *link, const char *description)
{
  IShellLinkA *shellLink = NULL;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&shellLink)))
    return false;
  shellLink->SetPath(target);
  shellLink->SetDescription(description);
  bool saved = false;
  IPersistFile *file = NULL;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void **)&file)))
  {
    // A name that does not convert whole is not saved under a garbled one.
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) > 0)
      saved = SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
  }
  shellLink->Release();
  return saved;
}

bool DeleteFolder(const char *folder)
{
  if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
    return false;
  // The source list of SHFileOperation ends with a second NUL; a path with
  // no room for it is refused rather than cut short.
  char from[kPathSize];
  size_t len = strlen(folder);
  if (len + 2 > sizeof(from))
    return false;
  memcpy(from, folder, len);
  from[len] = 0;
  from[len + 1] = 0;
  SHFILEOPSTRUCTA op;
  ZeroMemory(&op, sizeof(op));
  op.wFunc = FO_DELETE;
  op.pFrom = from;
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  return SHFileOperationA(&op) == 0;
}

void ApplyShortcuts(const SetupOptions &options, char *groupPath, size_t groupSize)
{
  char installFolder[kPathSize], target[kPathSize];
  if (!GetModulePath(installFolder, sizeof(installFolder)))
    return;
  StripFileName(installFolder);
  if (!JoinName(target, sizeof(target), installFolder, "Quabix.exe"))
    return;
  const char *description = GetLangString(IDS_LINK_DESCRIPTION);
  char folder[kPathSize], link[kPathSize];

  if (SpecialFolder(CSIDL_DESKTOPDIRECTORY, folder, sizeof(folder)) &&
      JoinName(link, sizeof(link), folder, "Quabix.lnk"))
  {
    if (!options.Desktop)
      DeleteFileA(link);
    else if (FileExists(link) || CreateShellLink(target, link, description)) // a link the user edited stays
      AddSavedPath(kSavedLinks, link);
  }
  if (SpecialFolder(CSIDL_STARTMENU, folder, sizeof(folder)) && JoinName(link, sizeof(link), folder, "Quabix.lnk"))
  {
    if (!options.StartMenu)
      DeleteFileA(link);
    else if (CreateShellLink(target, link, description))
      AddSavedPath(kSavedLinks, link);
  }
  if (SpecialFolder(CSIDL_PROGRAMS, folder, sizeof(folder)))
    ApplyProgramGroup(options.Programs != 0, folder, installFolder, description, groupPath, groupSize);
  if (WinNtMajorVersion() && SpecialFolder(CSIDL_COMMON_PROGRAMS, folder, sizeof(folder)))
    ApplyProgramGroup(options.Programs != 0, folder, installFolder, description, NULL, 0);
}

void RemoveSavedShortcuts()
{
  char installFolder[kPathSize];
  if (!GetModulePath(installFolder, sizeof(installFolder)))
    return;
  StripFileName(installFolder);
  // The links of both copies of the record first, then the groups they
  // were in, which go only when nothing else is left in them.
  char path[kPathSize];
  for (int copy = 0; copy < 2; copy++)
    for (int i = 0; GetSavedPath(copy != 0, kSavedLinks, i, path, sizeof(path)); i++)
      if (IsProductLink(path, installFolder))
        DeleteFileA(path);
  for (int copy = 0; copy < 2; copy++)
    for (int i = 0; GetSavedPath(copy != 0, kSavedGroups, i, path, sizeof(path)); i++)
      RemoveDirectoryA(path);
}
