// File access behind the packaging tool's small file interface. Whole files go through stdio
// on every system. Replacing a file, folders, file times and path roots differ between POSIX
// and Windows: each has one section below defining the same few helpers.
#include "pack/file_io.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

#include "pack/pack_error.h"

namespace {

[[noreturn]] void FailFile(const char* what, const std::string& path, const std::string& reason) {
    throw PackError(std::string("cannot ") + what + " " + path + ": " + reason);
}

std::string ErrnoReason() {
    return strerror(errno);
}

#ifdef _WIN32

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// "C:", "C:\" and a leading separator ("\folder", "\\server\share") root a path.
size_t RootLength(const std::string& path) {
    size_t at = (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0])) ? 2 : 0;
    return at < path.size() && IsSeparator(path[at]) ? at + 1 : at;
}

std::string SystemReason() {
    DWORD code = GetLastError();
    char text[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && isspace((unsigned char)text[n - 1])) n--;
    return n ? std::string(text, n) : "error " + std::to_string(code);
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

// rename() does not replace an existing file on Windows; MoveFileEx does.
bool MoveOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// A FILETIME counts UTC; SystemTimeToFileTime converts calendar fields without any zone.
bool SetModifiedTime(const std::string& path, const DosDateTime& when) {
    SYSTEMTIME calendar = {};
    calendar.wYear = (WORD)when.year;
    calendar.wMonth = (WORD)when.month;
    calendar.wDay = (WORD)when.day;
    calendar.wHour = (WORD)when.hour;
    calendar.wMinute = (WORD)when.minute;
    calendar.wSecond = (WORD)when.second;
    FILETIME stamp;
    if (!SystemTimeToFileTime(&calendar, &stamp)) return false;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool set = SetFileTime(file, nullptr, &stamp, &stamp) != 0;
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return set;
}

// Opens a new file for writing; fails on any existing name.
FILE* OpenNewFile(const std::string& path) {
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

// Windows has no FIFOs a path can name; devices are refused by name elsewhere.
FILE* OpenRegularForReading(const std::string& path, std::string* why) {
    if (IsFolder(path)) {
        *why = "is a directory, not a file";
        return nullptr;
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) *why = errno == ENOENT ? "not found" : "cannot be opened: " + ErrnoReason();
    return f;
}

bool IsLink(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool StatRegularFile(const std::string& path, FileFacts* facts) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME utc;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc))
        return false;
    facts->size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    facts->modified =
        DosDateTime{utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    return true;
}

#else

bool IsSeparator(char c) {
    return c == '/';
}

size_t RootLength(const std::string& path) {
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

std::string SystemReason() {
    return ErrnoReason();
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

bool MoveOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool SetModifiedTime(const std::string& path, const DosDateTime& when) {
    struct tm calendar = {};
    calendar.tm_year = when.year - 1900;
    calendar.tm_mon = when.month - 1;
    calendar.tm_mday = when.day;
    calendar.tm_hour = when.hour;
    calendar.tm_min = when.minute;
    calendar.tm_sec = when.second;
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = timegm(&calendar);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

FILE* OpenNewFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "wb");
    if (!f) close(fd);
    return f;
}

// Opened without waiting (a FIFO with no writer would block an ordinary open), then refused
// unless it is a regular file.
FILE* OpenRegularForReading(const std::string& path, std::string* why) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ENOENT ? "not found" : "cannot be opened: " + ErrnoReason();
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = S_ISDIR(st.st_mode) ? "is a directory, not a file" : "is not a regular file";
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, "rb");
    if (!f) {
        *why = "cannot be opened: " + ErrnoReason();
        close(fd);
    }
    return f;
}

bool IsLink(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool StatRegularFile(const std::string& path, FileFacts* facts) {
    struct stat st;
    struct tm utc;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !gmtime_r(&st.st_mtime, &utc))
        return false;
    facts->size = (uint64_t)st.st_size;
    facts->modified = DosDateTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                                  utc.tm_hour,        utc.tm_min,     utc.tm_sec};
    return true;
}

#endif

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::string why;
    FILE* f = OpenRegularForReading(path, &why);
    const std::string unopened = "cannot be opened: ";
    if (!f && why == "not found") FailFile("open", path, strerror(ENOENT));
    if (!f && why.rfind(unopened, 0) == 0) FailFile("open", path, why.substr(unopened.size()));
    if (!f) throw PackError(path + " " + why);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool failed = ferror(f);
    std::string reason = ErrnoReason();
    fclose(f);
    if (failed) FailFile("read", path, reason);
    return bytes;
}

std::string WriteExclusiveTemporary(const std::string& base, const uint8_t* data, size_t size) {
    std::string temporary;
    FILE* f = nullptr;
    for (int attempt = 0; attempt < 100 && !f; attempt++) {
        temporary = base + ".partial" + (attempt ? std::to_string(attempt) : "");
        f = OpenNewFile(temporary);
        if (!f && errno != EEXIST) FailFile("create", temporary, ErrnoReason());
    }
    if (!f) FailFile("create", base + ".partial", "every temporary name is taken");
    bool ok = (size == 0 || fwrite(data, 1, size, f) == size);
    std::string reason = ErrnoReason();
    if (fclose(f) != 0 && ok) {
        ok = false;
        reason = ErrnoReason();
    }
    if (!ok) {
        remove(temporary.c_str());
        FailFile("write", base, reason);
    }
    return temporary;
}

void MoveIntoPlace(const std::string& from, const std::string& to) {
    if (MoveOver(from, to)) return;
    std::string reason = SystemReason();
    remove(from.c_str());
    FailFile("rename into", to, reason);
}

void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
    if (IsFolder(path)) throw PackError("cannot write " + path + ": it is a directory");
    MoveIntoPlace(WriteExclusiveTemporary(path, data, size), path);
}

bool IsFolderPath(const std::string& path) {
    return IsFolder(path);
}

bool IsLinkPath(const std::string& path) {
    return IsLink(path);
}

std::string MakeFoldersBelow(const std::string& root, const std::vector<std::string>& folders) {
    MakeDirectories(root);
    std::string path = root + "/";
    for (const std::string& folder : folders) {
        path += folder;
        if (IsLink(path)) throw PackError("cannot write into " + path + ": it is a link");
        if (!IsFolder(path) && !MakeFolder(path)) FailFile("create folder", path, SystemReason());
        path += "/";
    }
    return path;
}

// Checks from the full path upwards, so that only missing folders are created, never a
// root or a network share.
void MakeDirectories(const std::string& path) {
    if (path.empty() || IsFolder(path)) return;
    std::string parent = FolderOf(path);
    if (parent != path) MakeDirectories(parent);
    if (MakeFolder(path)) return;
    std::string reason = SystemReason();
    if (IsFolder(path)) return;
    FileFacts facts;
    if (StatRegularFile(path, &facts)) reason = "a file of that name is in the way";
    FailFile("create folder", path, reason);
}

void SetFileTimeUtc(const std::string& path, const DosDateTime& when) {
    if (!SetModifiedTime(path, when)) FailFile("set the time of", path, SystemReason());
}

bool ReadFileFacts(const std::string& path, FileFacts* facts) {
    return StatRegularFile(path, facts);
}

std::string WhyNotReadable(const std::string& path) {
    if (IsFolder(path)) return "is a directory, not a file";
    std::string why;
    FILE* f = OpenRegularForReading(path, &why);
    if (f) fclose(f);
    return why;
}

std::string FolderOf(const std::string& path) {
    size_t root = RootLength(path);
    size_t cut = path.size();
    while (cut > root && !IsSeparator(path[cut - 1])) cut--;
    while (cut > root && IsSeparator(path[cut - 1])) cut--;
    if (cut == 0) return ".";
    return path.substr(0, cut);
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
    if (folder.empty() || RootLength(path) > 0) return path;
    bool ends = IsSeparator(folder.back()) || RootLength(folder) == folder.size();
    return ends ? folder + path : folder + "/" + path;
}
