#include <windows.h>

#include "integration/association_rules.h"
#include "integration/integration.h"
#include "integration/setup_options.h"
#include "registry/registry.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// Handler keys named after the CLSID, registered with an empty default.
const char *const kClsidHandlers[] = {
  "Quabix\\shellex\\ContextMenuHandlers\\%s",
  "Quabix\\shellex\\PropertySheetHandlers\\%s",
  "Quabix.ZIP\\shellex\\ContextMenuHandlers\\%s",
  "Quabix.ZIP\\shellex\\PropertySheetHandlers\\%s",
  "exefile\\shellex\\PropertySheetHandlers\\%s",
};
// Keys shared by both DLLs whose default value names the CLSID.
const char *const kDropHandlers[] = {
  "Quabix\\shellex\\DropHandler",
  "Quabix.ZIP\\shellex\\DropHandler",
};
// Keys named "Quabix" whose default value names the CLSID. Their parents
// can be Windows' own, so removal takes only these keys, and only when
// nothing but what setup wrote is in them.
const char *const kNamedHandlers[] = {
  "*\\shellex\\ContextMenuHandlers\\Quabix",
  "Folder\\shellex\\ContextMenuHandlers\\Quabix",
  "Folder\\shellex\\DragDropHandlers\\Quabix",
  "Drive\\shellex\\DragDropHandlers\\Quabix",
  "Directory\\shellex\\ContextMenuHandlers\\Quabix",
  "Directory\\shellex\\DragDropHandlers\\Quabix",
};

const size_t kKeySize = 1024;

int s_wow64 = -1;

typedef BOOL(WINAPI *IsWow64ProcessFn)(HANDLE, PBOOL);

bool ProbeWow64(bool &answer)
{
  // Looked up at run time: older systems have no IsWow64Process.
  IsWow64ProcessFn probe = (IsWow64ProcessFn)GetKernelProc("IsWow64Process");
  BOOL wow64 = FALSE;
  if (!probe || !probe(GetCurrentProcess(), &wow64))
    return false;
  answer = wow64 != 0;
  return true;
}

// A handler key named "Quabix": its default value goes when it names the
// extension, and the key when nothing else is left in it.
void RemoveNamedHandler(const char *key, const char *clsid)
{
  char value[64];
  if (GetRegString(HKEY_CLASSES_ROOT, key, "", value, "", sizeof(value)) && NamesProductClsid(value, clsid))
    DeleteRegValue(HKEY_CLASSES_ROOT, key, "");
  DeleteRegKeyIfEmpty(HKEY_CLASSES_ROOT, key);
}

} // namespace

bool IsWow64()
{
  return CachedProbe(s_wow64, ProbeWow64);
}

void RegisterShellExtensionDll(bool registerIt, const char *dllName, const char *clsid, bool view64)
{
  char classKey[kKeySize], serverKey[kKeySize], key[kKeySize];
  if (!FormatText(classKey, sizeof(classKey), "CLSID\\%s", clsid) ||
      !FormatText(serverKey, sizeof(serverKey), "CLSID\\%s\\InProcServer32", clsid))
    return;
  if (registerIt)
  {
    char dll[kPathSize];
    if (GetModulePath(dll, sizeof(dll)) && ReplaceFileName(dll, sizeof(dll), dllName) && FileExists(dll))
    {
      if (view64)
        SetRegView64(true);
      SetRegString(HKEY_CLASSES_ROOT, classKey, "", "Quabix");
      SetRegString(HKEY_CLASSES_ROOT, serverKey, "", dll);
      SetRegString(HKEY_CLASSES_ROOT, serverKey, "ThreadingModel", "Apartment");
      if (view64)
        SetRegView64(false);
    }
    for (size_t i = 0; i < sizeof(kClsidHandlers) / sizeof(kClsidHandlers[0]); i++)
      if (FormatText(key, sizeof(key), kClsidHandlers[i], clsid))
        SetRegString(HKEY_CLASSES_ROOT, key, "", "");
    for (size_t i = 0; i < sizeof(kDropHandlers) / sizeof(kDropHandlers[0]); i++)
      SetRegString(HKEY_CLASSES_ROOT, kDropHandlers[i], "", clsid);
    for (size_t i = 0; i < sizeof(kNamedHandlers) / sizeof(kNamedHandlers[0]); i++)
      SetRegString(HKEY_CLASSES_ROOT, kNamedHandlers[i], "", clsid);
    SetRegString(HKEY_LOCAL_MACHINE, kApproved, clsid, "Quabix shell extension");
    return;
  }
  DeleteRegKey(HKEY_CLASSES_ROOT, serverKey);
  DeleteRegKey(HKEY_CLASSES_ROOT, classKey);
  if (view64)
  {
    // Registration wrote these keys in the 64-bit view; remove them there,
    // or a registration naming a deleted DLL would stay behind.
    DeleteRegKey64(HKEY_CLASSES_ROOT, serverKey);
    DeleteRegKey64(HKEY_CLASSES_ROOT, classKey);
  }
  for (size_t i = 0; i < sizeof(kClsidHandlers) / sizeof(kClsidHandlers[0]); i++)
    if (FormatText(key, sizeof(key), kClsidHandlers[i], clsid))
      DeleteRegKey(HKEY_CLASSES_ROOT, key);
  for (size_t i = 0; i < sizeof(kDropHandlers) / sizeof(kDropHandlers[0]); i++)
    DeleteRegKey(HKEY_CLASSES_ROOT, kDropHandlers[i]);
  for (size_t i = 0; i < sizeof(kNamedHandlers) / sizeof(kNamedHandlers[0]); i++)
    RemoveNamedHandler(kNamedHandlers[i], clsid);
  DeleteRegValue(HKEY_LOCAL_MACHINE, kApproved, clsid);
}

void ApplyShellExtension(const SetupOptions &options)
{
  RegisterShellExtensionDll(options.ShellExt != 0, "qbxext.dll", kShellExtClsid32, false);
  if (IsWow64())
    RegisterShellExtensionDll(options.ShellExt != 0, "qbxext64.dll", kShellExtClsid64, true);
}
