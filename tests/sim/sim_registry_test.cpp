// The simulated Windows' registry and WIN.INI: access rights and value sizes, profile strings
// copied and truncated to the caller's buffer, and the one pair of quotes a profile value loses.
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"

namespace {

class SimRegistry : public SimTest {};

const char* const kProductKey = "SOFTWARE\\VarnookSW\\Quorvane by Varnook";

TEST_F(SimRegistry, RegistryRightsAndSizes) {
    sim::SetRegistryString(kProductKey, "Directory", "C:\\QV");  // 6 bytes with the NUL
    sim::SetRegistryBytes(kProductKey, "Long", std::vector<uint8_t>(150, 'x'));
    sim::SetRegistryString("SOFTWARE\\Locked", "V", "v");
    sim::DenyFullAccess("SOFTWARE\\Locked");
    struct Open {
        const char* key;
        REGSAM access;
        LONG result;
    } opens[] = {
        {kProductKey, KEY_ALL_ACCESS, ERROR_SUCCESS},
        {"software\\varnooksw\\QUORVANE BY VARNOOK", KEY_READ, ERROR_SUCCESS},
        {"SOFTWARE\\VarnookSW", KEY_ALL_ACCESS, ERROR_SUCCESS},  // a key above one created
        {"SOFTWARE\\Missing", KEY_READ, ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\Locked", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {"SOFTWARE\\Locked", KEY_READ, ERROR_SUCCESS},
    };
    for (const Open& o : opens) {
        HKEY key = nullptr;
        EXPECT_EQ(win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, o.key, 0, o.access, &key), o.result)
            << o.key;
        if (o.result == ERROR_SUCCESS) {
            EXPECT_EQ(win.RegCloseKey(key), ERROR_SUCCESS);
        }
    }
    HKEY key = nullptr;
    ASSERT_EQ(win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key), 0);
    struct Query {
        const char* value;
        DWORD capacity;
        bool withBuffer;
        LONG result;
        DWORD size;
        const char* buffer;  // afterwards
    } queries[] = {
        {"Directory", 150, true, ERROR_SUCCESS, 6, "C:\\QV"},
        {"directory", 6, true, ERROR_SUCCESS, 6, "C:\\QV"},
        {"Directory", 5, true, ERROR_MORE_DATA, 6, "keep"},
        {"Directory", 0, false, ERROR_SUCCESS, 6, "keep"},
        {"Long", 150, true, ERROR_SUCCESS, 150, nullptr},
        {"Long", 149, true, ERROR_MORE_DATA, 150, "keep"},
        {"Missing", 150, true, ERROR_FILE_NOT_FOUND, 150, "keep"},
    };
    for (const Query& q : queries) {
        char buffer[200] = "keep";
        DWORD size = q.capacity, type = 99;
        EXPECT_EQ(win.RegQueryValueExA(key, q.value, nullptr, &type,
                                       q.withBuffer ? (LPBYTE)buffer : nullptr, &size),
                  q.result)
            << q.value << " " << q.capacity;
        EXPECT_EQ(size, q.size) << q.value << " " << q.capacity;
        if (q.buffer) {
            EXPECT_STREQ(buffer, q.buffer) << q.value << " " << q.capacity;
        }
        if (q.result != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(type, REG_SZ);
        }
    }
    EXPECT_EQ(sim::RegistryKeysHeld(), 1);
    EXPECT_EQ(win.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(win.RegCloseKey(key), ERROR_INVALID_HANDLE);
    ExpectNothingHeld();
}

TEST_F(SimRegistry, ProfileStringsCopyAndTruncate) {
    sim::SetProfileString("Quorvane by Varnook", "Directory", "C:\\QUORVANE");
    sim::SetProfileString("Quorvane", "OldDirectory", "");
    struct Case {
        const char* section;
        const char* key;
        const char* defaultText;
        DWORD size;
        DWORD result;
        const char* text;
    } cases[] = {
        {"Quorvane by Varnook", "Directory", nullptr, 150, 11, "C:\\QUORVANE"},
        {"QUORVANE BY VARNOOK", "directory", nullptr, 150, 11, "C:\\QUORVANE"},
        {"Quorvane by Varnook", "Directory", nullptr, 6, 5, "C:\\QU"},
        {"Quorvane by Varnook", "Directory", nullptr, 1, 0, ""},
        {"Quorvane", "OldDirectory", "dflt", 150, 0, ""},  // present and empty
        {"Quorvane", "Directory", nullptr, 150, 0, ""},
        {"Quorvane", "Directory", "default", 150, 7, "default"},
        {"Quorvane", "Directory", "default", 4, 3, "def"},
    };
    for (const Case& c : cases) {
        char buffer[150];
        memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(win.GetProfileStringA(c.section, c.key, c.defaultText, buffer, c.size), c.result)
            << c.section << "/" << c.key << " " << c.size;
        EXPECT_STREQ(buffer, c.text) << c.section << "/" << c.key << " " << c.size;
    }
}

TEST_F(SimRegistry, ProfileValuesLoseOnePairOfQuotes) {
    struct Case {
        const char* stored;
        DWORD size;
        const char* text;
    } cases[] = {
        {"\"C:\\QUORVANE\"", 150, "C:\\QUORVANE"},
        {"'C:\\QUORVANE'", 150, "C:\\QUORVANE"},
        {"\"\"twice\"\"", 150, "\"twice\""},
        {"\"C:\\QUORVANE\"", 6, "C:\\QU"},  // truncated after the quotes are gone
        {"\"\"", 150, ""},
        {"\"", 150, "\""},
        {"\"open", 150, "\"open"},
        {"\"mixed'", 150, "\"mixed'"},
        {"in \"the\" middle", 150, "in \"the\" middle"},
    };
    for (const Case& c : cases) {
        sim::SetProfileString("Quorvane", "Directory", c.stored);
        char buffer[150] = "";
        EXPECT_EQ(win.GetProfileStringA("Quorvane", "Directory", "", buffer, c.size),
                  strlen(c.text))
            << c.stored;
        EXPECT_STREQ(buffer, c.text) << c.stored;
    }
}

}  // namespace
