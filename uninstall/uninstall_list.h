// Reading "Uninstall.lst": one relative path per line, read like fgets with a
// 2048-byte line buffer over any byte source. Pure, so it is tested natively.
#pragma once
#include <stddef.h>

// Size of the line buffer: one read takes at most 2047 bytes.
const int kListLineSize = 2048;

typedef int (*ListSource)(void *context, char *buffer, int count);

struct ListReader
{
  ListSource Source;  // returns bytes read, 0 at the end, negative on failure
  void *Context;
  char Buffer[4096];
  int Pos;
  int Len;
  bool End;
};

void InitListReader(ListReader &reader, ListSource source, void *context);
// Forgets what was buffered, after the source was moved back to its start.
void RewindListReader(ListReader &reader);

// Reads one line into line (at most size - 1 bytes, stopping after a line
// feed) and terminates it. Returns the number of bytes read, NUL bytes
// included; 0 at the end of the list.
int ReadListLine(ListReader &reader, char *line, int size);

enum ListEntryKind
{
  ListEnd,
  ListEntry,   // line holds the entry, trimmed (empty for a blank line)
  ListRefused, // a line that would have to be cut short: never acted on
};

// Reads the next line of the list as an entry, trimmed of its line end and
// trailing blanks. A line that holds a NUL byte, or that is longer than the
// line buffer, is refused whole, all its pieces: cut at the NUL or at the
// buffer's end it would name another file.
ListEntryKind ReadListEntry(ListReader &reader, char *line, int size);

// False for an entry that could reach outside the install folder: one with a
// component made of dots (and blanks) that Windows would take for "..".
bool IsEntryInsideFolder(const char *entry);

// Folder (ending in a backslash) plus entry. False when it does not fit, so
// that a path is never cut short into the name of another file.
bool JoinListPath(char *dest, size_t size, const char *folder, const char *entry);
