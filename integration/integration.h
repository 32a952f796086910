// Applying the user's choices to the registry and the shell, in both
// directions: a true flag creates, a false flag takes back.
#pragma once
#include <stddef.h>

struct SetupOptions;

// File associations of the 14 archive types (the saved association of each
// extension is kept under the application key and given back).
void ApplyAssociations(const SetupOptions &options);
void ApplyExtensionAssociation(const char *ext, bool associate, bool shellIntegration, bool qbxRow, bool zipRow);
// The archiver's document types "Quabix", "Quabix.ZIP", "Quabix.REV" and
// the ".rev" binding; then tells the shell that associations changed.
void RegisterDocumentTypes();
// Gives ".rev" back to the owner it had before setup bound it, or releases
// it; another program's binding made since stays.
void GiveBackRevBinding();

// The shell extension DLLs: the 32-bit one always, the 64-bit one on 64-bit
// Windows.
void ApplyShellExtension(const SetupOptions &options);
void RegisterShellExtensionDll(bool registerIt, const char *dllName, const char *clsid, bool view64);
// True when the tool runs as a 32-bit process on 64-bit Windows.
bool IsWow64();

// Desktop and Start menu links and the program groups. When Programs is set
// and groupPath is given, the per-user group's folder is copied into it
// (groupPath holds groupSize bytes).
void ApplyShortcuts(const SetupOptions &options, char *groupPath, size_t groupSize);
bool CreateShellLink(const char *target, const char *link, const char *description);
// Deletes the links that setup saved in its record (whichever account made
// them) while they still point at the archiver, its help or its manual, and
// then each saved program group that is empty.
void RemoveSavedShortcuts();
// Removes a folder with everything in it, permanently.
bool DeleteFolder(const char *folder);

// The entry in the list of installed programs, and App Paths of Quabix.exe.
void WriteUninstallEntry();
void WriteAppPaths();

// Setup's apply sequence: App Paths, shell extension, associations,
// document types, shortcuts.
void ApplySetupOptions(const SetupOptions &options, char *groupPath, size_t groupSize);
// What OK in the Setup dialog does: save the choices, apply them, and list
// the product among the installed programs.
void SaveAndApplySetupOptions(const SetupOptions &options, char *groupPath, size_t groupSize);
