// Double-quoted string literals for what the tools write: JSON reports and TOML manifests.
// Both use the same escapes: quotes and backslashes behind a backslash, control bytes as
// \u00XX. They differ only in what becomes of text past ASCII.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

// The length of the UTF-8 sequence at text[at] (2 to 4) with its code point; 0 when no valid
// one starts there (a stray byte, an overlong form, a surrogate).
inline size_t Utf8SequenceAt(const std::string& text, size_t at, uint32_t* codePoint) {
    unsigned char lead = (unsigned char)text[at];
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead >= 0xF5 || at + length > text.size()) return 0;
    uint32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; i++) {
        unsigned char next = (unsigned char)text[at + i];
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

enum class PastAscii {
    EscapeEachByte,       // \u00XX per byte
    EscapeEachCharacter,  // \uXXXX or \UXXXXXXXX per UTF-8 character; other bytes kept
};

// `text` quoted, with what lies past ASCII written as `pastAscii` says.
inline std::string QuotedString(const std::string& text, PastAscii pastAscii) {
    std::string out = "\"";
    char escaped[16];
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        uint32_t codePoint = 0;
        size_t length = 0;
        if (c >= 0x80 && pastAscii == PastAscii::EscapeEachCharacter)
            length = Utf8SequenceAt(text, i, &codePoint);
        if (c == '"' || c == '\\') {
            out += '\\', out += (char)c;
        } else if (length > 0) {
            snprintf(escaped, sizeof escaped, codePoint > 0xFFFF ? "\\U%08x" : "\\u%04x",
                     codePoint);
            out += escaped;
            i += length - 1;
        } else if (c < 0x20 || c == 0x7F || (c > 0x7F && pastAscii == PastAscii::EscapeEachByte)) {
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
    return QuotedString(text, PastAscii::EscapeEachByte);
}

// For a manifest: a host path is UTF-8, and the TOML parser cannot be given many characters
// past ASCII literally (the manifest reader refuses them), so each is written as its escape,
// which reads back as the same UTF-8. Bytes that are no UTF-8 stay, and the reader names them.
inline std::string TomlString(const std::string& text) {
    return QuotedString(text, PastAscii::EscapeEachCharacter);
}
