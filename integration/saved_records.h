// What setup saves for the uninstall: the previous owner of each extension
// it took ("Setup\<ext>": Exist, Type, Content, ShellNew) and the links and
// program groups it made. Every record is kept twice: under the installing
// user's application key (HKEY_CURRENT_USER\Software\Quabix\Setup), and
// machine-wide under HKEY_LOCAL_MACHINE\Software\Quabix\Setup in the tool's
// own registry view, where an uninstall by any account, the system account
// included, finds it. Readers take the user's copy first and the machine-wide
// one next. Paths are relative to the application key and lie below "Setup".
#pragma once
#include <windows.h>

// The machine-wide copy, under HKEY_LOCAL_MACHINE.
extern const char kMachineRecordKey[];

// Write the value into both copies; a copy that cannot be written (no right
// to HKEY_LOCAL_MACHINE) is skipped.
void SetSavedString(const char *path, const char *name, const char *text);
void SetSavedDword(const char *path, const char *name, DWORD value);
// Read the user's copy, else the machine-wide one; neither gives def and
// false (GetRegString's and GetRegDword's rules otherwise).
bool GetSavedString(const char *path, const char *name, char *out, const char *def, DWORD size);
DWORD GetSavedDword(const char *path, const char *name, DWORD def);

// Lists of full paths under a key, as values "0", "1", ...: the links and
// program groups setup made. Adds the item to each copy that does not list
// it yet (letter case ignored).
void AddSavedPath(const char *path, const char *item);
// The index-th item of the user's copy (machine false) or of the
// machine-wide one. False past the end of the list.
bool GetSavedPath(bool machine, const char *path, int index, char *out, DWORD size);
// The saved lists of links and of program groups.
extern const char kSavedLinks[];
extern const char kSavedGroups[];

// Deletes the machine-wide copy, and HKEY_LOCAL_MACHINE\Software\Quabix with
// it when nothing else is in that key. The user's copy goes with the
// application key.
void DeleteMachineRecord();
