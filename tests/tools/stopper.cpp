// stopper: interrupts a program at a chosen point of its work, from outside,
// as a power cut or a user's kill would: it watches for a file or registry
// key to appear or disappear and then terminates every process of the given
// executable name at once.
//
//   stopper <exe name> <ready flag> <condition> <path> [ms]
//     conditions: file-gone, file-there, key-gone, key-there
//     key paths:  HKCR\..., HKCU\..., HKLM\...
//
// It writes <ready flag> once it watches, so the test starts the program
// only then. Prints {"stopped":n,"polls":p} (n processes ended) or an error;
// exit code 1 when the condition was not met within ms (default 60000) or no
// process was there to stop.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool FileThere(const char *path)
{
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool KeyThere(const char *path)
{
  HKEY root;
  if (_strnicmp(path, "HKCR\\", 5) == 0)
    root = HKEY_CLASSES_ROOT;
  else if (_strnicmp(path, "HKCU\\", 5) == 0)
    root = HKEY_CURRENT_USER;
  else if (_strnicmp(path, "HKLM\\", 5) == 0)
    root = HKEY_LOCAL_MACHINE;
  else
    return false;
  HKEY key;
  if (RegOpenKeyExA(root, path + 5, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

int StopAll(const char *name)
{
  int stopped = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE)
    return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry))
  {
    if (_stricmp(entry.szExeFile, name) != 0)
      continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (!process)
      continue;
    if (TerminateProcess(process, 9))
    {
      WaitForSingleObject(process, 10000);
      stopped++;
    }
    CloseHandle(process);
  }
  CloseHandle(snap);
  return stopped;
}

} // namespace

int main(int argc, char **argv)
{
  if (argc < 5)
  {
    printf("{\"error\":\"usage\"}\n");
    return 1;
  }
  const char *exe = argv[1], *flag = argv[2], *condition = argv[3], *path = argv[4];
  int ms = argc > 5 ? atoi(argv[5]) : 60000;
  bool key = strncmp(condition, "key-", 4) == 0;
  bool wantThere = strcmp(condition + (key ? 4 : 5), "there") == 0;
  if (strncmp(condition, "file-", 5) != 0 && !key)
  {
    printf("{\"error\":\"unknown condition\"}\n");
    return 1;
  }
  HANDLE h = CreateFileA(flag, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_ALWAYS, 0, NULL);
  if (h != INVALID_HANDLE_VALUE)
    CloseHandle(h);
  DWORD start = GetTickCount();
  unsigned long polls = 0;
  for (;;)
  {
    polls++;
    bool there = key ? KeyThere(path) : FileThere(path);
    if (there == wantThere)
      break;
    if ((int)(GetTickCount() - start) > ms)
    {
      printf("{\"error\":\"condition not met\",\"polls\":%lu}\n", polls);
      return 1;
    }
  }
  int stopped = StopAll(exe);
  printf("{\"stopped\":%d,\"polls\":%lu}\n", stopped, polls);
  return stopped > 0 ? 0 : 1;
}
