// Composition of registry key paths. Pure code, so that the application-key
// rule and the limits are tested without Windows.
#pragma once
#include <stddef.h>

// The full path of every operation lives in a buffer of this size.
const size_t kRegPathSize = 256;
// A caller's path may use the buffer less this reserve, which leaves room
// for the application key in front of it.
const size_t kRegPathReserve = 20;
// Subkey paths composed while a tree is deleted.
const size_t kRegSubkeyPathSize = 512;
// Enumerated subkey names, terminator included (names of up to 199 characters).
const size_t kRegEnumNameSize = 200;

// The key every relative path under HKEY_CURRENT_USER is placed below.
extern const char kAppKey[];

// Full path of a caller's path. With appKeyRule (root HKEY_CURRENT_USER) a
// path that begins with a backslash is absolute and loses that backslash,
// any other path is placed below the application key; without it the path
// is copied unchanged. A caller's path longer than size - 20 is refused:
// false, and out holds the empty string.
bool ComposeRegPath(bool appKeyRule, const char *path, char *out, size_t size);

// "parent\name". False, with out empty, when that does not fit: a path cut
// short would name a different key.
bool ComposeSubkeyPath(const char *parent, const char *name, char *out, size_t size);

// True for a full path that names the root key itself (empty, or nothing but
// backslashes). Deletions refuse it.
bool IsRootRegPath(const char *path);
