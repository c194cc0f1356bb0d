// What a machine file's values must be to describe a machine Windows could be: simulated paths
// on the machine's own drives, registry keys of the one hive the simulation holds, and host
// files and folders that exist, found from the machine file's own folder.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/sim.h"

// Why `path` cannot name a file or folder on these drives ("" when it can): it must be a full
// path with a drive letter the machine has, below MAX_PATH, without a character Windows
// refuses in names.
std::string SimPathProblem(const std::string& path, const std::vector<sim::DriveConfig>& drives);

// A registry key below HKEY_LOCAL_MACHINE, as the simulation stores it: a leading
// "HKEY_LOCAL_MACHINE\" or "HKLM\" is dropped. Sets `problem` for a key of another hive or an
// empty one.
std::string LocalMachineKey(const std::string& key, std::string* problem);

// A host path of the machine file: an absolute one as it stands, a relative one from the
// folder of the file that names it (`baseFile`), not from the current folder.
std::string HostPathFrom(const std::string& baseFile, const std::string& path);

enum class HostKind { File, Folder };
// Why the host path cannot be read as `kind` ("" when it can; "does not exist", ...): missing, of
// the other kind, or (for a file) not a regular file, such as a FIFO that would never end.
std::string HostPathProblem(const std::string& path, HostKind kind);
