// The texts that deferred deletion and self-removal write: the temporary
// name of a locked file, the self-removal batch file and the "Rename"
// section of wininit.ini. Pure, so every byte is tested natively.
#pragma once
#include <stddef.h>

// "<path>.<index>.tmp"; false when it does not fit.
bool FormatTempName(char *dest, size_t size, const char *path, int index);

// Writes a path for a batch file: cmd expands %...% even inside quotes, so
// every % is doubled. False when it does not fit.
bool EscapeBatchPath(char *dest, size_t size, const char *path);

// The whole self-removal batch file: the first line (NT or 9x form), the
// three-line block five times and the tail, CR LF between lines and none
// after the last. Returns its length, or -1 when it does not fit.
int ComposeSelfRemovalBatch(char *dest, size_t size, const char *exe, const char *folder,
                            const char *bat, bool ntFamily);

// Adds the line "NUL=<path>" to the [Rename] section of a wininit.ini text,
// keeping every line that is there (a profile-string write would replace an
// earlier "NUL" entry and so cancel its deletion). The section is created at
// the end when missing. Returns the new length, or -1 when it does not fit.
int AddWininitRename(char *dest, size_t size, const char *text, size_t length, const char *path);
