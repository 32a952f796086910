#include "util/path.h"

#include <string.h>

DbcsTable g_DbcsTable;

const char *NextCharPos(const char *pos)
{
  if (g_DbcsTable.MultiByte && g_DbcsTable.LeadByte[(unsigned char)*pos] && pos[1] != 0)
    return pos + 2;
  return pos + 1;
}

const char *FileNamePart(const char *path)
{
  const char *name = 0;
  for (const char *p = path; *p; p = NextCharPos(p))
    if (IsSeparator(*p))
      name = p + 1;
  if (name)
    return name;
  if (*path == 0)
    return path;
  // "C:file": the colon must not be the trail byte of a double-byte character.
  if (IsDriveColon(path[1]) && NextCharPos(path) == path + 1)
    return path + 2;
  return path;
}

const char *LastCharPos(const char *str)
{
  const char *last = str;
  for (const char *p = str; *p; p = NextCharPos(p))
    last = p;
  return last;
}

bool AppendBackslash(char *path, size_t size)
{
  if (*path == 0 || *LastCharPos(path) == '\\')
    return true;
  size_t len = strlen(path);
  if (len + 2 > size)
    return false;
  path[len] = '\\';
  path[len + 1] = 0;
  return true;
}

void StripFileName(char *path)
{
  char *name = FileNamePart(path);
  if (name - path >= 2 && (!IsDriveColon(path[1]) || name - path >= 4))
    name--;
  *name = 0;
}

bool ReplaceFileName(char *path, size_t size, const char *name)
{
  char *part = FileNamePart(path);
  size_t keep = (size_t)(part - path);
  size_t len = strlen(name);
  if (keep + len + 1 > size)
    return false;
  memcpy(part, name, len + 1);
  return true;
}

bool CopyWholeChars(char *dest, size_t size, const char *src)
{
  if (size == 0)
    return false;
  if (!g_DbcsTable.MultiByte)
  {
    // Every byte is a character: one copy.
    size_t len = strlen(src);
    size_t n = len < size - 1 ? len : size - 1;
    memmove(dest, src, n);
    dest[n] = 0;
    return n == len;
  }
  size_t n = 0;
  const char *p = src;
  while (*p)
  {
    const char *next = NextCharPos(p);
    size_t len = (size_t)(next - p);
    if (n + len >= size)
      break;
    memmove(dest + n, p, len);
    n += len;
    p = next;
  }
  dest[n] = 0;
  return *p == 0;
}
