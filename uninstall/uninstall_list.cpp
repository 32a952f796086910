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
  reader.Failed = false;
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
    reader.Failed = n < 0;
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
  if (reader.Failed)
    n = 0;
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
    if (reader.Failed)
    {
      line[0] = 0;
      return ListFailed;
    }
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
    bool whole = line[n - 1] == '\n' || n < size - 1 || AtEnd(reader);
    if (reader.Failed) // found while looking past a full buffer
    {
      line[0] = 0;
      return ListFailed;
    }
    if (whole)
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

LineState GetLineState(const LineStates &states, int line)
{
  if (line < 0 || line / 4 >= states.Bytes.Count())
    return LineOpen;
  return (LineState)((states.Bytes[line / 4] >> (line % 4 * 2)) & 3);
}

bool SetLineState(LineStates &states, int line, LineState state)
{
  if (line < 0)
    return false;
  int have = states.Bytes.Count();
  if (line / 4 >= have)
  {
    if (!states.Bytes.Grow(line / 4 + 1 - have))
      return false;
    memset(states.Bytes.Items() + have, 0, (size_t)(line / 4 + 1 - have));
  }
  unsigned char &byte = states.Bytes[line / 4];
  int shift = line % 4 * 2;
  byte = (unsigned char)((byte & ~(3 << shift)) | ((int)state << shift));
  return true;
}
