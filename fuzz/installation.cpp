// Claim: whatever bytes the installer file holds, a whole installation on the simulated
// Windows ends (in virtual time and in steps), without a crash or a sanitizer report, and
// leaves no file handle, memory block, GDI object, device context or registry key held.
//
// The input is the installer file without its trailer: the package block starts at offset 0
// and the harness appends the trailer that holds, so that every run gets past the integrity
// check into the copy table and the streams. The first byte picks the user and the machine:
// bit 0 the user cancels the directory dialog, bit 1 drive C: holds only 20000 bytes, bit 2
// every message box is answered with its second button (Cancel, No, Retry). With
// QV_FUZZ_TRANSCRIPT set, each run's transcript goes to stderr (for reading a finding).
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "engine/core/checksum.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_sandbox.h"
#include "platform/sim/sim.h"
#include "tools/setupsim/run_installer.h"

namespace {

const int DIRECTORY_OK = 102;  // the directory dialog's OK button

sim::MachineConfig Machine(uint8_t choice) {
    sim::MachineConfig config;
    config.root = FuzzSandbox("install");
    sim::DriveConfig c;
    c.letter = 'C';
    if (choice & 2) c.writeCapacity = 20000;
    config.drives = {sim::DisketteDrive('A', 0), c};
    return config;
}

// The user and the machine's registry, as the first byte chose them.
void ScriptUser(uint8_t choice) {
    sim::SetRegistryString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           "C:\\Program Files");
    if (!(choice & 1)) sim::Press(DIRECTORY_OK, "DIRDLG");
    if (choice & 4) {
        for (int i = 0; i < 8; i++) sim::AnswerMessageBox(IDCANCEL);
    }
}

std::string InstallerFile(const uint8_t* data, size_t size) {
    std::string file((const char*)data, size);
    uint32_t sum = AddToChecksum(0, data, size);
    for (int i = 0; i < 4; i++) file += (char)(sum >> (8 * i));
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t choice = data[0];
    // A fresh machine: the drive folders of the run before are removed first.
    for (const char* drive : {"A", "C"})
        std::filesystem::remove_all(FuzzSandbox("install") + "/" + drive);
    SimRun run = RunInstallerOnSim(InstallerFile(data + 1, size - 1), 0, Machine(choice),
                                   [choice] { ScriptUser(choice); });
    if (getenv("QV_FUZZ_TRANSCRIPT")) fputs(sim::TranscriptText().c_str(), stderr);
    FUZZ_CHECK(sim::Now() < 24ull * 3600 * 1000, "the run ends within a virtual day");
    if (!run.held.empty()) fprintf(stderr, "held: %s\n", run.held.c_str());
    FUZZ_CHECK(run.held.empty(), "nothing left held");
    return 0;
}
