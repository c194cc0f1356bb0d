// Finding the stub relative to the running executable.
#include "tools/setuppack/stub_path.h"

#include "pack/file_io.h"
#include "pack/pack_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

#ifndef QV_STUBS_FROM_BIN
#define QV_STUBS_FROM_BIN "../share/quorvane-setup/stubs"
#endif

bool IsStubName(const std::string& given) {
    return given == "win32" || given == "win64";
}

std::vector<std::string> StubCandidates(const std::string& exeDir, const std::string& name) {
    return {exeDir + "/" QV_STUBS_FROM_BIN "/setup-stub-" + name + ".exe",
            exeDir + "/../" + name + "/setup-stub.exe"};
}

std::string ExecutableDir() {
    char path[4096] = {};
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    if (length == 0 || length >= sizeof path - 1) return ".";
#else
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    path[length] = '\0';
#endif
    return FolderOf(path);
}

std::string ResolveStub(const std::string& given) {
    if (!given.empty() && !IsStubName(given)) return given;
    std::string name = given.empty() ? "win32" : given;
    std::string searched;
    for (const std::string& candidate : StubCandidates(ExecutableDir(), name)) {
        FileFacts facts;
        if (ReadFileFacts(candidate, &facts)) return candidate;
        searched += "\n  " + candidate;
    }
    throw PackError("no " + name + " stub found; looked in:" + searched +
                    "\ngive --stub PATH to the stub to use");
}
