// Double-quoted string literals for what the tools write: JSON reports and TOML manifests.
// Both use the same escapes: quotes and backslashes behind a backslash, control bytes as
// \u00XX. They differ only in what becomes of bytes past ASCII.
#pragma once

#include <stdio.h>

#include <string>

// `text` quoted; with `escapeNonAscii`, bytes from 0x80 up are written as \u00XX as well.
inline std::string QuotedString(const std::string& text, bool escapeNonAscii) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\', out += (char)c;
        } else if (c < 0x20 || c == 0x7F || (escapeNonAscii && c > 0x7F)) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

// For the JSON reports: installer names are bytes of the ANSI code page, not UTF-8, so every
// byte past ASCII is escaped and the report stays valid JSON.
inline std::string JsonString(const std::string& text) {
    return QuotedString(text, true);
}

// For a manifest: a TOML file is UTF-8, so a host path's bytes past ASCII stay as they are.
inline std::string TomlString(const std::string& text) {
    return QuotedString(text, false);
}
