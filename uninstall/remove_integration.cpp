#include <windows.h>
#include <shlobj.h>

#include <string.h>

#include "integration/integration.h"
#include "integration/saved_records.h"
#include "integration/setup_options.h"
#include "registry/registry.h"
#include "uninstall/uninstall.h"

void RemoveIntegration()
{
  // The same routines as setup, with every choice off, take everything back.
  SetupOptions none;
  memset(&none, 0, sizeof(none));
  ApplyAssociations(none);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, NULL, NULL);
  ApplyShellExtension(none);
  ApplyShortcuts(none, NULL, 0);
  // What the running account cannot see: the links of the account that ran
  // setup, as setup recorded them.
  RemoveSavedShortcuts();
  // The product's own keys; the saved records last, since the give-back
  // and the links above read them.
  DeleteAppTree(HKEY_CLASSES_ROOT, "Quabix");
  DeleteAppTree(HKEY_CLASSES_ROOT, "Quabix.ZIP");
  DeleteAppTree(HKEY_CLASSES_ROOT, "Quabix.REV");
  GiveBackRevBinding();
  DeleteRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver");
  DeleteRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe");
  DeleteMachineRecord();
  DeleteAppTree(HKEY_CURRENT_USER, "");
}
