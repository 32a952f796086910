// Bounded text handling over caller-owned buffers. A copy or format that does
// not fit reports false; the buffer then holds an empty string, never a text
// cut short that could name something else.
#pragma once
#include <stddef.h>

bool CopyText(char *dest, size_t size, const char *src);
bool AppendText(char *dest, size_t size, const char *src);

// Formats with the program's own, trusted formats. Understands %s (const
// char *), %d and %0Nd (int) and %%.
bool FormatText(char *dest, size_t size, const char *format, ...);

// Formats a translatable text that may come from a language file: only the
// first %s takes the argument and %% gives one %; every other % sequence is
// kept as it stands. No argument is ever read that was not given.
bool FormatWithText(char *dest, size_t size, const char *format, const char *arg);

// Removes trailing carriage returns, line feeds, blanks and tabs.
char *TrimLineEnd(char *str);

// ASCII-only prefix comparison ignoring case (switch words, marker tests).
bool StartsWithNoCase(const char *text, const char *prefix);
