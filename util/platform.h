// Thin wrappers over the Windows calls that the path and text code needs.
#pragma once
#include <stddef.h>

// Fills the DBCS table from the ANSI code page (GetCPInfo, IsDBCSLeadByte).
void FillDbcsTable(struct DbcsTable &table);

// Major Windows version on the NT family, 0 on the 9x family. Probed once.
unsigned int WinNtMajorVersion();

// Locale-aware, case-insensitive comparison; 0 means equal.
int CompareTextNoCase(const char *a, const char *b);

// True when anything (file or folder) of that name exists.
bool FileExists(const char *name);

// Full path of the running executable. False when the path did not fit.
bool GetModulePath(char *buffer, size_t size);
