#include "app/command_line.h"

#include <string.h>

#include "util/path.h"
#include "util/text.h"

namespace {
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// The end of the name when the text starts with the first length bytes of
// name, ignoring ASCII case and the kind of slash (Windows takes both), a
// double-byte character matching exactly, followed by a blank, a tab or the
// end; null otherwise.
const char *MatchName(const char *text, const char *name, size_t length)
{
  const char *end = name + length;
  const char *t = text;
  for (const char *n = name; n < end;)
  {
    const char *next = NextCharPos(n);
    if (next > end)
      return 0;
    if (next - n == 1)
    {
      if (FoldAscii(*t) != FoldAscii(*n) && !(IsSeparator(*t) && IsSeparator(*n)))
        return 0;
    }
    else if (t[0] != n[0] || t[1] != n[1])
      return 0;
    t += next - n;
    n = next;
  }
  return (*t == 0 || IsBlank(*t)) ? t : 0;
}
} // namespace

const char *SkipProgramName(const char *commandLine, const char *modulePath, NamesModule names, void *context)
{
  if (!commandLine)
    return commandLine;
  const char *p = commandLine;
  // A quote, a blank and a tab are never trail bytes of a double-byte
  // character, so they are looked for byte by byte.
  if (*p == '"')
  {
    const char *quote = strchr(p + 1, '"');
    return quote ? quote + 1 : p + strlen(p);
  }
  size_t length = modulePath ? strlen(modulePath) : 0;
  if (length > 0)
  {
    const char *end = MatchName(p, modulePath, length);
    if (!end && length > 4 && StartsWithNoCase(modulePath + length - 4, ".exe"))
      end = MatchName(p, modulePath, length - 4);
    if (end)
      return end;
  }
  if (names)
  {
    char candidate[kPathSize];
    for (size_t n = strcspn(p, " \t"); n < sizeof(candidate); n += 1 + strcspn(p + n + 1, " \t"))
    {
      if (n > 0)
      {
        memcpy(candidate, p, n);
        candidate[n] = 0;
        if (names(candidate, context))
          return p + n;
      }
      if (p[n] == 0)
        break;
    }
  }
  return p + strcspn(p, " \t");
}

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
  CommandLine result = {false, false, false, 0};
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
    else if (kind == SwitchWait || kind == SwitchWarning)
      result.Helper = true;
    if (kind != SwitchSilent)
      result.Counted++;
    if (action)
      action(kind, context);
  }
  return result;
}

Mode ChooseMode(const CommandLine &line)
{
  if (line.Setup)
    return ModeSetup;
  if (line.Counted == 0)
    return ModeUninstall;
  return line.Helper ? ModeHelper : ModeNone;
}
