#include "uninstall/removal_text.h"

#include <string.h>

#include "uninstall/uninstall_list.h"
#include "util/path.h"
#include "util/text.h"

bool FormatTempName(char *dest, size_t size, const char *path, int index)
{
  return FormatText(dest, size, "%s.%d.tmp", path, index);
}

bool EscapeBatchPath(char *dest, size_t size, const char *path)
{
  size_t n = 0;
  for (const char *p = path; *p; p++)
  {
    size_t need = *p == '%' ? 2 : 1;
    if (n + need >= size)
    {
      if (size)
        *dest = 0;
      return false;
    }
    dest[n++] = *p;
    if (*p == '%')
      dest[n++] = '%';
  }
  if (size == 0)
    return false;
  dest[n] = 0;
  return true;
}

namespace {
const int kBatchTries = 5;
const size_t kEscapedSize = 2048;  // a 1024-byte path with every byte doubled
} // namespace

int ComposeSelfRemovalBatch(char *dest, size_t size, const char *exe, const char *folder,
                            const char *bat, bool ntFamily, bool silent)
{
  char e[kEscapedSize], f[kEscapedSize], b[kEscapedSize];
  if (!EscapeBatchPath(e, sizeof(e), exe) || !EscapeBatchPath(f, sizeof(f), folder) ||
      !EscapeBatchPath(b, sizeof(b), bat))
    return -1;
  if (!FormatText(dest, size, ntFamily ? "\"%s\" /wait\r\n" : "start /wait \"%s\" /wait\r\n", e))
    return -1;
  for (int i = 0; i < kBatchTries; i++)
  {
    size_t len = strlen(dest);
    if (!FormatText(dest + len, size - len, "del \"%s\"\r\nrd \"%s\"\r\nif not exist \"%s\" goto done\r\n",
                    e, f, e))
      return -1;
  }
  size_t len = strlen(dest);
  // "/s" before "/warning", which acts as it is read: a silent run's warning
  // is shown only where a person can see it.
  if (!FormatText(dest + len, size - len, ":done\r\nif exist \"%s\" \"%s\" %s/warning\r\ndel \"%s\"", e, e,
                  silent ? "/s " : "", b))
    return -1;
  return (int)strlen(dest);
}

bool ComposeInterpreterCommand(char *dest, size_t size, const char *comspec, const char *bat,
                               unsigned ntMajor)
{
  if (size)
    *dest = 0;
  // A quote can be in neither: not in a file name, and not in a COMSPEC
  // that still names one program.
  if (!comspec[0] || !bat[0] || strchr(comspec, '"') || strchr(bat, '"'))
    return false;
  // Delayed expansion (Windows 2000 on) would eat a "!" of the paths; NT 4's
  // cmd knows neither it nor the switch.
  if (ntMajor >= 5)
    return FormatText(dest, size, "\"%s\" /v:off /d /c \"\"%s\"\"", comspec, bat);
  if (ntMajor)
    return FormatText(dest, size, "\"%s\" /d /c \"\"%s\"\"", comspec, bat);
  if (strpbrk(comspec, " \t") || strpbrk(bat, " \t"))
    return false;
  return FormatText(dest, size, "%s /c %s", comspec, bat);
}

void InitRestartFolders(RestartFolders &folders) { folders.Used = 0; }

namespace {
int FolderDepth(const char *folder)
{
  int depth = 0;
  for (const char *p = folder; *p; p = NextCharPos(p))
    if (*p == '\\')
      depth++;
  return depth;
}

// Inserts a folder before the first one that is less deep, unless it is
// there already.
bool AddRestartFolder(RestartFolders &folders, const char *folder)
{
  const char *end = folders.Text + folders.Used;
  int depth = FolderDepth(folder);
  const char *at = end;
  for (const char *f = folders.Text; f < end; f += strlen(f) + 1)
  {
    if (strcmp(f, folder) == 0)
      return true;
    if (at == end && FolderDepth(f) < depth)
      at = f;
  }
  size_t len = strlen(folder) + 1;
  if (len > sizeof(folders.Text) - folders.Used)
    return false;
  size_t pos = (size_t)(at - folders.Text);
  memmove(folders.Text + pos + len, folders.Text + pos, folders.Used - pos);
  memcpy(folders.Text + pos, folder, len);
  folders.Used += len;
  return true;
}
} // namespace

bool AddRestartFolders(RestartFolders &folders, const char *installFolder, const char *path)
{
  size_t base = strlen(installFolder);
  if (base < 2 || installFolder[base - 1] != '\\' || strncmp(path, installFolder, base) != 0 ||
      !IsEntryInsideFolder(path + base))
    return false;
  // A drive root is never scheduled for removal.
  if (IsDriveColon(installFolder[base - 2]) || base > kPathSize)
    return false;
  char folder[kPathSize];
  size_t rootLen = base - 1;
  memcpy(folder, installFolder, rootLen);
  size_t len = rootLen;
  bool ok = true;
  // Every component before a separator names a folder; the last one is the
  // file itself.
  const char *start = path + base;
  for (const char *p = start; *p; p = NextCharPos(p))
  {
    if (!IsSeparator(*p))
      continue;
    size_t n = (size_t)(p - start);
    if (n > 0 && !(n == 1 && *start == '.'))
    {
      if (len + 1 + n >= sizeof(folder))
        return false;
      folder[len] = '\\';
      memcpy(folder + len + 1, start, n);
      len += 1 + n;
      folder[len] = 0;
      ok = AddRestartFolder(folders, folder) && ok;
    }
    start = p + 1;
  }
  folder[rootLen] = 0;
  return AddRestartFolder(folders, folder) && ok;
}

const char *NextRestartFolder(const RestartFolders &folders, const char *at)
{
  const char *next = at ? at + strlen(at) + 1 : folders.Text;
  return next < folders.Text + folders.Used ? next : NULL;
}

namespace {
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// True when the line at text[start, end) is the header [Rename], blanks allowed.
bool IsRenameHeader(const char *line, size_t len)
{
  size_t i = 0;
  while (i < len && (line[i] == ' ' || line[i] == '\t'))
    i++;
  const char *name = "[rename]";
  for (size_t k = 0; name[k]; k++, i++)
    if (i >= len || Lower(line[i]) != name[k])
      return false;
  while (i < len && (line[i] == ' ' || line[i] == '\t'))
    i++;
  return i == len;
}

bool IsSectionHeader(const char *line, size_t len)
{
  size_t i = 0;
  while (i < len && (line[i] == ' ' || line[i] == '\t'))
    i++;
  return i < len && line[i] == '[';
}

struct Writer
{
  char *Dest;
  size_t Size;
  size_t Len;
  bool Put(const char *s, size_t n)
  {
    if (Len + n >= Size)
      return false;
    memcpy(Dest + Len, s, n);
    Len += n;
    return true;
  }
};
} // namespace

int AddWininitRename(char *dest, size_t size, const char *text, size_t length, const char *path)
{
  // Find where the [Rename] section ends: before the next section header, or
  // at the end of the text. Lines are CR LF; a lone LF is accepted too.
  size_t insertAt = length;
  bool inRename = false, found = false;
  size_t pos = 0;
  while (pos < length)
  {
    size_t end = pos;
    while (end < length && !IsLineEnd(text[end]))
      end++;
    size_t next = end;
    if (next < length && text[next] == '\r')
      next++;
    if (next < length && text[next] == '\n')
      next++;
    if (IsSectionHeader(text + pos, end - pos))
    {
      if (inRename)
      {
        insertAt = pos;
        break;
      }
      if (IsRenameHeader(text + pos, end - pos))
        inRename = found = true;
    }
    pos = next;
  }
  Writer out = {dest, size, 0};
  if (!out.Put(text, insertAt))
    return -1;
  // The text before the new line must end with a line break.
  if (insertAt > 0 && !IsLineEnd(text[insertAt - 1]) && !out.Put("\r\n", 2))
    return -1;
  if (!found && !out.Put("[Rename]\r\n", 10))
    return -1;
  if (!out.Put("NUL=", 4) || !out.Put(path, strlen(path)) || !out.Put("\r\n", 2))
    return -1;
  if (!out.Put(text + insertAt, length - insertAt))
    return -1;
  dest[out.Len] = 0;
  return (int)out.Len;
}

bool ReplaceWholeFile(const FileOps &ops, const char *path, const char *newPath, const char *oldPath,
                      const char *text, size_t length)
{
  void *c = ops.Context;
  // Left-overs of a run that was stopped on the way are not ours to keep.
  if (!ops.Remove(c, newPath) || !ops.Write(c, newPath, text, length))
  {
    ops.Remove(c, newPath);
    return false;
  }
  bool existed = ops.Exists(c, path);
  if (existed && (!ops.Remove(c, oldPath) || !ops.Move(c, path, oldPath)))
  {
    ops.Remove(c, newPath);
    return false;
  }
  if (!ops.Move(c, newPath, path))
  {
    if (existed)
      ops.Move(c, oldPath, path);
    ops.Remove(c, newPath);
    return false;
  }
  if (existed)
    ops.Remove(c, oldPath);
  return true;
}

bool RecoverSetAsideFile(const FileOps &ops, const char *path, const char *oldPath)
{
  void *c = ops.Context;
  if (ops.Exists(c, path) || !ops.Exists(c, oldPath))
    return true;
  return ops.Move(c, oldPath, path);
}
