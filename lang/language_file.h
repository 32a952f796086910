// The language file "uninstall.lng": a message block after the marker
// "***messages***", one translation a line, found by the CRC-32 text key of
// the English text. Loading and lookup work on bytes only; reading the file
// itself is the Windows side (LoadLanguageFile).
#pragma once
#include <stddef.h>

#include "lang/array.h"

// Where the loader reads from: the language file, or bytes in memory.
struct LanguageSource
{
  int (*Read)(void *context, char *buffer, int count); // bytes read, 0 at the end, -1 on failure
  long long (*Tell)(void *context);                   // -1 on failure
  bool (*Seek)(void *context, long long position);
  void *Context;
};

// The marker search reads blocks that overlap by 16 bytes, so a marker is
// found wherever it stands, up to offset 64 * (8192 - 16) = 523,264.
const int kMarkerBlockSize = 8192;
const int kMarkerBlockOverlap = 16;
const int kMarkerBlocks = 64;
// At most this much of the file, counted from the marker, is read.
const int kMessageBlockSize = 65536;
// Line breaks become this byte in the processed text.
const char kLineSeparator = '\f';
// Destination sizes of the callers.
const size_t kStringTextSize = 512;
const size_t kWindowTextSize = 1024;

// Offset of the marker's first asterisk, or -1.
long long FindMessageMarker(const LanguageSource &source);

// Text key: 8 lower-case hexadecimal digits of the CRC-32 over class byte,
// context (may be null) and default text, and a terminator.
void MakeTextKey(char key[9], char classByte, const char *context, const char *defaultText);

// Reads a dialog's size entry such as "120*110": the percentages of width
// and height. False, with both 100, when the entry is no size entry, both
// are 100, or a number lies outside kMinDialogScale..kMaxDialogScale.
const int kMinDialogScale = 50;
const int kMaxDialogScale = 400;
bool ParseDialogScale(const char *text, int &xs, int &ys);

enum LanguageLoad
{
  LanguageNotLoaded,  // no marker, no memory for the text: untranslated
  LanguageLoaded,
  LanguageOutOfMemory // the message table could not be built: a fatal stop
};

class LanguageResources
{
public:
  LanguageResources();
  ~LanguageResources();

  // Finds "uninstall.lng" beside the executable (a name without backslash)
  // and loads it, then decides the reading direction. Windows only.
  void LoadLanguageFile(const char *name);

  // Marker search, message block, escapes, message table.
  LanguageLoad LoadMessages(const LanguageSource &source);
  void Unload();
  bool IsLoaded() const { return m_text != 0; }

  // Writes the translation of defaultText, or defaultText itself, into dest
  // (at most size - 1 bytes, cut on a character boundary). dest may be
  // defaultText. True when a translation was found.
  bool LookupText(char *dest, size_t size, const char *defaultText, const char *context, char classByte) const;
  // The translation stored under a text key (8 hexadecimal digits); false,
  // with dest untouched, when there is none.
  bool LookupKey(char *dest, size_t size, const char *key) const;

  // Right to left when the resource module has a dialog "RTL", or the entry
  // of class "$", context "LTR", text "LTR" reads "RTL".
  void DetectReadingDirection(bool rtlDialog);
  bool RightToLeft() const { return m_rightToLeft != 0; }

  const char *Text() const { return m_text; }
  int TextLength() const { return m_textLength; }
  const Array<int> &MessageTable() const { return m_table; }

private:
  LanguageResources(const LanguageResources &);
  LanguageResources &operator=(const LanguageResources &);

  bool BuildMessageTable();
  int FindLine(const char *key) const;

  char *m_text;
  int m_textLength;
  Array<int> m_table;
  unsigned char m_rightToLeft;
};

// The process-wide instance, constructed by static initialisation.
extern LanguageResources g_LanguageResources;
