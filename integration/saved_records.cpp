#include "integration/saved_records.h"

#include "registry/registry.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

const char kMachineRecordKey[] = "Software\\Quabix\\Setup";
const char kSavedLinks[] = "Setup\\Shortcuts";
const char kSavedGroups[] = "Setup\\Groups";

namespace {

const char kMachineProductKey[] = "Software\\Quabix";
// More entries than setup ever makes (two links, two groups of three, a
// translation or two added); bounds the scan of a list that was tampered with.
const int kMaxSavedPaths = 64;

// The machine-wide key of a path below the application key.
bool MachinePath(const char *path, char *out, size_t size)
{
  return FormatText(out, size, "%s\\%s", kMachineProductKey, path);
}

bool ItemName(int index, char *out, size_t size) { return FormatText(out, size, "%d", index); }

// Adds item to one copy's list: root HKEY_CURRENT_USER with the path, or
// HKEY_LOCAL_MACHINE with the machine-wide key.
void AddPathTo(HKEY root, const char *key, const char *item)
{
  for (int i = 0; i < kMaxSavedPaths; i++)
  {
    char name[16], held[kPathSize];
    if (!ItemName(i, name, sizeof(name)))
      return;
    if (!GetRegString(root, key, name, held, "", sizeof(held)))
    {
      SetRegString(root, key, name, item);
      return;
    }
    if (CompareTextNoCase(held, item) == 0)
      return;
  }
}

} // namespace

void SetSavedString(const char *path, const char *name, const char *text)
{
  SetAppString(path, name, text);
  char machine[kRegPathSize];
  if (MachinePath(path, machine, sizeof(machine)))
    SetRegString(HKEY_LOCAL_MACHINE, machine, name, text);
}

void SetSavedDword(const char *path, const char *name, DWORD value)
{
  SetAppDword(path, name, value);
  char machine[kRegPathSize];
  if (MachinePath(path, machine, sizeof(machine)))
    SetRegDword(HKEY_LOCAL_MACHINE, machine, name, value);
}

bool GetSavedString(const char *path, const char *name, char *out, const char *def, DWORD size)
{
  if (GetAppString(path, name, out, def, size))
    return true;
  char machine[kRegPathSize];
  return MachinePath(path, machine, sizeof(machine)) &&
         GetRegString(HKEY_LOCAL_MACHINE, machine, name, out, def, size);
}

DWORD GetSavedDword(const char *path, const char *name, DWORD def)
{
  DWORD value;
  char machine[kRegPathSize];
  if (!GetRegDword(HKEY_CURRENT_USER, path, name, def, &value) && MachinePath(path, machine, sizeof(machine)))
    GetRegDword(HKEY_LOCAL_MACHINE, machine, name, def, &value);
  return value;
}

void AddSavedPath(const char *path, const char *item)
{
  AddPathTo(HKEY_CURRENT_USER, path, item);
  char machine[kRegPathSize];
  if (MachinePath(path, machine, sizeof(machine)))
    AddPathTo(HKEY_LOCAL_MACHINE, machine, item);
}

bool GetSavedPath(bool machine, const char *path, int index, char *out, DWORD size)
{
  char name[16], key[kRegPathSize];
  if (index < 0 || index >= kMaxSavedPaths || !ItemName(index, name, sizeof(name)))
    return false;
  if (!machine)
    return GetRegString(HKEY_CURRENT_USER, path, name, out, "", size);
  return MachinePath(path, key, sizeof(key)) && GetRegString(HKEY_LOCAL_MACHINE, key, name, out, "", size);
}

void DeleteMachineRecord()
{
  DeleteRegTree(HKEY_LOCAL_MACHINE, kMachineRecordKey);
  DeleteRegKeyIfEmpty(HKEY_LOCAL_MACHINE, kMachineProductKey);
}
