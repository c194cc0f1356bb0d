// Claim: any machine file text is either read into a machine or refused with one error that
// names the file and a line; a machine that was read and refers to no host file or folder
// boots the simulated Windows, and everything it puts in place stays inside its root folder.
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_sandbox.h"
#include "tools/setupsim/machine_file.h"

namespace {

bool RefersToHost(const MachineFile& machine) {
    for (const sim::DriveConfig& drive : machine.config.drives)
        if (!drive.hostDir.empty()) return true;
    for (const MachineFile::PresentFile& file : machine.files)
        if (!file.hostFrom.empty()) return true;
    return !machine.folders.empty() || !machine.diskettes.empty();
}

// The folder holds exactly these names.
bool HoldsOnly(const std::string& folder, std::set<std::string> names) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (names.erase(entry.path().filename().string()) == 0) return false;
    return names.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string sandbox = FuzzSandbox("machine");
    // The root lies two levels down, so that a path climbing one or two levels out of it
    // shows as a stray name in a folder the check lists.
    const std::string path = sandbox + "/machine.toml", root = sandbox + "/box/root";
    MachineFile machine;
    if (!ReadAsToolInput(data, size, path, ReadMachineFile, &machine) || RefersToHost(machine))
        return 0;
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    BootMachine(machine, root);
    FUZZ_CHECK(HoldsOnly(sandbox, {"machine.toml", "box"}) && HoldsOnly(sandbox + "/box", {"root"}),
               "the machine stays inside its root folder");
    return 0;
}
