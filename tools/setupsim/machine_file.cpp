// Reading a machine file (TOML) and booting the simulated Windows with it. Every key is listed
// here; any other key is an error naming its line.
//
//   start_dir = "A:\\"                installer's current directory at start
//   installer = "A:\\SETUP.EXE"       where the installer file lies
//   windows_dir, system_dir, utc_offset_minutes, screen = [1024, 768]
//   program_runs_ms = 2000          how long a started program runs and holds its file
//   running_windows = ["QVMain"]
//   [[drive]] letter, type ("removable" | "fixed" | "remote" | "cdrom" | "ramdisk" | "none"
//             or a number), host_dir, and what GetDiskFreeSpaceA reports:
//             sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters
//             (default 8 x 512-byte sectors, 8 GiB free), or free_kb: that many KB free,
//             exactly; 1 KB clusters unless the cluster size is given, and then free_kb must
//             be a whole number of clusters. capacity (bytes writable), full_is_error
//             (default true: a write beyond the capacity fails; false: it is cut short),
//             short_names (default true; false: no 8.3 names on the drive), write_protected
//   [[registry]] key, and name + value (a string value), deny_full_access; key alone
//             creates the key with no values
//   [[winini]] section, key, value
//   [[file]] path, content | from (a host file), attributes (a number or a list of
//             "readonly", "hidden", "system", "archive", "normal"; default archive),
//             written (last-write time in UTC: 2001-10-11T17:42:12Z)
//   [[folder]] path: an empty folder; or from (a host folder) and to: its files copied there
//   [[launch]] program, result
//   [[diskette]] label, and host_dir (a host folder) or image (a FAT diskette image): the
//             diskettes of the installer's drive; the first is in it at start
#include "tools/setupsim/machine_file.h"

#include <errno.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#include "tools/setupsim/toml_input.h"

namespace {

DWORD ReadDword(const std::string& file, const toml::table& table, const char* key,
                DWORD fallback) {
    std::optional<int64_t> value = OptionalNumber(file, table, key);
    if (!value) return fallback;
    if (*value < 0 || *value > 0xFFFFFFFFll)
        FailAt(file, *table.get(key), std::string("'") + key + "' must lie in 0..4294967295");
    return (DWORD)*value;
}

UINT DriveType(const std::string& file, const toml::node& node) {
    if (auto number = node.value_exact<int64_t>()) return (UINT)*number;
    static const std::pair<const char*, UINT> names[] = {
        {"unknown", DRIVE_UNKNOWN}, {"none", DRIVE_NO_ROOT_DIR}, {"removable", DRIVE_REMOVABLE},
        {"fixed", DRIVE_FIXED},     {"remote", DRIVE_REMOTE},    {"cdrom", DRIVE_CDROM},
        {"ramdisk", DRIVE_RAMDISK}};
    std::string name = node.value_exact<std::string>().value_or("");
    for (const auto& entry : names)
        if (name == entry.first) return entry.second;
    FailAt(file, node, "unknown drive type '" + name + "'");
}

// free_kb as clusters, exactly: 1 KB clusters unless the file gives the cluster size.
void ReadFreeKb(const std::string& file, const toml::table& table, sim::DriveConfig& drive) {
    std::optional<int64_t> freeKb = OptionalNumber(file, table, "free_kb");
    if (!freeKb) return;
    const toml::node& node = *table.get("free_kb");
    if (table.get("free_clusters")) FailAt(file, node, "give free_kb or free_clusters, not both");
    if (!table.get("sectors_per_cluster") && !table.get("bytes_per_sector")) {
        drive.sectorsPerCluster = 2;
        drive.bytesPerSector = 512;
    }
    uint64_t clusterBytes = (uint64_t)drive.sectorsPerCluster * drive.bytesPerSector;
    if (*freeKb < 0 || clusterBytes == 0 || ((uint64_t)*freeKb * 1024) % clusterBytes != 0)
        FailAt(
            file, node,
            "free_kb must be a whole number of " + std::to_string(clusterBytes) + "-byte clusters");
    uint64_t clusters = (uint64_t)*freeKb * 1024 / clusterBytes;
    if (clusters > 0xFFFFFFFFu) FailAt(file, node, "free_kb is too large for the drive's geometry");
    drive.freeClusters = (DWORD)clusters;
    if (!table.get("total_clusters") && drive.totalClusters < drive.freeClusters)
        drive.totalClusters = drive.freeClusters;
    if (drive.totalClusters < drive.freeClusters)
        FailAt(file, node, "free_kb is more than the drive's total_clusters hold");
}

sim::DriveConfig ReadDrive(const std::string& file, const toml::table& table) {
    RejectUnknownKeys(file, table, "[[drive]]",
                      {"letter", "type", "host_dir", "sectors_per_cluster", "bytes_per_sector",
                       "free_clusters", "total_clusters", "free_kb", "capacity", "full_is_error",
                       "short_names", "write_protected"});
    sim::DriveConfig drive;
    std::string letter = RequireString(file, table, "letter");
    if (letter.size() != 1 || !isalpha((unsigned char)letter[0]))
        FailAt(file, table, "a drive letter is one letter");
    drive.letter = (char)toupper((unsigned char)letter[0]);
    if (auto type = table.get("type")) drive.type = DriveType(file, *type);
    drive.hostDir = OptionalString(file, table, "host_dir").value_or("");
    drive.sectorsPerCluster =
        ReadDword(file, table, "sectors_per_cluster", drive.sectorsPerCluster);
    drive.bytesPerSector = ReadDword(file, table, "bytes_per_sector", drive.bytesPerSector);
    drive.freeClusters = ReadDword(file, table, "free_clusters", drive.freeClusters);
    drive.totalClusters = ReadDword(file, table, "total_clusters", drive.totalClusters);
    ReadFreeKb(file, table, drive);
    drive.writeCapacity = OptionalNumber(file, table, "capacity").value_or(-1);
    drive.fullIsError = OptionalBool(file, table, "full_is_error").value_or(drive.fullIsError);
    drive.shortNames = OptionalBool(file, table, "short_names").value_or(drive.shortNames);
    drive.writeProtected =
        OptionalBool(file, table, "write_protected").value_or(drive.writeProtected);
    return drive;
}

std::vector<std::string> ReadStringList(const std::string& file, const toml::table& table,
                                        const char* key) {
    std::vector<std::string> names;
    const toml::node* node = table.get(key);
    if (!node) return names;
    const toml::array* array = node->as_array();
    if (!array) FailAt(file, *node, std::string("'") + key + "' must be a list of strings");
    for (const toml::node& element : *array) {
        std::optional<std::string> name = element.value_exact<std::string>();
        if (!name) FailAt(file, element, std::string("'") + key + "' must be a list of strings");
        names.push_back(*name);
    }
    return names;
}

void ReadScreen(const std::string& file, const toml::table& root, sim::MachineConfig& config) {
    const toml::node* node = root.get("screen");
    if (!node) return;
    const toml::array* screen = node->as_array();
    if (!screen || screen->size() != 2 || !(*screen)[0].value_exact<int64_t>() ||
        !(*screen)[1].value_exact<int64_t>())
        FailAt(file, *node, "screen is [width, height]");
    config.screenWidth = (int)*(*screen)[0].value_exact<int64_t>();
    config.screenHeight = (int)*(*screen)[1].value_exact<int64_t>();
}

void ReadTopLevel(const std::string& file, const toml::table& root, MachineFile& machine) {
    RejectUnknownKeys(file, root, "the machine file",
                      {"start_dir", "installer", "windows_dir", "system_dir", "utc_offset_minutes",
                       "program_runs_ms", "screen", "running_windows", "drive", "registry",
                       "winini", "file", "folder", "launch", "diskette"});
    sim::MachineConfig& config = machine.config;
    config.currentDir = OptionalString(file, root, "start_dir").value_or(config.currentDir);
    config.modulePath = OptionalString(file, root, "installer").value_or(config.modulePath);
    config.windowsDir = OptionalString(file, root, "windows_dir").value_or(config.windowsDir);
    config.systemDir = OptionalString(file, root, "system_dir").value_or(config.systemDir);
    config.utcOffsetMinutes =
        (int)OptionalNumber(file, root, "utc_offset_minutes").value_or(config.utcOffsetMinutes);
    config.programRunMs =
        (int)OptionalNumber(file, root, "program_runs_ms").value_or(config.programRunMs);
    ReadScreen(file, root, config);
    machine.runningWindows = ReadStringList(file, root, "running_windows");
}

void ReadRegistry(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[registry]]", {"key", "name", "value", "deny_full_access"});
    std::string key = RequireString(file, t, "key");
    machine.registryKeys.push_back(key);
    if (OptionalBool(file, t, "deny_full_access").value_or(false))
        machine.deniedKeys.push_back(key);
    if (t.get("name") || t.get("value"))
        machine.registry.push_back(
            {key, RequireString(file, t, "name"), RequireString(file, t, "value")});
}

DWORD AttributeNamed(const std::string& file, const toml::node& node) {
    static const std::pair<const char*, DWORD> names[] = {{"readonly", FILE_ATTRIBUTE_READONLY},
                                                          {"hidden", FILE_ATTRIBUTE_HIDDEN},
                                                          {"system", FILE_ATTRIBUTE_SYSTEM},
                                                          {"archive", FILE_ATTRIBUTE_ARCHIVE},
                                                          {"normal", FILE_ATTRIBUTE_NORMAL}};
    std::string name = node.value_exact<std::string>().value_or("");
    for (const auto& entry : names)
        if (name == entry.first) return entry.second;
    FailAt(file, node, "unknown attribute (known: readonly, hidden, system, archive, normal)");
}

DWORD ReadAttributes(const std::string& file, const toml::table& t) {
    const toml::node* node = t.get("attributes");
    if (!node) return FILE_ATTRIBUTE_ARCHIVE;
    if (node->is_integer()) return ReadDword(file, t, "attributes", 0);
    const toml::array* list = node->as_array();
    if (!list) FailAt(file, *node, "attributes is a number or a list of names");
    DWORD attributes = 0;
    for (const toml::node& name : *list) attributes |= AttributeNamed(file, name);
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Only text made of what a date and time is written with goes to the parser a second time:
// a string's escapes have been decoded by then, so it could hold what the parser cannot be
// given (the check of the file's text saw only the escapes).
bool IsDateTimeText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789-:.+TtZz ") == std::string::npos;
}

// A UTC time: a TOML date-time with an offset (Z or +hh:mm) or the report's own text form
// "YYYY-MM-DDTHH:MM:SSZ".
FILETIME ReadWritten(const std::string& file, const toml::node& node) {
    std::optional<toml::date_time> when = node.value_exact<toml::date_time>();
    if (!when) {
        std::optional<std::string> text = node.value_exact<std::string>();
        try {
            if (text && IsDateTimeText(*text))
                when = toml::parse("t = " + *text)["t"].value_exact<toml::date_time>();
        } catch (const toml::parse_error&) {
            // not a date and time: told below
        }
    }
    if (!when || !when->offset)
        FailAt(file, node, "written is a UTC date and time, such as 2001-10-11T17:42:12Z");
    FILETIME local = sim::MakeFileTime(when->date.year, when->date.month, when->date.day,
                                       when->time.hour, when->time.minute, when->time.second);
    uint64_t ticks = ((uint64_t)local.dwHighDateTime << 32) | local.dwLowDateTime;
    ticks -= (uint64_t)((int64_t)when->offset->minutes * 60 * 10000000);
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

void ReadPresentFile(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[file]]", {"path", "content", "from", "attributes", "written"});
    MachineFile::PresentFile present;
    present.path = RequireString(file, t, "path");
    present.content = OptionalString(file, t, "content").value_or("");
    present.hostFrom = OptionalString(file, t, "from").value_or("");
    if (t.get("content") && t.get("from")) FailAt(file, t, "give content or from, not both");
    present.attributes = ReadAttributes(file, t);
    if (const toml::node* written = t.get("written")) {
        present.hasWritten = true;
        present.written = ReadWritten(file, *written);
    }
    machine.files.push_back(present);
}

void ReadFolder(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[folder]]", {"path", "from", "to"});
    if (t.get("path")) {
        if (t.get("from") || t.get("to"))
            FailAt(file, t, "a folder is either path (empty) or from and to (copied)");
        machine.emptyFolders.push_back(RequireString(file, t, "path"));
        return;
    }
    machine.folders.push_back({RequireString(file, t, "from"), RequireString(file, t, "to")});
}

void ReadDiskette(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[diskette]]", {"label", "host_dir", "image"});
    MachineFile::Diskette diskette;
    diskette.label = RequireString(file, t, "label");
    diskette.hostDir = OptionalString(file, t, "host_dir").value_or("");
    diskette.image = OptionalString(file, t, "image").value_or("");
    if (diskette.hostDir.empty() == diskette.image.empty())
        FailAt(file, t, "a diskette has host_dir or image, one of them");
    diskette.line = (int)t.source().begin.line;
    machine.diskettes.push_back(diskette);
}

void ReadTables(const std::string& file, const toml::table& root, MachineFile& machine) {
    ForEachTable(file, root, "registry",
                 [&](const toml::table& t) { ReadRegistry(file, t, machine); });
    ForEachTable(file, root, "winini", [&](const toml::table& t) {
        RejectUnknownKeys(file, t, "[[winini]]", {"section", "key", "value"});
        machine.winIni.push_back({RequireString(file, t, "section"), RequireString(file, t, "key"),
                                  RequireString(file, t, "value")});
    });
    ForEachTable(file, root, "file",
                 [&](const toml::table& t) { ReadPresentFile(file, t, machine); });
    ForEachTable(file, root, "folder", [&](const toml::table& t) { ReadFolder(file, t, machine); });
    ForEachTable(file, root, "diskette",
                 [&](const toml::table& t) { ReadDiskette(file, t, machine); });
    ForEachTable(file, root, "launch", [&](const toml::table& t) {
        RejectUnknownKeys(file, t, "[[launch]]", {"program", "result"});
        machine.launchResults.push_back(
            {RequireString(file, t, "program"), ReadDword(file, t, "result", 33)});
    });
}

}  // namespace

MachineFile DefaultMachine() {
    MachineFile machine;
    sim::DriveConfig c;  // fixed, with ample space
    c.letter = 'C';
    machine.config.drives = {sim::DisketteDrive('A', 0), c};
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
    ReadTables(path, root, machine);
    return machine;
}

std::string ReadHostFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw std::runtime_error(path + " is a directory, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path + ": " + strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path + ": " + strerror(errno));
    return bytes.str();
}

namespace {

void PutPresentFiles(const MachineFile& machine) {
    for (const MachineFile::PresentFile& file : machine.files) {
        sim::PutFile(file.path, file.hostFrom.empty() ? file.content : ReadHostFile(file.hostFrom),
                     file.attributes);
        if (file.hasWritten) sim::SetFileWritten(file.path, file.written);
    }
    for (const std::string& folder : machine.emptyFolders) sim::MakeDirectories(folder);
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

std::vector<std::string> PresentFilePaths(const MachineFile& machine) {
    std::vector<std::string> paths;
    for (const MachineFile::PresentFile& file : machine.files) paths.push_back(file.path);
    return paths;
}
