#include "registry/registry.h"

#include "util/platform.h"
#include "util/text.h"

namespace {

// Added to the access of CreateRegKey: 0 or KEY_WOW64_64KEY.
REGSAM s_viewFlag = 0;
// Keys deleted during the current pass of DeleteRegTree.
unsigned int s_passDeleted = 0;
// Passes the last DeleteRegTree ran.
unsigned int s_passesRun = 0;

bool SetRegValue(HKEY root, const char *path, const char *name, DWORD type, const void *data,
                 DWORD size)
{
  HKEY key = CreateRegKey(root, path);
  if (!key)
    return false;
  LONG status = RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
  bool closed = CloseRegKey(key);
  return status == ERROR_SUCCESS && closed;
}

// Reads the raw bytes of a value into out; true with the byte count in
// *size when the value exists and fits.
bool QueryRegValue(HKEY root, const char *path, const char *name, void *out, DWORD *size)
{
  HKEY key = OpenRegKeyRead(root, path);
  if (!key)
    return false;
  LONG status = RegQueryValueExA(key, name, NULL, NULL, (BYTE *)out, size);
  CloseRegKey(key);
  return status == ERROR_SUCCESS;
}

// One deletion pass: depth first, every subkey that can be reached, then the
// key itself. Deleting while the index rises skips the sibling that moves
// into a freed index; the next pass picks it up.
void DeleteTreePass(HKEY root, const char *path)
{
  if (IsRootRegPath(path))
    return;
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  char name[kRegEnumNameSize];
  char subPath[kRegSubkeyPathSize];
  for (DWORD index = 0;; index++)
  {
    DWORD len = sizeof(name);
    if (RegEnumKeyExA(key, index, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
      break;
    name[len < sizeof(name) ? len : sizeof(name) - 1] = 0;
    // A path that does not fit is never cut short into another key's name:
    // that subtree stays, and so does everything above it.
    if (ComposeSubkeyPath(path, name, subPath, sizeof(subPath)))
      DeleteTreePass(root, subPath);
  }
  RegCloseKey(key);
  if (RegDeleteKeyA(root, path) == ERROR_SUCCESS)
    s_passDeleted++;
}

} // namespace

bool BuildRegPath(HKEY root, const char *path, char *out, size_t size)
{
  return ComposeRegPath(root == HKEY_CURRENT_USER, path, out, size);
}

HKEY CreateRegKey(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)))
    return NULL;
  HKEY key;
  if (RegCreateKeyExA(root, full, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE | s_viewFlag, NULL,
                      &key, NULL) != ERROR_SUCCESS)
    return NULL;
  return key;
}

HKEY OpenRegKeyRead(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)))
    return NULL;
  HKEY key;
  if (RegOpenKeyExA(root, full, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
    return NULL;
  return key;
}

bool CloseRegKey(HKEY key)
{
  if (!key)
    return false;
  return RegCloseKey(key) == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const char *path, const char *name, const char *text)
{
  return SetRegValue(root, path, name, REG_SZ, text, (DWORD)lstrlenA(text) + 1);
}

bool SetRegDword(HKEY root, const char *path, const char *name, DWORD value)
{
  return SetRegValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

bool SetRegBinary(HKEY root, const char *path, const char *name, const void *data, DWORD size)
{
  return SetRegValue(root, path, name, REG_BINARY, data, size);
}

bool GetRegString(HKEY root, const char *path, const char *name, char *out, const char *def,
                  DWORD size)
{
  if (size == 0)
    return false;
  DWORD len = size;
  if (QueryRegValue(root, path, name, out, &len) && len <= size)
  {
    // The stored bytes need not end in a zero. Terminate them by hand; a
    // value that fills the whole buffer without one did not fit.
    if (len < size)
    {
      out[len] = 0;
      return true;
    }
    if (out[size - 1] == 0)
      return true;
  }
  CopyText(out, size, def);
  return false;
}

bool GetRegBytes(HKEY root, const char *path, const char *name, void *out, DWORD size, DWORD *len)
{
  *len = size;
  if (QueryRegValue(root, path, name, out, len) && *len <= size)
    return true;
  *len = 0;
  return false;
}

bool GetRegDword(HKEY root, const char *path, const char *name, DWORD def, DWORD *out)
{
  // A shorter value (a REG_SZ of up to 4 bytes, say) gives its bytes with
  // zeros above them, never what happened to be in the buffer.
  DWORD value = 0;
  DWORD len = sizeof(value);
  if (QueryRegValue(root, path, name, &value, &len) && len <= sizeof(value))
  {
    *out = value;
    return true;
  }
  *out = def;
  return false;
}

DWORD GetRegDword(HKEY root, const char *path, const char *name, DWORD def)
{
  DWORD value;
  GetRegDword(root, path, name, def, &value);
  return value;
}

bool SetAppString(const char *path, const char *name, const char *text)
{
  return SetRegString(HKEY_CURRENT_USER, path, name, text);
}

bool SetAppDword(const char *path, const char *name, DWORD value)
{
  return SetRegDword(HKEY_CURRENT_USER, path, name, value);
}

bool GetAppString(const char *path, const char *name, char *out, const char *def, DWORD size)
{
  return GetRegString(HKEY_CURRENT_USER, path, name, out, def, size);
}

DWORD GetAppDword(const char *path, const char *name, DWORD def)
{
  return GetRegDword(HKEY_CURRENT_USER, path, name, def);
}

void DeleteRegKey(HKEY root, const char *path)
{
  char full[kRegPathSize];
  // An empty full path would name the root itself, which on the 9x family
  // RegDeleteKeyA would empty completely.
  if (BuildRegPath(root, path, full, sizeof(full)) && !IsRootRegPath(full))
    RegDeleteKeyA(root, full);
}

bool DeleteRegLeafKey(HKEY root, const char *path)
{
  DWORD subkeys, values;
  char full[kRegPathSize];
  if (!GetRegKeyCounts(root, path, &subkeys, &values) || subkeys != 0 ||
      !BuildRegPath(root, path, full, sizeof(full)) || IsRootRegPath(full))
    return false;
  return RegDeleteKeyA(root, full) == ERROR_SUCCESS;
}

bool IsRegKeyEmpty(HKEY root, const char *path)
{
  DWORD subkeys, values;
  return GetRegKeyCounts(root, path, &subkeys, &values) && subkeys == 0 && values == 0;
}

bool DeleteRegKeyIfEmpty(HKEY root, const char *path) { return IsRegKeyEmpty(root, path) && DeleteRegLeafKey(root, path); }

namespace {
typedef LONG(WINAPI *RegDeleteKeyExAFn)(HKEY, LPCSTR, REGSAM, DWORD);
}

void DeleteRegKey64(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)) || IsRootRegPath(full))
    return;
  // RegDeleteKeyExA exists only where there are two views (64-bit Windows),
  // and older systems lack it: looked up at run time.
  RegDeleteKeyExAFn deleteEx =
    (RegDeleteKeyExAFn)(void *)GetProcAddress(GetModuleHandleA("advapi32"), "RegDeleteKeyExA");
  if (deleteEx)
    deleteEx(root, full, KEY_WOW64_64KEY, 0);
}

void DeleteRegValue(HKEY root, const char *path, const char *name)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)))
    return;
  HKEY key;
  if (RegOpenKeyExA(root, full, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

void DeleteRegTree(HKEY root, const char *fullPath)
{
  s_passesRun = 0;
  // The 9x family deletes a whole tree in one call; never ask it to delete
  // the root.
  if (WinNtMajorVersion() == 0 && !IsRootRegPath(fullPath) &&
      RegDeleteKeyA(root, fullPath) == ERROR_SUCCESS)
    return;
  do
  {
    s_passDeleted = 0;
    DeleteTreePass(root, fullPath);
    s_passesRun++;
  } while (s_passDeleted != 0);
}

void DeleteAppTree(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (BuildRegPath(root, path, full, sizeof(full)))
    DeleteRegTree(root, full);
}

unsigned int RegTreePassCount()
{
  return s_passesRun;
}

bool RegKeyExists(HKEY root, const char *path)
{
  char full[kRegPathSize];
  if (!BuildRegPath(root, path, full, sizeof(full)))
    return false;
  HKEY key;
  if (RegOpenKeyExA(root, full, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool GetRegKeyCounts(HKEY root, const char *path, DWORD *subkeys, DWORD *values)
{
  HKEY key = OpenRegKeyRead(root, path);
  if (!key)
    return false;
  LONG status = RegQueryInfoKeyA(key, NULL, NULL, NULL, subkeys, NULL, NULL, values, NULL, NULL, NULL, NULL);
  CloseRegKey(key);
  return status == ERROR_SUCCESS;
}

void SetRegView64(bool on)
{
  s_viewFlag = on ? KEY_WOW64_64KEY : 0;
}
