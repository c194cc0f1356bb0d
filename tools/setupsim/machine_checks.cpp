// setupsim's checks of machine-file values: see machine_checks.h.
#include "tools/setupsim/machine_checks.h"

#include <ctype.h>
#include <string.h>

#include <filesystem>

#include "tools/common/ascii.h"

namespace fs = std::filesystem;

namespace {

const size_t kMaxPath = 260;  // Windows' MAX_PATH, the terminator included

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool RefusedInNames(unsigned char c) {
    return c < 32 || strchr("<>:\"|?*", c) != nullptr;
}

bool HasDrive(const std::vector<sim::DriveConfig>& drives, char letter) {
    for (const sim::DriveConfig& drive : drives)
        if (toupper((unsigned char)drive.letter) == toupper((unsigned char)letter)) return true;
    return false;
}

// The text after the hive's name when `key` starts with it and a separator ("" otherwise).
bool DropPrefix(const std::string& key, const char* hive, std::string* rest) {
    size_t length = strlen(hive);
    if (key.size() <= length || !IsSeparator(key[length])) return false;
    if (AsciiUpperCopy(key.substr(0, length)) != hive) return false;
    *rest = key.substr(length + 1);
    return true;
}

}  // namespace

std::string SimPathProblem(const std::string& path, const std::vector<sim::DriveConfig>& drives) {
    if (path.empty()) return "is empty";
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return "is a network (UNC) path; give a drive path such as C:\\NAME";
    if (path.size() < 3 || !isalpha((unsigned char)path[0]) || path[1] != ':' ||
        !IsSeparator(path[2]))
        return "must be a full path with a drive, such as C:\\NAME";
    if (path.size() >= kMaxPath) return "is longer than Windows allows (259 characters)";
    for (size_t i = 2; i < path.size(); i++)
        if (RefusedInNames((unsigned char)path[i]))
            return "holds a character Windows refuses in names (<>:\"|?* or a control character)";
    if (!HasDrive(drives, path[0]))
        return std::string("is on drive ") + (char)toupper((unsigned char)path[0]) +
               ": which the machine does not have";
    return "";
}

std::string LocalMachineKey(const std::string& key, std::string* problem) {
    std::string rest = key;
    if (!DropPrefix(key, "HKEY_LOCAL_MACHINE", &rest)) DropPrefix(key, "HKLM", &rest);
    std::string hive = AsciiUpperCopy(rest.substr(0, rest.find_first_of("\\/")));
    if (rest.empty())
        *problem = "a registry key needs a path below HKEY_LOCAL_MACHINE";
    else if (hive.rfind("HKEY_", 0) == 0 || hive == "HKCU" || hive == "HKCR" || hive == "HKU" ||
             hive == "HKCC")
        *problem = "only keys of HKEY_LOCAL_MACHINE are simulated, not " + hive;
    return rest;
}

std::string HostPathFrom(const std::string& baseFile, const std::string& path) {
    fs::path given(path);
    if (path.empty() || given.is_absolute()) return path;
    return (fs::path(baseFile).parent_path() / given).string();
}

std::string HostPathProblem(const std::string& path, HostKind kind) {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "does not exist";
    if (kind == HostKind::Folder) return fs::is_directory(status) ? "" : "is not a folder";
    if (fs::is_directory(status)) return "is a folder, not a file";
    if (!fs::is_regular_file(status)) return "is not a regular file";
    return "";
}
