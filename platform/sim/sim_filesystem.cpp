// Names in the simulated file system: DeleteFileA, CreateDirectoryA, attributes, drive type and
// free space, GetShortPathNameA, and the test-side helpers that put, read and inspect files
// without going through the installer (no transcript, no facade counters). Metadata that the
// host cannot hold (attributes, the three times) is kept here, keyed by the upper-cased path.
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sim/sim_internal.h"

namespace fs = std::filesystem;

namespace sim {
namespace detail {

namespace {
const DWORD kErrorWriteProtect = 19;
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | 0x100u |
                                  0x1000u | 0x2000u;
}  // namespace

FileMeta DefaultMeta(bool isDirectory) {
    FileMeta meta;
    meta.attributes = isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    meta.creation = meta.lastAccess = meta.lastWrite =
        U64ToFileTime(FileTimeToU64(sim::MakeFileTime(2026, 1, 1, 0, 0, 0)));
    return meta;
}

FileMeta& MetaFor(const Resolved& r) {
    auto it = M().meta.find(r.key);
    if (it != M().meta.end()) return it->second;
    return M().meta[r.key] = DefaultMeta(r.isDirectory);
}

FileMeta& MetaForFile(const std::string& key) {
    auto it = M().meta.find(key);
    if (it != M().meta.end()) return it->second;
    return M().meta[key] = DefaultMeta(false);
}

void NoteTouched(const std::string& simPath) {
    std::string key = UpperAscii(simPath);
    if (M().touchedKeys.insert(key).second) M().touched.push_back(simPath);
}

int CreateHostDirectories(const Resolved& r) {
    std::string host = DriveHostDir(*r.drive);
    std::vector<std::string> names;
    for (size_t i = 0; i < r.names.size(); i++) {
        std::string dirKey = UpperAscii(JoinSimPath(r.path.drive, names));
        std::string dirHost = host;
        host += "/" + r.names[i];
        names.push_back(r.names[i]);
        if (i < r.existingParts) continue;
        RegisterCreatedName(dirKey, dirHost, r.names[i]);
        std::error_code ec;
        if (!fs::create_directory(host, ec) && !fs::is_directory(host, ec)) return 0;
        FileMeta meta = DefaultMeta(true);
        meta.creation = meta.lastAccess = meta.lastWrite = WallClockNow();
        M().meta[UpperAscii(JoinSimPath(r.path.drive, names))] = meta;
    }
    return 1;
}

namespace {

// A file without any attribute reads as FILE_ATTRIBUTE_NORMAL, as on Windows.
DWORD ReportedAttributes(const FileMeta& meta) {
    return meta.attributes ? meta.attributes : FILE_ATTRIBUTE_NORMAL;
}

bool HeldWithoutDeleteSharing(const std::string& key) {
    for (const auto& entry : M().files)
        if (entry.second.key == key && !(entry.second.share & FILE_SHARE_DELETE)) return true;
    return false;
}

// The drive letter of a root such as "C:", "C:\" or "c:/"; 0 for anything else.
char RootDrive(LPCSTR root) {
    if (!root) {
        return M().currentDir.empty() ? 0 : M().currentDir[0];
    }
    std::string text(root);
    if (text.size() < 2 || text.size() > 3 || text[1] != ':') return 0;
    if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return 0;
    if (!isalpha((unsigned char)text[0])) return 0;
    return UpperChar(text[0]);
}

}  // namespace
}  // namespace detail
}  // namespace sim

using namespace sim::detail;

BOOL WINAPI Sim_DeleteFileA(LPCSTR lpFileName) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpFileName, &r, &error)) return SetError(error), FALSE;
    if (!r.exists) return SetError(MissingError(r)), FALSE;
    if (r.isDirectory) return SetError(ERROR_ACCESS_DENIED), FALSE;
    if (r.drive->writeProtected) return SetError(kErrorWriteProtect), FALSE;
    if (MetaFor(r).attributes & FILE_ATTRIBUTE_READONLY)
        return SetError(ERROR_ACCESS_DENIED), FALSE;
    if (HeldWithoutDeleteSharing(r.key)) return SetError(ERROR_SHARING_VIOLATION), FALSE;
    if (ProgramRunning(r.key)) return SetError(ERROR_ACCESS_DENIED), FALSE;
    std::error_code ec;
    if (!fs::remove(r.hostPath, ec)) return SetError(ERROR_ACCESS_DENIED), FALSE;
    M().meta.erase(r.key);
    ForgetName(ParentKey(r), ParentHostPath(r), r.names.back());
    NoteTouched(r.simPath);
    Record("delete", {F("path", r.simPath)});
    return TRUE;
}

BOOL WINAPI Sim_CreateDirectoryA(LPCSTR lpPathName,
                                 LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpPathName, &r, &error)) return SetError(error), FALSE;
    if (r.simPath.size() > MAX_PATH - 12) return SetError(ERROR_FILENAME_EXCED_RANGE), FALSE;
    if (r.path.parts.empty()) return SetError(ERROR_ACCESS_DENIED), FALSE;
    if (r.exists) return SetError(ERROR_ALREADY_EXISTS), FALSE;
    if (!r.parentExists) return SetError(ERROR_PATH_NOT_FOUND), FALSE;
    if (r.drive->writeProtected) return SetError(kErrorWriteProtect), FALSE;
    if (!CreateHostDirectories(r)) return SetError(ERROR_ACCESS_DENIED), FALSE;
    NoteTouched(r.simPath);
    Record("mkdir", {F("path", r.simPath)});
    return TRUE;
}

DWORD WINAPI Sim_GetFileAttributesA(LPCSTR lpFileName) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpFileName, &r, &error)) return SetError(error), INVALID_FILE_ATTRIBUTES;
    if (!r.exists) return SetError(MissingError(r)), INVALID_FILE_ATTRIBUTES;
    if (r.path.parts.empty()) return FILE_ATTRIBUTE_DIRECTORY;
    return ReportedAttributes(MetaFor(r));
}

BOOL WINAPI Sim_SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpFileName, &r, &error)) return SetError(error), FALSE;
    if (!r.exists) return SetError(MissingError(r)), FALSE;
    if (r.drive->writeProtected) return SetError(kErrorWriteProtect), FALSE;
    FileMeta& meta = MetaFor(r);
    // FILE_ATTRIBUTE_NORMAL alone clears every attribute (stored as none, read back as
    // FILE_ATTRIBUTE_NORMAL); the directory bit stays as it is.
    DWORD value = dwFileAttributes & kSettableAttributes;
    meta.attributes = value | (r.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0);
    NoteTouched(r.simPath);
    Record("attributes", {F("path", r.simPath), N("value", meta.attributes)});
    return TRUE;
}

UINT WINAPI Sim_GetDriveTypeA(LPCSTR lpRootPathName) {
    char letter = RootDrive(lpRootPathName);
    const sim::DriveConfig* drive = letter ? FindDrive(letter) : nullptr;
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI Sim_GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                                  LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                                  LPDWORD lpTotalNumberOfClusters) {
    char letter = RootDrive(lpRootPathName);
    if (!letter) return SetError(ERROR_INVALID_NAME), FALSE;
    const sim::DriveConfig* drive = FindDrive(letter);
    if (!drive) return SetError(ERROR_PATH_NOT_FOUND), FALSE;
    if (lpSectorsPerCluster) *lpSectorsPerCluster = drive->sectorsPerCluster;
    if (lpBytesPerSector) *lpBytesPerSector = drive->bytesPerSector;
    if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = drive->freeClusters;
    if (lpTotalNumberOfClusters) *lpTotalNumberOfClusters = drive->totalClusters;
    return TRUE;
}

// Every component replaced by its short name.
static std::string ShortPathOf(const Resolved& r) {
    std::string result(1, r.path.drive);
    result += ":\\";
    std::vector<std::string> dir;
    std::string dirHost = DriveHostDir(*r.drive);
    for (size_t i = 0; i < r.names.size(); i++) {
        std::string dirKey = UpperAscii(JoinSimPath(r.path.drive, dir));
        result += (i ? "\\" : "") + ShortNameOf(dirKey, dirHost, r.names[i]);
        dir.push_back(r.names[i]);
        dirHost += "/" + r.names[i];
    }
    if (r.path.trailingSeparator && !r.names.empty()) result += "\\";
    return result;
}

DWORD WINAPI Sim_GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
    if (!lpszLongPath) return SetError(ERROR_INVALID_PARAMETER), 0;
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpszLongPath, &r, &error)) return SetError(error), 0;
    if (!r.exists) return SetError(MissingError(r)), 0;
    // A drive without 8.3 names gives the path back as it was asked for, as Windows does.
    std::string result = r.drive->shortNames ? ShortPathOf(r) : std::string(lpszLongPath);
    if (result.size() + 1 > cchBuffer) return (DWORD)result.size() + 1;
    memcpy(lpszShortPath, result.c_str(), result.size() + 1);
    return (DWORD)result.size();
}

namespace sim {

void MakeDirectories(const std::string& path) {
    Resolved r;
    DWORD error = 0;
    if (ResolvePath(path.c_str(), &r, &error) && !r.exists) CreateHostDirectories(r);
}

void PutFile(const std::string& path, const std::string& bytes, DWORD attributes) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || r.path.parts.empty()) return;
    if (r.existingParts + 1 < r.names.size()) {
        std::vector<std::string> parent(r.names.begin(), r.names.end() - 1);
        MakeDirectories(JoinSimPath(r.path.drive, parent));
        ResolvePath(path.c_str(), &r, &error);
    }
    if (!r.exists) RegisterCreatedName(ParentKey(r), ParentHostPath(r), r.names.back());
    std::ofstream out(r.hostPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    FileMeta meta = DefaultMeta(false);
    meta.attributes = attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes;
    meta.creation = meta.lastAccess = meta.lastWrite = WallClockNow();
    M().meta[r.key] = meta;
}

bool RemoveFile(const std::string& path) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists || r.isDirectory) return false;
    std::error_code ec;
    if (!fs::remove(r.hostPath, ec)) return false;
    M().meta.erase(r.key);
    ForgetName(ParentKey(r), ParentHostPath(r), r.names.back());
    return true;
}

bool SetFileWritten(const std::string& path, const FILETIME& written) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists || r.path.parts.empty()) return false;
    MetaFor(r).lastWrite = written;
    return true;
}

FileInfo GetFileInfo(const std::string& path) {
    FileInfo info;
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists) return info;
    info.exists = true;
    info.isDirectory = r.isDirectory;
    std::error_code ec;
    if (!r.isDirectory) info.size = fs::file_size(r.hostPath, ec);
    const FileMeta& meta = r.path.parts.empty() ? DefaultMeta(true) : MetaFor(r);
    info.attributes = ReportedAttributes(meta);
    info.creationTime = meta.creation;
    info.lastAccessTime = meta.lastAccess;
    info.lastWriteTime = meta.lastWrite;
    return info;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists || r.isDirectory) return false;
    std::ifstream in(r.hostPath, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    *bytes = text.str();
    return true;
}

std::string HostPath(const std::string& path) {
    Resolved r;
    DWORD error = 0;
    return ResolvePath(path.c_str(), &r, &error) ? r.hostPath : "";
}

std::vector<std::string> TouchedFiles() {
    return M().touched;
}

}  // namespace sim
