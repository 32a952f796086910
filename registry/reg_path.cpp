#include "registry/reg_path.h"

#include <string.h>

#include "util/text.h"

const char kAppKey[] = "Software\\Quabix";

bool ComposeRegPath(bool appKeyRule, const char *path, char *out, size_t size)
{
  if (size == 0)
    return false;
  if (size <= kRegPathReserve || strlen(path) > size - kRegPathReserve)
  {
    *out = 0;
    return false;
  }
  if (!appKeyRule)
    return CopyText(out, size, path);
  if (path[0] == '\\')
    return CopyText(out, size, path + 1);
  return FormatText(out, size, "%s%s%s", kAppKey, *path ? "\\" : "", path);
}

bool ComposeSubkeyPath(const char *parent, const char *name, char *out, size_t size)
{
  return FormatText(out, size, "%s\\%s", parent, name);
}

bool IsRootRegPath(const char *path)
{
  while (*path == '\\')
    path++;
  return *path == 0;
}
