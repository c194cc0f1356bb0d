// The simulated Windows' directories and drives: directory queries and their buffer sizes,
// drive letters kept as typed, drive types and free space.
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"

namespace {

class SimDrives : public SimTest {};

TEST_F(SimDrives, DirectoriesAndTheirBufferSizes) {
    ASSERT_TRUE(win.CreateDirectoryA("C:\\Work", nullptr));
    struct Case {
        const char* name;
        DWORD size;
        DWORD result;
        const char* text;
    } cases[] = {
        {"current", 144, 3, "A:\\"},
        {"current", 4, 3, "A:\\"},
        {"current", 3, 4, "keep"},
        {"windows", 260, 10, "C:\\WINDOWS"},
        {"windows", 10, 11, "keep"},
        {"system", 260, 17, "C:\\WINDOWS\\SYSTEM"},
        {"module", 260, 12, "A:\\SETUP.EXE"},
        {"module", 5, 5, "A:\\S"},  // truncated, ERROR_INSUFFICIENT_BUFFER
    };
    for (const Case& c : cases) {
        char buffer[260] = "keep";
        std::string name = c.name;
        DWORD result = name == "current"   ? win.GetCurrentDirectoryA(c.size, buffer)
                       : name == "windows" ? win.GetWindowsDirectoryA(buffer, c.size)
                       : name == "system"  ? win.GetSystemDirectoryA(buffer, c.size)
                                           : win.GetModuleFileNameA(nullptr, buffer, c.size);
        EXPECT_EQ(result, c.result) << c.name << " " << c.size;
        EXPECT_STREQ(buffer, c.text) << c.name << " " << c.size;
    }
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    // Relative paths follow the current directory, which keeps the case it was given.
    EXPECT_TRUE(win.SetCurrentDirectoryA("c:\\work"));
    char buffer[144];
    EXPECT_EQ(win.GetCurrentDirectoryA(sizeof buffer, buffer), 7u);
    EXPECT_STREQ(buffer, "c:\\work");
    sim::PutFile("REL.TXT", "relative");
    EXPECT_EQ(FileText("C:\\Work\\rel.txt"), "relative");
    EXPECT_FALSE(win.SetCurrentDirectoryA("C:\\Work\\Missing"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win.SetCurrentDirectoryA("C:\\No\\Missing"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

// Windows keeps a drive letter as it was typed wherever a path is stored or reported, and
// matches drives regardless of case.
TEST_F(SimDrives, DriveLettersKeepTheCaseTyped) {
    sim::MachineConfig config = DefaultMachine();
    DriveOf(config, 'C').writeCapacity = 4;
    Reboot(config);
    sim::MakeDirectories("C:\\Work\\Sub");
    struct Case {
        const char* typed;
        const char* current;  // GetCurrentDirectoryA afterwards
    } cases[] = {
        {"c:\\Work", "c:\\Work"},
        {"C:sub", "c:\\Work\\sub"},  // the same drive: continues the current directory
        {"C:\\WORK", "C:\\WORK"},
        {"c:\\", "c:\\"},
    };
    char buffer[MAX_PATH];
    for (const Case& c : cases) {
        EXPECT_TRUE(win.SetCurrentDirectoryA(c.typed)) << c.typed;
        win.GetCurrentDirectoryA(sizeof buffer, buffer);
        EXPECT_STREQ(buffer, c.current) << c.typed;
    }
    ASSERT_TRUE(win.SetCurrentDirectoryA("c:\\work"));
    win.WinExec("TOOL.EXE", SW_SHOWNORMAL);
    EXPECT_EQ(sim::EventsOf("launch").at(0).Get("cwd"), "c:\\work");
    EXPECT_EQ(win.GetDriveTypeA("c:\\"), (UINT)DRIVE_FIXED);
    // The drive's capacity counts whatever case its letter was written in.
    HANDLE file = win.CreateFileA("c:\\Work\\F.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_FALSE(win.WriteFile(file, "123456", 6, &written, nullptr));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(sim::EventsOf("open").at(0).Get("path"), "c:\\Work\\F.TXT");
    win.CloseHandle(file);
}

TEST_F(SimDrives, DriveTypesAndFreeSpace) {
    sim::MachineConfig config = DefaultMachine();
    DriveOf(config, 'D').type = DRIVE_CDROM;
    DriveOf(config, 'N').type = DRIVE_REMOTE;
    Reboot(config);
    struct Case {
        const char* root;
        UINT type;
    } cases[] = {
        {"A:\\", DRIVE_REMOVABLE},   {"C:\\", DRIVE_FIXED},       {"c:", DRIVE_FIXED},
        {"C:/", DRIVE_FIXED},        {"D:\\", DRIVE_CDROM},       {"N:\\", DRIVE_REMOTE},
        {"Q:\\", DRIVE_NO_ROOT_DIR}, {"C", DRIVE_NO_ROOT_DIR},    {"C:Q", DRIVE_NO_ROOT_DIR},
        {"", DRIVE_NO_ROOT_DIR},     {"1:\\", DRIVE_NO_ROOT_DIR}, {nullptr, DRIVE_REMOVABLE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win.GetDriveTypeA(c.root), c.type) << (c.root ? c.root : "(null)");
    DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    EXPECT_TRUE(win.GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
    EXPECT_EQ(sectors * bytes, 4096u);
    EXPECT_EQ(freeClusters, 0x00200000u);
    EXPECT_FALSE(win.GetDiskFreeSpaceA("Q:\\", &sectors, &bytes, &freeClusters, &total));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

}  // namespace
