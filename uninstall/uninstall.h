// Uninstall mode: the driver, the removal of the integration, deferred
// deletion of locked files and self-removal.
#pragma once

// Exit codes of uninstall mode, as deployment tools read them.
const int kExitFinished = 0;
const int kExitRestartNeeded = 3010; // finished; something waits for the restart
const int kExitDeclined = 1602;      // the user answered No
const int kExitFailed = 1603;        // not everything was removed, or nothing
const int kExitInvalidCommandLine = 1639; // switches that prevent every mode: nothing done

// The whole of uninstall mode; returns the process exit code.
int RunUninstall();

// Undoes everything that setup mode wrote into the registry and the shell.
void RemoveIntegration();

enum DeferResult
{
  DeferSkipped,      // the executable or the list: self-removal and the driver see to them
  DeferMoved,        // moved to a temporary name, which goes at the next restart
  DeferInPlace,      // could not be moved: goes at the next restart under its own name
  DeferNotScheduled, // nothing could be scheduled: the file stays
};

// For a listed file that exists and could not be deleted: moves it to a
// temporary name and schedules it for deletion at the next restart.
DeferResult DeferLockedFile(const char *path);

// Writes the self-removal batch file and starts the command interpreter on
// it; the last thing an uninstall run does. When it cannot, it shows the
// removal warning at once.
void StartSelfRemoval();

// "Uninstall completed" and "You should delete <executable> manually".
void ShowRemovalWarning();
