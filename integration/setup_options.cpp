#include "integration/setup_options.h"

#include <windows.h>

#include "registry/registry.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

// The choices that are not associations, in the order they are stored.
struct OptionValue
{
  unsigned char SetupOptions::*Field;
  const char *Path;
  const char *Name;
  DWORD Default;
};

const OptionValue kOptionValues[] = {
  {&SetupOptions::Desktop, "Setup\\Links", "Desktop", 0},
  {&SetupOptions::StartMenu, "Setup\\Links", "StartMenu", 0},
  {&SetupOptions::Programs, "Setup\\Links", "Programs", 1},
  {&SetupOptions::ShellExt, "Setup", "ShellExt", 1},
  {&SetupOptions::CascadedMenu, "Setup", "CascadedMenu", 0},
  {&SetupOptions::MenuIcons, "Setup", "MenuIcons", 1},
};

const char kSetValue[] = "Set";

// Size of the buffer an extension's default value is read into: a value of
// this many characters or more does not fit with its terminator.
const DWORD kOwnerSize = 80;

bool ChoicePath(int row, char *out, size_t size)
{
  return FormatText(out, size, "Setup\\%s", g_ArchiveTypes[row].PrimaryExt);
}

// True when another program's document type is bound to the extension.
bool OtherOwner(const char *ext)
{
  if (IsOwnAssociation(ext))
    return false;
  char owner[kOwnerSize];
  GetRegString(HKEY_CLASSES_ROOT, ext, "", owner, "", sizeof(owner));
  return owner[0] != 0;
}

} // namespace

bool IsOwnAssociation(const char *ext)
{
  char owner[kOwnerSize];
  GetRegString(HKEY_CLASSES_ROOT, ext, "", owner, "", sizeof(owner));
  return CompareTextNoCase(owner, kDocType) == 0 || CompareTextNoCase(owner, kZipDocType) == 0;
}

void LoadSetupOptions(SetupOptions &options)
{
  char path[kRegPathSize];
  for (int row = 0; row < kArchiveTypeCount; row++)
  {
    DWORD set = 1;
    if (ChoicePath(row, path, sizeof(path)))
      set = GetAppDword(path, kSetValue, 1);
    options.Associations[row] = set != 0;
  }
  // JAR and ISO are often owned by other programs: the user keeps them
  // unless they are the archiver's or nobody's, whatever was stored.
  const int contested[] = {kJarRow, kIsoRow};
  for (int row : contested)
    if (OtherOwner(g_ArchiveTypes[row].PrimaryExt))
      options.Associations[row] = 0;
  for (const OptionValue &v : kOptionValues)
    options.*v.Field = GetAppDword(v.Path, v.Name, v.Default) != 0;
}

void SaveSetupOptions(const SetupOptions &options)
{
  char path[kRegPathSize];
  for (int row = 0; row < kArchiveTypeCount; row++)
    if (ChoicePath(row, path, sizeof(path)))
      SetAppDword(path, kSetValue, options.Associations[row] ? 1 : 0);
  for (const OptionValue &v : kOptionValues)
    SetAppDword(v.Path, v.Name, options.*v.Field ? 1 : 0);
}
