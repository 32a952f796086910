#include <windows.h>

#include "app/resource.h"
#include "integration/integration.h"
#include "integration/setup_options.h"
#include "integration/uninstall_entry.h"
#include "lang/lang_string.h"
#include "registry/registry.h"
#include "uninstall/uninstall_list.h"
#include "util/file.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe";

// A text of the tool's own version resource, in the ANSI code page. The
// resource is read in place from the running module, so that no version.dll
// is needed.
bool OwnVersionText(const char *name, char *out, int size)
{
  HRSRC info = FindResourceA(NULL, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL data = info ? LoadResource(NULL, info) : NULL;
  const void *block = data ? LockResource(data) : NULL;
  wchar_t text[256];
  return block && FindVersionText(block, SizeofResource(NULL, info), name, text, 256) &&
         WideCharToMultiByte(CP_ACP, 0, text, -1, out, size, NULL, NULL) > 0;
}

// FindFirstFileA rather than GetFileAttributesExA, which Windows 95 lacks;
// names with wildcards never get here.
bool ProbeFileSize(void *, const char *path, unsigned long long *size)
{
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path, &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  FindClose(find);
  *size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ? 0
            : ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
  return true;
}

// Kilobytes of the files that "Uninstall.lst" in folder (ending in a
// backslash) names. False when there is no list to read.
bool ListedSizeKb(const char *folder, DWORD *kb)
{
  char path[kPathSize];
  File list;
  if (!JoinListPath(path, sizeof(path), folder, "Uninstall.lst") || !list.Open(path, true))
    return false;
  ListReader reader;
  InitListReader(reader, ReadFromFile, &list);
  *kb = ListedFilesKb(reader, folder, ProbeFileSize, NULL);
  return true;
}
} // namespace

// All values go with the key at uninstall. The commands are quoted: Windows
// hands them on unchanged, and an unquoted path with blanks is split.
void WriteUninstallEntry()
{
  SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", GetLangString(IDS_DISPLAY_NAME));
  char tool[kPathSize];
  if (!GetModulePath(tool, sizeof(tool)))
    return;
  char text[kPathSize + 8];
  if (FormatText(text, sizeof(text), "\"%s\"", tool))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", text);
  if (FormatText(text, sizeof(text), "\"%s\" /s", tool))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", text);
  if (CopyText(text, sizeof(text), tool) && ReplaceFileName(text, sizeof(text), "Quabix.exe") &&
      AppendText(text, sizeof(text), ",0"))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon", text);
  if (OwnVersionText("ProductVersion", text, sizeof(text)))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", text);
  if (OwnVersionText("CompanyName", text, sizeof(text)))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", text);
  char folder[kPathSize];
  CopyText(folder, sizeof(folder), tool);
  StripFileName(folder); // a drive root keeps its backslash
  SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", folder);
  // Without a list the size is unknown: no value rather than 0 KB.
  DWORD kb;
  if (AppendBackslash(folder, sizeof(folder)) && ListedSizeKb(folder, &kb))
    SetRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", kb);
  else
    DeleteRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
  SetRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair", 1);
}

void WriteAppPaths()
{
  char archiver[kPathSize];
  if (!GetModulePath(archiver, sizeof(archiver)) || !ReplaceFileName(archiver, sizeof(archiver), "Quabix.exe"))
    return;
  SetRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, "", archiver);
  char folder[kPathSize];
  CopyText(folder, sizeof(folder), archiver);
  StripFileName(folder); // a drive root keeps its backslash
  SetRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", folder);
}

void ApplySetupOptions(const SetupOptions &options, char *groupPath, size_t groupSize)
{
  WriteAppPaths();
  ApplyShellExtension(options);
  ApplyAssociations(options);
  RegisterDocumentTypes();
  ApplyShortcuts(options, groupPath, groupSize);
}

void SaveAndApplySetupOptions(const SetupOptions &options, char *groupPath, size_t groupSize)
{
  SaveSetupOptions(options);
  ApplySetupOptions(options, groupPath, groupSize);
  WriteUninstallEntry();
}
