// Adding a deferred deletion to any wininit.ini text keeps every byte that
// was there and inserts one "NUL=" line (with a line break before it and
// the section header when they were missing).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "uninstall/removal_text.h"

namespace {
bool InsertedOnce(const char *text, size_t size, const char *out, size_t len, const char *what)
{
  size_t n = strlen(what);
  if (len != size + n)
    return false;
  size_t prefix = 0;
  while (prefix < size && out[prefix] == text[prefix])
    prefix++;
  size_t suffix = 0;
  while (suffix < size && out[len - 1 - suffix] == text[size - 1 - suffix])
    suffix++;
  // out == text[0, k) + what + text[k, size) for k == prefix, if for any k.
  return size - prefix <= suffix && memcmp(out + prefix, what, n) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  const char path[] = "C:\\PROGRA~1\\QUABIX\\A.DLL";
  const char *text = reinterpret_cast<const char *>(data);
  size_t outSize = size + sizeof(path) + 32;
  char *out = static_cast<char *>(malloc(outSize));
  int len = AddWininitRename(out, outSize, text, size, path);
  if (len < 0)
    __builtin_trap(); // the buffer was sized to fit
  const char *forms[] = {"NUL=C:\\PROGRA~1\\QUABIX\\A.DLL\r\n", "\r\nNUL=C:\\PROGRA~1\\QUABIX\\A.DLL\r\n",
                         "[Rename]\r\nNUL=C:\\PROGRA~1\\QUABIX\\A.DLL\r\n",
                         "\r\n[Rename]\r\nNUL=C:\\PROGRA~1\\QUABIX\\A.DLL\r\n"};
  bool ok = false;
  for (const char *form : forms)
    ok = ok || InsertedOnce(text, size, out, (size_t)len, form);
  if (!ok)
    __builtin_trap();
  free(out);
  return 0;
}
