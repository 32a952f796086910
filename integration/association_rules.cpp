#include "integration/association_rules.h"

#include <string.h>

#include "util/path.h"
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
  return number >= 0 && number < kVolumeExtensionCount && FormatText(out, size, ".q%02d", number);
}

int VolumeExtensionCount(bool ntFamily) { return ntFamily ? 30 : kVolumeExtensionCount; }

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

namespace {
// ASCII letters folded; every other byte compares exactly.
bool SameTextNoCase(const char *a, const char *b)
{
  return strlen(a) == strlen(b) && StartsWithNoCase(a, b);
}

// The first len bytes of a and b are the same path: ASCII letters folded,
// the bytes of a double-byte character compared exactly.
bool SamePathNoCase(const char *a, const char *b, size_t len)
{
  const char *end = a + len;
  while (a < end)
  {
    const char *next = NextCharPos(a);
    if (next - a == 1)
    {
      char x = *a, y = *b;
      if (x >= 'A' && x <= 'Z')
        x = (char)(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z')
        y = (char)(y - 'A' + 'a');
      if (x != y)
        return false;
    }
    else if (next > end || memcmp(a, b, (size_t)(next - a)) != 0)
      return false;
    b += next - a;
    a = next;
  }
  return true;
}
} // namespace

bool IsProductLinkTarget(const char *target, const char *installFolder)
{
  const char *name = FileNamePart(target);
  if (name == target || !(SameTextNoCase(name, "Quabix.exe") || SameTextNoCase(name, "Quabix.hlp") ||
                          SameTextNoCase(name, "Qbx.txt")))
    return false;
  size_t folderLen = (size_t)(name - target) - 1; // without the separator before the name
  size_t installLen = strlen(installFolder);
  const char *last = installLen ? LastCharPos(installFolder) : NULL;
  if (last && IsSeparator(*last)) // a lead byte is never taken for one
    installLen--;
  return installLen > 0 && folderLen == installLen && SamePathNoCase(target, installFolder, installLen);
}

const char kShellExtClsid32[] = "{6F2A91C0-4D3B-11D2-A7E5-5C31B08E92D4}";
const char kShellExtClsid64[] = "{6F2A91C0-73B3-11D2-A7E5-5C31B08E92D4}";

bool IsTemplateFileName(const char *value, bool qbxRow)
{
  return SameTextNoCase(FileNamePart(value), qbxRow ? "qbxnew.dat" : "zipnew.dat");
}

bool IsTemplateData(const unsigned char *data, size_t size, bool qbxRow)
{
  if (qbxRow)
    return size == kQbxTemplateSize && memcmp(data, g_QbxTemplate, size) == 0;
  return size == kZipTemplateSize && memcmp(data, g_ZipTemplate, size) == 0;
}

VolumeGiveBack DecideVolumeGiveBack(bool archiversType, bool volumeExisted, const char *volumeSavedType,
                                    bool qbxExisted, const char *qbxSavedType)
{
  if (!archiversType)
    return kVolumeLeave;
  if (volumeExisted && volumeSavedType[0])
    return kVolumeRestoreOwn;
  return qbxExisted && qbxSavedType[0] ? kVolumeRestore : kVolumeRelease;
}

bool NamesProductClsid(const char *value, const char *clsid)
{
  return SameTextNoCase(value, clsid) || SameTextNoCase(value, kShellExtClsid32) ||
         SameTextNoCase(value, kShellExtClsid64);
}

bool CachedProbe(int &cache, bool (*probe)(bool &answer))
{
  if (cache == -1)
  {
    bool answer = false;
    if (probe(answer))
      cache = answer ? 1 : 0;
  }
  return cache == 1;
}
