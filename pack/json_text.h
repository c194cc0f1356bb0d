// JSON string literals for the tools' reports: quotes and backslashes escaped, control and
// non-ASCII bytes as \u00XX (installer names are bytes of the ANSI code page, not UTF-8).
#pragma once

#include <stdio.h>

#include <string>

inline std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\', out += (char)c;
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}
