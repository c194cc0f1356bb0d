// The conformance machine on the simulated Windows: a booted sim machine with C: fixed and
// its files under a host sandbox, set up through the simulation's own set-up functions.
#include <optional>

#include "platform/sim/sim.h"
#include "tests/wine/conformance/machine.h"
#include "tools/common/scratch_folder.h"

namespace conformance {

namespace {
std::optional<ScratchFolder> sandbox;
}

void FreshMachine() {
    sandbox.emplace("qv-conformance");
    sim::MachineConfig config;
    config.root = sandbox->path();
    sim::DriveConfig c;
    c.letter = 'C';
    config.drives = {c};
    config.windowsDir = "C:\\windows";
    config.systemDir = "C:\\windows\\system32";
    config.currentDir = "C:\\";
    config.modulePath = "C:\\SETUP.EXE";
    sim::Boot(config);
    sim::MakeDirectories(Scratch());
}

void CleanUp() {
    RestorePlatformCalls();
    sandbox.reset();
}

std::string Scratch(const std::string& name) {
    return name.empty() ? "C:\\QVCONF" : "C:\\QVCONF\\" + name;
}

void PutFile(const std::string& path, const std::string& bytes) {
    sim::PutFile(path, bytes);
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    return sim::ReadWholeFile(path, &bytes) ? bytes : "<missing>";
}

FILETIME LastWriteTime(const std::string& path) {
    return sim::GetFileInfo(path).lastWriteTime;
}

void PutProgram(const std::string& path) {
    sim::PutFile(path, std::string("MZ") + std::string(62, '\0'));
}

void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& value) {
    sim::SetRegistryString(keyPath, name, value);
}

void SetProfileString(const std::string& section, const std::string& key,
                      const std::string& value) {
    sim::SetProfileString(section, key, value);
}

bool ShowWindowOfClass(const std::string& className) {
    sim::AddRunningWindow(className);
    return true;
}

bool RunningUnderWine() {
    return false;
}

}  // namespace conformance
