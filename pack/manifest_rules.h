// The rules a manifest item must keep beyond its field formats: the flag combinations the
// installer relies on (exactly one data source for an item with a source, none for a
// program-only entry), names usable as files, and names unique where they become files.
#pragma once

#include <string>
#include <vector>

#include "pack/manifest.h"

struct ItemContext {
    std::string displayName;  // the manifest's name in messages
    std::string baseDir;      // folder that relative sources are resolved against
};

// Throws PackError "NAME:LINE: message".
[[noreturn]] void FailAt(const ItemContext& context, int line, const std::string& message);

void CheckItemRules(const ManifestItem& item, const ItemContext& context);
void CheckManifestRules(const std::vector<ManifestItem>& items, const ItemContext& context);

// True for a name that is one plain file or folder name on both Windows and the host.
bool IsPlainFileName(const std::string& name);
