// The uninstall list as the driver reads it: lines like fgets, trimmed,
// checked and joined to an install folder.
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
};

int ReadInput(void *context, char *buffer, int count)
{
  Input *in = static_cast<Input *>(context);
  size_t n = in->Size - in->Pos;
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
  // The first byte picks a code page flavour and how the source hands out bytes.
  if (size == 0)
    return 0;
  memset(&g_DbcsTable, 0, sizeof(g_DbcsTable));
  if (data[0] & 1)
  {
    g_DbcsTable.MultiByte = 1;
    for (int b = 0x81; b <= 0xFE; b++)
      g_DbcsTable.LeadByte[b] = 1;
  }
  Input in = {data + 1, size - 1, 0, 1 + data[0] * 37};
  ListReader reader;
  InitListReader(reader, ReadInput, &in);
  char line[kListLineSize];
  char path[kPathSize];
  const char folder[] = "C:\\Program Files\\Quabix\\";
  for (int pass = 0; pass < 2; pass++)
  {
    while (ReadListLine(reader, line, sizeof(line)))
    {
      if (strlen(line) >= sizeof(line))
        __builtin_trap();
      TrimLineEnd(line);
      if (line[0] == 0 || !IsEntryInsideFolder(line))
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
    in.Pos = 0;
    RewindListReader(reader);
  }
  return 0;
}
