// The texts that deferred deletion and self-removal write: the temporary
// name of a locked file, the folders to remove at the next restart, the
// self-removal batch file, the command line that starts its interpreter and
// the "Rename" section of wininit.ini. Pure, so every byte is tested natively.
#pragma once
#include <stddef.h>

// "<path>.<index>.tmp"; false when it does not fit.
bool FormatTempName(char *dest, size_t size, const char *path, int index);

// Writes a path for a batch file: cmd expands %...% even inside quotes, so
// every % is doubled. False when it does not fit.
bool EscapeBatchPath(char *dest, size_t size, const char *path);

// The whole self-removal batch file: the first line (NT or 9x form), the
// three-line block five times and the tail, CR LF between lines and none
// after the last; silent passes "/s" on to the warning run. Returns its
// length, or -1 when it does not fit.
int ComposeSelfRemovalBatch(char *dest, size_t size, const char *exe, const char *folder,
                            const char *bat, bool ntFamily, bool silent);

// The command line that starts the interpreter on the self-removal batch
// file. NT family (ntMajor from WinNtMajorVersion): "<comspec>" /v:off /d
// /c ""<bat>"": cmd's /c strips the outer quotes of its command when the
// path holds "&", "^", or a blank with "(", ")" or "@", so the path is
// quoted twice; /d skips the AutoRun commands, and /v:off the delayed
// expansion that the registry may turn on, which would eat a "!" (NT 4,
// which has none, gets no /v:off). 9x family (0): <comspec> /c <bat>, with
// bat the short form, since command.com knows no quotes. False when it does
// not fit, when comspec is empty or holds a quote, or on the 9x family when
// either holds a blank or a tab.
bool ComposeInterpreterCommand(char *dest, size_t size, const char *comspec, const char *bat,
                               unsigned ntMajor);

// The folders to remove at the next restart once files in them were
// deferred: every folder from a deferred file's up to the install folder,
// each once, deepest first and the install folder last, so that Windows,
// which carries out scheduled deletions in order, empties a folder before
// its parent. Fixed memory: a folder that does not fit is refused, never cut.
const size_t kRestartFoldersSize = 8192;

struct RestartFolders
{
  char Text[kRestartFoldersSize]; // the folders, each ending in a NUL, in order
  size_t Used;
};

void InitRestartFolders(RestartFolders &folders);

// Adds the folders that hold path, which begins with installFolder (ending
// in a backslash). Empty and "." components are passed over. False when
// path is not inside installFolder, when installFolder is a drive root or
// when a folder does not fit (the others are still added).
bool AddRestartFolders(RestartFolders &folders, const char *installFolder, const char *path);

// The folder after at, or the first one when at is NULL; NULL after the last.
const char *NextRestartFolder(const RestartFolders &folders, const char *at);

// Adds the line "NUL=<path>" to the [Rename] section of a wininit.ini text,
// keeping every line that is there (a profile-string write would replace an
// earlier "NUL" entry and so cancel its deletion). The section is created at
// the end when missing. Returns the new length, or -1 when it does not fit.
int AddWininitRename(char *dest, size_t size, const char *text, size_t length, const char *path);

// File operations for ReplaceWholeFile: the Windows calls, or a stand-in.
struct FileOps
{
  // Creates or replaces path; true only when every byte was written and
  // the file closed.
  bool (*Write)(void *context, const char *path, const char *data, size_t length);
  bool (*Move)(void *context, const char *from, const char *to); // fails when to exists
  bool (*Remove)(void *context, const char *path);               // true when it is gone
  bool (*Exists)(void *context, const char *path);
  void *Context;
};

// Puts text in place as path without ever leaving it cut short: writes
// newPath beside it, and only once that was written whole moves path aside
// to oldPath, newPath to path, and removes oldPath. Whatever fails on the
// way, path keeps its earlier contents and neither side file stays (a
// full disk must not truncate other programs' pending renames in
// wininit.ini). False when text is not in place.
bool ReplaceWholeFile(const FileOps &ops, const char *path, const char *newPath, const char *oldPath,
                      const char *text, size_t length);

// Before path is read: when a run stopped between moving path aside and
// moving the new text in (or could not move it back), path is missing and
// oldPath holds its contents; they are put back. False when path is still
// missing while oldPath exists.
bool RecoverSetAsideFile(const FileOps &ops, const char *path, const char *oldPath);
