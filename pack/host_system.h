// The one place the tools meet the host operating system: every call that differs between
// POSIX and Windows (folders, links, replacing files, file times, path roots, the running
// executable, starting another program) and the conversions between calendar dates and
// seconds since 1970. Everything above this file is written once for both.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/core/package.h"

// Paths: '/' separates on every host, '\' on Windows as well; a root is "/" on POSIX and
// "C:", "C:\" or a leading separator ("\folder", "\\server\share") on Windows.
bool IsPathSeparator(char c);
size_t PathRootLength(const std::string& path);

// The host's reason for the last failed call (errno's text on POSIX, the system message on
// Windows).
std::string HostErrorReason();

bool HostIsFolder(const std::string& path);
bool HostMakeFolder(const std::string& path);
// True when `path` itself is a symbolic link (on Windows, a reparse point).
bool HostIsLink(const std::string& path);
// Renames `from` over `to`, replacing a file there.
bool HostMoveOver(const std::string& from, const std::string& to);
// Sets the last-modification (and access) time to the calendar time `when`, taken as UTC.
bool HostSetModifiedTime(const std::string& path, const DosDateTime& when);

// Opens a new file for writing; fails on any existing name (and, on POSIX, on a link).
FILE* HostOpenNewFile(const std::string& path);
// Opens a regular file for reading without waiting on a FIFO; otherwise null with `why`:
// "not found", "is a directory, not a file", "is not a regular file" or
// "cannot be opened: <reason>".
FILE* HostOpenRegularForReading(const std::string& path, std::string* why);
// Size and modification time (UTC, whole seconds) of a regular file; false for anything else.
bool HostStatRegularFile(const std::string& path, uint64_t* size, DosDateTime* modified);

// The running executable's own path ("" when it cannot be told).
std::string HostExecutablePath();

struct ProgramRun {
    int status = -1;     // exit code; 127 when the program was not found; -1 when it could not run
    std::string output;  // stdout and stderr together
};

// Environment variables set for the program only (name, value).
using ProgramEnvironment = std::vector<std::pair<std::string, std::string>>;

// Runs args[0] (looked up on PATH, never through a shell) with the rest as its arguments and
// `environment` added to its environment, its output captured. The Windows build runs
// nothing and returns status -1 (HostRunsPrograms() says so beforehand).
ProgramRun RunProgram(const std::vector<std::string>& args,
                      const ProgramEnvironment& environment = {});
bool HostRunsPrograms();

// Calendar time (UTC) and seconds since 1970, both ways. UtcCalendar is false when the host
// cannot express `seconds` as a date.
long long SecondsSince1970(const DosDateTime& when);
bool UtcCalendar(long long seconds, DosDateTime* when);
// True when `a` is an earlier moment than `b` (field by field, the year first).
bool IsEarlier(const DosDateTime& a, const DosDateTime& b);
