// The registry layer: every registry access of the tool goes through here.
// Each operation opens the key it needs, works and closes it again.
//
// Paths go through BuildRegPath: under HKEY_CURRENT_USER a relative path is
// placed below the application key "Software\Quabix" and a path that begins
// with a backslash is absolute; under every other root a path is used as it
// stands. A caller's path of more than 236 characters is refused, and the
// operation then fails before any registry call.
#pragma once
#include <windows.h>

#include "registry/reg_path.h"

// Full path of a caller's path into out (size is kRegPathSize). False when
// the path is too long; out then holds the empty string.
bool BuildRegPath(HKEY root, const char *path, char *out, size_t size);

// Creates or opens a key for writing values (KEY_WRITE and the view flag).
// Null on failure.
HKEY CreateRegKey(HKEY root, const char *path);
// Opens a key for reading values and enumerating subkeys. Null on failure.
HKEY OpenRegKeyRead(HKEY root, const char *path);
// True when a non-null key was closed successfully.
bool CloseRegKey(HKEY key);

// Writes one value, creating missing keys. True when the key was created or
// opened, the value written and the key closed again.
bool SetRegString(HKEY root, const char *path, const char *name, const char *text);
bool SetRegDword(HKEY root, const char *path, const char *name, DWORD value);
bool SetRegBinary(HKEY root, const char *path, const char *name, const void *data, DWORD size);

// Reads a value's bytes, whatever its type, into out (size bytes) and makes
// them a terminated string. A missing key or value, an unreadable value and
// a value that does not fit with a terminator give a copy of def and false.
bool GetRegString(HKEY root, const char *path, const char *name, char *out, const char *def,
                  DWORD size);
// Reads a value's raw bytes (any type) into out; true with their count in
// *len when the value exists and fits.
bool GetRegBytes(HKEY root, const char *path, const char *name, void *out, DWORD size, DWORD *len);
// Reads up to 4 bytes as a number (the type is not examined); a missing,
// unreadable or longer value gives def. The first form returns the number,
// the second stores it and returns whether it was read.
DWORD GetRegDword(HKEY root, const char *path, const char *name, DWORD def);
bool GetRegDword(HKEY root, const char *path, const char *name, DWORD def, DWORD *out);

// The same under HKEY_CURRENT_USER, so relative to the application key.
bool SetAppString(const char *path, const char *name, const char *text);
bool SetAppDword(const char *path, const char *name, DWORD value);
bool GetAppString(const char *path, const char *name, char *out, const char *def, DWORD size);
DWORD GetAppDword(const char *path, const char *name, DWORD def);

// Deletes the one key. On the NT family only a key without subkeys goes; on
// the 9x family the key with everything below it. The root is never deleted.
void DeleteRegKey(HKEY root, const char *path);
// Deletes the one key only when it has no subkeys, on both families (where
// RegDeleteKeyA of the 9x family would take another program's subkeys with
// it). True when it was deleted.
bool DeleteRegLeafKey(HKEY root, const char *path);
// True when the key exists and has neither subkeys nor values.
bool IsRegKeyEmpty(HKEY root, const char *path);
// Deletes the one key only when it has neither subkeys nor values: a key
// that the program made and emptied again. True when it was deleted.
bool DeleteRegKeyIfEmpty(HKEY root, const char *path);
// Deletes the one key in the 64-bit view, where keys written while
// SetRegView64 was on are; does nothing where there is no such view.
void DeleteRegKey64(HKEY root, const char *path);
// Deletes one value; a missing key or value is no error.
void DeleteRegValue(HKEY root, const char *path, const char *name);
// Deletes a full path (used unchanged) with all its subkeys: on the 9x family
// by one call, otherwise, and when that call fails, in passes until a pass
// deletes nothing. A key that cannot be deleted stays with its ancestors.
void DeleteRegTree(HKEY root, const char *fullPath);
// DeleteRegTree of the full path of a caller's path.
void DeleteAppTree(HKEY root, const char *path);
// Passes that the last DeleteRegTree ran (0 when its single 9x call did it).
unsigned int RegTreePassCount();

// True when the key can be opened for querying values.
bool RegKeyExists(HKEY root, const char *path);
// Numbers of subkeys and values of a key. False when it cannot be opened or
// asked.
bool GetRegKeyCounts(HKEY root, const char *path, DWORD *subkeys, DWORD *values);

// On: keys created for writing from now on are in the 64-bit view
// (KEY_WOW64_64KEY). Reads, existence tests and deletions never use it.
void SetRegView64(bool on);
