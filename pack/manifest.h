// The build manifest: a TOML file with one [[item]] table per copy-table entry, in
// installation order (docs/manifest.md describes it). Loading checks everything the package
// format cannot hold and every rule the installer relies on, and names the manifest line of
// each error, so a bad manifest never yields an installer.
#pragma once

#include <string>
#include <vector>

#include "engine/core/package.h"
#include "pack/installer_settings.h"

struct ManifestItem {
    CopyTableEntry entry{};  // every field but storedSize, which packing fills in
    std::string sourcePath;  // the file to pack, resolved; empty for a program-only entry
    uint64_t sourceSize = 0;
    int line = 0;  // where the item's table starts in the manifest
    // The LZSS stream compress = "auto" made to choose compression; empty when it did not.
    std::vector<uint8_t> stream;
};

// Parses manifest text. Relative source paths are resolved against `baseDir`; errors are
// PackError "NAME:LINE: message" with NAME = `displayName`.
std::vector<ManifestItem> ParseManifest(const std::string& text, const std::string& displayName,
                                        const std::string& baseDir);

// The items and the installer-wide settings (execution_level, icon, [version]).
struct ParsedManifest {
    std::vector<ManifestItem> items;
    InstallerSettings settings;
};
ParsedManifest ParseManifestFile(const std::string& text, const std::string& displayName,
                                 const std::string& baseDir);
// Reads and parses the manifest file at `path` (sources relative to its folder).
ParsedManifest LoadManifestFile(const std::string& path);

// The packed name a compressed item gets by default: the last character of the extension
// replaced by '_' ("READ_ME.TXT" -> "READ_ME.TX_", "SETUP" -> "SETUP._").
std::string DefaultPackedName(const std::string& target, bool compressed);
