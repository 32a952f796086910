// Process-wide state of the entry point, shared with the dialogs and the
// uninstall driver.
#pragma once
#include <windows.h>

#include "util/path.h"

extern bool g_Silent;
extern char g_ProgramGroupPath[kPathSize];
extern HICON g_WindowIcon;
extern HFONT g_BoldFont;

// Starts a program without waiting for it.
bool RunProgram(const char *commandLine);

// Whether a message may be shown: always in an interactive run; in a silent
// one only where a person can see it (never for the system account of a
// deployment tool, which waits for the exit code alone).
bool MayShowMessage();
