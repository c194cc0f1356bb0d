// The settings an earlier installation of the product left behind ("Directory",
// "OldDirectory"), read from its registry key or, failing that, from its two WIN.INI
// sections; and the short-name comparison used to recognise that installation's directory.
// Nothing here is ever written, and failed reads are not reported: they leave a setting empty.
#include <string.h>

#include "engine/core/paths.h"
#include "setupdir/setupdir.h"

namespace {

const char PRODUCT_KEY[] = PRODUCT_REGISTRY_KEY;
const char PRODUCT_SECTION[] = PRODUCT_INI_SECTION;
const char SHORT_PRODUCT_SECTION[] = PRODUCT_SHORT_INI_SECTION;

// The registry value as read; 0 when the key cannot be opened for all access, the value is
// missing or too long, or it fills the whole buffer without a terminator.
int ReadRegistrySetting(const char* valueName, char* buffer) {
    HKEY key;
    if (win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return 0;
    // Cleared first, so that a value stored without its terminator ends inside the buffer.
    memset(buffer, 0, PRODUCT_SETTING_SIZE);
    DWORD size = PRODUCT_SETTING_SIZE;
    LONG result = win.RegQueryValueExA(key, valueName, NULL, NULL, (LPBYTE)buffer, &size);
    win.RegCloseKey(key);
    return result == ERROR_SUCCESS && memchr(buffer, '\0', PRODUCT_SETTING_SIZE) != NULL;
}

// Up to 259 characters of `path` in `out`: its short form when the platform gives one that
// fits, otherwise the path itself.
void ShortFormOrSelf(const char* path, char* out) {
    DWORD length = win.GetShortPathNameA(path, out, PATH_FIELD_SIZE);
    if (length != 0 && length < PATH_FIELD_SIZE) {
        out[length] = '\0';
        return;
    }
    if (!CopyIfFits(out, PATH_FIELD_SIZE, path)) {
        memcpy(out, path, PATH_FIELD_SIZE - 1);
        out[PATH_FIELD_SIZE - 1] = '\0';
    }
}

}  // namespace

void ReadProductSetting(const char* valueName, char* buffer) {
    if (ReadRegistrySetting(valueName, buffer)) return;
    buffer[0] = '\0';
    DWORD copied =
        win.GetProfileStringA(PRODUCT_SECTION, valueName, "", buffer, PRODUCT_SETTING_SIZE);
    if (copied == 0) {
        buffer[0] = '\0';
        win.GetProfileStringA(SHORT_PRODUCT_SECTION, valueName, "", buffer, PRODUCT_SETTING_SIZE);
    }
    buffer[PRODUCT_SETTING_SIZE - 1] = '\0';
}

int SameShortPath(const char* a, const char* b) {
    char shortA[PATH_FIELD_SIZE];
    char shortB[PATH_FIELD_SIZE];
    ShortFormOrSelf(a, shortA);
    ShortFormOrSelf(b, shortB);
    return EqualIgnoringAsciiCase(shortA, shortB);
}
