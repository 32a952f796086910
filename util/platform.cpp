#include "util/platform.h"

#include <windows.h>

#include "util/path.h"
#include "util/text.h"

void FillDbcsTable(DbcsTable &table)
{
  CPINFO info;
  table.MultiByte = (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) ? 1 : 0;
  for (int i = 0; i < 256; i++)
    table.LeadByte[i] = IsDBCSLeadByte((BYTE)i) ? 1 : 0;
}

void *GetKernelProc(const char *name) { return (void *)GetProcAddress(GetModuleHandleA("kernel32"), name); }

namespace {
DWORD s_platformId = (DWORD)-1;
DWORD s_majorVersion;
} // namespace

unsigned int WinNtMajorVersion()
{
  if (s_platformId == (DWORD)-1)
  {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (GetVersionExA(&info))
    {
      s_platformId = info.dwPlatformId;
      s_majorVersion = info.dwMajorVersion;
    }
    else
      s_platformId = 0; // a failed probe counts as not NT, and is not repeated
  }
  return s_platformId == VER_PLATFORM_WIN32_NT ? s_majorVersion : 0;
}

int CompareTextNoCase(const char *a, const char *b)
{
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, a, -1, b, -1) - 2;
}

bool FileExists(const char *name)
{
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

bool GetModulePath(char *buffer, size_t size)
{
  DWORD len = GetModuleFileNameA(NULL, buffer, (DWORD)size);
  // A full buffer means the name was cut short (and on XP not terminated).
  if (len == 0 || len >= size)
  {
    if (size)
      *buffer = 0;
    return false;
  }
  buffer[len] = 0;
  return true;
}

namespace {
typedef HWINSTA(WINAPI *GetProcessWindowStationFn)();
typedef BOOL(WINAPI *GetUserObjectInformationFn)(HANDLE, int, PVOID, DWORD, LPDWORD);
typedef BOOL(WINAPI *ProcessIdToSessionIdFn)(DWORD, DWORD *);

bool ProbePersonCanSee()
{
  HMODULE user = GetModuleHandleA("user32"); // imported, so loaded
  GetProcessWindowStationFn station =
    (GetProcessWindowStationFn)(void *)GetProcAddress(user, "GetProcessWindowStation");
  GetUserObjectInformationFn information =
    (GetUserObjectInformationFn)(void *)GetProcAddress(user, "GetUserObjectInformationA");
  if (station && information)
  {
    USEROBJECTFLAGS flags;
    DWORD needed = 0;
    HWINSTA handle = station();
    // A station that cannot be asked counts as unseen: the exit code tells.
    if (!handle || !information(handle, UOI_FLAGS, &flags, sizeof(flags), &needed) ||
        !(flags.dwFlags & WSF_VISIBLE))
      return false;
  }
  if (WinNtMajorVersion() >= 6)
  {
    ProcessIdToSessionIdFn session = (ProcessIdToSessionIdFn)GetKernelProc("ProcessIdToSessionId");
    DWORD id = 0;
    if (session && session(GetCurrentProcessId(), &id) && id == 0)
      return false;
  }
  return true;
}

int s_personCanSee = -1;
} // namespace

bool PersonCanSee()
{
  if (s_personCanSee < 0)
    s_personCanSee = ProbePersonCanSee() ? 1 : 0;
  return s_personCanSee != 0;
}

bool GetFileShortPath(const char *path, char *buffer, size_t size)
{
  char full[kPathSize];
  DWORD len = GetFullPathNameA(path, sizeof(full), full, NULL);
  if (len == 0 || len >= sizeof(full))
    return false;
  len = GetShortPathNameA(full, buffer, (DWORD)size);
  if (len > 0 && len < size)
    return true;
  // "x.exe.exe" names nothing either.
  if (!AppendText(full, sizeof(full), ".exe"))
    return false;
  len = GetShortPathNameA(full, buffer, (DWORD)size);
  return len > 0 && len < size;
}

bool NamesSameFile(const char *path, void *shortPath)
{
  char own[kPathSize];
  return GetFileShortPath(path, own, sizeof(own)) && CompareTextNoCase(own, (const char *)shortPath) == 0;
}
