// The exit code of an uninstall run that got past the list's opening, from
// what its passes came to. Pure, so it is tested natively.
#pragma once

struct UninstallOutcome
{
  bool ListIncomplete; // a read of the list failed: entries may not have been seen
  bool Scheduled;      // something really waits for the restart
  bool LeftBehind;     // a file could neither be deleted nor scheduled
};

// 1603 when not everything was or will be removed (a restart does not help
// a file that was never scheduled), 3010 when the restart finishes the job,
// 0 when it is done.
int UninstallExitCode(const UninstallOutcome &outcome);
