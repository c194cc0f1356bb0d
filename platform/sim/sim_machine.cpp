// The simulated machine as a whole: Boot, the configuration that tests and setupsim describe
// (registry, WIN.INI, running windows, launch results, resources), the scripted user's queues
// and the accounting read back at the end of a run. Also the last-error value, which the
// facade sets on an injected fault, and the handle counter that makes every run repeatable.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

Machine& M() {
    static Machine machine;
    return machine;
}

// Handles are small multiples of 4 counted from the same start on every Boot, so that
// transcripts repeat byte for byte. They never collide with host pointers.
uintptr_t NewHandle() {
    Machine& m = M();
    m.nextHandle += 4;
    return m.nextHandle;
}

void SetError(DWORD code) {
    M().lastError = code;
}

namespace {

std::vector<DriveConfig> DefaultDrives() {
    DriveConfig c;
    c.letter = 'C';
    return {DisketteDrive('A', 2847), c};  // A: an empty diskette
}

void CreateDirectoryOf(const std::string& path) {
    Resolved r;
    DWORD error = 0;
    if (ResolvePath(path.c_str(), &r, &error) && !r.exists) CreateHostDirectories(r);
}

}  // namespace
}  // namespace detail

using namespace detail;

DriveConfig DisketteDrive(char letter, DWORD freeClusters) {
    DriveConfig drive;
    drive.letter = letter;
    drive.type = DRIVE_REMOVABLE;
    drive.sectorsPerCluster = 1;
    drive.bytesPerSector = 512;
    drive.freeClusters = freeClusters;
    drive.totalClusters = 2847;
    return drive;
}

void Boot(const MachineConfig& config) {
    RestorePlatformCalls();
    Machine& m = M();
    m = Machine{};
    m.nextHandle = 0x1000;
    m.config = config;
    // Never let an empty root put drive folders at the host's root directory, nor in a folder
    // that another program would share.
    if (m.config.root.empty()) {
        fputs("sim::Boot: the machine has no root folder\n", stderr);
        abort();
    }
    if (m.config.drives.empty()) m.config.drives = DefaultDrives();
    std::error_code ec;
    std::filesystem::create_directories(m.config.root, ec);
    for (DriveConfig& drive : m.config.drives) {
        drive.letter = UpperChar(drive.letter);
        if (drive.hostDir.empty()) drive.hostDir = m.config.root + "/" + drive.letter;
        std::filesystem::create_directories(drive.hostDir, ec);
        m.capacityLeft[drive.letter] = drive.writeCapacity;
    }
    m.currentDir = "";
    SimPath current;
    DWORD error = 0;
    if (ParsePath(m.config.currentDir.c_str(), &current, &error))
        m.currentDir = JoinSimPath(current.drive, current.parts);
    if (m.config.createSystemDirs) {
        CreateDirectoryOf(m.config.windowsDir);
        CreateDirectoryOf(m.config.systemDir);
        if (!m.currentDir.empty()) CreateDirectoryOf(m.currentDir);
    }
}

const MachineConfig& Config() {
    return M().config;
}

void CreateRegistryKey(const std::string& keyPath) {
    std::string key = RegistryPath(keyPath);
    RegistryKey& entry = M().registry[key];
    if (entry.path.empty()) entry.path = keyPath;
}

void SetRegistryBytes(const std::string& keyPath, const std::string& valueName,
                      const std::vector<uint8_t>& bytes, DWORD type) {
    CreateRegistryKey(keyPath);
    std::string key = RegistryPath(keyPath);
    RegistryValue value;
    value.name = valueName;
    value.type = type;
    value.bytes = bytes;
    M().registry[key].values[UpperAscii(valueName)] = value;
}

void SetRegistryString(const std::string& keyPath, const std::string& valueName,
                       const std::string& value) {
    std::vector<uint8_t> bytes(value.begin(), value.end());
    bytes.push_back(0);
    SetRegistryBytes(keyPath, valueName, bytes, REG_SZ);
}

void DenyFullAccess(const std::string& keyPath) {
    CreateRegistryKey(keyPath);
    std::string key = RegistryPath(keyPath);
    M().registry[key].denyFullAccess = true;
}

void SetProfileString(const std::string& section, const std::string& key,
                      const std::string& value) {
    for (Machine::ProfileEntry& entry : M().profile) {
        if (EqualNoCase(entry.section, section) && EqualNoCase(entry.key, key)) {
            entry.value = value;
            return;
        }
    }
    M().profile.push_back({section, key, value});
}

void SetLaunchResult(const std::string& program, UINT result) {
    M().launchResults[UpperAscii(program)] = result;
}

void SetResource(const std::string& name, const std::string& type,
                 const std::vector<uint8_t>& bytes) {
    for (ResourceEntry& entry : M().resources) {
        if (EqualNoCase(entry.name, name) && EqualNoCase(entry.type, type)) {
            entry.bytes = bytes;
            return;
        }
    }
    M().resources.push_back({name, type, bytes});
}

HINSTANCE ModuleInstance() {
    return reinterpret_cast<HINSTANCE>(uintptr_t{0x00400000});
}

// ---------------------------------------------------------------------------------------
// Accounting

namespace {

template <typename Map, typename Held>
int CountHeld(const Map& map, Held held) {
    int count = 0;
    for (const auto& entry : map)
        if (held(entry.second)) count++;
    return count;
}

}  // namespace

int OpenHandleCount() {
    return CountHeld(M().files, [](const OpenFile& file) { return !file.otherProcess; });
}

int GlobalBlocksHeld() {
    return CountHeld(M().memory, [](const auto& block) { return !block.local; });
}

int LocalBlocksHeld() {
    return CountHeld(M().memory, [](const auto& block) { return block.local; });
}

int GdiObjectsHeld() {
    return CountHeld(M().gdiObjects, [](const GdiObject& object) { return !object.stock; });
}

int DeviceContextsHeld() {
    return (int)M().dcs.size();
}
int RegistryKeysHeld() {
    return (int)M().openKeys.size();
}
int TimersPending() {
    return (int)M().timers.size();
}

std::string HeldResources() {
    const struct {
        int count;
        const char* kind;
    } held[] = {{OpenHandleCount(), "files"}, {GlobalBlocksHeld(), "global"},
                {LocalBlocksHeld(), "local"}, {GdiObjectsHeld(), "gdi"},
                {DeviceContextsHeld(), "dc"}, {RegistryKeysHeld(), "registry"}};
    std::string kinds;
    for (const auto& resource : held)
        if (resource.count != 0) kinds += std::string(resource.kind) + " ";
    return kinds;
}

// ---------------------------------------------------------------------------------------
// The scripted user

uint64_t Now() {
    return M().now;
}

void QueueAction(const UserAction& action) {
    M().actions.push_back(action);
}

void Type(int control, const std::string& text, const std::string& dialog) {
    QueueAction({ActionKind::Type, control, text, dialog});
}

void Press(int control, const std::string& dialog, int64_t at) {
    QueueAction({ActionKind::Press, control, "", dialog, at});
}

void AnswerMessageBox(int answer, const std::string& textContains,
                      const std::string& captionContains) {
    M().answers.push_back({answer, textContains, nullptr, 0, captionContains});
}

void AnswerMessageBoxThen(int answer, const std::string& textContains,
                          std::function<void()> effect) {
    M().answers.push_back({answer, textContains, std::move(effect), 0, ""});
}

void AnswerMessageBoxAfter(int answer, int64_t delayMs, const std::string& textContains) {
    M().answers.push_back({answer, textContains, nullptr, delayMs < 0 ? 0 : delayMs, ""});
}

void SetModalStepLimit(int steps) {
    M().modalStepLimit = steps;
}

}  // namespace sim

// Last error: one value per simulated machine (single-threaded, like the installer).
DWORD WINAPI Sim_GetLastError(void) {
    return sim::detail::M().lastError;
}
void WINAPI Sim_SetLastError(DWORD dwErrCode) {
    sim::detail::M().lastError = dwErrCode;
}
