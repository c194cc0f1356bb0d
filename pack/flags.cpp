// The flag name table.
#include "pack/flags.h"

#include <stdio.h>

#include "engine/core/package.h"

namespace {

struct FlagName {
    uint16_t bit;
    const char* name;
};

const FlagName FLAG_NAMES[] = {
    {CF_EXTERNAL_SOURCE, "external"},
    {CF_EMBEDDED, "embedded"},
    {CF_COMPRESSED, "compressed"},
    {CF_OVERWRITE, "overwrite"},
    {CF_CRITICAL, "critical"},
    {CF_LAUNCH_AFTER_COPY, "launch_after_copy"},
    {CF_LAUNCH_BEFORE, "launch_before"},
    {CF_LAUNCH_AT_END, "launch_at_end"},
    {CF_DELETE_AFTER_LAUNCH, "delete_after_launch"},
    {CF_LAUNCH_REQUIRED, "launch_required"},
    {CF_HIDE_NAME, "hide_name"},
};

}  // namespace

uint16_t FlagBit(const std::string& name) {
    for (const FlagName& f : FLAG_NAMES) {
        if (name == f.name) return f.bit;
    }
    return 0;
}

std::string KnownFlagNames() {
    std::string all;
    for (const FlagName& f : FLAG_NAMES) all += (all.empty() ? "" : ", ") + std::string(f.name);
    return all;
}

std::vector<std::string> FlagNames(uint16_t flags) {
    std::vector<std::string> names;
    uint16_t known = 0;
    for (const FlagName& f : FLAG_NAMES) {
        known |= f.bit;
        if (flags & f.bit) names.push_back(f.name);
    }
    for (int b = 0; b < 16; b++) {
        uint16_t bit = (uint16_t)(1u << b);
        if ((flags & bit) && !(known & bit)) {
            char text[8];
            snprintf(text, sizeof text, "0x%04x", bit);
            names.push_back(text);
        }
    }
    return names;
}
