#include "uninstall/removal_text.h"

#include <string.h>

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
                            const char *bat, bool ntFamily)
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
  if (!FormatText(dest + len, size - len, ":done\r\nif exist \"%s\" \"%s\" /warning\r\ndel \"%s\"", e, e, b))
    return -1;
  return (int)strlen(dest);
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
