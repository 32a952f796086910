#pragma once
#include <windows.h>

// Deletes one key in the 64-bit registry view (where keys written with
// SetRegView64 on are); does nothing where the system has no such view.
void DeleteRegKey64(HKEY root, const char *path);
