// The rules a copy-table entry must keep beyond its field formats: the flag combinations the
// installer relies on (exactly one data source for an item with a source, none for a
// program-only entry), the field rules of copy_table_rules.h, and installed paths and
// external files unique. Verify reports the same field rules in a finished file.
#pragma once

#include <string>
#include <vector>

#include "pack/copy_table_rules.h"
#include "pack/manifest.h"

struct ItemContext {
    std::string displayName;  // the manifest's name in messages
    std::string baseDir;      // folder that relative sources are resolved against
};

// Throws PackError "NAME:LINE: message".
[[noreturn]] void FailAt(const ItemContext& context, int line, const std::string& message);

void CheckItemRules(const ManifestItem& item, const ItemContext& context);
void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context);
