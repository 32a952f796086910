#include "uninstall/uninstall_list.h"

#include <string.h>

#include "util/path.h"
#include "util/text.h"

void InitListReader(ListReader &reader, ListSource source, void *context)
{
  reader.Source = source;
  reader.Context = context;
  RewindListReader(reader);
}

void RewindListReader(ListReader &reader)
{
  reader.Pos = 0;
  reader.Len = 0;
  reader.End = false;
}

namespace {
bool Fill(ListReader &reader)
{
  if (reader.End)
    return false;
  int n = reader.Source(reader.Context, reader.Buffer, (int)sizeof(reader.Buffer));
  if (n <= 0)
  {
    reader.End = true;
    return false;
  }
  reader.Pos = 0;
  reader.Len = n;
  return true;
}
} // namespace

int ReadListLine(ListReader &reader, char *line, int size)
{
  if (size < 2)
    return 0;
  int n = 0;
  while (n < size - 1)
  {
    if (reader.Pos >= reader.Len && !Fill(reader))
      break;
    char c = reader.Buffer[reader.Pos++];
    line[n++] = c;
    if (c == '\n')
      break;
  }
  line[n] = 0;
  return n;
}

namespace {
bool AtEnd(ListReader &reader)
{
  return reader.Pos >= reader.Len && !Fill(reader);
}
} // namespace

ListEntryKind ReadListEntry(ListReader &reader, char *line, int size)
{
  bool refused = false;
  for (;;)
  {
    int n = ReadListLine(reader, line, size);
    if (n == 0)
    {
      if (!refused)
        return ListEnd;
      line[0] = 0;
      return ListRefused;
    }
    if (strlen(line) != (size_t)n)
      refused = true;
    // Whole when it ends in a line feed, when the buffer was not filled or
    // when the list ends right after it.
    if (line[n - 1] == '\n' || n < size - 1 || AtEnd(reader))
      break;
    refused = true;
  }
  if (refused)
  {
    line[0] = 0;
    return ListRefused;
  }
  TrimLineEnd(line);
  return ListEntry;
}

namespace {
// A component that Windows reduces to "..": two dots or more, with nothing
// but further dots and blanks, which Windows strips from a component's end.
bool IsParentComponent(const char *start, const char *end)
{
  int dots = 0;
  for (const char *p = start; p < end; p++)
  {
    if (*p == '.')
      dots++;
    else if (*p != ' ')
      return false;
  }
  return dots >= 2;
}
} // namespace

bool IsEntryInsideFolder(const char *entry)
{
  const char *start = entry;
  for (const char *p = entry;; p = NextCharPos(p))
  {
    if (*p == 0 || IsSeparator(*p))
    {
      if (IsParentComponent(start, p))
        return false;
      if (*p == 0)
        return true;
      start = p + 1;
    }
  }
}

bool JoinListPath(char *dest, size_t size, const char *folder, const char *entry)
{
  return CopyText(dest, size, folder) && AppendText(dest, size, entry);
}
