#include <windows.h>

#include "app/resource.h"
#include "integration/integration.h"
#include "integration/setup_options.h"
#include "lang/lang_string.h"
#include "registry/registry.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe";
} // namespace

void WriteUninstallEntry()
{
  SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", GetLangString(IDS_DISPLAY_NAME));
  char tool[kPathSize];
  if (GetModulePath(tool, sizeof(tool)))
    SetRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", tool);
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
