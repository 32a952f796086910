#include "lang/lang_string.h"

#include <string.h>

namespace {
HINSTANCE s_ownModule;
HINSTANCE s_resourceModule;

const int kStringBuffers = 8;
const int kStringSize = 512;
char s_strings[kStringBuffers][kStringSize];
int s_stringIndex;
} // namespace

void LoadLanguageDll(HINSTANCE ownModule)
{
  FreeLanguageDll();
  s_ownModule = ownModule;
  s_resourceModule = ownModule;
}

void FreeLanguageDll() { s_resourceModule = s_ownModule; }

HINSTANCE GetResourceModule() { return s_resourceModule ? s_resourceModule : GetModuleHandleA(NULL); }

HINSTANCE GetOwnModule() { return s_ownModule ? s_ownModule : GetModuleHandleA(NULL); }

char *GetLangString(UINT id)
{
  s_stringIndex = (s_stringIndex + 1) % kStringBuffers;
  char *text = s_strings[s_stringIndex];
  memset(text, 0, kStringSize);
  if (LoadStringA(GetResourceModule(), id, text, kStringSize) <= 0)
    LoadStringA(GetOwnModule(), id, text, kStringSize);
  return text;
}
