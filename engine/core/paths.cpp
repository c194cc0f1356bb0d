// Path composition with length checks, and the ASCII-only case rules of the installer.
#include "engine/core/paths.h"

#include <string.h>

int JoinPath(char* out, size_t outSize, const char* dir, const char* name) {
    size_t dirLength = strlen(dir);
    size_t nameLength = strlen(name);
    if (dirLength + 1 + nameLength + 1 > outSize) return 0;
    // dir may alias out (appending in place), so move it first.
    memmove(out, dir, dirLength);
    out[dirLength] = '\\';
    memmove(out + dirLength + 1, name, nameLength);
    out[dirLength + 1 + nameLength] = '\0';
    return 1;
}

int CopyIfFits(char* out, size_t outSize, const char* text) {
    size_t length = strlen(text);
    if (length + 1 > outSize) return 0;
    memmove(out, text, length + 1);
    return 1;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int EqualIgnoringAsciiCase(const char* a, const char* b) {
    for (;; a++, b++) {
        if (AsciiLower(*a) != AsciiLower(*b)) return 0;
        if (*a == '\0') return 1;
    }
}
