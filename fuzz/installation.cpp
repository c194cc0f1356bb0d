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
#include "engine/installstate.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_sandbox.h"
#include "platform/sim/sim.h"
#include "shell/shell.h"

namespace {

const int DIRECTORY_OK = 102;  // the directory dialog's OK button

const std::string& SandboxRoot() {
    static const std::string root = FuzzSandbox("install");
    return root;
}

sim::MachineConfig Machine(uint8_t choice) {
    sim::MachineConfig config;
    config.root = SandboxRoot();
    sim::DriveConfig c;
    c.letter = 'C';
    if (choice & 2) c.writeCapacity = 20000;
    config.drives = {sim::DisketteDrive('A', 0), c};
    return config;
}

// A fresh machine: the drive folders of the run before are removed first.
void BootFresh(uint8_t choice) {
    for (const char* drive : {"A", "C"}) std::filesystem::remove_all(SandboxRoot() + "/" + drive);
    sim::Boot(Machine(choice));
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

void CheckNothingHeld() {
    FUZZ_CHECK(sim::OpenHandleCount() == 0, "no file handle left open");
    FUZZ_CHECK(sim::GlobalBlocksHeld() == 0, "no global memory block left");
    FUZZ_CHECK(sim::LocalBlocksHeld() == 0, "no local memory block left");
    FUZZ_CHECK(sim::GdiObjectsHeld() == 0, "no pen or brush left");
    FUZZ_CHECK(sim::DeviceContextsHeld() == 0, "no device context left");
    FUZZ_CHECK(sim::RegistryKeysHeld() == 0, "no registry key left open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    BootFresh(data[0]);
    sim::PutFile(sim::Config().modulePath, InstallerFile(data + 1, size - 1));
    ResetInstallState();
    InstallState.packageOffset = 0;
    char commandLine[] = "";
    InstallerMain(sim::ModuleInstance(), nullptr, commandLine, SW_SHOWNORMAL);
    if (getenv("QV_FUZZ_TRANSCRIPT")) fputs(sim::TranscriptText().c_str(), stderr);
    FUZZ_CHECK(sim::Now() < 24ull * 3600 * 1000, "the run ends within a virtual day");
    CheckNothingHeld();
    return 0;
}
