// Reading "Uninstall.lst": one relative path per line, read like fgets with a
// 2048-byte line buffer over any byte source. Pure, so it is tested natively.
#pragma once
#include <stddef.h>

#include "lang/array.h"

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
  bool Failed; // the source reported a read failure
};

void InitListReader(ListReader &reader, ListSource source, void *context);
// Forgets what was buffered, after the source was moved back to its start.
void RewindListReader(ListReader &reader);

// Reads one line into line (at most size - 1 bytes, stopping after a line
// feed) and terminates it. Returns the number of bytes read, NUL bytes
// included; 0 at the end of the list, and 0 with an empty line when the
// source fails: a line the failure cut short is never handed out.
int ReadListLine(ListReader &reader, char *line, int size);

enum ListEntryKind
{
  ListEnd,
  ListEntry,   // line holds the entry, trimmed (empty for a blank line)
  ListRefused, // a line that would have to be cut short: never acted on
  ListFailed,  // the source failed: what was read of the line is dropped and the pass ends
};

// Reads the next line of the list as an entry, trimmed of its line end and
// trailing blanks. A line that holds a NUL byte, or that is longer than the
// line buffer, is refused whole, all its pieces: cut at the NUL or at the
// buffer's end it would name another file. A read failure is not the end of
// the list: a line it cuts short could name another file ("settings.ini."
// is "settings.ini" to Windows), so it ends the pass with ListFailed until
// the reader is rewound.
ListEntryKind ReadListEntry(ListReader &reader, char *line, int size);

// False for an entry that could reach outside the install folder: one with a
// component made of dots (and blanks) that Windows would take for "..".
bool IsEntryInsideFolder(const char *entry);

// Folder (ending in a backslash) plus entry. False when it does not fit, so
// that a path is never cut short into the name of another file.
bool JoinListPath(char *dest, size_t size, const char *folder, const char *entry);

// What the driver has learnt about each line of the list (counted from 0 in
// the order ReadListEntry hands them out), so that later passes ask the
// system only about the lines still open. Two bits a line, grown as lines
// are met: memory in proportion to the list's line count.
enum LineState
{
  LineOpen = 0,   // nothing known yet: try it
  LineDone = 1,   // removed, known missing, deferred or refused: skip it
  LineFolder = 2, // a folder that was not empty yet: only try to remove it
};

struct LineStates
{
  Array<unsigned char> Bytes; // four lines a byte
};

// LineOpen for a line never recorded.
LineState GetLineState(const LineStates &states, int line);
// False when the memory for it cannot be had: the line then stays open and
// is only asked about again, which is slower but never wrong.
bool SetLineState(LineStates &states, int line, LineState state);
