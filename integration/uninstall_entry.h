// What the uninstall entry tells about the product, computed from bytes: the
// texts of a version resource and the size of the listed files.
#pragma once
#include <stddef.h>
#include <wchar.h>

struct ListReader;

// Finds the string value name (such as "ProductVersion", ASCII, compared
// ignoring ASCII case) in the string tables of a VS_VERSIONINFO block as the
// resource holds it (little-endian UTF-16 keys and values, each node aligned
// to 4 bytes from the block's start) and copies it into out, one UTF-16 unit
// per element, terminated. False when there is no such value, when it is
// empty, when it does not fit in size elements, or when a length in the
// block points outside it.
bool FindVersionText(const void *block, size_t size, const char *name, wchar_t *out, size_t size_out);

// Reports the size of the file at path: false when nothing of that name
// exists; a folder has size 0.
typedef bool (*FileSizeProbe)(void *context, const char *path, unsigned long long *size);

// Kilobytes, rounded up, of the files that the uninstall list names below
// folder (which ends in a backslash), read as the uninstall driver reads it:
// refused lines, entries that could reach outside the folder and joined
// paths that do not fit are skipped, and so are names with a wildcard (no
// file has one). Missing files and folders count 0; a name listed twice
// counts twice. Saturates at 0xFFFFFFFF.
unsigned long ListedFilesKb(ListReader &reader, const char *folder, FileSizeProbe probe, void *context);
