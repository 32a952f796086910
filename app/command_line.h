// The switches of the tool's command line. Pure: the effects of "wait" and
// "warning", which happen while parsing, are handed to a callback.
#pragma once

enum SwitchKind
{
  SwitchSetup,
  SwitchSilent,
  SwitchWait,
  SwitchWarning,
  SwitchOther
};

struct CommandLine
{
  bool Setup;   // "setup" seen
  bool Silent;  // "s" seen
  bool Helper;  // "wait" or "warning" seen: the self-removal batch file's runs
  int Counted;  // switches other than "s"
};

enum Mode
{
  ModeUninstall, // no counted switch
  ModeSetup,
  ModeHelper,    // "wait" or "warning" only acted
  ModeNone,      // switches that prevent every mode: nothing is done
};

// What the tool does for a parsed command line. ModeNone is what a
// deployment tool gets for "/S /norestart", "/quiet" or a path with a
// hyphen: it must not be reported as a success.
Mode ChooseMode(const CommandLine &line);

// Where the arguments start in the full command line of the process
// (GetCommandLineA), which begins with the program's own name. A quoted name
// ends after its closing quote. Windows hands an unquoted name with blanks on
// unchanged (an uninstall command from the list of installed programs, say),
// so an unquoted name that is the module path, or the module path without
// ".exe", compared ignoring ASCII case and the kind of slash, and followed
// by a blank, a tab or the end, is skipped whole; any other unquoted name
// ends at the first blank or tab, as Windows splits it.
//
// A name spelt otherwise (its short 8.3 form, another case of a letter
// outside ASCII, ".\uninstall.exe") is recognised by what the file system
// says: when names is given, every unquoted prefix that ends at a blank, a
// tab or the end and fits in a path buffer is offered to it, shortest first
// (as Windows looks for the program), and the first it accepts is skipped.
typedef bool (*NamesModule)(const char *candidate, void *context);
const char *SkipProgramName(const char *commandLine, const char *modulePath, NamesModule names = 0,
                            void *context = 0);

// Classifies the switch word that starts right after a marker.
SwitchKind ClassifySwitch(const char *word);

typedef void (*SwitchAction)(SwitchKind kind, void *context);

// A switch marker is any '/' or '-', wherever it stands; the word after it
// is tested by prefix, ignoring ASCII case. The action, when given, runs for
// every switch in the order of the command line.
CommandLine ParseCommandLine(const char *commandLine, SwitchAction action, void *context);
