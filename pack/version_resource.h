// The RT_VERSION resource: a tree of nodes, each
//
//   length:2  valueLength:2  type:2 (0 binary, 1 text)  key (UTF-16, NUL)  pad to 4
//   value (valueLength bytes when binary, valueLength UTF-16 units when text)  pad to 4
//   children, each starting at a multiple of 4 from the resource's start
//
// The root "VS_VERSION_INFO" holds the 52-byte fixed part (signature 0xFEEF04BD, the version
// numbers) and two children: "StringFileInfo" with one table named by language and code page
// ("040904B0") of text pairs, and "VarFileInfo" with "Translation" (language, code page).
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "pack/installer_settings.h"

const uint16_t RT_VERSION_TYPE = 16;

// The resource for `version` in `language`, its texts in the Unicode code page.
std::vector<uint8_t> VersionResourceData(const VersionSettings& version, uint16_t language);

struct VersionFacts {
    uint16_t numbers[4] = {0, 0, 0, 0};        // the fixed part's file version
    std::map<std::string, std::string> texts;  // the string table, UTF-8
};

// Reads the resource back; false, with `problem` set, when it is malformed.
bool ParseVersionResource(const std::vector<uint8_t>& data, VersionFacts* facts,
                          std::string* problem);

// The string table keys the build writes, in the order listings show them.
extern const char* const VERSION_TEXT_KEYS[6];
