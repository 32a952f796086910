// Helpers of the registry tests. They work on the registry with plain Win32
// calls, never through the layer under test, and report through
// AssertionResult so that a failing check names the test's own line.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace scratch {

// "QbxTest-<pid>-<n>": unique per call and per run, and short, so that long
// names below it still make paths the registry accepts.
inline std::string UniqueName()
{
  static unsigned int counter;
  char name[48];
  snprintf(name, sizeof(name), "QbxTest-%lu-%u", (unsigned long)GetCurrentProcessId(), ++counter);
  return name;
}

inline bool IsNtFamily()
{
  OSVERSIONINFOA info = {sizeof(info)};
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

inline bool IsWow64()
{
  BOOL wow = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow) && wow;
}

const REGSAM kViews = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Opens (or creates) path one name at a time, relative to the key above, so
// that paths longer than the A functions take at once (260 characters on
// this Wine) can be reached too. The view bits of access apply to each step.
inline LONG OpenPath(HKEY root, const std::string &path, REGSAM access, HKEY *out,
                     bool create = false)
{
  HKEY cur = root;
  size_t start = 0;
  for (;;)
  {
    size_t end = path.find('\\', start);
    bool last = end == std::string::npos;
    std::string part = path.substr(start, last ? std::string::npos : end - start);
    REGSAM sam = last ? access : ((create ? KEY_CREATE_SUB_KEY : READ_CONTROL) | (access & kViews));
    HKEY next;
    LONG rc = create ? RegCreateKeyExA(cur, part.c_str(), 0, NULL, 0, sam, NULL, &next, NULL)
                     : RegOpenKeyExA(cur, part.c_str(), 0, sam, &next);
    if (cur != root)
      RegCloseKey(cur);
    if (rc != ERROR_SUCCESS)
      return rc;
    cur = next;
    if (last)
    {
      *out = cur;
      return ERROR_SUCCESS;
    }
    start = end + 1;
  }
}

// Creates path (every missing level) below root.
inline ::testing::AssertionResult Create(HKEY root, const std::string &path, REGSAM view = 0)
{
  HKEY key;
  LONG rc = OpenPath(root, path, KEY_WRITE | view, &key, true);
  if (rc != ERROR_SUCCESS)
    return ::testing::AssertionFailure() << "cannot create " << path << ": " << rc;
  RegCloseKey(key);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SetValue(HKEY root, const std::string &path, const char *name,
                                           DWORD type, const void *data, DWORD size)
{
  HKEY key;
  LONG rc = OpenPath(root, path, KEY_WRITE, &key, true);
  if (rc == ERROR_SUCCESS)
  {
    rc = RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
  }
  if (rc != ERROR_SUCCESS)
    return ::testing::AssertionFailure() << "cannot set " << path << " " << name << ": " << rc;
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SetString(HKEY root, const std::string &path, const char *name,
                                            const std::string &text)
{
  return SetValue(root, path, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

inline ::testing::AssertionResult SetDword(HKEY root, const std::string &path, const char *name,
                                           DWORD value)
{
  return SetValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

// Deletes one value; a missing key or value is no error.
inline void DeleteValue(HKEY root, const std::string &path, const char *name)
{
  HKEY key;
  if (OpenPath(root, path, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// Presence of a key, also of one whose DACL denies reading (READ_CONTROL is
// never denied by these tests).
inline bool Present(HKEY root, const std::string &path, REGSAM view = 0)
{
  HKEY key;
  if (OpenPath(root, path, READ_CONTROL | view, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

inline ::testing::AssertionResult KeyExists(HKEY root, const std::string &path, REGSAM view = 0)
{
  if (Present(root, path, view))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "key " << path << " is missing";
}

inline ::testing::AssertionResult KeyMissing(HKEY root, const std::string &path, REGSAM view = 0)
{
  if (!Present(root, path, view))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "key " << path << " exists";
}

struct RawValue
{
  LONG Status = ERROR_FILE_NOT_FOUND;
  DWORD Type = REG_NONE;
  std::string Data;
};

inline RawValue Query(HKEY root, const std::string &path, const char *name, REGSAM view = 0)
{
  RawValue v;
  HKEY key;
  v.Status = OpenPath(root, path, KEY_QUERY_VALUE | view, &key);
  if (v.Status != ERROR_SUCCESS)
    return v;
  char data[4096];
  DWORD size = sizeof(data);
  v.Status = RegQueryValueExA(key, name, NULL, &v.Type, (BYTE *)data, &size);
  if (v.Status == ERROR_SUCCESS)
    v.Data.assign(data, size);
  RegCloseKey(key);
  return v;
}

inline ::testing::AssertionResult HasDword(HKEY root, const std::string &path, const char *name,
                                           DWORD expected)
{
  RawValue v = Query(root, path, name);
  if (v.Status != ERROR_SUCCESS)
    return ::testing::AssertionFailure() << path << " " << name << ": status " << v.Status;
  if (v.Type != REG_DWORD || v.Data.size() != 4)
    return ::testing::AssertionFailure() << path << " " << name << ": type " << v.Type << ", "
                                         << v.Data.size() << " bytes";
  DWORD got;
  memcpy(&got, v.Data.data(), 4);
  if (got != expected)
    return ::testing::AssertionFailure() << path << " " << name << " is " << got << ", not "
                                         << expected;
  return ::testing::AssertionSuccess();
}

// Names of the subkeys of an open key.
inline std::vector<std::string> SubkeyNames(HKEY key)
{
  std::vector<std::string> names;
  char name[512];
  for (DWORD i = 0;; i++)
  {
    DWORD len = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  return names;
}

inline void ListTree(HKEY key, const std::string &prefix, std::vector<std::string> &out)
{
  for (const std::string &n : SubkeyNames(key))
  {
    out.push_back(prefix + n);
    HKEY sub;
    if (RegOpenKeyExA(key, n.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &sub) == ERROR_SUCCESS)
    {
      ListTree(sub, prefix + n + "\\", out);
      RegCloseKey(sub);
    }
  }
}

// Every key below path (path itself excluded), as paths relative to it, in
// enumeration order. Keys that cannot be enumerated count as leaves.
inline std::vector<std::string> Tree(HKEY root, const std::string &path)
{
  std::vector<std::string> out;
  HKEY key;
  if (OpenPath(root, path, KEY_ENUMERATE_SUB_KEYS, &key) == ERROR_SUCCESS)
  {
    ListTree(key, "", out);
    RegCloseKey(key);
  }
  return out;
}

// Replaces the key's DACL with: deny `denied` to the current user, allow
// everything else to the current user.
inline ::testing::AssertionResult DenyAccess(HKEY root, const std::string &path, DWORD denied)
{
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return ::testing::AssertionFailure() << "OpenProcessToken " << GetLastError();
  union
  {
    TOKEN_USER User;
    BYTE Bytes[256];
  } user;
  DWORD len;
  BOOL ok = GetTokenInformation(token, TokenUser, &user, sizeof(user), &len);
  CloseHandle(token);
  if (!ok)
    return ::testing::AssertionFailure() << "GetTokenInformation " << GetLastError();
  PSID sid = user.User.User.Sid;
  union
  {
    ACL Acl;
    BYTE Bytes[512];
  } acl;
  SECURITY_DESCRIPTOR sd;
  if (!InitializeAcl(&acl.Acl, sizeof(acl), ACL_REVISION) ||
      !AddAccessDeniedAce(&acl.Acl, ACL_REVISION, denied, sid) ||
      !AddAccessAllowedAce(&acl.Acl, ACL_REVISION, KEY_ALL_ACCESS, sid) ||
      !InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&sd, TRUE, &acl.Acl, FALSE))
    return ::testing::AssertionFailure() << "building the DACL: " << GetLastError();
  HKEY key;
  LONG rc = OpenPath(root, path, WRITE_DAC, &key);
  if (rc == ERROR_SUCCESS)
  {
    rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
  }
  if (rc != ERROR_SUCCESS)
    return ::testing::AssertionFailure() << "setting the DACL of " << path << ": " << rc;
  return ::testing::AssertionSuccess();
}

// Gives an open key a DACL that allows everything again (a null DACL).
inline void AllowAll(HKEY key)
{
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, NULL, FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
}

inline void AllowAll(HKEY root, const std::string &path)
{
  HKEY key;
  if (OpenPath(root, path, WRITE_DAC, &key) == ERROR_SUCCESS)
  {
    AllowAll(key);
    RegCloseKey(key);
  }
}

// Deletes the subkey name of an open key with everything below it.
inline void RemoveBelow(HKEY parent, const std::string &name, REGSAM view)
{
  HKEY key;
  if (RegOpenKeyExA(parent, name.c_str(), 0, WRITE_DAC | KEY_ENUMERATE_SUB_KEYS | view, &key) ==
      ERROR_SUCCESS)
  {
    AllowAll(key); // a test may have denied access to it
    for (const std::string &n : SubkeyNames(key))
      RemoveBelow(key, n, view);
    RegCloseKey(key);
  }
  RegDeleteKeyExA(parent, name.c_str(), view, 0);
}

// Removes a key and everything below it, restoring access to keys whose
// DACL a test changed; for the tests' own clean-up.
inline void Remove(HKEY root, const std::string &path, REGSAM view = 0)
{
  size_t cut = path.rfind('\\');
  if (cut == std::string::npos)
  {
    RemoveBelow(root, path, view);
    return;
  }
  HKEY parent;
  if (OpenPath(root, path.substr(0, cut), READ_CONTROL | view, &parent) != ERROR_SUCCESS)
    return;
  RemoveBelow(parent, path.substr(cut + 1), view);
  RegCloseKey(parent);
}

// Removes the key when it has neither subkeys nor values.
inline void RemoveIfEmpty(HKEY root, const std::string &path)
{
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
  RegCloseKey(key);
  if (subkeys == 0 && values == 0)
    RegDeleteKeyA(root, path.c_str());
}

} // namespace scratch
