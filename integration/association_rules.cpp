#include "integration/association_rules.h"

#include <string.h>

#include "util/text.h"

bool NextExtension(const char *&list, char *out, size_t size)
{
  if (*list == 0 || size == 0)
    return false;
  const char *end = strchr(list + 1, '.');
  size_t len = end ? (size_t)(end - list) : strlen(list);
  if (len >= size)
    return false;
  memcpy(out, list, len);
  out[len] = 0;
  list += len;
  return true;
}

bool FormatVolumeExtension(int number, char *out, size_t size)
{
  return number >= 0 && number <= 99 && FormatText(out, size, ".q%02d", number);
}

int VolumeExtensionCount(bool ntFamily) { return ntFamily ? 30 : 100; }

bool UsesTemplateFile(unsigned int major, unsigned int minor) { return major > 4 || minor > 10; }

// Marker block "Qbx!" 1A 07 00, then the main header: CRC 0x90CF (the low
// 16 bits of the CRC-32 of the 11 bytes after it), type 0x73, flags 0,
// size 13, six zero bytes.
unsigned char g_QbxTemplate[kQbxTemplateSize] = {0,    'b',  'x',  '!', 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73,
                                                 0x00, 0x00, 0x0D, 0x00, 0,    0,    0,    0,    0,    0};
// The end-of-central-directory record of an empty ZIP archive: "PK" 05 06.
unsigned char g_ZipTemplate[kZipTemplateSize] = {0, 'K', 0x05, 0x06};

void PrepareTemplates()
{
  g_QbxTemplate[0] = 'Q';
  g_ZipTemplate[0] = 'P';
}
