// File handles of the simulated Windows: CreateFileA with its access, sharing and disposition
// rules, ReadFile, WriteFile (with the drive's write capacity), SetFilePointer, SetEndOfFile,
// SetFileTime and CloseHandle, plus the handles that tests open "from another process".
// The bytes live in host files under the drive's folder; attributes and times are the sim's.
// Every handle keeps its own position; sharing is checked both ways against every open
// handle of the same file, as Windows does.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const DWORD kGenericAll = 0x10000000u;
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  0x100u /* temporary */ | 0x1000u /* offline */ |
                                  0x2000u /* not content indexed */;
const DWORD kErrorWriteProtect = 19;
const DWORD kGuardedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool Reads(DWORD access) {
    return (access & (GENERIC_READ | kGenericAll)) != 0;
}
bool Writes(DWORD access) {
    return (access & (GENERIC_WRITE | kGenericAll)) != 0;
}

// A handle without data access (neither read nor write) takes no part in sharing, as on
// Windows, where attribute-only opens are not checked against the share modes.
bool ShareConflict(const std::string& key, DWORD access, DWORD share) {
    if (!Reads(access) && !Writes(access)) return false;
    for (const auto& entry : M().files) {
        const OpenFile& open = entry.second;
        if (open.key != key || (!Reads(open.access) && !Writes(open.access))) continue;
        if (Reads(access) && !(open.share & FILE_SHARE_READ)) return true;
        if (Writes(access) && !(open.share & FILE_SHARE_WRITE)) return true;
        if (Reads(open.access) && !(share & FILE_SHARE_READ)) return true;
        if (Writes(open.access) && !(share & FILE_SHARE_WRITE)) return true;
    }
    return false;
}

OpenFile* FindOpenFile(HANDLE handle) {
    auto it = M().files.find(reinterpret_cast<uintptr_t>(handle));
    if (it == M().files.end() || it->second.otherProcess) return nullptr;
    return &it->second;
}

// What ReadFile and WriteFile check before moving a byte, in Windows' order: the count done is
// zeroed first, then the handle, the arguments and the handle's access are checked. The open
// file, or nullptr with the last error set.
OpenFile* TransferFile(HANDLE handle, const void* buffer, DWORD count, LPDWORD done,
                       bool (*allowed)(DWORD access)) {
    OpenFile* file = FindOpenFile(handle);
    if (done) *done = 0;
    if (!file) return SetError(ERROR_INVALID_HANDLE), nullptr;
    if (!done || (!buffer && count)) return SetError(ERROR_INVALID_PARAMETER), nullptr;
    if (!allowed(file->access)) return SetError(ERROR_ACCESS_DENIED), nullptr;
    return file;
}

uint64_t HostSize(const std::string& hostPath) {
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(hostPath, ec);
    return ec ? 0 : size;
}

int ResizeHostFile(const std::string& hostPath, uint64_t size) {
    return truncate(hostPath.c_str(), (off_t)size) == 0;
}

int CreateEmptyHostFile(const std::string& hostPath) {
    int fd = open(hostPath.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) return 0;
    close(fd);
    return 1;
}

HANDLE FailOpen(DWORD error) {
    SetError(error);
    return INVALID_HANDLE_VALUE;
}

// A new file: host file, alias, metadata with ARCHIVE and the current time.
int CreateNewFile(const Resolved& r, DWORD flagsAndAttributes) {
    RegisterCreatedName(ParentKey(r), ParentHostPath(r), r.names.back());
    if (!CreateEmptyHostFile(r.hostPath)) return 0;
    FileMeta meta = DefaultMeta(false);
    meta.attributes = (flagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    meta.creation = meta.lastAccess = meta.lastWrite = WallClockNow();
    M().meta[r.key] = meta;
    NoteTouched(r.simPath);
    return 1;
}

// Checks and effects of opening an existing file; returns the last-error code of a refusal
// or 0.
DWORD OpenExistingFile(const Resolved& r, DWORD access, DWORD share, DWORD disposition,
                       DWORD flagsAndAttributes) {
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (disposition == TRUNCATE_EXISTING && !Writes(access)) return ERROR_INVALID_PARAMETER;
    FileMeta& meta = MetaFor(r);
    if ((Writes(access) || truncates) && r.drive->writeProtected) return kErrorWriteProtect;
    if ((Writes(access) || truncates) && (meta.attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    // Overwriting a hidden or system file needs the caller to ask for the same attributes, so
    // that nobody replaces one by mistake (TRUNCATE_EXISTING overwrites as CREATE_ALWAYS does).
    if (truncates && (meta.attributes & kGuardedAttributes & ~flagsAndAttributes))
        return ERROR_ACCESS_DENIED;
    // The image of a running program is open for reading and sharing reads only.
    if ((Writes(access) || truncates) && ProgramRunning(r.key)) return ERROR_SHARING_VIOLATION;
    if (ShareConflict(r.key, access, share)) return ERROR_SHARING_VIOLATION;
    if (truncates) {
        if (!ResizeHostFile(r.hostPath, 0)) return ERROR_ACCESS_DENIED;
        meta.lastWrite = WallClockNow();
        if (disposition == CREATE_ALWAYS)
            meta.attributes = (flagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
        NoteTouched(r.simPath);
    }
    return 0;
}

}  // namespace

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

// A new handle on the resolved file, with its own position at the start.
static uintptr_t RegisterOpenFile(const Resolved& r, DWORD access, DWORD share, bool otherProcess) {
    uintptr_t handle = NewHandle();
    OpenFile& open = M().files[handle];
    open.simPath = r.simPath;
    open.key = r.key;
    open.hostPath = r.hostPath;
    open.drive = r.drive->letter;  // the configured letter: the key of capacityLeft
    open.access = access;
    open.share = share;
    open.otherProcess = otherProcess;
    return handle;
}

HANDLE WINAPI Sim_CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                              LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                              DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                              HANDLE /*hTemplateFile*/) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpFileName, &r, &error)) return FailOpen(error);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
        return FailOpen(ERROR_INVALID_PARAMETER);
    if (r.path.parts.empty() || r.isDirectory) return FailOpen(ERROR_ACCESS_DENIED);
    // "C:\X.TXT\" names no file.
    if (r.path.trailingSeparator) return FailOpen(ERROR_INVALID_NAME);
    if (!r.parentExists) return FailOpen(ERROR_PATH_NOT_FOUND);
    DWORD lastError = 0;
    if (!r.exists) {
        if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)
            return FailOpen(ERROR_FILE_NOT_FOUND);
        if (r.drive->writeProtected) return FailOpen(kErrorWriteProtect);
        if (!CreateNewFile(r, dwFlagsAndAttributes)) return FailOpen(ERROR_ACCESS_DENIED);
    } else {
        error = OpenExistingFile(r, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                 dwFlagsAndAttributes);
        if (error) return FailOpen(error);
        if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
            lastError = ERROR_ALREADY_EXISTS;
    }
    uintptr_t handle = RegisterOpenFile(r, dwDesiredAccess, dwShareMode, false);
    Record("open", {F("path", r.simPath), N("access", dwDesiredAccess), N("share", dwShareMode),
                    N("disposition", dwCreationDisposition), N("handle", (long long)handle)});
    SetError(lastError);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI Sim_ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                         LPDWORD lpNumberOfBytesRead, LPOVERLAPPED /*lpOverlapped*/) {
    OpenFile* file =
        TransferFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, Reads);
    if (!file) return FALSE;
    int fd = open(file->hostPath.c_str(), O_RDONLY);
    if (fd < 0) return SetError(ERROR_READ_FAULT), FALSE;
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
        ssize_t got = pread(fd, (char*)lpBuffer + total, nNumberOfBytesToRead - total,
                            (off_t)(file->position + total));
        if (got <= 0) break;
        total += (DWORD)got;
    }
    close(fd);
    file->position += total;
    *lpNumberOfBytesRead = total;
    return TRUE;
}

namespace {

// Bytes of this write that fit within the drive's remaining capacity (-1: unlimited). Only
// growth of the file consumes capacity.
DWORD BytesThatFit(const OpenFile& file, DWORD wanted, uint64_t* growth) {
    uint64_t size = HostSize(file.hostPath);
    uint64_t end = file.position + wanted;
    *growth = end > size ? end - size : 0;
    int64_t left = M().capacityLeft[file.drive];
    if (left < 0 || (int64_t)*growth <= left) return wanted;
    uint64_t limit = size + (uint64_t)left;  // the file may reach this size
    DWORD fits = limit > file.position ? (DWORD)(limit - file.position) : 0;
    *growth = left;
    return fits < wanted ? fits : wanted;
}

int WriteHost(const OpenFile& file, const void* bytes, DWORD count) {
    int fd = open(file.hostPath.c_str(), O_WRONLY);
    if (fd < 0) return 0;
    DWORD done = 0;
    while (done < count) {
        ssize_t put =
            pwrite(fd, (const char*)bytes + done, count - done, (off_t)(file.position + done));
        if (put <= 0) break;
        done += (DWORD)put;
    }
    // A write that starts past the end fills the gap with zeros, as the host does.
    close(fd);
    return done == count;
}

}  // namespace

BOOL WINAPI Sim_WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                          LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED /*lpOverlapped*/) {
    OpenFile* file =
        TransferFile(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, Writes);
    if (!file) return FALSE;
    const sim::DriveConfig* drive = FindDrive(file->drive);
    uint64_t growth = 0;
    DWORD count = BytesThatFit(*file, nNumberOfBytesToWrite, &growth);
    if (count < nNumberOfBytesToWrite && drive && drive->fullIsError) {
        Record("write", {F("path", file->simPath), N("bytes", nNumberOfBytesToWrite),
                         N("written", 0), F("error", "disk full")});
        return SetError(ERROR_DISK_FULL), FALSE;
    }
    if (count && !WriteHost(*file, lpBuffer, count)) return SetError(ERROR_WRITE_FAULT), FALSE;
    int64_t& left = M().capacityLeft[file->drive];
    if (left >= 0) left -= (int64_t)growth;
    file->position += count;
    *lpNumberOfBytesWritten = count;
    MetaForFile(file->key).lastWrite = WallClockNow();
    NoteTouched(file->simPath);
    Record("write",
           {F("path", file->simPath), N("bytes", nNumberOfBytesToWrite), N("written", count)});
    return TRUE;
}

DWORD WINAPI Sim_SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                DWORD dwMoveMethod) {
    OpenFile* file = FindOpenFile(hFile);
    if (!file) return SetError(ERROR_INVALID_HANDLE), INVALID_SET_FILE_POINTER;
    int64_t distance = lpDistanceToMoveHigh
                           ? (int64_t)(((uint64_t)(uint32_t)*lpDistanceToMoveHigh << 32) |
                                       (uint32_t)lDistanceToMove)
                           : (int64_t)lDistanceToMove;
    int64_t base = 0;
    if (dwMoveMethod == FILE_CURRENT) {
        base = (int64_t)file->position;
    } else if (dwMoveMethod == FILE_END) {
        base = (int64_t)HostSize(file->hostPath);
    } else if (dwMoveMethod != FILE_BEGIN) {
        return SetError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + distance;
    if (target < 0) return SetError(ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFELL)
        return SetError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    file->position = (uint64_t)target;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = (LONG)(uint32_t)(file->position >> 32);
    SetError(NO_ERROR);
    return (DWORD)(file->position & 0xFFFFFFFFu);
}

BOOL WINAPI Sim_SetEndOfFile(HANDLE hFile) {
    OpenFile* file = FindOpenFile(hFile);
    if (!file) return SetError(ERROR_INVALID_HANDLE), FALSE;
    if (!Writes(file->access)) return SetError(ERROR_ACCESS_DENIED), FALSE;
    if (!ResizeHostFile(file->hostPath, file->position)) return SetError(ERROR_WRITE_FAULT), FALSE;
    NoteTouched(file->simPath);
    Record("truncate", {F("path", file->simPath), N("size", (long long)file->position)});
    return TRUE;
}

BOOL WINAPI Sim_CloseHandle(HANDLE hObject) {
    OpenFile* file = FindOpenFile(hObject);
    if (!file) return SetError(ERROR_INVALID_HANDLE), FALSE;
    std::string path = file->simPath;
    M().files.erase(reinterpret_cast<uintptr_t>(hObject));
    Record("close", {F("path", path)});
    return TRUE;
}

BOOL WINAPI Sim_SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime,
                            const FILETIME* lpLastAccessTime, const FILETIME* lpLastWriteTime) {
    OpenFile* file = FindOpenFile(hFile);
    if (!file) return SetError(ERROR_INVALID_HANDLE), FALSE;
    if (!Writes(file->access)) return SetError(ERROR_ACCESS_DENIED), FALSE;
    FileMeta& meta = MetaForFile(file->key);
    if (lpCreationTime) meta.creation = *lpCreationTime;
    if (lpLastAccessTime) meta.lastAccess = *lpLastAccessTime;
    if (lpLastWriteTime) meta.lastWrite = *lpLastWriteTime;
    NoteTouched(file->simPath);
    Record("filetime",
           {F("path", file->simPath),
            F("written", lpLastWriteTime ? sim::FormatFileTime(*lpLastWriteTime) : "")});
    return TRUE;
}

namespace sim {

int OpenAsOtherProcess(const std::string& path, DWORD access, DWORD shareMode) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists || r.isDirectory) return -1;
    if (ShareConflict(r.key, access, shareMode)) return -1;
    uintptr_t handle = RegisterOpenFile(r, access, shareMode, true);
    int token = M().nextOtherToken++;
    M().otherProcessTokens[token] = handle;
    return token;
}

void CloseOtherProcessFile(int token) {
    auto it = M().otherProcessTokens.find(token);
    if (it == M().otherProcessTokens.end()) return;
    M().files.erase(it->second);
    M().otherProcessTokens.erase(it);
}

}  // namespace sim
