// Thin wrappers over the Windows calls that the path and text code needs.
#pragma once
#include <stddef.h>

// Fills the DBCS table from the ANSI code page (GetCPInfo, IsDBCSLeadByte).
void FillDbcsTable(struct DbcsTable &table);

// A function of kernel32 looked up at run time, for calls that older
// systems lack; NULL when it is not there.
void *GetKernelProc(const char *name);

// Major Windows version on the NT family, 0 on the 9x family. Probed once.
unsigned int WinNtMajorVersion();

// Locale-aware, case-insensitive comparison; 0 means equal.
int CompareTextNoCase(const char *a, const char *b);

// True when anything (file or folder) of that name exists.
bool FileExists(const char *name);

// Full path of the running executable. False when the path did not fit.
bool GetModulePath(char *buffer, size_t size);

// True when a person can see and answer a window of this process: its
// window station is visible and, on NT 6 and later, it does not run in
// session 0, where services (and deployment agents) run with a desktop no
// one sees. The calls are looked up at run time: the 9x family has none of
// them, and there a user is always at the visible desktop. Probed once.
bool PersonCanSee();

// The short (8.3) form of a path as the file system has it, after making it
// full against the current folder; when nothing has that name, the name
// with ".exe" (as Windows starts a program).
// False when there is no such file or the form does not fit.
bool GetFileShortPath(const char *path, char *buffer, size_t size);

// True when path names the file whose short path (from GetFileShortPath) is
// shortPath, whatever its spelling: short or long, any case, relative.
bool NamesSameFile(const char *path, void *shortPath);
