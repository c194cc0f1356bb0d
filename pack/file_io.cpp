// File access behind the packaging tool's small file interface. Whole files go through stdio
// on every system; what differs between POSIX and Windows (replacing a file, folders, file
// times, path roots) is pack/host_system.cpp's.
#include "pack/file_io.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "pack/host_system.h"
#include "pack/pack_error.h"

namespace {

[[noreturn]] void FailFile(const char* what, const std::string& path, const std::string& reason) {
    throw PackError(std::string("cannot ") + what + " " + path + ": " + reason);
}

std::string ErrnoReason() {
    return strerror(errno);
}

}  // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::string why;
    FILE* f = HostOpenRegularForReading(path, &why);
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
        f = HostOpenNewFile(temporary);
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
    if (HostMoveOver(from, to)) return;
    std::string reason = HostErrorReason();
    remove(from.c_str());
    FailFile("rename into", to, reason);
}

void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
    if (HostIsFolder(path)) throw PackError("cannot write " + path + ": it is a directory");
    MoveIntoPlace(WriteExclusiveTemporary(path, data, size), path);
}

bool IsFolderPath(const std::string& path) {
    return HostIsFolder(path);
}

bool IsLinkPath(const std::string& path) {
    return HostIsLink(path);
}

std::string MakeFoldersBelow(const std::string& root, const std::vector<std::string>& folders) {
    MakeDirectories(root);
    std::string path = root + "/";
    for (const std::string& folder : folders) {
        path += folder;
        if (HostIsLink(path)) throw PackError("cannot write into " + path + ": it is a link");
        if (!HostIsFolder(path) && !HostMakeFolder(path))
            FailFile("create folder", path, HostErrorReason());
        path += "/";
    }
    return path;
}

// Checks from the full path upwards, so that only missing folders are created, never a
// root or a network share.
void MakeDirectories(const std::string& path) {
    if (path.empty() || HostIsFolder(path)) return;
    std::string parent = FolderOf(path);
    if (parent != path) MakeDirectories(parent);
    if (HostMakeFolder(path)) return;
    std::string reason = HostErrorReason();
    if (HostIsFolder(path)) return;
    FileFacts facts;
    if (ReadFileFacts(path, &facts)) reason = "a file of that name is in the way";
    FailFile("create folder", path, reason);
}

void SetFileTimeUtc(const std::string& path, const DosDateTime& when) {
    if (!HostSetModifiedTime(path, when)) FailFile("set the time of", path, HostErrorReason());
}

bool ReadFileFacts(const std::string& path, FileFacts* facts) {
    return HostStatRegularFile(path, &facts->size, &facts->modified);
}

std::string WhyNotReadable(const std::string& path) {
    if (HostIsFolder(path)) return "is a directory, not a file";
    std::string why;
    FILE* f = HostOpenRegularForReading(path, &why);
    if (f) fclose(f);
    return why;
}

std::string FolderOf(const std::string& path) {
    size_t root = PathRootLength(path);
    size_t cut = path.size();
    while (cut > root && !IsPathSeparator(path[cut - 1])) cut--;
    while (cut > root && IsPathSeparator(path[cut - 1])) cut--;
    if (cut == 0) return ".";
    return path.substr(0, cut);
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
    if (folder.empty() || PathRootLength(path) > 0) return path;
    bool ends = IsPathSeparator(folder.back()) || PathRootLength(folder) == folder.size();
    return ends ? folder + path : folder + "/" + path;
}
