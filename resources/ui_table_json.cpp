// Writes the macros of resources/ui_table.h as one JSON object, {"NAME": "text" or number, ...},
// for the Python tests: the build runs it, so they read the very values the installer is
// compiled with. Which macros there are comes from the header itself (resources/CMakeLists.txt
// lists every #define into ui_table_entries.inc).
//   ui_table_json OUTPUT.json
#include <stdio.h>

#include <string>

#include "resources/ui_table.h"

namespace {

std::string JsonString(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c; c++) {
        unsigned char byte = (unsigned char)*c;
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += *c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += *c;
        }
    }
    return out + "\"";
}

std::string JsonValue(const char* text) {
    return JsonString(text);
}

std::string JsonValue(long long number) {
    return std::to_string(number);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return fprintf(stderr, "usage: ui_table_json OUTPUT.json\n"), 2;
    std::string json = "{";
#define UI_TABLE_ENTRY(name) \
    json += (json.size() > 1 ? ",\n " : "\n ") + JsonString(#name) + ": " + JsonValue(name);
#include "ui_table_entries.inc"
#undef UI_TABLE_ENTRY
    json += "\n}\n";
    FILE* file = fopen(argv[1], "wb");
    if (!file) return perror(argv[1]), 1;
    int written = fwrite(json.data(), 1, json.size(), file) == json.size();
    return fclose(file) == 0 && written ? 0 : 1;
}
