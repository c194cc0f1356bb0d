// Platform conformance: the Win32 operations the installer relies on, exercised through the
// facade `win` with the same expectations on two backends. Built for x86_64 it runs against
// the real API under wine64 (ctest label wine); built natively it runs the same scenarios on
// the simulated Windows (label sim). Where Wine is known to differ from Windows, the
// expectation names both values with WINDOWS_OR_WINE; docs/WINE.md lists every such case.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/win32api.h"
#include "tests/wine/conformance/machine.h"

using conformance::Scratch;

const UINT kBadFormat = 11;  // WinExec: the file is no program image (ERROR_BAD_FORMAT)

#define WINDOWS_OR_WINE(windows, wine) (conformance::RunningUnderWine() ? (wine) : (windows))

namespace {

class Conformance : public ::testing::Test {
   protected:
    void SetUp() override { conformance::FreshMachine(); }
    void TearDown() override { conformance::CleanUp(); }
};

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return win.CreateFileA(path.c_str(), access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL,
                           NULL);
}

std::string ReadSome(HANDLE file, DWORD count, BOOL* ok) {
    std::string bytes(count, '\0');
    DWORD read = 12345;
    *ok = win.ReadFile(file, &bytes[0], count, &read, NULL);
    return bytes.substr(0, read);
}

// ---------------------------------------------------------------------------------------
// Files

TEST_F(Conformance, WritesSeeksReadsShortAndTruncates) {
    HANDLE file = Open(Scratch("DATA.BIN"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(win.WriteFile(file, "0123456789", 10, &written, NULL));
    EXPECT_EQ(written, 10u);
    BOOL ok = FALSE;
    EXPECT_EQ(win.SetFilePointer(file, 4, NULL, FILE_BEGIN), 4u);
    EXPECT_EQ(ReadSome(file, 3, &ok), "456");
    EXPECT_EQ(win.SetFilePointer(file, -2, NULL, FILE_END), 8u);
    EXPECT_EQ(ReadSome(file, 10, &ok), "89") << "a short read near the end";
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadSome(file, 10, &ok), "") << "at the end: success with no bytes";
    EXPECT_TRUE(ok);
    EXPECT_EQ(win.SetFilePointer(file, 0, NULL, FILE_CURRENT), 10u);
    EXPECT_EQ(win.SetFilePointer(file, 5, NULL, FILE_BEGIN), 5u);
    EXPECT_TRUE(win.SetEndOfFile(file));
    EXPECT_EQ(win.SetFilePointer(file, 7, NULL, FILE_BEGIN), 7u) << "beyond the end is allowed";
    EXPECT_TRUE(win.WriteFile(file, "X", 1, &written, NULL));
    EXPECT_TRUE(win.CloseHandle(file));
    EXPECT_EQ(conformance::FileBytes(Scratch("DATA.BIN")), std::string("01234\0\0X", 8));
}

TEST_F(Conformance, CreationDispositionsAndTheirErrors) {
    conformance::PutFile(Scratch("OLD.TXT"), "old");
    struct Case {
        const char* name;
        DWORD disposition;
        bool opens;
        DWORD lastError;  // after the call, also on success
    } cases[] = {
        {"OLD.TXT", CREATE_NEW, false, ERROR_FILE_EXISTS},
        {"NEW.TXT", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
        {"NOFOLDER\\NEW.TXT", OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
        {"NOFOLDER\\NEW.TXT", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
        {"OLD.TXT", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
        {"OLD.TXT", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
        {"NEW.TXT", CREATE_ALWAYS, true, 0},
    };
    for (const Case& c : cases) {
        win.SetLastError(0);
        HANDLE file = Open(Scratch(c.name), GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        DWORD error = win.GetLastError();
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << c.name << " " << c.disposition;
        EXPECT_EQ(error, c.lastError) << c.name << " " << c.disposition;
        if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
    }
}

TEST_F(Conformance, SharingIsCheckedBothWays) {
    conformance::PutFile(Scratch("SHARED.TXT"), "shared");
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    } cases[] = {
        {R, SR, R, SR, true},      {R, SR, W, SR, false},     {W, SR, R, SR, false},
        {W, SR, R, SR | SW, true}, {R, 0, R, SR | SW, false}, {R, SR | SW, W, SR | SW, true},
    };
    for (const Case& c : cases) {
        HANDLE first = Open(Scratch("SHARED.TXT"), c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(Scratch("SHARED.TXT"), c.secondAccess, c.secondShare, OPEN_EXISTING);
        DWORD error = win.GetLastError();
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens)
            << c.firstAccess << "/" << c.firstShare << " then " << c.secondAccess << "/"
            << c.secondShare;
        if (second != INVALID_HANDLE_VALUE)
            win.CloseHandle(second);
        else
            EXPECT_EQ(error, (DWORD)ERROR_SHARING_VIOLATION);
        win.CloseHandle(first);
    }
}

TEST_F(Conformance, DeletingFiles) {
    conformance::PutFile(Scratch("GONE.TXT"), "x");
    EXPECT_TRUE(win.DeleteFileA(Scratch("GONE.TXT").c_str()));
    EXPECT_EQ(conformance::FileBytes(Scratch("GONE.TXT")), "<missing>");
    EXPECT_FALSE(win.DeleteFileA(Scratch("GONE.TXT").c_str()));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    conformance::PutFile(Scratch("OPEN.TXT"), "x");
    HANDLE open = Open(Scratch("OPEN.TXT"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(win.DeleteFileA(Scratch("OPEN.TXT").c_str())) << "open without sharing delete";
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    win.CloseHandle(open);
}

// ---------------------------------------------------------------------------------------
// Directories, drives, free space

TEST_F(Conformance, CreateDirectoryReportsWhatExists) {
    const std::string folder = Scratch("SUB");
    EXPECT_TRUE(win.CreateDirectoryA(folder.c_str(), NULL));
    EXPECT_FALSE(win.CreateDirectoryA(folder.c_str(), NULL));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    conformance::PutFile(Scratch("FILE"), "x");
    EXPECT_FALSE(win.CreateDirectoryA(Scratch("FILE").c_str(), NULL)) << "a file of that name";
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(win.CreateDirectoryA(Scratch("NO\\DEEPER").c_str(), NULL));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(win.GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              (DWORD)FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Conformance, DriveTypesAndFreeSpace) {
    EXPECT_EQ(win.GetDriveTypeA("C:\\"), (UINT)DRIVE_FIXED);
    EXPECT_EQ(win.GetDriveTypeA("Q:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(win.GetDriveTypeA(NULL), (UINT)DRIVE_FIXED) << "the current directory's drive";

    DWORD sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(win.GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &totalClusters));
    EXPECT_GT(sectors, 0u);
    EXPECT_GT(bytes, 0u);
    EXPECT_GT(freeClusters, 0u);
    EXPECT_LE(freeClusters, totalClusters);
    EXPECT_FALSE(win.GetDiskFreeSpaceA("Q:\\", &sectors, &bytes, &freeClusters, &totalClusters));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST_F(Conformance, CurrentDirectory) {
    ASSERT_TRUE(win.SetCurrentDirectoryA(Scratch().c_str()));
    char current[MAX_PATH] = "";
    EXPECT_EQ(win.GetCurrentDirectoryA(sizeof current, current), strlen("C:\\QVCONF"));
    EXPECT_STREQ(current, "C:\\QVCONF");
    char tiny[4] = "";
    EXPECT_EQ(win.GetCurrentDirectoryA(sizeof tiny, tiny), strlen("C:\\QVCONF") + 1)
        << "too small: the size needed, terminator included";
    EXPECT_FALSE(win.SetCurrentDirectoryA(Scratch("MISSING").c_str()));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

// ---------------------------------------------------------------------------------------
// Dates, times and attributes

TEST_F(Conformance, LocalTimeSetOnAFileReadsBack) {
    conformance::PutFile(Scratch("DATED.TXT"), "x");
    SYSTEMTIME local = {1996, 7, 1, 15, 12, 34, 56, 0};  // DOS date 0x20EF, time 0x645C
    FILETIME localTime, utcTime;
    ASSERT_TRUE(win.SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(win.LocalFileTimeToFileTime(&localTime, &utcTime));
    HANDLE file = Open(Scratch("DATED.TXT"), GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_TRUE(win.SetFileTime(file, NULL, NULL, &utcTime));
    win.CloseHandle(file);
    FILETIME read = conformance::LastWriteTime(Scratch("DATED.TXT"));
    EXPECT_EQ(read.dwLowDateTime, utcTime.dwLowDateTime);
    EXPECT_EQ(read.dwHighDateTime, utcTime.dwHighDateTime);
    // 1996-07-15 12:34:56 is 124 819 076 960 000 000 hundred-nanoseconds after 1601 (UTC here).
    EXPECT_EQ(((uint64_t)localTime.dwHighDateTime << 32) | localTime.dwLowDateTime,
              124819076960000000ull);

    SYSTEMTIME invalid = {1996, 13, 1, 15, 12, 34, 56, 0};
    EXPECT_FALSE(win.SystemTimeToFileTime(&invalid, &localTime)) << "month 13";
}

TEST_F(Conformance, AttributesSetAndRead) {
    struct Case {
        DWORD set, windows, wine;
    } cases[] = {
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY,
         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
    };
    conformance::PutFile(Scratch("ATTR.TXT"), "x");
    for (const Case& c : cases) {
        ASSERT_TRUE(win.SetFileAttributesA(Scratch("ATTR.TXT").c_str(), c.set));
        EXPECT_EQ(win.GetFileAttributesA(Scratch("ATTR.TXT").c_str()),
                  WINDOWS_OR_WINE(c.windows, c.wine))
            << "set " << c.set;
    }
    EXPECT_EQ(win.GetFileAttributesA(Scratch("NONE.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(Conformance, ReadOnlyFileRefusesDeletion) {
    conformance::PutFile(Scratch("RO.TXT"), "x");
    ASSERT_TRUE(win.SetFileAttributesA(Scratch("RO.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(win.DeleteFileA(Scratch("RO.TXT").c_str()));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    HANDLE file = Open(Scratch("RO.TXT"), GENERIC_WRITE, 0, OPEN_EXISTING);
    // Wine run as root opens it (the Unix permission check passes); as another user it refuses.
    if (!conformance::RunningUnderWine()) {
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
}

// ---------------------------------------------------------------------------------------
// Short path names

TEST_F(Conformance, ShortPathNames) {
    char shortPath[MAX_PATH] = "";
    const std::string plain = Scratch("SHORT.TXT");
    conformance::PutFile(plain, "plain");
    EXPECT_EQ(win.GetShortPathNameA(plain.c_str(), shortPath, sizeof shortPath), plain.size());
    EXPECT_EQ(shortPath, plain) << "a valid 8.3 path stays as it is";

    const std::string longName = Scratch("Long File Name.text");
    conformance::PutFile(longName, "long");
    DWORD length = win.GetShortPathNameA(longName.c_str(), shortPath, sizeof shortPath);
    EXPECT_EQ(length, strlen(shortPath));
    EXPECT_EQ(conformance::FileBytes(shortPath), "long") << shortPath << " names the same file";
    const char* name = strrchr(shortPath, '\\') + 1;
    const char* dot = strchr(name, '.');
    EXPECT_LE(dot ? dot - name : (long)strlen(name), 8) << shortPath;
    if (!conformance::RunningUnderWine()) {
        EXPECT_STREQ(shortPath, "C:\\QVCONF\\LONGFI~1.TEX");
    }

    char tiny[4] = "";
    EXPECT_EQ(win.GetShortPathNameA(plain.c_str(), tiny, sizeof tiny), plain.size() + 1)
        << "too small: the size needed, terminator included";
    EXPECT_EQ(win.GetShortPathNameA(Scratch("NONE.TXT").c_str(), shortPath, sizeof shortPath), 0u);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

// ---------------------------------------------------------------------------------------
// Registry, WIN.INI, windows, program start

TEST_F(Conformance, RegistryReadsWithFullAccess) {
    conformance::SetRegistryString("SOFTWARE\\QVConformance", "Greeting", "hello");
    HKEY key = NULL;
    ASSERT_EQ(
        win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QVConformance", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(win.RegQueryValueExA(key, "Greeting", NULL, &type, NULL, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(size, 6u) << "the terminator counts";
    char small[3];
    size = sizeof small;
    EXPECT_EQ(win.RegQueryValueExA(key, "Greeting", NULL, NULL, (LPBYTE)small, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    char value[32] = "";
    size = sizeof value;
    EXPECT_EQ(win.RegQueryValueExA(key, "Greeting", NULL, NULL, (LPBYTE)value, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, "hello");
    EXPECT_EQ(win.RegQueryValueExA(key, "Missing", NULL, NULL, (LPBYTE)value, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(
        win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QVNoSuchKey", 0, KEY_ALL_ACCESS, &key),
        ERROR_FILE_NOT_FOUND);
}

TEST_F(Conformance, ProfileStringsFromWinIni) {
    conformance::SetProfileString("QVConformance", "InstallDir", "C:\\QUORVANE");
    conformance::SetProfileString("QVConformance", "Quoted", "\"C:\\QV\"");
    char value[64] = "";
    EXPECT_EQ(win.GetProfileStringA("QVConformance", "InstallDir", "dflt", value, sizeof value),
              11u);
    EXPECT_STREQ(value, "C:\\QUORVANE");
    EXPECT_EQ(win.GetProfileStringA("QVConformance", "Quoted", "", value, sizeof value), 5u);
    EXPECT_STREQ(value, "C:\\QV") << "one pair of quotation marks dropped";
    EXPECT_EQ(win.GetProfileStringA("QVConformance", "Missing", "dflt", value, sizeof value), 4u);
    EXPECT_STREQ(value, "dflt");
    EXPECT_EQ(win.GetProfileStringA("QVConformance", "InstallDir", "", value, 5), 4u);
    EXPECT_STREQ(value, "C:\\Q") << "cut to the buffer";
}

TEST_F(Conformance, FindWindowByClass) {
    if (!conformance::ShowWindowOfClass("QVConfMain"))
        GTEST_SKIP() << "no window can be made here (Wine without a display)";
    EXPECT_NE(win.FindWindowA("QVConfMain", NULL), (HWND)NULL);
    EXPECT_NE(win.FindWindowA("qvconfmain", NULL), (HWND)NULL) << "class names ignore case";
    EXPECT_EQ(win.FindWindowA("QVNoSuchClass", NULL), (HWND)NULL);
}

TEST_F(Conformance, WinExecResults) {
    conformance::PutProgram(Scratch("RUN.EXE"));
    conformance::PutFile(Scratch("TEXT.EXE"), "not a program");
    struct Case {
        const char* command;
        UINT windows, wine;
    } cases[] = {
        {"C:\\QVCONF\\RUN.EXE --gtest_filter=-*", 33, 33},
        {"C:\\QVCONF\\MISSING.EXE", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {"C:\\QVCONF\\NOFOLDER\\RUN.EXE", ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {"C:\\QVCONF\\TEXT.EXE", kBadFormat, kBadFormat},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win.WinExec(c.command, SW_HIDE), WINDOWS_OR_WINE(c.windows, c.wine)) << c.command;
}

}  // namespace
