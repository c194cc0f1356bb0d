// Path rules of the installer, free of platform calls: narrow NUL-terminated strings with '\'
// as separator, composed into fixed fields that are never written past. Portable.
#pragma once

#include <stddef.h>

const size_t PATH_FIELD_SIZE = 260;  // every path field of the install state, terminator included

// out = dir + "\" + name when it fits in outSize bytes (terminator included): returns 1.
// Otherwise returns 0 and leaves out untouched. The separator is always inserted, also after a
// directory that already ends in one.
int JoinPath(char* out, size_t outSize, const char* dir, const char* name);

// Copies `text` into `out` when it fits in outSize bytes: 1; else 0 and `out` untouched.
int CopyIfFits(char* out, size_t outSize, const char* text);

// Only 'a'..'z' change; no locale is consulted.
char AsciiUpper(char c);
char AsciiLower(char c);
// Byte-for-byte equality after folding 'A'..'Z' to lower case.
int EqualIgnoringAsciiCase(const char* a, const char* b);
