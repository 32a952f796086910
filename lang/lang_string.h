// Strings of the string table and the module that dialogs, icons and strings
// are loaded from.
#pragma once
#include <windows.h>

// Chooses the resource module; remembers the program's own module.
void LoadLanguageDll(HINSTANCE ownModule);
// Releases the language module, so that its file can be deleted.
void FreeLanguageDll();
HINSTANCE GetResourceModule();
HINSTANCE GetOwnModule();

// The text of a string identifier in one of eight rotating 512-byte buffers:
// a result stays intact through the next seven calls.
char *GetLangString(UINT id);
