// Extracting a read installer's embedded items into a folder, as the installer would decode
// them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pack/installer_reader.h"

struct ExtractResult {
    size_t written = 0;
    std::vector<std::string> problems;  // everything verify finds, then each damaged item
};

// Checks the whole file first (everything VerifyInstaller checks: the trailer, every item's
// stored data lying in the file and its stream ending exactly at its storedSize, names usable
// as files, no two items on one file). On any problem nothing is written unless `force`;
// with it, every item whose stored data lies in the file and whose name is usable is written
// as it decodes, and each damaged one is named among the problems. Items are decoded as the
// installer would (the ring kept from one compressed item to the next) into DIR/<the folders
// of its dir>/<target name> ("&WIN" and "&SYS" as folders of those names, "C:\X" as C/X),
// with the modification time from the entry's DOS date and time taken as UTC. An item whose
// dir holds a part that is no plain name, or whose way passes an existing link, is not
// written: nothing lands outside DIR.
// `data`: the bytes ReadInstaller read `view` from.
ExtractResult ExtractInstaller(const uint8_t* data, const InstallerView& view,
                               const std::string& dir, bool force = false);
