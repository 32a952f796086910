// Uninstall mode: the driver, the removal of the integration, deferred
// deletion of locked files and self-removal.
#pragma once

void RunUninstall();

// Undoes everything that setup mode wrote into the registry and the shell.
void RemoveIntegration();

// For a listed file that exists and could not be deleted: moves it to a
// temporary name and schedules it for deletion at the next restart. True
// when it could not even be moved (a restart is then needed).
bool DeferLockedFile(const char *path);

// Writes the self-removal batch file and starts the command interpreter on
// it; the last thing an uninstall run does.
void StartSelfRemoval();
