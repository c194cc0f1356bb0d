// What the packaging tool makes of a read installer: the listing (text or JSON) and the
// extraction of the embedded items into a folder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pack/installer_reader.h"

// One line per fact and one block per entry; JSON holds the same as an object.
std::string ListInstallerText(const uint8_t* data, size_t size, const InstallerView& view);
std::string ListInstallerJson(const uint8_t* data, size_t size, const InstallerView& view);

struct ExtractResult {
    size_t written = 0;
    std::vector<std::string> problems;  // items not extracted, one line each
};

// Decodes every embedded item into DIR/<target name> as the installer would (the ring kept
// from one compressed item to the next) and sets its modification time from the entry's
// DOS date and time taken as UTC. Target names that are not plain file names, and repeats of
// a name already written, are refused rather than written.
ExtractResult ExtractInstaller(const uint8_t* data, size_t size, const InstallerView& view,
                               const std::string& dir);
