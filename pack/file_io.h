// Host file access for the packaging tool: whole files in and out, folders, and file times.
// Errors are PackError naming the path and the system's reason.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "engine/core/package.h"

std::vector<uint8_t> ReadFileBytes(const std::string& path);
// Writes through a temporary file beside `path`, then renames it, so that a failed write
// never leaves a partial file under the final name.
void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size);
inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
    WriteFileBytes(path, data.data(), data.size());
}
// Creates `path` and its missing parents.
void MakeDirectories(const std::string& path);
// Sets the last-modification time to the calendar time `when`, taken as UTC.
void SetFileTimeUtc(const std::string& path, const DosDateTime& when);
