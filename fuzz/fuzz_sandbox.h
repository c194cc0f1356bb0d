// A folder of the fuzz run's own, removed when the run ends. Targets that create files on
// every execution get it in memory (/dev/shm) where the system has one: on a disk, creating
// and removing the files took more than half of each execution.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// One folder per process: `name` (the target's) names it at the first call; later calls return
// the same folder.
inline std::string FuzzSandbox(const char* name) {
    static std::string root;
    if (!root.empty()) return root;
    std::error_code ignored;
    bool inMemory =
        std::filesystem::is_directory("/dev/shm", ignored) && access("/dev/shm", W_OK) == 0;
    std::string pattern =
        std::string(inMemory ? "/dev/shm" : "/tmp") + "/qv-fuzz-" + name + "-XXXXXX";
    if (!mkdtemp(pattern.data())) abort();
    root = pattern;
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    });
    return root;
}
