// Finding the stub relative to the running executable.
#include "tools/setuppack/stub_path.h"

#include "pack/file_io.h"
#include "pack/host_system.h"
#include "pack/pack_error.h"

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
    std::string executable = HostExecutablePath();
    return executable.empty() ? "." : FolderOf(executable);
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
