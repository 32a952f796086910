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
  int Counted;  // switches other than "s"
};

// Classifies the switch word that starts right after a marker.
SwitchKind ClassifySwitch(const char *word);

typedef void (*SwitchAction)(SwitchKind kind, void *context);

// A switch marker is any '/' or '-', wherever it stands; the word after it
// is tested by prefix, ignoring ASCII case. The action, when given, runs for
// every switch in the order of the command line.
CommandLine ParseCommandLine(const char *commandLine, SwitchAction action, void *context);
