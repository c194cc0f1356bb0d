// A folder of the fuzz run's own (a ScratchFolder), removed when the run ends. Targets that
// create files on every execution get it in memory (/dev/shm) where the system has one: on a
// disk, creating and removing the files took more than half of each execution.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/common/scratch_folder.h"

// /dev/shm when it is a folder this process may write, else the system's temporary folder.
inline std::filesystem::path FuzzScratchParent() {
    std::error_code ignored;
    bool inMemory =
        std::filesystem::is_directory("/dev/shm", ignored) && access("/dev/shm", W_OK) == 0;
    return inMemory ? std::filesystem::path("/dev/shm") : std::filesystem::path();
}

// One folder per process: `name` (the target's) names it at the first call; later calls return
// the same folder.
inline const std::string& FuzzSandbox(const char* name) {
    static const ScratchFolder folder(std::string("qv-fuzz-") + name, FuzzScratchParent());
    return folder.path();
}
