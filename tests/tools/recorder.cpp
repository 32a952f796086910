// recorder: stands in for the command interpreter (COMSPEC) in the uninstall
// tests. It keeps a copy of the batch file it is asked to run and notes how
// it was started, then runs the real cmd.exe on it unless told not to.
//
// Records into the folder named by the file C:\qbx-record\dir (default
// C:\qbx-record): batch.bat, and start.txt with the command line, the
// current directory and the start-up flags. When C:\qbx-record\norun exists
// the batch file is only recorded (the 9x form cannot run under Wine's cmd).
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main()
{
  const char *dir = "C:\\qbx-record";
  CreateDirectoryA(dir, NULL);
  const char *cmd = GetCommandLineA();
  // Our own name comes first; the rest is what the tool passed:
  // /d /c ""bat"" on the NT family, /c BAT (a short path) on the 9x family.
  const char *args = strstr(cmd, " /c ");
  char bat[MAX_PATH * 2] = "";
  if (args)
  {
    const char *b = args + 4;
    while (*b == ' ')
      b++;
    const char *e;
    if (*b == '"')
    {
      while (*b == '"')
        b++;
      e = strchr(b, '"');
    }
    else
      e = b + strcspn(b, " ");
    if (e && (size_t)(e - b) < sizeof(bat))
    {
      memcpy(bat, b, e - b);
      bat[e - b] = 0;
    }
  }
  char path[MAX_PATH];
  snprintf(path, sizeof(path), "%s\\batch.bat", dir);
  CopyFileA(bat, path, FALSE);

  STARTUPINFOA si;
  GetStartupInfoA(&si);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof(cwd), cwd);
  snprintf(path, sizeof(path), "%s\\start.txt", dir);
  FILE *f = fopen(path, "wb");
  if (f)
  {
    // With STARTF_USESTDHANDLES the tool hands over the NUL device.
    fprintf(f, "command=%s\r\ncwd=%s\r\nbat=%s\r\nflags=%lu\r\nshow=%u\r\nstdin=%lu\r\nstdout=%lu\r\n",
            cmd, cwd, bat, (unsigned long)si.dwFlags, (unsigned)si.wShowWindow,
            (unsigned long)GetFileType(si.hStdInput), (unsigned long)GetFileType(si.hStdOutput));
    fclose(f);
  }
  // Every start is also added to starts.txt: the recorder stands in for
  // other programs too (the archiver, a document viewer, a browser).
  snprintf(path, sizeof(path), "%s\\starts.txt", dir);
  f = fopen(path, "ab");
  if (f)
  {
    fprintf(f, "%s\r\n", cmd);
    fclose(f);
  }
  snprintf(path, sizeof(path), "%s\\norun", dir);
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || !args)
    return 0;

  // The real cmd gets every switch the tool passed (/v:off, /d), after our
  // own name, which comes quoted or ends at the first blank.
  const char *rest = cmd;
  if (*rest == '"')
  {
    rest = strchr(rest + 1, '"');
    rest = rest ? rest + 1 : args;
  }
  else
    rest += strcspn(rest, " ");
  char real[MAX_PATH * 3];
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof(system));
  snprintf(real, sizeof(real), "%s\\cmd.exe%s", system, rest);
  STARTUPINFOA start = {sizeof(start)};
  start.dwFlags = STARTF_USESHOWWINDOW;
  start.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(NULL, real, NULL, NULL, TRUE, 0, NULL, NULL, &start, &pi))
    return 3;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  return (int)code;
}
