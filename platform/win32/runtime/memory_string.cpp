// The memory and string functions of the C library that the installer uses, for a program
// linked without any C runtime: a bare Windows 95 has no msvcrt.dll. Byte loops, small and
// plain; the compiler also calls memcpy and memset itself for structure copies and clears.
// Built without loop-pattern recognition, so that these loops never become calls to themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* target, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count--) *to++ = *from++;
    return target;
}

void* memmove(void* target, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    if (to <= from || to >= from + count) return memcpy(target, source, count);
    while (count--) to[count] = from[count];
    return target;
}

void* memset(void* target, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    while (count--) *to++ = (unsigned char)value;
    return target;
}

int memcmp(const void* left, const void* right, size_t count) {
    const unsigned char* a = static_cast<const unsigned char*>(left);
    const unsigned char* b = static_cast<const unsigned char*>(right);
    for (; count; count--, a++, b++)
        if (*a != *b) return *a < *b ? -1 : 1;
    return 0;
}

void* memchr(const void* block, int value, size_t count) {
    const unsigned char* at = static_cast<const unsigned char*>(block);
    for (; count; count--, at++)
        if (*at == (unsigned char)value) return const_cast<unsigned char*>(at);
    return NULL;
}

size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length]) length++;
    return length;
}

size_t strnlen(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length]) length++;
    return length;
}

int strcmp(const char* left, const char* right) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(left);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(right);
    while (*a && *a == *b) a++, b++;
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}

char* strcpy(char* target, const char* source) {
    return static_cast<char*>(memcpy(target, source, strlen(source) + 1));
}

char* strcat(char* target, const char* source) {
    strcpy(target + strlen(target), source);
    return target;
}

// Copies at most `count` characters and pads the rest of the `count` bytes with zeros.
char* strncpy(char* target, const char* source, size_t count) {
    size_t length = strnlen(source, count);
    memcpy(target, source, length);
    memset(target + length, 0, count - length);
    return target;
}

char* strchr(const char* text, int character) {
    for (;; text++) {
        if (*text == (char)character) return const_cast<char*>(text);
        if (!*text) return NULL;
    }
}

char* strstr(const char* text, const char* part) {
    size_t length = strlen(part);
    for (; *text; text++)
        if (memcmp(text, part, length) == 0) return const_cast<char*>(text);
    return length == 0 ? const_cast<char*>(text) : NULL;
}

}  // extern "C"
