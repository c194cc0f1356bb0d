// ASCII upper-casing for the tools, by the installer's own rule: only the letters a to z
// change, whatever the locale, so that the tools compare names as the installer does.
#pragma once

#include <string>

#include "engine/core/paths.h"

inline std::string AsciiUpperCopy(std::string text) {
    for (char& c : text) c = AsciiUpper(c);
    return text;
}
