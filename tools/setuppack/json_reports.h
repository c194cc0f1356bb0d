// The --json reports of build and verify (list's is in listing.h): one JSON object each,
// ending in a newline.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "pack/installer_builder.h"
#include "pack/installer_reader.h"

// {output, items, external_files, listed_bytes, stored_bytes, ratio, package_offset,
// block_size, file_size}: `view` read back from the installer as written.
std::string BuildJson(const std::string& output, const BuildSummary& summary,
                      const InstallerView& view);

// {installer, ok, items, problems}; "ok" is true exactly when there are no problems.
std::string VerifyJson(const std::string& installerPath, size_t items,
                       const std::vector<std::string>& problems);
