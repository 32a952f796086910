// DBCS-aware path scanning over NUL-terminated ANSI strings in caller-owned
// buffers. Nothing here allocates or calls Windows, so it is tested natively.
#pragma once
#include <stddef.h>

// Lead bytes of the ANSI code page. Filled once at start-up; with
// MultiByte 0 every byte is a character of its own.
struct DbcsTable
{
  unsigned char LeadByte[256];
  unsigned char MultiByte;
};

extern DbcsTable g_DbcsTable;

// Size of every path buffer of the program.
const size_t kPathSize = 1024;

const char *NextCharPos(const char *pos);
inline char *NextCharPos(char *pos)
{
  return const_cast<char *>(NextCharPos(static_cast<const char *>(pos)));
}

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }
inline bool IsDriveColon(char c) { return c == ':'; }

const char *FileNamePart(const char *path);
inline char *FileNamePart(char *path)
{
  return const_cast<char *>(FileNamePart(static_cast<const char *>(path)));
}

const char *LastCharPos(const char *str);
inline char *LastCharPos(char *str)
{
  return const_cast<char *>(LastCharPos(static_cast<const char *>(str)));
}

// Appends a backslash unless the path is empty or already ends in one.
// Returns false, leaving the path unchanged, when the buffer has no room.
bool AppendBackslash(char *path, size_t size);

// Cuts off the file-name part and the separator before it; a drive root
// (C:\) and a rooted single name (\file) keep their separator.
void StripFileName(char *path);

// Replaces the file-name part of path by name (the folder part stays).
// Returns false, leaving the path unchanged, when the result does not fit.
bool ReplaceFileName(char *path, size_t size, const char *name);

// Copies src, cut on a character boundary when it does not fit (for texts
// that are only shown). Returns false when it was cut.
bool CopyWholeChars(char *dest, size_t size, const char *src);
