// Programs on the simulated Windows: WinExec's program search and results, and a running
// program's file, which cannot be deleted, written or cut until the program ends.
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"

namespace {

class SimPrograms : public SimTest {};

TEST_F(SimPrograms, WinExecFindsTheProgramAndRecordsTheLaunch) {
    sim::PutFile("C:\\QV\\SETUPAID.EXE", "MZ");
    sim::PutFile("C:\\Program Files\\Tool.exe", "MZ");
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\HELPER.EXE", "MZ");
    sim::PutFile("C:\\QV\\README.EXE", "not a program");
    sim::PutFile("C:\\QV\\PATCHED.EXE", "not a program either");
    sim::PutFile("C:\\QV\\NOEXT", "MZ");
    sim::SetLaunchResult("failing.exe", 11);
    sim::SetLaunchResult("C:\\QV\\SETUPAID.EXE", 42);
    sim::SetLaunchResult("PATCHED.EXE", 33);
    ASSERT_TRUE(win.SetCurrentDirectoryA("C:\\QV"));
    struct Case {
        const char* command;
        UINT result;
        const char* program;
    } cases[] = {
        {"C:\\QV\\SETUPAID.EXE /Q", 42, "C:\\QV\\SETUPAID.EXE"},
        {"c:\\qv\\setupaid /q", 42, "c:\\QV\\SETUPAID.EXE"},
        {"C:\\Program Files\\Tool -x", 33, "C:\\Program Files\\Tool.exe"},
        {"C:\\Program Files\\Tool.exe", 33, "C:\\Program Files\\Tool.exe"},
        {"\"C:\\Program Files\\Tool.exe\" arg", 33, "C:\\Program Files\\Tool.exe"},
        {"HELPER arg", 33, "C:\\WINDOWS\\SYSTEM\\HELPER.EXE"},
        {"SETUPAID.EXE", 42, "C:\\QV\\SETUPAID.EXE"},
        {"C:\\QV\\MISSING.EXE", 2, ""},
        {"FAILING.EXE now", 11, ""},
        {"C:\\QV\\README.EXE", 11, "C:\\QV\\README.EXE"},    // no "MZ": ERROR_BAD_FORMAT
        {"C:\\QV\\PATCHED.EXE", 33, "C:\\QV\\PATCHED.EXE"},  // the configured result wins
        {"C:\\QV\\NOEXT", 2, ""},                            // only NOEXT.exe is looked for
        {"C:\\NoDir\\TOOL.EXE", 3, ""},                      // ERROR_PATH_NOT_FOUND
        {"C:\\QV\\NoDir\\x arg", 3, ""},
        {"Q:\\TOOL.EXE", 3, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win.WinExec(c.command, SW_SHOWNORMAL), c.result) << c.command;
    std::vector<sim::Event> launches = sim::EventsOf("launch");
    ASSERT_EQ(launches.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < launches.size(); i++) {
        EXPECT_EQ(launches[i].Get("command"), cases[i].command);
        EXPECT_EQ(launches[i].Get("program"), cases[i].program) << cases[i].command;
        EXPECT_EQ(launches[i].Get("cwd"), "C:\\QV");
        EXPECT_EQ(launches[i].Number("show"), SW_SHOWNORMAL);
    }
}

// A started program holds its file while it runs: deleting it fails until it has ended.
TEST_F(SimPrograms, ARunningProgramsFileCannotBeDeletedUntilItEnds) {
    sim::MachineConfig config = DefaultMachine();
    config.programRunMs = 1000;
    Reboot(config);
    sim::PutFile("C:\\QV\\CONVERT.EXE", "MZ");
    ASSERT_EQ(win.WinExec("C:\\QV\\CONVERT.EXE", SW_SHOWNORMAL), 33u);
    EXPECT_FALSE(win.DeleteFileA("C:\\QV\\CONVERT.EXE"));
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    sim::AnswerMessageBoxAfter(IDOK, 1000);  // the user reads a box for a second
    win.MessageBoxA(NULL, "wait", "Note", MB_OK);
    EXPECT_TRUE(win.DeleteFileA("C:\\QV\\CONVERT.EXE"));
}

// The running program's image may be read, but not written or cut, until it ends.
TEST_F(SimPrograms, ARunningProgramsFileOpensForReadingOnly) {
    struct Case {
        DWORD access, disposition;
        DWORD whileRunning;  // last error; 0: opens
    } cases[] = {
        {GENERIC_READ, OPEN_EXISTING, 0},
        {GENERIC_WRITE, OPEN_EXISTING, ERROR_SHARING_VIOLATION},
        {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, ERROR_SHARING_VIOLATION},
        {GENERIC_READ, CREATE_ALWAYS, ERROR_SHARING_VIOLATION},
    };
    for (int64_t runMs : {0, 1000}) {
        for (const Case& c : cases) {
            sim::MachineConfig config = DefaultMachine();
            config.programRunMs = (int)runMs;
            Reboot(config);
            sim::PutFile("C:\\QV\\CONVERT.EXE", "MZ");
            ASSERT_EQ(win.WinExec("C:\\QV\\CONVERT.EXE", SW_SHOWNORMAL), 33u);
            HANDLE file = win.CreateFileA("C:\\QV\\CONVERT.EXE", c.access, FILE_SHARE_READ, nullptr,
                                          c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD expected = runMs ? c.whileRunning : 0;
            EXPECT_EQ(file == INVALID_HANDLE_VALUE ? win.GetLastError() : 0, expected)
                << runMs << " " << c.access << " " << c.disposition;
            if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
        }
    }
    ExpectNothingHeld();
}

}  // namespace
