// Files on the simulated Windows: dispositions, sharing (also with another process's handle),
// case-insensitive names with case preserved, short names, directory creation errors, short
// writes and a full disk, seeks, attributes and times.
#include <string.h>

#include "tests/support/sim_fixture.h"

namespace {

HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
    return win.CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
}

class SimFiles : public SimTest {};

TEST_F(SimFiles, DispositionsOnMissingAndExistingFiles) {
    sim::PutFile("C:\\DATA\\OLD.TXT", "old bytes");
    struct Case {
        const char* path;
        DWORD disposition;
        bool opens;
        DWORD lastError;
        const char* content;  // afterwards
    } cases[] = {
        {"C:\\DATA\\NEW1.TXT", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, "<missing>"},
        {"C:\\NODIR\\NEW.TXT", OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND, "<missing>"},
        {"C:\\NODIR\\NEW.TXT", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, "<missing>"},
        {"C:\\DATA\\NEW2.TXT", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, "<missing>"},
        {"C:\\DATA\\NEW3.TXT", CREATE_NEW, true, 0, ""},
        {"C:\\DATA\\NEW4.TXT", OPEN_ALWAYS, true, 0, ""},
        {"C:\\DATA\\OLD.TXT", CREATE_NEW, false, ERROR_FILE_EXISTS, "old bytes"},
        {"C:\\DATA\\OLD.TXT", OPEN_EXISTING, true, 0, "old bytes"},
        {"C:\\DATA\\OLD.TXT", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old bytes"},
        {"C:\\DATA\\OLD.TXT", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {"C:\\DATA", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, "<missing>"},
        {"Q:\\X.TXT", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, "<missing>"},
        {"C:\\DATA\\OLD.TXT\\", OPEN_EXISTING, false, ERROR_INVALID_NAME, ""},
    };
    for (const Case& c : cases) {
        win.SetLastError(12345);
        HANDLE file = Open(c.path, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << c.path << " " << c.disposition;
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.path << " " << c.disposition;
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(win.CloseHandle(file));
        }
        EXPECT_EQ(FileText(c.path), c.content) << c.path << " " << c.disposition;
    }
    ExpectNothingHeld();
}

TEST_F(SimFiles, SharingIsCheckedBothWaysIncludingOtherProcesses) {
    sim::PutFile("C:\\S.BIN", "x");
    struct Case {
        DWORD heldAccess, heldShare, access, share;
        bool opens;
    } cases[] = {
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, false},
        {GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ, false},
        {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ,
         false},  // new lacks write share
        {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {0, 0, GENERIC_READ, 0, true},  // a handle without data access conflicts with nothing
    };
    for (int other = 0; other < 2; other++) {
        for (const Case& c : cases) {
            HANDLE held = INVALID_HANDLE_VALUE;
            int token = -1;
            if (other) {
                token = sim::OpenAsOtherProcess("C:\\S.BIN", c.heldAccess, c.heldShare);
                ASSERT_GT(token, 0);
            } else {
                held = Open("C:\\S.BIN", c.heldAccess, c.heldShare, OPEN_EXISTING);
                ASSERT_NE(held, INVALID_HANDLE_VALUE);
            }
            HANDLE second = Open("c:\\s.bin", c.access, c.share, OPEN_EXISTING);
            EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.opens)
                << "other=" << other << " held " << c.heldAccess << "/" << c.heldShare;
            if (second == INVALID_HANDLE_VALUE) {
                EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
            } else {
                win.CloseHandle(second);
            }
            if (other)
                sim::CloseOtherProcessFile(token);
            else
                win.CloseHandle(held);
        }
    }
    // Deletion needs FILE_SHARE_DELETE from every holder.
    int token = sim::OpenAsOtherProcess("C:\\S.BIN", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_FALSE(win.DeleteFileA("C:\\S.BIN"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    sim::CloseOtherProcessFile(token);
    EXPECT_TRUE(win.DeleteFileA("C:\\S.BIN"));
    ExpectNothingHeld();
}

}  // namespace

namespace {

class SimNames : public SimTest {};

TEST_F(SimNames, NamesMatchRegardlessOfCaseAndKeepTheirCase) {
    ASSERT_TRUE(win.CreateDirectoryA("C:\\Program Files", nullptr));
    HANDLE file = win.CreateFileA("c:\\PROGRAM FILES\\ReadMe.Txt", GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    win.CloseHandle(file);
    EXPECT_EQ(sim::HostPath("C:\\PROGRAM FILES\\README.TXT"),
              root_ + "/C/Program Files/ReadMe.Txt");
    // Stored components in their stored case; the drive letter as typed.
    EXPECT_EQ(sim::EventsOf("open").at(0).Get("path"), "c:\\Program Files\\ReadMe.Txt");
    // A second creation with other case finds the same file.
    EXPECT_FALSE(win.CreateDirectoryA("C:\\PROGRAM files", nullptr));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(sim::GetFileInfo("C:\\program files\\README.txt").exists);
}

TEST_F(SimNames, ShortNamesAreDeterministicAndAcceptedAsInput) {
    for (const char* dir : {"C:\\VarnookSW", "C:\\VarnookSW\\QRVNE32", "C:\\Program Files",
                            "C:\\Programs Old", "C:\\Program Files\\Long Name.text"})
        ASSERT_TRUE(win.CreateDirectoryA(dir, nullptr)) << dir;
    sim::PutFile("C:\\VarnookSW\\QRVNE32\\readme.txt", "r");
    struct Case {
        const char* path;
        DWORD result;  // 0: fails
        const char* shortPath;
        DWORD lastError;
    } cases[] = {
        {"C:\\VarnookSW\\QRVNE32", 19, "C:\\VARNOO~1\\QRVNE32", 0},
        {"C:\\VarnookSW\\QRVNE32\\", 20, "C:\\VARNOO~1\\QRVNE32\\", 0},
        {"C:\\VarnookSW\\QRVNE32\\readme.txt", 30, "C:\\VARNOO~1\\QRVNE32\\readme.txt", 0},
        {"c:\\varnooksw\\\\qrvne32", 19, "c:\\VARNOO~1\\QRVNE32", 0},
        {"C:\\Program Files", 11, "C:\\PROGRA~1", 0},
        {"C:\\Programs Old", 11, "C:\\PROGRA~2", 0},
        {"C:\\PROGRA~1\\Long Name.text", 24, "C:\\PROGRA~1\\LONGNA~1.TEX", 0},
        {"C:\\VARNOO~1\\QRVNE32", 19, "C:\\VARNOO~1\\QRVNE32", 0},
        {"C:\\", 3, "C:\\", 0},
        {"C:\\VarnookSW\\MISSING", 0, "", ERROR_FILE_NOT_FOUND},
        {"C:\\NoSuchDir\\QRVNE32", 0, "", ERROR_PATH_NOT_FOUND},
        {"Q:\\X", 0, "", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        char buffer[260] = "untouched";
        win.SetLastError(0);
        EXPECT_EQ(win.GetShortPathNameA(c.path, buffer, sizeof buffer), c.result) << c.path;
        if (c.result) {
            EXPECT_STREQ(buffer, c.shortPath) << c.path;
        }
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.path;
    }
    // Too small: the size needed with the terminator, nothing written.
    char small[5] = "keep";
    EXPECT_EQ(win.GetShortPathNameA("C:\\Program Files", small, sizeof small), 12u);
    EXPECT_STREQ(small, "keep");
    // In place, as the installer calls it.
    char inPlace[260] = "C:\\Program Files";
    EXPECT_EQ(win.GetShortPathNameA(inPlace, inPlace, sizeof inPlace), 11u);
    EXPECT_STREQ(inPlace, "C:\\PROGRA~1");
    // The alias opens the file.
    EXPECT_TRUE(sim::GetFileInfo("C:\\VARNOO~1\\QRVNE32\\README.TXT").exists);
}

// A volume without 8.3 names: GetShortPathNameA gives the path back as asked, and aliases
// name nothing there; other drives keep theirs.
TEST_F(SimNames, DriveWithoutShortNames) {
    sim::MachineConfig config = DefaultMachine();
    DriveOf(config, 'D').shortNames = false;
    Reboot(config);
    for (const char* dir : {"D:\\Program Files", "C:\\Program Files"})
        ASSERT_TRUE(win.CreateDirectoryA(dir, nullptr)) << dir;
    sim::PutFile("D:\\Program Files\\Long Name.text", "x");
    struct Case {
        const char* path;
        const char* shortPath;  // null: fails
        DWORD lastError;
    } cases[] = {
        {"D:\\Program Files", "D:\\Program Files", 0},
        {"d:\\program files\\long name.text", "d:\\program files\\long name.text", 0},
        {"D:\\PROGRA~1", nullptr, ERROR_FILE_NOT_FOUND},
        {"D:\\PROGRA~1\\LONGNA~1.TEX", nullptr, ERROR_PATH_NOT_FOUND},
        {"C:\\Program Files", "C:\\PROGRA~1", 0},
    };
    for (const Case& c : cases) {
        char buffer[260] = "";
        win.SetLastError(0);
        DWORD length = win.GetShortPathNameA(c.path, buffer, sizeof buffer);
        EXPECT_EQ(length, c.shortPath ? strlen(c.shortPath) : 0u) << c.path;
        if (c.shortPath) {
            EXPECT_STREQ(buffer, c.shortPath) << c.path;
        }
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.path;
    }
    EXPECT_FALSE(sim::GetFileInfo("D:\\PROGRA~1\\Long Name.text").exists);
}

TEST_F(SimNames, CreateDirectoryErrors) {
    sim::MachineConfig config = DefaultMachine();
    DriveOf(config, 'D').type = DRIVE_REMOVABLE;
    DriveOf(config, 'D').writeProtected = true;
    Reboot(config);
    sim::PutFile("C:\\FILE", "x");
    struct Case {
        const char* path;
        BOOL created;
        DWORD lastError;
    } cases[] = {
        {"C:\\NEW", TRUE, 0},
        {"C:\\NEW", FALSE, ERROR_ALREADY_EXISTS},
        {"c:\\new\\", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\FILE", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\A\\B", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\FILE\\SUB", FALSE, ERROR_PATH_NOT_FOUND},
        {"Q:\\NEW", FALSE, ERROR_PATH_NOT_FOUND},
        {"D:\\NEW", FALSE, 19},  // ERROR_WRITE_PROTECT
        {"C:\\NEW\\SUB\\", TRUE, 0},
        {"C:\\NEW\\..\\NEW2", TRUE, 0},
    };
    for (const Case& c : cases) {
        win.SetLastError(0);
        EXPECT_EQ(win.CreateDirectoryA(c.path, nullptr), c.created) << c.path;
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.path;
    }
    EXPECT_EQ(sim::EventsOf("mkdir").size(), 3u);
    EXPECT_TRUE(sim::GetFileInfo("C:\\NEW2").isDirectory);
    EXPECT_EQ(win.GetFileAttributesA("C:\\NEW\\SUB"), FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

namespace {

class SimData : public SimTest {};

TEST_F(SimData, ShortWritesAndAFullDisk) {
    struct Case {
        int64_t capacity;
        bool fullIsError;
        BOOL ok;
        DWORD written;
        DWORD lastError;
        const char* content;
    } cases[] = {
        {-1, false, TRUE, 10, 0, "0123456789"},   {100, false, TRUE, 10, 0, "0123456789"},
        {4, false, TRUE, 4, 0, "0123"},           {0, false, TRUE, 0, 0, ""},
        {4, true, FALSE, 0, ERROR_DISK_FULL, ""},
    };
    for (const Case& c : cases) {
        sim::MachineConfig config = DefaultMachine();
        DriveOf(config, 'C').writeCapacity = c.capacity;
        DriveOf(config, 'C').fullIsError = c.fullIsError;
        Reboot(config);
        HANDLE file = Open("C:\\OUT.BIN", GENERIC_WRITE, 0, CREATE_ALWAYS);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 99;
        win.SetLastError(0);
        EXPECT_EQ(win.WriteFile(file, "0123456789", 10, &written, nullptr), c.ok) << c.capacity;
        EXPECT_EQ(written, c.written) << c.capacity;
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.capacity;
        win.CloseHandle(file);
        EXPECT_EQ(FileText("C:\\OUT.BIN"), c.content) << c.capacity;
    }
    // Overwriting bytes that exist uses no capacity.
    sim::MachineConfig config = DefaultMachine();
    DriveOf(config, 'C').writeCapacity = 2;
    DriveOf(config, 'C').fullIsError = false;
    Reboot(config);
    sim::PutFile("C:\\OLD.BIN", "abcdef");
    HANDLE file = Open("C:\\OLD.BIN", GENERIC_WRITE, 0, OPEN_EXISTING);
    DWORD written = 0;
    EXPECT_EQ(win.SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_TRUE(win.WriteFile(file, "XYZ12", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_TRUE(win.WriteFile(file, "!", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    win.CloseHandle(file);
    EXPECT_EQ(FileText("C:\\OLD.BIN"), "abcXYZ12");
}

TEST_F(SimData, PositionsReadsAndTruncation) {
    sim::PutFile("C:\\F.BIN", "0123456789");
    HANDLE a = Open("C:\\F.BIN", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE b = Open("C:\\F.BIN", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    struct Seek {
        HANDLE file;
        LONG distance;
        DWORD method;
        DWORD result;
        DWORD lastError;
    } seeks[] = {
        {a, 4, FILE_BEGIN, 4, 0},
        {a, 2, FILE_CURRENT, 6, 0},
        {a, -3, FILE_END, 7, 0},
        {a, -8, FILE_CURRENT, INVALID_SET_FILE_POINTER, 131},
        {a, 20, FILE_BEGIN, 20, 0},
        {b, 0, FILE_CURRENT, 0, 0},  // b has its own position
        {b, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
    };
    for (const Seek& s : seeks) {
        win.SetLastError(0);
        EXPECT_EQ(win.SetFilePointer(s.file, s.distance, nullptr, s.method), s.result)
            << s.distance << " " << s.method;
        EXPECT_EQ(win.GetLastError(), s.lastError) << s.distance << " " << s.method;
    }
    // a stays at 20 after the failed seek; reading there gives 0 bytes and succeeds.
    char buffer[16] = {};
    DWORD read = 99;
    EXPECT_TRUE(win.ReadFile(a, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(win.ReadFile(b, buffer, 4, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "0123");
    // SetEndOfFile at the current position: truncates, then extends with zeros.
    win.SetFilePointer(a, 5, nullptr, FILE_BEGIN);
    EXPECT_TRUE(win.SetEndOfFile(a));
    EXPECT_EQ(FileText("C:\\F.BIN"), "01234");
    win.SetFilePointer(a, 7, nullptr, FILE_BEGIN);
    EXPECT_TRUE(win.SetEndOfFile(a));
    EXPECT_EQ(FileText("C:\\F.BIN"), std::string("01234\0\0", 7));
    // b was opened for reading only.
    DWORD written = 0;
    EXPECT_FALSE(win.WriteFile(b, "x", 1, &written, nullptr));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(win.CloseHandle(a));
    EXPECT_TRUE(win.CloseHandle(b));
    EXPECT_FALSE(win.CloseHandle(b));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(win.CloseHandle(nullptr));
    ExpectNothingHeld();
}

TEST_F(SimData, ReadOnlyFilesAndAttributes) {
    sim::PutFile("C:\\RO.TXT", "ro", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    struct Case {
        DWORD access, disposition;
        DWORD lastError;  // 0: opens
    } cases[] = {
        {GENERIC_READ, OPEN_EXISTING, 0},
        {GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        HANDLE file = Open("C:\\RO.TXT", c.access, FILE_SHARE_READ, c.disposition);
        EXPECT_EQ(file == INVALID_HANDLE_VALUE ? win.GetLastError() : 0, c.lastError)
            << c.access << " " << c.disposition;
        if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
    }
    EXPECT_FALSE(win.DeleteFileA("C:\\RO.TXT"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    struct Attr {
        DWORD set;
        DWORD got;
    } attrs[] = {
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},  // none: read back as NORMAL
        {0, FILE_ATTRIBUTE_NORMAL},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const Attr& a : attrs) {
        EXPECT_TRUE(win.SetFileAttributesA("c:\\ro.txt", a.set));
        EXPECT_EQ(win.GetFileAttributesA("C:\\RO.TXT"), a.got) << a.set;
        EXPECT_EQ(sim::GetFileInfo("C:\\RO.TXT").attributes, a.got) << a.set;
    }
    EXPECT_TRUE(win.DeleteFileA("C:\\RO.TXT"));
    EXPECT_EQ(win.GetFileAttributesA("C:\\RO.TXT"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win.DeleteFileA("C:\\RO.TXT"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win.SetFileAttributesA("C:\\NODIR\\RO.TXT", 0));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

// Replacing a hidden or system file takes the same attributes; opening it does not.
TEST_F(SimData, HiddenAndSystemFilesAreReplacedOnlyWithTheirAttributes) {
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN, system = FILE_ATTRIBUTE_SYSTEM;
    struct Case {
        DWORD existing, disposition, asked;
        DWORD lastError;      // 0: opens
        const char* content;  // afterwards
    } cases[] = {
        {hidden, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, ERROR_ACCESS_DENIED, "old"},
        {system, CREATE_ALWAYS, hidden, ERROR_ACCESS_DENIED, "old"},
        {hidden | system, CREATE_ALWAYS, hidden, ERROR_ACCESS_DENIED, "old"},
        {hidden | system, CREATE_ALWAYS, hidden | system, 0, ""},
        {hidden, CREATE_ALWAYS, hidden | FILE_ATTRIBUTE_ARCHIVE, 0, ""},
        {hidden, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, ERROR_ACCESS_DENIED, "old"},
        {hidden, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0, "old"},
        {hidden, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0, "old"},
        {FILE_ATTRIBUTE_ARCHIVE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0, ""},
    };
    for (const Case& c : cases) {
        sim::PutFile("C:\\H.SYS", "old", c.existing);
        HANDLE file = win.CreateFileA("C:\\H.SYS", GENERIC_WRITE, 0, nullptr, c.disposition,
                                      c.asked, nullptr);
        std::string name = std::to_string(c.existing) + " " + std::to_string(c.disposition) + " " +
                           std::to_string(c.asked);
        EXPECT_EQ(file == INVALID_HANDLE_VALUE ? win.GetLastError() : 0, c.lastError) << name;
        if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
        EXPECT_EQ(FileText("C:\\H.SYS"), c.content) << name;
    }
    ExpectNothingHeld();
}

TEST_F(SimData, TimesOfNewWrittenAndStampedFiles) {
    HANDLE file = Open("C:\\T.TXT", GENERIC_READ, 0, CREATE_NEW);
    sim::FileInfo info = sim::GetFileInfo("C:\\T.TXT");
    EXPECT_EQ(info.attributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(sim::FormatFileTime(info.lastWriteTime), "2026-01-01T00:00:00Z");
    // Needs write access.
    FILETIME stamp = sim::MakeFileTime(2001, 10, 11, 17, 42, 12);
    EXPECT_FALSE(win.SetFileTime(file, nullptr, nullptr, &stamp));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    win.CloseHandle(file);
    file = Open("C:\\T.TXT", GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_TRUE(win.SetFileTime(file, nullptr, nullptr, &stamp));
    win.CloseHandle(file);
    info = sim::GetFileInfo("C:\\T.TXT");
    EXPECT_EQ(sim::FormatFileTime(info.lastWriteTime), "2001-10-11T17:42:12Z");
    EXPECT_EQ(sim::FormatFileTime(info.creationTime), "2026-01-01T00:00:00Z");  // unchanged
    EXPECT_EQ(sim::EventsOf("filetime").at(0).Get("written"), "2001-10-11T17:42:12Z");
}

}  // namespace
