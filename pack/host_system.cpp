// The host calls of host_system.h: one section for Windows and one for POSIX, each defining
// the same functions, then the date arithmetic both share. No other file of the tools holds
// an #ifdef _WIN32.
#include "pack/host_system.h"

#include <ctype.h>
#include <errno.h>
#include <string.h>
#include <time.h>

#include <tuple>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

std::string ErrnoReason() {
    return strerror(errno);
}

DosDateTime CalendarOf(const struct tm& utc) {
    return DosDateTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                       utc.tm_hour,        utc.tm_min,     utc.tm_sec};
}

struct tm TmOf(const DosDateTime& when) {
    struct tm calendar = {};
    calendar.tm_year = when.year - 1900;
    calendar.tm_mon = when.month - 1;
    calendar.tm_mday = when.day;
    calendar.tm_hour = when.hour;
    calendar.tm_min = when.minute;
    calendar.tm_sec = when.second;
    return calendar;
}

}  // namespace

// Each section: the two calendar calls the shared date functions at the end build on, then
// the functions of host_system.h.
#ifdef _WIN32

static time_t HostTimeOfUtc(struct tm* utc) {
    return _mkgmtime(utc);
}

static bool HostUtcOfTime(time_t moment, struct tm* utc) {
    return gmtime_s(utc, &moment) == 0;
}

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

size_t PathRootLength(const std::string& path) {
    size_t at = (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0])) ? 2 : 0;
    return at < path.size() && IsPathSeparator(path[at]) ? at + 1 : at;
}

std::string HostErrorReason() {
    DWORD code = GetLastError();
    char text[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && isspace((unsigned char)text[n - 1])) n--;
    return n ? std::string(text, n) : "error " + std::to_string(code);
}

bool HostIsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HostMakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool HostIsLink(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// rename() does not replace an existing file on Windows; MoveFileEx does.
bool HostMoveOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// A FILETIME counts UTC; SystemTimeToFileTime converts calendar fields without any zone.
bool HostSetModifiedTime(const std::string& path, const DosDateTime& when) {
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

FILE* HostOpenNewFile(const std::string& path) {
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

// Windows has no FIFOs a path can name; devices are refused by name elsewhere.
FILE* HostOpenRegularForReading(const std::string& path, std::string* why) {
    if (HostIsFolder(path)) {
        *why = "is a directory, not a file";
        return nullptr;
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) *why = errno == ENOENT ? "not found" : "cannot be opened: " + ErrnoReason();
    return f;
}

bool HostStatRegularFile(const std::string& path, uint64_t* size, DosDateTime* modified) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME utc;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc))
        return false;
    *size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    *modified = DosDateTime{utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    return true;
}

std::string HostExecutablePath() {
    char path[4096] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    if (length == 0 || length >= sizeof path - 1) return "";
    return path;
}

ProgramRun RunProgram(const std::vector<std::string>&, const ProgramEnvironment&) {
    return ProgramRun{};
}

bool HostRunsPrograms() {
    return false;
}

#else

static time_t HostTimeOfUtc(struct tm* utc) {
    return timegm(utc);
}

static bool HostUtcOfTime(time_t moment, struct tm* utc) {
    return gmtime_r(&moment, utc) != nullptr;
}

bool IsPathSeparator(char c) {
    return c == '/';
}

size_t PathRootLength(const std::string& path) {
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

std::string HostErrorReason() {
    return ErrnoReason();
}

bool HostIsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HostMakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

bool HostIsLink(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool HostMoveOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool HostSetModifiedTime(const std::string& path, const DosDateTime& when) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = (time_t)SecondsSince1970(when);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

FILE* HostOpenNewFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "wb");
    if (!f) close(fd);
    return f;
}

// Opened without waiting (a FIFO with no writer would block an ordinary open), then refused
// unless it is a regular file.
FILE* HostOpenRegularForReading(const std::string& path, std::string* why) {
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

bool HostStatRegularFile(const std::string& path, uint64_t* size, DosDateTime* modified) {
    struct stat st;
    DosDateTime utc;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !UtcCalendar(st.st_mtime, &utc))
        return false;
    *size = (uint64_t)st.st_size;
    *modified = utc;
    return true;
}

std::string HostExecutablePath() {
    char path[4096] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    path[length] = '\0';
    return path;
}

// fork and exec with one pipe for both output streams.
ProgramRun RunProgram(const std::vector<std::string>& args, const ProgramEnvironment& environment) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return ProgramRun{};
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ProgramRun ran;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) ran.output.append(buffer, got);
    close(pipeFds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) return ProgramRun{};
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

bool HostRunsPrograms() {
    return true;
}

#endif

long long SecondsSince1970(const DosDateTime& when) {
    struct tm utc = TmOf(when);
    return (long long)HostTimeOfUtc(&utc);
}

bool UtcCalendar(long long seconds, DosDateTime* when) {
    struct tm utc {};
    bool converted = HostUtcOfTime((time_t)seconds, &utc);
    *when = CalendarOf(utc);
    return converted;
}

bool IsEarlier(const DosDateTime& a, const DosDateTime& b) {
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}
