#include "uninstall/outcome.h"

#include "uninstall/uninstall.h"

int UninstallExitCode(const UninstallOutcome &outcome)
{
  if (outcome.ListIncomplete || outcome.LeftBehind)
    return kExitFailed;
  return outcome.Scheduled ? kExitRestartNeeded : kExitFinished;
}
