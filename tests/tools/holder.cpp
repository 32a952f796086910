// holder: keeps a file busy for the uninstall tests.
//
//   holder open <file> <flag-file>   opens <file> without delete sharing, so
//                                    that it can be neither deleted nor moved
//   holder run <flag-file>           just runs: a running program can be
//                                    moved but not deleted
//
// Both write <flag-file> once ready and then wait until it is deleted (or
// 120 s), so the test decides when the file is free again.
#include <windows.h>

#include <string.h>

namespace {
void Signal(const char *flag)
{
  HANDLE h = CreateFileA(flag, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_ALWAYS, 0, NULL);
  if (h != INVALID_HANDLE_VALUE)
    CloseHandle(h);
}

void WaitForRelease(const char *flag)
{
  for (int i = 0; i < 1200 && GetFileAttributesA(flag) != INVALID_FILE_ATTRIBUTES; i++)
    Sleep(100);
}
} // namespace

int main(int argc, char **argv)
{
  if (argc == 4 && strcmp(argv[1], "open") == 0)
  {
    HANDLE h = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
      return 2;
    Signal(argv[3]);
    WaitForRelease(argv[3]);
    CloseHandle(h);
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "run") == 0)
  {
    Signal(argv[2]);
    WaitForRelease(argv[2]);
    return 0;
  }
  return 1;
}
