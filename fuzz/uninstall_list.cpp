// The uninstall list as the driver reads it: lines like fgets, trimmed,
// checked and joined to an install folder. A line that holds a NUL byte or
// does not fit the line buffer is refused whole, never taken in pieces, and
// a read failure hands out no line that it cut short.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "uninstall/uninstall_list.h"
#include "util/path.h"
#include "util/text.h"

namespace {
struct Input
{
  const uint8_t *Data;
  size_t Size;
  size_t Pos;
  int Chunk;
  size_t FailAt; // the source fails from here on
};

int ReadInput(void *context, char *buffer, int count)
{
  Input *in = static_cast<Input *>(context);
  if (in->Pos >= in->FailAt)
    return -1;
  size_t n = (in->FailAt < in->Size ? in->FailAt : in->Size) - in->Pos;
  if (n > (size_t)count)
    n = (size_t)count;
  if (n > (size_t)in->Chunk)
    n = (size_t)in->Chunk;
  memcpy(buffer, in->Data + in->Pos, n);
  in->Pos += n;
  return (int)n;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  // The first byte picks a code page flavour, how the source hands out
  // bytes and whether and where it fails.
  if (size == 0)
    return 0;
  memset(&g_DbcsTable, 0, sizeof(g_DbcsTable));
  if (data[0] & 1)
  {
    g_DbcsTable.MultiByte = 1;
    for (int b = 0x81; b <= 0xFE; b++)
      g_DbcsTable.LeadByte[b] = 1;
  }
  Input in = {data + 1, size - 1, 0, 1 + data[0] * 37, (size_t)-1};
  if (data[0] & 2)
    in.FailAt = in.Size * (data[0] >> 2) / 63; // 0 to the whole input
  bool failing = in.FailAt <= in.Size;
  ListReader reader;
  InitListReader(reader, ReadInput, &in);
  char line[kListLineSize];
  char path[kPathSize];
  const char folder[] = "C:\\Program Files\\Quabix\\";
  for (int pass = 0; pass < 2; pass++)
  {
    // The lines as the input holds them, each from its start to its line
    // feed: the reader must give exactly those that are whole and NUL-free.
    size_t at = 0;
    const char *text = reinterpret_cast<const char *>(in.Data);
    ListEntryKind kind;
    bool failed = false;
    while ((kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd)
    {
      const char *lf = at < in.Size ? static_cast<const char *>(memchr(text + at, '\n', in.Size - at)) : 0;
      size_t end = lf ? (size_t)(lf - text) + 1 : in.Size;
      // Before a failure only lines whose line feed was read are complete.
      bool complete = failing ? lf && end <= in.FailAt : true;
      if (kind == ListFailed)
      {
        if (!failing || (at < in.Size && complete))
          __builtin_trap(); // a failure that did not happen, or a whole line lost
        failed = true;
        break;
      }
      if (at >= in.Size || !complete)
        __builtin_trap(); // more lines than the input has, or a line cut short
      bool whole = end - at <= (size_t)kListLineSize - 1 && !memchr(text + at, 0, end - at);
      if (whole != (kind == ListEntry))
        __builtin_trap();
      if (whole)
      {
        size_t len = strlen(line);
        if (len > end - at || memcmp(line, text + at, len) != 0)
          __builtin_trap();
        for (size_t i = len; i < end - at; i++)
          if (!strchr(" \t\r\n", text[at + i]))
            __builtin_trap(); // only the trimmed line end may be missing
      }
      at = end;
      if (kind != ListEntry || line[0] == 0 || !IsEntryInsideFolder(line))
        continue;
      if (JoinListPath(path, sizeof(path), folder, line))
      {
        // A joined path is the folder and the whole entry, never less.
        if (strncmp(path, folder, sizeof(folder) - 1) != 0 || strcmp(path + sizeof(folder) - 1, line) != 0)
          __builtin_trap();
        FileNamePart(path);
        StripFileName(path);
      }
    }
    if (!failed && (failing || at != in.Size))
      __builtin_trap(); // a line was lost, or a failure unreported
    in.Pos = 0;
    RewindListReader(reader);
  }
  return 0;
}
