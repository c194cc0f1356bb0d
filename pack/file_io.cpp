// POSIX file access behind the packaging tool's small file interface.
#include "pack/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "pack/pack_error.h"

namespace {

[[noreturn]] void FailFile(const char* what, const std::string& path) {
    throw PackError(std::string("cannot ") + what + " " + path + ": " + strerror(errno));
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) FailFile("open", path);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool failed = ferror(f);
    fclose(f);
    if (failed) FailFile("read", path);
    return bytes;
}

void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::string temporary = path + ".partial";
    FILE* f = fopen(temporary.c_str(), "wb");
    if (!f) FailFile("create", temporary);
    bool ok = (size == 0 || fwrite(data, 1, size, f) == size);
    ok = (fclose(f) == 0) && ok;
    if (!ok) {
        int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        FailFile("write", path);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) FailFile("rename into", path);
}

void MakeDirectories(const std::string& path) {
    for (size_t at = 1; at <= path.size(); at++) {
        if (at != path.size() && path[at] != '/') continue;
        std::string prefix = path.substr(0, at);
        struct stat st;
        if (stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) FailFile("create folder", prefix);
    }
}

void SetFileTimeUtc(const std::string& path, const DosDateTime& when) {
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
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) FailFile("set the time of", path);
}
