// Reading a machine file (TOML) and booting the simulated Windows with it.
//
//   start_dir = "A:\\"                installer's current directory at start
//   installer = "A:\\SETUP.EXE"       where the installer file lies
//   windows_dir, system_dir, utc_offset_minutes, screen = [1024, 768]
//   program_runs_ms = 2000          how long a started program runs and holds its file
//   running_windows = ["QVMain"]
//   [[drive]] letter, type ("removable" | "fixed" | "remote" | "cdrom" | "ramdisk" | "none"
//             or a number), free_kb or sectors_per_cluster/bytes_per_sector/free_clusters/
//             total_clusters, capacity (bytes writable), full_is_error (default true: a
//             write beyond the capacity fails; false: it is cut short), short_names
//             (default true; false: no 8.3 names on the drive), host_dir
//   [[registry]] key, name, value, deny_full_access
//   [[winini]] section, key, value
//   [[file]] path, content | from, attributes          [[folder]] from, to
//   [[launch]] program, result
#include "tools/setupsim/machine_file.h"

#include "tools/setupsim/toml_input.h"

#include <filesystem>
#include <fstream>

namespace {

std::string RequireString(const std::string& file, const toml::table& table, const char* key) {
    auto value = table[key].value<std::string>();
    if (!value) FailAt(file, table, std::string("'") + key + "' must be a string");
    return *value;
}

UINT DriveType(const std::string& file, const toml::node& node) {
    if (auto number = node.value<int64_t>()) return (UINT)*number;
    static const std::pair<const char*, UINT> names[] = {
        {"unknown", DRIVE_UNKNOWN}, {"none", DRIVE_NO_ROOT_DIR}, {"removable", DRIVE_REMOVABLE},
        {"fixed", DRIVE_FIXED},     {"remote", DRIVE_REMOTE},    {"cdrom", DRIVE_CDROM},
        {"ramdisk", DRIVE_RAMDISK}};
    std::string name = node.value<std::string>().value_or("");
    for (const auto& entry : names)
        if (name == entry.first) return entry.second;
    FailAt(file, node, "unknown drive type '" + name + "'");
}

sim::DriveConfig ReadDrive(const std::string& file, const toml::table& table) {
    sim::DriveConfig drive;
    std::string letter = RequireString(file, table, "letter");
    if (letter.size() != 1 || !isalpha((unsigned char)letter[0]))
        FailAt(file, table, "a drive letter is one letter");
    drive.letter = (char)toupper((unsigned char)letter[0]);
    if (auto type = table.get("type")) drive.type = DriveType(file, *type);
    drive.hostDir = table["host_dir"].value_or(std::string());
    drive.sectorsPerCluster = table["sectors_per_cluster"].value_or(drive.sectorsPerCluster);
    drive.bytesPerSector = table["bytes_per_sector"].value_or(drive.bytesPerSector);
    drive.freeClusters = table["free_clusters"].value_or(drive.freeClusters);
    drive.totalClusters = table["total_clusters"].value_or(drive.totalClusters);
    if (auto freeKb = table["free_kb"].value<int64_t>()) {
        uint64_t clusterBytes = (uint64_t)drive.sectorsPerCluster * drive.bytesPerSector;
        uint64_t clusters = ((uint64_t)*freeKb * 1024 + clusterBytes - 1) / clusterBytes;
        if (clusters > 0xFFFFFFFFu)
            FailAt(file, table, "free_kb is too large for the drive's geometry");
        drive.freeClusters = (DWORD)clusters;
        if (drive.totalClusters < drive.freeClusters) drive.totalClusters = drive.freeClusters;
    }
    drive.writeCapacity = table["capacity"].value_or((int64_t)-1);
    drive.fullIsError = table["full_is_error"].value_or(drive.fullIsError);
    drive.shortNames = table["short_names"].value_or(drive.shortNames);
    return drive;
}

template <typename Reader>
void ForEachTable(const std::string& file, const toml::table& root, const char* key, Reader read) {
    const toml::node* node = root.get(key);
    if (!node) return;
    const toml::array* array = node->as_array();
    if (!array)
        FailAt(file, *node,
               std::string("'") + key + "' must be an array of tables: [[" + key + "]]");
    for (const toml::node& element : *array) {
        const toml::table* table = element.as_table();
        if (!table) FailAt(file, element, std::string("each '") + key + "' must be a table");
        read(*table);
    }
}

void ReadTopLevel(const std::string& file, const toml::table& root, MachineFile& machine) {
    sim::MachineConfig& config = machine.config;
    config.currentDir = root["start_dir"].value_or(config.currentDir);
    config.modulePath = root["installer"].value_or(config.modulePath);
    config.windowsDir = root["windows_dir"].value_or(config.windowsDir);
    config.systemDir = root["system_dir"].value_or(config.systemDir);
    config.utcOffsetMinutes = root["utc_offset_minutes"].value_or(config.utcOffsetMinutes);
    config.programRunMs = root["program_runs_ms"].value_or(config.programRunMs);
    if (const toml::array* screen = root["screen"].as_array()) {
        if (screen->size() != 2) FailAt(file, *screen, "screen is [width, height]");
        config.screenWidth = (*screen)[0].value_or(config.screenWidth);
        config.screenHeight = (*screen)[1].value_or(config.screenHeight);
    }
    if (const toml::array* windows = root["running_windows"].as_array())
        for (const toml::node& name : *windows)
            machine.runningWindows.push_back(name.value_or(std::string()));
}

}  // namespace

MachineFile DefaultMachine() {
    MachineFile machine;
    sim::DriveConfig a;
    a.letter = 'A';
    a.type = DRIVE_REMOVABLE;
    a.freeClusters = 0;
    a.totalClusters = 2847;
    a.sectorsPerCluster = 1;
    sim::DriveConfig c;
    c.letter = 'C';
    c.type = DRIVE_FIXED;
    machine.config.drives = {a, c};
    // A started program runs a while, as on a real machine, so its file is still in use when
    // the installer tries to delete it right after the start.
    machine.config.programRunMs = 2000;
    machine.registry.push_back(
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files"});
    return machine;
}

MachineFile ReadMachineFile(const std::string& path) {
    toml::table root = ParseTomlFile(path);
    MachineFile machine = DefaultMachine();
    ReadTopLevel(path, root, machine);
    if (root.get("drive")) machine.config.drives.clear();
    ForEachTable(path, root, "drive", [&](const toml::table& t) {
        machine.config.drives.push_back(ReadDrive(path, t));
    });
    if (root.get("registry")) machine.registry.clear();
    ForEachTable(path, root, "registry", [&](const toml::table& t) {
        std::string key = RequireString(path, t, "key");
        if (t["deny_full_access"].value_or(false)) machine.deniedKeys.push_back(key);
        if (t.get("name"))
            machine.registry.push_back(
                {key, RequireString(path, t, "name"), RequireString(path, t, "value")});
    });
    ForEachTable(path, root, "winini", [&](const toml::table& t) {
        machine.winIni.push_back({RequireString(path, t, "section"), RequireString(path, t, "key"),
                                  RequireString(path, t, "value")});
    });
    ForEachTable(path, root, "file", [&](const toml::table& t) {
        MachineFile::PresentFile present;
        present.path = RequireString(path, t, "path");
        present.content = t["content"].value_or(std::string());
        present.hostFrom = t["from"].value_or(std::string());
        present.attributes = t["attributes"].value_or((unsigned)FILE_ATTRIBUTE_ARCHIVE);
        machine.files.push_back(present);
    });
    ForEachTable(path, root, "folder", [&](const toml::table& t) {
        machine.folders.push_back({RequireString(path, t, "from"), RequireString(path, t, "to")});
    });
    ForEachTable(path, root, "launch", [&](const toml::table& t) {
        machine.launchResults.push_back(
            {RequireString(path, t, "program"), t["result"].value_or(33u)});
    });
    return machine;
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

namespace {

void PutPresentFiles(const MachineFile& machine) {
    for (const MachineFile::PresentFile& file : machine.files)
        sim::PutFile(file.path, file.hostFrom.empty() ? file.content : ReadHostFile(file.hostFrom),
                     file.attributes);
    for (const MachineFile::PresentFolder& folder : machine.folders) {
        for (const auto& item : std::filesystem::directory_iterator(folder.hostFrom)) {
            if (!item.is_regular_file()) continue;
            std::string to = folder.to;
            if (!to.empty() && to.back() != '\\') to += '\\';
            sim::PutFile(to + item.path().filename().string(), ReadHostFile(item.path().string()));
        }
    }
}

}  // namespace

void BootMachine(const MachineFile& machine, const std::string& root) {
    sim::MachineConfig config = machine.config;
    config.root = root;
    sim::Boot(config);
    for (const auto& value : machine.registry)
        sim::SetRegistryString(value.key, value.name, value.value);
    for (const std::string& key : machine.deniedKeys) {
        sim::CreateRegistryKey(key);
        sim::DenyFullAccess(key);
    }
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
