// The command-line parser on any text.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "app/command_line.h"

namespace {
void Count(SwitchKind kind, void *context)
{
  int *counts = static_cast<int *>(context);
  counts[kind]++;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  char *text = static_cast<char *>(malloc(size + 1));
  memcpy(text, data, size);
  text[size] = 0;
  int counts[SwitchOther + 1] = {0};
  CommandLine line = ParseCommandLine(text, Count, counts);
  // Every switch but "s" counts, and the flags follow what was seen.
  if (line.Counted != counts[SwitchSetup] + counts[SwitchWait] + counts[SwitchWarning] + counts[SwitchOther] ||
      line.Setup != (counts[SwitchSetup] > 0) || line.Silent != (counts[SwitchSilent] > 0) ||
      line.Helper != (counts[SwitchWait] + counts[SwitchWarning] > 0))
    __builtin_trap();
  // Uninstall mode only without a counted switch; nothing done only when no
  // switch of a mode was seen.
  Mode mode = ChooseMode(line);
  if ((mode == ModeUninstall) != (line.Counted == 0) ||
      (mode == ModeNone) != (line.Counted > 0 && !line.Setup && !line.Helper))
    __builtin_trap();
  free(text);
  return 0;
}
