// The conformance machine on the real API (under Wine in the tests): the scratch folder on
// C:, registry values and WIN.INI entries written with the API itself, a window of our own for
// FindWindowA, and this test program's own image as the program WinExec starts.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/wine/conformance/machine.h"

namespace conformance {

namespace {
std::vector<HWND> windows;

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}
}  // namespace

void FreshMachine() {
    RemoveTree(Scratch());
    CreateDirectoryA(Scratch().c_str(), NULL);
    SetCurrentDirectoryA("C:\\");
}

void CleanUp() {
    RestorePlatformCalls();
    for (HWND window : windows) DestroyWindow(window);
    windows.clear();
    SetCurrentDirectoryA("C:\\");
    RemoveTree(Scratch());
}

std::string Scratch(const std::string& name) {
    return name.empty() ? "C:\\QVCONF" : "C:\\QVCONF\\" + name;
}

void PutFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
}

std::string FileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, NULL);
    CloseHandle(file);
    return bytes.substr(0, read);
}

FILETIME LastWriteTime(const std::string& path) {
    FILETIME written = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    GetFileTime(file, NULL, NULL, &written);
    CloseHandle(file);
    return written;
}

// The test program itself: started with a filter that matches no test, it ends at once.
void PutProgram(const std::string& path) {
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    CopyFileA(self, path.c_str(), FALSE);
}

void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& value) {
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                    NULL);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)value.c_str(),
                   (DWORD)value.size() + 1);
    RegCloseKey(key);
}

void SetProfileString(const std::string& section, const std::string& key,
                      const std::string& value) {
    WriteProfileStringA(section.c_str(), key.c_str(), value.c_str());
}

bool ShowWindowOfClass(const std::string& className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className.c_str();
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(className.c_str(), "", WS_OVERLAPPED, 0, 0, 100, 100, NULL, NULL,
                                windowClass.hInstance, NULL);
    if (window) windows.push_back(window);
    return window != NULL;
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace conformance
