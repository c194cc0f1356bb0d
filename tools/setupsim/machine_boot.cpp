// Booting the simulated Windows with a machine read from its file: the drives' host folders,
// the present files and folders copied into the run's root (the host is only read), then the
// registry, WIN.INI, running windows and launch results put in place.
#include <errno.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/setupsim/machine_file.h"

std::string ReadHostFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw std::runtime_error(path + " is a directory, not a file");
    // A FIFO or a device would be read until it ends, which may be never.
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        throw std::runtime_error(path + " is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path + ": " + strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path + ": " + strerror(errno));
    return bytes.str();
}

namespace {

std::string InFolder(std::string folder, const std::string& name) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + name;
}

// Every regular file and folder below the host folder `from`, copied into the simulated
// folder `to` (its own folders too when `recursive`, but not linked ones, which may lead back
// up); the host folder is only read.
void CopyHostFolder(const std::string& from, const std::string& to, bool recursive) {
    for (const auto& item : std::filesystem::directory_iterator(from)) {
        std::string name = item.path().filename().string();
        if (recursive && item.is_directory() && !item.is_symlink()) {  // links may loop
            sim::MakeDirectories(InFolder(to, name));
            CopyHostFolder(item.path().string(), InFolder(to, name), true);
        } else if (item.is_regular_file()) {
            sim::PutFile(InFolder(to, name), ReadHostFile(item.path().string()));
        }
    }
}

void PutPresentFiles(const MachineFile& machine) {
    for (const MachineFile::PresentFile& file : machine.files) {
        sim::PutFile(file.path, file.hostFrom.empty() ? file.content : ReadHostFile(file.hostFrom),
                     file.attributes);
        if (file.hasWritten) sim::SetFileWritten(file.path, file.written);
    }
    for (const std::string& folder : machine.emptyFolders) sim::MakeDirectories(folder);
    for (const MachineFile::PresentFolder& folder : machine.folders)
        CopyHostFolder(folder.hostFrom, folder.to, false);
}

}  // namespace

void BootMachine(const MachineFile& machine, const std::string& root) {
    sim::MachineConfig config = machine.config;
    config.root = root;
    // A drive's host folder is copied into the root, never written: the installer writes,
    // deletes and swaps diskettes there.
    for (sim::DriveConfig& drive : config.drives) drive.hostDir.clear();
    sim::Boot(config);
    for (const sim::DriveConfig& drive : machine.config.drives)
        if (!drive.hostDir.empty())
            CopyHostFolder(drive.hostDir, std::string(1, drive.letter) + ":\\", true);
    for (const std::string& key : machine.registryKeys) sim::CreateRegistryKey(key);
    for (const auto& value : machine.registry)
        sim::SetRegistryString(value.key, value.name, value.value);
    for (const std::string& key : machine.deniedKeys) sim::DenyFullAccess(key);
    for (const auto& value : machine.winIni)
        sim::SetProfileString(value.section, value.key, value.value);
    for (const std::string& name : machine.runningWindows) sim::AddRunningWindow(name);
    for (const auto& launch : machine.launchResults)
        sim::SetLaunchResult(launch.program, launch.result);
    sim::MakeDirectories(config.windowsDir);
    sim::MakeDirectories(config.systemDir);
    sim::MakeDirectories(config.currentDir);
    PutPresentFiles(machine);
}
