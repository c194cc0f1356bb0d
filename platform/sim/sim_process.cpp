// The process side of the simulated Windows: the module's file name, the current, Windows and
// system directories, and WinExec. WinExec finds its program as Windows does for an unquoted
// command line with blanks: the prefixes ending at each blank, shortest first, then the whole
// line, each as given when it has an extension and else with ".exe" added (never bare); a
// bare name is looked for in the module's directory, the current directory, the system
// directory and the Windows directory. The result is the configured one (by full path or bare
// name), else 33 for a program file that starts with "MZ", 11 (ERROR_BAD_FORMAT) for one that
// does not, and for no program the error of the last attempt (the whole line): 3 when its
// folder is missing, else 2. Nothing runs: the launch is recorded.
#include <string.h>

#include <fstream>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const DWORD kErrorDirectory = 267;
const UINT kErrorBadFormat = 11;
const UINT kStarted = 33;

// Copies `text` when it fits with its terminator: returns its length; else the size needed.
DWORD CopyOrNeed(const std::string& text, LPSTR buffer, DWORD size) {
    if (text.size() + 1 > size || !buffer) return (DWORD)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (DWORD)text.size();
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string BareName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasExtension(const std::string& path) {
    return BareName(path).find('.') != std::string::npos;
}

bool IsExistingFile(const std::string& path, std::string* found) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(path.c_str(), &r, &error) || !r.exists || r.isDirectory) return false;
    *found = r.simPath;
    return true;
}

bool IsBareName(const std::string& candidate) {
    return candidate.find_first_of("\\/:") == std::string::npos;
}

// The file a candidate names: itself when it has an extension, else with ".exe".
std::string ProgramFileName(const std::string& candidate) {
    return HasExtension(candidate) ? candidate : candidate + ".exe";
}

// The full path of the program named by `candidate`, or "".
std::string FindProgram(const std::string& candidate) {
    std::string name = ProgramFileName(candidate);
    std::vector<std::string> dirs = {""};
    if (IsBareName(candidate))
        dirs = {DirectoryOf(M().config.modulePath), M().currentDir, M().config.systemDir,
                M().config.windowsDir};
    std::string found;
    for (const std::string& dir : dirs)
        if (IsExistingFile(dir.empty() ? name : dir + "\\" + name, &found)) return found;
    return "";
}

// WinExec's result when `candidate` names no program: 3 when the folder it names is missing
// (or its drive), else 2.
UINT MissingProgramResult(const std::string& candidate) {
    if (IsBareName(candidate)) return ERROR_FILE_NOT_FOUND;
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(ProgramFileName(candidate).c_str(), &r, &error))
        return error == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Windows loads only executable images, which start with "MZ".
bool IsExecutableImage(const std::string& program) {
    std::ifstream in(sim::HostPath(program), std::ios::binary);
    char magic[2] = {0, 0};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

// Prefixes of the command line that can name the program, in the order Windows tries them.
std::vector<std::string> ProgramCandidates(const std::string& line) {
    std::vector<std::string> candidates;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        candidates.push_back(
            line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return candidates;
    }
    for (size_t i = 0; i < line.size(); i++)
        if (line[i] == ' ' && i > 0 && line[i - 1] != ' ') candidates.push_back(line.substr(0, i));
    candidates.push_back(line);
    return candidates;
}

bool ConfiguredResult(const std::string& program, UINT* result) {
    const std::map<std::string, UINT>& results = M().launchResults;
    auto byPath = results.find(UpperAscii(program));
    if (byPath != results.end()) return *result = byPath->second, true;
    auto byName = results.find(UpperAscii(BareName(program)));
    if (byName != results.end()) return *result = byName->second, true;
    if (!HasExtension(program)) return ConfiguredResult(program + ".exe", result);
    return false;
}

}  // namespace

bool ProgramRunning(const std::string& key) {
    auto running = M().runningPrograms.find(key);
    return running != M().runningPrograms.end() && M().now < running->second;
}

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

DWORD WINAPI Sim_GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (hModule && hModule != sim::ModuleInstance()) return SetError(126), 0;
    const std::string& path = M().config.modulePath;
    if (nSize == 0 || !lpFilename) return SetError(ERROR_INSUFFICIENT_BUFFER), 0;
    if (path.size() + 1 > nSize) {
        memcpy(lpFilename, path.c_str(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    memcpy(lpFilename, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

DWORD WINAPI Sim_GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    return CopyOrNeed(M().currentDir, lpBuffer, nBufferLength);
}

BOOL WINAPI Sim_SetCurrentDirectoryA(LPCSTR lpPathName) {
    Resolved r;
    DWORD error = 0;
    if (!ResolvePath(lpPathName, &r, &error)) return SetError(error), FALSE;
    if (!r.exists) return SetError(MissingError(r)), FALSE;
    if (!r.isDirectory) return SetError(kErrorDirectory), FALSE;
    // Windows keeps the case the caller typed for the current directory.
    M().currentDir = JoinSimPath(r.path.drive, r.path.parts);
    return TRUE;
}

UINT WINAPI Sim_GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyOrNeed(M().config.windowsDir, lpBuffer, uSize);
}

UINT WINAPI Sim_GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyOrNeed(M().config.systemDir, lpBuffer, uSize);
}

// A started program holds its file until it ends, programRunMs later.
static void NoteProgramRunning(const std::string& program) {
    Resolved r;
    DWORD error = 0;
    if (M().config.programRunMs <= 0 || !ResolvePath(program.c_str(), &r, &error)) return;
    M().runningPrograms[r.key] = M().now + (uint64_t)M().config.programRunMs;
}

// The result for a command line that names no program: a configured one, else the error of
// the last candidate tried.
static UINT ResultWithoutProgram(const std::vector<std::string>& candidates) {
    UINT result = ERROR_FILE_NOT_FOUND;
    for (const std::string& candidate : candidates)
        if (!candidate.empty() && ConfiguredResult(candidate, &result)) return result;
    for (const std::string& candidate : candidates)
        if (!candidate.empty()) result = MissingProgramResult(candidate);
    return result;
}

UINT WINAPI Sim_WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    std::string line = lpCmdLine ? lpCmdLine : "";
    std::string program;
    std::vector<std::string> candidates = ProgramCandidates(line);
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) continue;
        program = FindProgram(candidate);
        if (!program.empty()) break;
    }
    UINT result = ERROR_FILE_NOT_FOUND;
    if (program.empty())
        result = ResultWithoutProgram(candidates);
    else if (!ConfiguredResult(program, &result))
        result = IsExecutableImage(program) ? kStarted : kErrorBadFormat;
    if (result < 32) SetError(result);
    if (result >= 32 && !program.empty()) NoteProgramRunning(program);
    Record("launch", {F("command", line), N("show", uCmdShow), F("cwd", M().currentDir),
                      F("program", program), N("result", result)});
    return result;
}
