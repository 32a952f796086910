#include "app/command_line.h"

#include <string.h>

#include "util/text.h"

namespace {
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
} // namespace

SwitchKind ClassifySwitch(const char *word)
{
  if (StartsWithNoCase(word, "setup"))
    return SwitchSetup;
  if ((word[0] == 's' || word[0] == 'S') && !IsAsciiLetter(word[1]))
    return SwitchSilent;
  if (StartsWithNoCase(word, "wait"))
    return SwitchWait;
  if (StartsWithNoCase(word, "warning"))
    return SwitchWarning;
  return SwitchOther;
}

CommandLine ParseCommandLine(const char *commandLine, SwitchAction action, void *context)
{
  CommandLine result = {false, false, 0};
  if (!commandLine)
    return result;
  for (const char *p = strpbrk(commandLine, "/-"); p; p = strpbrk(p, "/-"))
  {
    p++; // the word starts after the marker; so does the next search
    SwitchKind kind = ClassifySwitch(p);
    if (kind == SwitchSetup)
      result.Setup = true;
    else if (kind == SwitchSilent)
      result.Silent = true;
    if (kind != SwitchSilent)
      result.Counted++;
    if (action)
      action(kind, context);
  }
  return result;
}
