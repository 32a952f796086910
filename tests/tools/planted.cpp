// planted: a DLL that records every load of itself. Placed beside the tool
// under the name of a system DLL, it shows whether the tool loaded the copy
// in its own folder: DllMain appends the loading program's path to
// C:\qbx-record\planted.txt.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
  if (reason != DLL_PROCESS_ATTACH)
    return TRUE;
  CreateDirectoryA("C:\\qbx-record", NULL);
  HANDLE h = CreateFileA("C:\\qbx-record\\planted.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         NULL, OPEN_ALWAYS, 0, NULL);
  if (h != INVALID_HANDLE_VALUE)
  {
    char line[MAX_PATH + 2];
    DWORD n = GetModuleFileNameA(NULL, line, MAX_PATH);
    line[n++] = '\r';
    line[n++] = '\n';
    DWORD written;
    WriteFile(h, line, n, &written, NULL);
    CloseHandle(h);
  }
  return TRUE; // loads fine, so a caller would go on using it
}
