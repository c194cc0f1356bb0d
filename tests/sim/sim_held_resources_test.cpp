// What a run leaves held (sim::HeldResources), the one check the tests, the fault sweep and the
// installation fuzz target make at the end of a run: each kind is named by its word, several
// in a fixed order, and nothing once everything is given back; a file another process holds
// and a pending timer are not the program's to release. A machine without a root is refused.
#include <functional>
#include <string>

#include "tests/support/sim_fixture.h"

namespace {

class SimHeldResources : public SimTest {};

// Takes one resource through the facade; returns how to give it back.
using Release = std::function<void()>;

Release OpenFile() {
    HANDLE file = win.CreateFileA("C:\\HELD.TXT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    return [file] { win.CloseHandle(file); };
}

Release GlobalBlock() {
    HGLOBAL block = win.GlobalAlloc(GMEM_MOVEABLE, 16);
    EXPECT_NE(block, nullptr);
    return [block] { win.GlobalFree(block); };
}

Release LocalBlock() {
    HLOCAL block = win.LocalAlloc(LMEM_MOVEABLE, 16);
    EXPECT_NE(block, nullptr);
    return [block] { win.LocalFree(block); };
}

Release Brush() {
    HBRUSH brush = win.CreateSolidBrush(RGB(0, 0, 255));
    EXPECT_NE(brush, nullptr);
    return [brush] { win.DeleteObject(brush); };
}

Release ScreenContext() {
    HDC dc = win.GetDC(nullptr);
    EXPECT_NE(dc, nullptr);
    return [dc] { win.ReleaseDC(nullptr, dc); };
}

Release RegistryKey() {
    sim::SetRegistryString("SOFTWARE\\Held", "Value", "v");
    HKEY key = nullptr;
    EXPECT_EQ(win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Held", 0, KEY_READ, &key), 0);
    return [key] { win.RegCloseKey(key); };
}

Release OtherProcessFile() {
    sim::PutFile("C:\\OTHER.TXT", "theirs");
    int token = sim::OpenAsOtherProcess("C:\\OTHER.TXT", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_GE(token, 0);
    return [token] { sim::CloseOtherProcessFile(token); };
}

Release PendingTimer() {
    HWND window = win.CreateWindowExA(0, "STATIC", "x", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      sim::ModuleInstance(), nullptr);
    EXPECT_NE(win.SetTimer(window, 1, 100, nullptr), 0u);
    EXPECT_EQ(sim::TimersPending(), 1);
    return [window] { win.KillTimer(window, 1); };
}

Release Everything() {
    std::vector<Release> releases = {RegistryKey(),  ScreenContext(),   Brush(),
                                     LocalBlock(),   GlobalBlock(),     OpenFile(),
                                     PendingTimer(), OtherProcessFile()};
    return [releases] {
        for (const Release& release : releases) release();
    };
}

TEST_F(SimHeldResources, NamesEachKindHeldAndNothingOnceGivenBack) {
    const struct {
        const char* name;
        Release (*take)();
        const char* held;
    } cases[] = {
        {"file handle", OpenFile, "files "},
        {"global block", GlobalBlock, "global "},
        {"local block", LocalBlock, "local "},
        {"brush", Brush, "gdi "},
        {"device context", ScreenContext, "dc "},
        {"registry key", RegistryKey, "registry "},
        {"another process's file", OtherProcessFile, ""},
        {"pending timer", PendingTimer, ""},
        {"every kind, taken in reverse", Everything, "files global local gdi dc registry "},
    };
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(sim::HeldResources(), "") << c.name << ": before";
        Release release = c.take();
        EXPECT_EQ(sim::HeldResources(), c.held) << c.name;
        release();
        EXPECT_EQ(sim::HeldResources(), "") << c.name << ": given back";
    }
}

TEST(SimBootDeathTest, RefusesAMachineWithoutARoot) {
    EXPECT_DEATH(sim::Boot(sim::MachineConfig()), "no root folder");
}

}  // namespace
