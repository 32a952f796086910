// Reading the language file through File, and the reading direction from
// the resource module.
#include <windows.h>

#include "lang/lang_string.h"
#include "lang/language_file.h"
#include "util/file.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

long long TellFile(void *context) { return static_cast<File *>(context)->Tell(); }

bool SeekFile(void *context, long long position) { return static_cast<File *>(context)->Seek(position); }

// A name without backslash lies beside the executable; one with a backslash
// is used as it stands.
bool LanguageFilePath(char *path, size_t size, const char *name)
{
  for (const char *p = name; *p; p = NextCharPos(p))
    if (*p == '\\')
      return CopyText(path, size, name);
  if (!GetModulePath(path, size))
    return false;
  const char *part = FileNamePart(path);
  if (part == path || part[-1] != '\\')
    return false;
  return ReplaceFileName(path, size, name);
}

} // namespace

void LanguageResources::LoadLanguageFile(const char *name)
{
  Unload();
  char path[kPathSize];
  if (LanguageFilePath(path, sizeof(path), name))
  {
    File file;
    if (file.Open(path, true))
    {
      LanguageSource source = {ReadFromFile, TellFile, SeekFile, &file};
      if (LoadMessages(source) == LanguageOutOfMemory)
        FatalOutOfMemory();
    }
  }
  DetectReadingDirection(FindResourceA(GetResourceModule(), "RTL", RT_DIALOG) != NULL);
}
