// Uninstall mode: the driver, the removal of the integration, deferred
// deletion of locked files and self-removal.
#pragma once

void RunUninstall();

// The uninstall list, in the install folder.
extern const char kListName[];

// Undoes everything that setup mode wrote into the registry and the shell.
void RemoveIntegration();

// For a listed file that exists and could not be deleted: moves it to a
// temporary name and schedules it for deletion at the next restart. True
// when it could not even be moved (a restart is then needed).
bool DeferLockedFile(const char *path);

// Writes the self-removal batch file and starts the command interpreter on
// it; the batch file waits for the tool to end, then deletes the list, the
// executable and the install folder. The tool only deletes the list after it.
void StartSelfRemoval();
