#include "registry/view64.h"

#include "registry/registry.h"

namespace {
typedef LONG(WINAPI *RegDeleteKeyExAFn)(HKEY, LPCSTR, REGSAM, DWORD);
}

void DeleteRegKey64(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)) || IsRootRegPath(full))
    return;
  // RegDeleteKeyEx exists only where there are two views (64-bit Windows).
  RegDeleteKeyExAFn deleteEx =
    (RegDeleteKeyExAFn)(void *)GetProcAddress(GetModuleHandleA("advapi32"), "RegDeleteKeyExA");
  if (deleteEx)
    deleteEx(root, full, KEY_WOW64_64KEY, 0);
}
