// The user's choices of the Setup dialog and their place under the
// application key.
#pragma once

#include "integration/archive_types.h"

// One-byte flags, 0 or 1. All zero means that everything is removed.
struct SetupOptions
{
  unsigned char Associations[kArchiveTypeCount]; // indexed like g_ArchiveTypes
  unsigned char Desktop;
  unsigned char StartMenu;
  unsigned char Programs;
  unsigned char ShellExt;
  unsigned char CascadedMenu;
  unsigned char MenuIcons;
};

// Fills every field from the registry; absent values give the defaults. JAR
// and ISO load as false while another program owns the extension.
void LoadSetupOptions(SetupOptions &options);
// Writes the 20 values back as REG_DWORD 0 or 1; failures are ignored.
void SaveSetupOptions(const SetupOptions &options);

// True when the extension's key in HKEY_CLASSES_ROOT names "Quabix" or
// "Quabix.ZIP", in any letter case.
bool IsOwnAssociation(const char *ext);
