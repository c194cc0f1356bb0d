// Host file access for the packaging tool: whole files in and out, folders, file facts and
// times, and the few path operations that differ between Windows and the host. Errors are
// PackError naming the path and the system's reason.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "engine/core/package.h"

// Reads a whole regular file; anything else (a folder, a FIFO, a device) is refused without
// waiting on it.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// Writes through a temporary file created exclusively beside `path` (never through an
// existing name or link), then renames it over `path`, so that a failed write never leaves a
// partial file under the final name.
void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size);
inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
    WriteFileBytes(path, data.data(), data.size());
}
// Creates a file that did not exist under any name `base` + ".partialN" and writes `size`
// bytes into it; returns its name. Throws PackError (nothing left behind).
std::string WriteExclusiveTemporary(const std::string& base, const uint8_t* data, size_t size);
// Renames `from` over `to`, replacing a file there.
void MoveIntoPlace(const std::string& from, const std::string& to);
// True when `path` names a folder (links followed).
bool IsFolderPath(const std::string& path);
// True when `path` itself is a symbolic link (or, on Windows, a reparse point).
bool IsLinkPath(const std::string& path);
// Creates each of `folders` in turn below `root`, refusing any that exists as a link or as
// anything but a folder; returns root + "/" + the folders joined, ending in '/'.
std::string MakeFoldersBelow(const std::string& root, const std::vector<std::string>& folders);
// Creates `path` and its missing parents.
void MakeDirectories(const std::string& path);
// Sets the last-modification time to the calendar time `when`, taken as UTC.
void SetFileTimeUtc(const std::string& path, const DosDateTime& when);

struct FileFacts {
    uint64_t size = 0;
    DosDateTime modified{};  // last modification, UTC calendar time in whole seconds
};
// False when `path` does not name a regular file (missing, a folder, unreadable).
bool ReadFileFacts(const std::string& path, FileFacts* facts);

// Why `path` cannot be read as a file ("is a directory, not a file", "not found",
// "cannot be opened: Permission denied"), or "" when it can.
std::string WhyNotReadable(const std::string& path);

// The folder part of `path` ("." when it has none; a root stays a root).
std::string FolderOf(const std::string& path);
// `path` taken relative to `folder`, unless it is absolute (on Windows also "C:..." and "\...").
std::string ResolvePath(const std::string& folder, const std::string& path);
