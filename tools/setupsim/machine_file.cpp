// Reading a machine file (TOML); machine_boot.cpp boots the simulated Windows with it. Every
// key is listed here (and in kMachineKeys, which docs/machine-files.md is checked against);
// any other key, and any value no real machine could have, is an error naming its line. Host
// paths (from, host_dir, image) are taken from the machine file's folder when relative;
// nothing on the host is written: host folders and diskettes are copied into the root of the
// run.
//
//   start_dir = "A:\\"                installer's current directory at start
//   installer = "A:\\SETUP.EXE"       where the installer file lies
//   windows_dir, system_dir, utc_offset_minutes, screen = [1024, 768]
//   program_runs_ms = 2000          how long a started program runs and holds its file
//   running_windows = ["QVMain"]
//   [[drive]] (replaces the default drive of its letter; the others stay)
//             letter, type ("removable" | "fixed" | "remote" | "cdrom" | "ramdisk" | "none"
//             or a number), host_dir, and what GetDiskFreeSpaceA reports:
//             sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters
//             (default 8 x 512-byte sectors, 8 GiB free), or free_kb: that many KB free,
//             exactly; 1 KB clusters unless the cluster size is given, and then free_kb must
//             be a whole number of clusters. capacity (bytes writable: by default the free
//             space when that is given, and never more; alone, also the free space reported),
//             full_is_error (default true: a write beyond the capacity fails; false: it is
//             cut short),
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

#include "tools/setupsim/machine_checks.h"
#include "tools/setupsim/toml_input.h"

namespace {

const std::vector<TableKeys> kMachineKeys = {
    {"",
     {"start_dir", "installer", "windows_dir", "system_dir", "utc_offset_minutes",
      "program_runs_ms", "screen", "running_windows", "drive", "registry", "winini", "file",
      "folder", "launch", "diskette"}},
    {"drive",
     {"letter", "type", "host_dir", "sectors_per_cluster", "bytes_per_sector", "free_clusters",
      "total_clusters", "free_kb", "capacity", "full_is_error", "short_names", "write_protected"}},
    {"registry", {"key", "name", "value", "deny_full_access"}},
    {"winini", {"section", "key", "value"}},
    {"file", {"path", "content", "from", "attributes", "written"}},
    {"folder", {"path", "from", "to"}},
    {"launch", {"program", "result"}},
    {"diskette", {"label", "host_dir", "image"}},
};

const std::vector<std::string>& Keys(const std::string& table) {
    return KeysOf(kMachineKeys, table);
}

// A simulated path on one of the machine's drives (see SimPathProblem), or `fallback`.
std::string ReadSimPath(const std::string& file, const toml::table& table, const char* key,
                        const MachineFile& machine, const std::string& fallback) {
    std::optional<std::string> path = OptionalString(file, table, key);
    if (!path) return fallback;
    std::string problem = SimPathProblem(*path, machine.config.drives);
    if (!problem.empty()) FailAt(file, *table.get(key), std::string(key) + " " + problem);
    return *path;
}

std::string RequireSimPath(const std::string& file, const toml::table& table, const char* key,
                           const MachineFile& machine) {
    RequireString(file, table, key);
    return ReadSimPath(file, table, key, machine, "");
}

// A host file or folder named by the machine file, from its folder; it must exist as `kind`.
std::string ReadHostPath(const std::string& file, const toml::table& table, const char* key,
                         HostKind kind) {
    std::optional<std::string> path = OptionalString(file, table, key);
    if (!path) return "";
    std::string host = HostPathFrom(file, *path);
    std::string problem = HostPathProblem(host, kind);
    if (!problem.empty())
        FailAt(file, *table.get(key), std::string(key) + " " + problem + ": " + host);
    return host;
}

DWORD ReadDword(const std::string& file, const toml::table& table, const char* key,
                DWORD fallback) {
    std::optional<int64_t> value = OptionalNumber(file, table, key);
    if (!value) return fallback;
    if (*value < 0 || *value > 0xFFFFFFFFll)
        FailAt(file, *table.get(key), std::string("'") + key + "' must lie in 0..4294967295");
    return (DWORD)*value;
}

UINT DriveType(const std::string& file, const toml::node& node) {
    if (auto number = node.value_exact<int64_t>()) {
        if (*number < DRIVE_UNKNOWN || *number > DRIVE_RAMDISK)
            FailAt(file, node, "a drive type number lies in 0..6");
        return (UINT)*number;
    }
    static const std::pair<const char*, UINT> names[] = {
        {"unknown", DRIVE_UNKNOWN}, {"none", DRIVE_NO_ROOT_DIR}, {"removable", DRIVE_REMOVABLE},
        {"fixed", DRIVE_FIXED},     {"remote", DRIVE_REMOTE},    {"cdrom", DRIVE_CDROM},
        {"ramdisk", DRIVE_RAMDISK}};
    std::string name = node.value_exact<std::string>().value_or("");
    for (const auto& entry : names)
        if (name == entry.first) return entry.second;
    FailAt(file, node, "unknown drive type '" + name + "'");
}

uint64_t ClusterBytes(const sim::DriveConfig& drive) {
    return (uint64_t)drive.sectorsPerCluster * drive.bytesPerSector;
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
    uint64_t clusterBytes = ClusterBytes(drive);
    // Checked before it is multiplied, so that no value wraps around to a small one.
    if (*freeKb < 0 || (uint64_t)*freeKb > 0xFFFFFFFFull * clusterBytes / 1024)
        FailAt(file, node,
               "free_kb must lie in 0.." + std::to_string(0xFFFFFFFFull * clusterBytes / 1024) +
                   " for the drive's cluster size");
    if (((uint64_t)*freeKb * 1024) % clusterBytes != 0)
        FailAt(
            file, node,
            "free_kb must be a whole number of " + std::to_string(clusterBytes) + "-byte clusters");
    drive.freeClusters = (DWORD)((uint64_t)*freeKb * 1024 / clusterBytes);
    if (!table.get("total_clusters") && drive.totalClusters < drive.freeClusters)
        drive.totalClusters = drive.freeClusters;
}

// One model of the free space: what GetDiskFreeSpaceA reports is what can be written. A drive
// that gives its free space can take that many bytes; one that gives only a capacity reports
// it as free clusters; one that gives both must agree.
void ReadCapacity(const std::string& file, const toml::table& table, sim::DriveConfig& drive) {
    bool freeGiven = table.get("free_kb") || table.get("free_clusters");
    uint64_t freeBytes = (uint64_t)drive.freeClusters * ClusterBytes(drive);
    if (!table.get("capacity")) {
        if (freeGiven) drive.writeCapacity = (int64_t)freeBytes;
        return;
    }
    int64_t limit = freeGiven ? (int64_t)freeBytes : 0xFFFFFFFFll * (int64_t)ClusterBytes(drive);
    drive.writeCapacity = ReadInRange(file, table, "capacity", 0, limit, -1);
    if (!freeGiven) {
        drive.freeClusters = (DWORD)((uint64_t)drive.writeCapacity / ClusterBytes(drive));
        if (!table.get("total_clusters") && drive.totalClusters < drive.freeClusters)
            drive.totalClusters = drive.freeClusters;
    }
}

void ReadGeometry(const std::string& file, const toml::table& table, sim::DriveConfig& drive) {
    drive.sectorsPerCluster =
        (DWORD)ReadInRange(file, table, "sectors_per_cluster", 1, 128, drive.sectorsPerCluster);
    drive.bytesPerSector =
        (DWORD)ReadInRange(file, table, "bytes_per_sector", 128, 4096, drive.bytesPerSector);
    drive.freeClusters = ReadDword(file, table, "free_clusters", drive.freeClusters);
    drive.totalClusters = ReadDword(file, table, "total_clusters", drive.totalClusters);
    ReadFreeKb(file, table, drive);
    ReadCapacity(file, table, drive);
    if (drive.totalClusters < drive.freeClusters)
        FailAt(file, table, "the drive has more free clusters than total_clusters");
}

sim::DriveConfig ReadDrive(const std::string& file, const toml::table& table) {
    RejectUnknownKeys(file, table, "[[drive]]", Keys("drive"));
    sim::DriveConfig drive;
    std::string letter = RequireString(file, table, "letter");
    if (letter.size() != 1 || !isalpha((unsigned char)letter[0]))
        FailAt(file, table, "a drive letter is one letter");
    drive.letter = (char)toupper((unsigned char)letter[0]);
    if (auto type = table.get("type")) drive.type = DriveType(file, *type);
    drive.hostDir = ReadHostPath(file, table, "host_dir", HostKind::Folder);
    ReadGeometry(file, table, drive);
    drive.fullIsError = OptionalBool(file, table, "full_is_error").value_or(drive.fullIsError);
    drive.shortNames = OptionalBool(file, table, "short_names").value_or(drive.shortNames);
    drive.writeProtected =
        OptionalBool(file, table, "write_protected").value_or(drive.writeProtected);
    return drive;
}

// The file's drives over the default ones: a letter the file gives replaces the default
// drive of that letter; the others stay (the installer's A: among them). A letter given
// twice is an error.
void ReadDrives(const std::string& file, const toml::table& root, MachineFile& machine) {
    std::vector<sim::DriveConfig>& drives = machine.config.drives;
    std::string given;
    ForEachTable(file, root, "drive", [&](const toml::table& t) {
        sim::DriveConfig drive = ReadDrive(file, t);
        if (given.find(drive.letter) != std::string::npos)
            FailAt(file, t, std::string("drive ") + drive.letter + ": is given twice");
        given += drive.letter;
        bool replaced = false;
        for (sim::DriveConfig& existing : drives)
            if (existing.letter == drive.letter) existing = drive, replaced = true;
        if (!replaced) drives.push_back(drive);
    });
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

// A screen of 1 x 1 to 32767 x 32767 pixels, the coordinates a window can have.
void ReadScreen(const std::string& file, const toml::table& root, sim::MachineConfig& config) {
    const toml::node* node = root.get("screen");
    if (!node) return;
    const toml::array* screen = node->as_array();
    if (!screen || screen->size() != 2 || !(*screen)[0].value_exact<int64_t>() ||
        !(*screen)[1].value_exact<int64_t>())
        FailAt(file, *node, "screen is [width, height]");
    int64_t width = *(*screen)[0].value_exact<int64_t>();
    int64_t height = *(*screen)[1].value_exact<int64_t>();
    if (width < 1 || width > 32767 || height < 1 || height > 32767)
        FailAt(file, *node, "screen's width and height must lie in 1..32767");
    config.screenWidth = (int)width;
    config.screenHeight = (int)height;
}

// The installer's path names a file on one of the machine's drives.
std::string ReadInstallerPath(const std::string& file, const toml::table& root,
                              const MachineFile& machine) {
    std::string path = ReadSimPath(file, root, "installer", machine, machine.config.modulePath);
    std::string problem = SimPathProblem(path, machine.config.drives);
    if (problem.empty() && path.find_last_not_of("\\/") < 3) problem = "names no file";
    if (!problem.empty()) {
        if (const toml::node* node = root.get("installer"))
            FailAt(file, *node, "installer " + problem);
        throw std::runtime_error(file + ": the installer's path " + path + " " + problem);
    }
    return path;
}

const int64_t kMinutesInADay = 24 * 60;
const int64_t kMsInADay = 24 * 60 * 60 * 1000;

void ReadTopLevel(const std::string& file, const toml::table& root, MachineFile& machine) {
    sim::MachineConfig& config = machine.config;
    config.currentDir = ReadSimPath(file, root, "start_dir", machine, config.currentDir);
    config.modulePath = ReadInstallerPath(file, root, machine);
    config.windowsDir = ReadSimPath(file, root, "windows_dir", machine, config.windowsDir);
    config.systemDir = ReadSimPath(file, root, "system_dir", machine, config.systemDir);
    config.utcOffsetMinutes = (int)ReadInRange(file, root, "utc_offset_minutes", -kMinutesInADay,
                                               kMinutesInADay, config.utcOffsetMinutes);
    config.programRunMs =
        (int)ReadInRange(file, root, "program_runs_ms", 0, kMsInADay, config.programRunMs);
    ReadScreen(file, root, config);
    machine.runningWindows = ReadStringList(file, root, "running_windows");
}

void ReadRegistry(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[registry]]", Keys("registry"));
    std::string problem;
    std::string key = LocalMachineKey(RequireString(file, t, "key"), &problem);
    if (!problem.empty()) FailAt(file, *t.get("key"), problem);
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
    RejectUnknownKeys(file, t, "[[file]]", Keys("file"));
    MachineFile::PresentFile present;
    present.path = RequireSimPath(file, t, "path", machine);
    if (present.path.find_last_not_of("\\/") < 3) FailAt(file, t, "path names no file");
    present.content = OptionalString(file, t, "content").value_or("");
    present.hostFrom = ReadHostPath(file, t, "from", HostKind::File);
    if (t.get("content") && t.get("from")) FailAt(file, t, "give content or from, not both");
    present.attributes = ReadAttributes(file, t);
    if (const toml::node* written = t.get("written")) {
        present.hasWritten = true;
        present.written = ReadWritten(file, *written);
    }
    machine.files.push_back(present);
}

void ReadFolder(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[folder]]", Keys("folder"));
    if (t.get("path")) {
        if (t.get("from") || t.get("to"))
            FailAt(file, t, "a folder is either path (empty) or from and to (copied)");
        machine.emptyFolders.push_back(RequireSimPath(file, t, "path", machine));
        return;
    }
    RequireString(file, t, "from");
    machine.folders.push_back(
        {ReadHostPath(file, t, "from", HostKind::Folder), RequireSimPath(file, t, "to", machine)});
}

void ReadDiskette(const std::string& file, const toml::table& t, MachineFile& machine) {
    RejectUnknownKeys(file, t, "[[diskette]]", Keys("diskette"));
    MachineFile::Diskette diskette;
    diskette.label = RequireString(file, t, "label");
    if (!t.get("host_dir") == !t.get("image"))
        FailAt(file, t, "a diskette has host_dir or image, one of them");
    diskette.hostDir = ReadHostPath(file, t, "host_dir", HostKind::Folder);
    diskette.image = ReadHostPath(file, t, "image", HostKind::File);
    diskette.line = (int)t.source().begin.line;
    machine.diskettes.push_back(diskette);
}

void ReadTables(const std::string& file, const toml::table& root, MachineFile& machine) {
    ForEachTable(file, root, "registry",
                 [&](const toml::table& t) { ReadRegistry(file, t, machine); });
    ForEachTable(file, root, "winini", [&](const toml::table& t) {
        RejectUnknownKeys(file, t, "[[winini]]", Keys("winini"));
        machine.winIni.push_back({RequireString(file, t, "section"), RequireString(file, t, "key"),
                                  RequireString(file, t, "value")});
    });
    ForEachTable(file, root, "file",
                 [&](const toml::table& t) { ReadPresentFile(file, t, machine); });
    ForEachTable(file, root, "folder", [&](const toml::table& t) { ReadFolder(file, t, machine); });
    ForEachTable(file, root, "diskette",
                 [&](const toml::table& t) { ReadDiskette(file, t, machine); });
    ForEachTable(file, root, "launch", [&](const toml::table& t) {
        RejectUnknownKeys(file, t, "[[launch]]", Keys("launch"));
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

const std::vector<TableKeys>& MachineFileKeys() {
    return kMachineKeys;
}

MachineFile ReadMachineFile(const std::string& path) {
    toml::table root = ParseTomlFile(path);
    MachineFile machine = DefaultMachine();
    RejectUnknownKeys(path, root, "the machine file", Keys(""));
    ReadDrives(path, root, machine);
    ReadTopLevel(path, root, machine);
    if (root.get("registry")) machine.registry.clear();
    ReadTables(path, root, machine);
    return machine;
}

std::vector<std::string> PresentFilePaths(const MachineFile& machine) {
    std::vector<std::string> paths;
    for (const MachineFile::PresentFile& file : machine.files) paths.push_back(file.path);
    return paths;
}
