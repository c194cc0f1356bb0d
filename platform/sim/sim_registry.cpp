// The registry (HKEY_LOCAL_MACHINE only) and WIN.INI of the simulated Windows, with the size
// rules that the installer's fixed buffers meet: RegQueryValueExA reports the size needed and
// ERROR_MORE_DATA, leaving a short buffer as it was; GetProfileStringA copies and truncates,
// without the quotation marks around a value.
// A key exists when it was created or lies above one that was. Keys marked with
// sim::DenyFullAccess refuse opens that ask for more than KEY_READ, as for a user without
// rights. Opened keys are counted for leak checks.
#include <string.h>

#include <algorithm>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

std::string KeyPathOf(HKEY key, bool* known) {
    *known = true;
    if (key == HKEY_LOCAL_MACHINE) return "";
    auto it = M().openKeys.find(reinterpret_cast<uintptr_t>(key));
    if (it != M().openKeys.end()) return it->second;
    *known = false;
    return "";
}

bool KeyExists(const std::string& path) {
    if (path.empty()) return true;
    for (const auto& entry : M().registry) {
        const std::string& key = entry.first;
        if (key == path || (key.size() > path.size() && key.compare(0, path.size(), path) == 0 &&
                            key[path.size()] == '\\'))
            return true;
    }
    return false;
}

}  // namespace

std::string RegistryPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += UpperChar(c);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

namespace {

// Copies at most size-1 characters and a terminator; returns the number copied.
DWORD CopyTruncated(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    DWORD count = (DWORD)std::min<size_t>(text.size(), size - 1);
    memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

// Windows drops one pair of matching quotation marks (double or single) around a value.
std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

// A list of names, each terminated, then a final terminator; truncated as Windows does.
DWORD CopyNameList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    if (size < 2) return buffer[0] = '\0', 0;
    std::string list;
    for (const std::string& name : names) list += name + '\0';
    if (list.size() + 1 <= size) {
        memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return (DWORD)list.size();
    }
    memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = buffer[size - 1] = '\0';
    return size - 2;
}

}  // namespace
}  // namespace detail
}  // namespace sim

using namespace sim::detail;

LONG WINAPI Sim_RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                              PHKEY phkResult) {
    bool known = false;
    std::string base = KeyPathOf(hKey, &known);
    if (!known) return ERROR_INVALID_HANDLE;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    std::string sub = RegistryPath(lpSubKey ? lpSubKey : "");
    std::string path = base.empty() ? sub : (sub.empty() ? base : base + "\\" + sub);
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    auto entry = M().registry.find(path);
    if (entry != M().registry.end() && entry->second.denyFullAccess && (samDesired & ~KEY_READ))
        return ERROR_ACCESS_DENIED;
    uintptr_t handle = NewHandle();
    M().openKeys[handle] = path;
    *phkResult = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LONG WINAPI Sim_RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD /*lpReserved*/,
                                 LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    bool known = false;
    std::string path = KeyPathOf(hKey, &known);
    if (!known) return ERROR_INVALID_HANDLE;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    auto key = M().registry.find(path);
    if (key == M().registry.end()) return ERROR_FILE_NOT_FOUND;
    auto value = key->second.values.find(UpperAscii(lpValueName ? lpValueName : ""));
    if (value == key->second.values.end()) return ERROR_FILE_NOT_FOUND;
    const std::vector<uint8_t>& bytes = value->second.bytes;
    if (lpType) *lpType = value->second.type;
    if (!lpData) {
        if (lpcbData) *lpcbData = (DWORD)bytes.size();
        return ERROR_SUCCESS;
    }
    if (*lpcbData < bytes.size()) {
        *lpcbData = (DWORD)bytes.size();
        return ERROR_MORE_DATA;
    }
    if (!bytes.empty()) memcpy(lpData, bytes.data(), bytes.size());
    *lpcbData = (DWORD)bytes.size();
    return ERROR_SUCCESS;
}

LONG WINAPI Sim_RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (!M().openKeys.erase(reinterpret_cast<uintptr_t>(hKey))) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

DWORD WINAPI Sim_GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                   LPSTR lpReturnedString, DWORD nSize) {
    const std::vector<Machine::ProfileEntry>& profile = M().profile;
    if (!lpAppName || !lpKeyName) {
        std::vector<std::string> names;
        for (const Machine::ProfileEntry& entry : profile) {
            if (lpAppName && !EqualNoCase(entry.section, lpAppName)) continue;
            const std::string& name = lpAppName ? entry.key : entry.section;
            bool seen = false;
            for (const std::string& known : names) seen = seen || EqualNoCase(known, name);
            if (!seen) names.push_back(name);
        }
        return CopyNameList(names, lpReturnedString, nSize);
    }
    for (const Machine::ProfileEntry& entry : profile)
        if (EqualNoCase(entry.section, lpAppName) && EqualNoCase(entry.key, lpKeyName))
            return CopyTruncated(Unquoted(entry.value), lpReturnedString, nSize);
    return CopyTruncated(lpDefault ? lpDefault : "", lpReturnedString, nSize);
}
