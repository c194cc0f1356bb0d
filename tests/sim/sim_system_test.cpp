// The rest of the simulated Windows: calendar checks, wsprintfA, fault injection through the
// facade, memory and GDI accounting, geometry, resources, and the transcript's JSON form.
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"

namespace {

class SimSystem : public SimTest {};

TEST_F(SimSystem, SystemTimeValidationAndLocalTime) {
    struct Case {
        WORD year, month, day, hour, minute, second, ms;
        const char* expected;  // null: refused with ERROR_INVALID_PARAMETER
    } cases[] = {
        {2001, 10, 11, 17, 42, 12, 0, "2001-10-11T17:42:12Z"},
        {1601, 1, 1, 0, 0, 0, 0, "1601-01-01T00:00:00Z"},
        {2000, 2, 29, 0, 0, 0, 0, "2000-02-29T00:00:00Z"},
        {1900, 2, 29, 0, 0, 0, 0, nullptr},
        {2001, 2, 29, 0, 0, 0, 0, nullptr},
        {1600, 12, 31, 0, 0, 0, 0, nullptr},
        {2001, 13, 1, 0, 0, 0, 0, nullptr},
        {2001, 0, 1, 0, 0, 0, 0, nullptr},
        {2001, 4, 31, 0, 0, 0, 0, nullptr},
        {2001, 1, 0, 0, 0, 0, 0, nullptr},
        {2001, 1, 1, 24, 0, 0, 0, nullptr},
        {2001, 1, 1, 0, 60, 0, 0, nullptr},
        {2001, 1, 1, 0, 0, 60, 0, nullptr},
        {2001, 1, 1, 0, 0, 0, 1000, nullptr},
        {30827, 12, 31, 23, 59, 59, 999, "30827-12-31T23:59:59Z"},
        {30828, 1, 1, 0, 0, 0, 0, nullptr},
    };
    for (const Case& c : cases) {
        SYSTEMTIME st = {c.year, c.month, 3, c.day, c.hour, c.minute, c.second, c.ms};
        FILETIME ft = {1, 2};
        win.SetLastError(0);
        BOOL ok = win.SystemTimeToFileTime(&st, &ft);
        EXPECT_EQ(ok, c.expected != nullptr) << c.year << "-" << c.month << "-" << c.day;
        if (c.expected) {
            EXPECT_EQ(sim::FormatFileTime(ft), c.expected);
        } else {
            EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
        }
    }
    sim::MachineConfig config = DefaultMachine();
    config.utcOffsetMinutes = 120;  // local = UTC + 2 h
    Reboot(config);
    FILETIME local = sim::MakeFileTime(2001, 10, 11, 17, 42, 12), utc;
    EXPECT_TRUE(win.LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(sim::FormatFileTime(utc), "2001-10-11T15:42:12Z");
}

std::string Format(const char* format, ...) {
    char buffer[1100];
    va_list args;
    va_start(args, format);
    win.wvsprintfA(buffer, format, args);
    va_end(args);
    return buffer;
}

TEST_F(SimSystem, WsprintfFormatsAsWindowsDoes) {
    EXPECT_EQ(Format("error (%#X) during", 2u), "error (0X2) during");
    EXPECT_EQ(Format("%#x|%X|%x", 255u, 0xABCu, 0xABCu), "0xff|ABC|abc");
    EXPECT_EQ(Format("%02d%%|%3d|%-3d|%u", 7, 42, 5, 4294967295u), "07%| 42|5  |4294967295");
    EXPECT_EQ(Format("%d|%ld|%lu", -12, (LONG)-3, (DWORD)3000000000u), "-12|-3|3000000000");
    EXPECT_EQ(Format("(%s) into (%c:)", "DISK2", 'A'), "(DISK2) into (A:)");
    EXPECT_EQ(Format("%.3s|%5s|%-5s|", "abcdef", "ab", "ab"), "abc|   ab|ab   |");
    char buffer[1100];
    std::string big(2000, 'x');
    EXPECT_EQ(win.wsprintfA(buffer, "%s", big.c_str()), 1023);
    EXPECT_EQ(strlen(buffer), 1023u);
}

TEST_F(SimSystem, FaultsInjectedThroughTheFacade) {
    sim::PutFile("C:\\F.TXT", "f");
    ASSERT_TRUE(FailPlatformCall("CreateFileA", 2, 0, ERROR_SHARING_VIOLATION));
    std::vector<std::string> outcomes;
    for (int i = 0; i < 3; i++) {
        win.SetLastError(0);
        HANDLE file = win.CreateFileA("C:\\F.TXT", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        outcomes.push_back(
            file == INVALID_HANDLE_VALUE ? "fail " + std::to_string(win.GetLastError()) : "ok");
        if (file != INVALID_HANDLE_VALUE) win.CloseHandle(file);
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{"ok", "fail 32", "ok"}));
    EXPECT_EQ(PlatformCallCount("CreateFileA"), 3u);
    EXPECT_EQ(sim::EventsOf("open").size(), 2u);  // the failed call never reached the machine

    ASSERT_TRUE(FailPlatformCall("WriteFile", 1, 1, ERROR_DISK_FULL));
    HANDLE file =
        win.CreateFileA("C:\\W.TXT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    for (int i = 0; i < 2; i++) {
        EXPECT_FALSE(win.WriteFile(file, "x", 1, &written, nullptr));
        EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_DISK_FULL);
    }
    EXPECT_EQ(PlatformFaultsFired(), 3u);
    win.CloseHandle(file);
    RestorePlatformCalls();
    EXPECT_EQ(PlatformCallCount("WriteFile"), 0u);
    ExpectNothingHeld();
}

DWORD WINAPI AttributesOfNothing(LPCSTR) {
    return INVALID_FILE_ATTRIBUTES;
}

// An entry replaced by name answers in the backend's place until the calls are restored; an
// unknown name replaces nothing.
TEST_F(SimSystem, EntriesReplacedByName) {
    sim::PutFile("C:\\F.TXT", "f");
    struct Case {
        const char* name;
        int replaced;
    } cases[] = {{"GetFileAttributesA", 1}, {"GetFileAttributes", 0}, {"", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(OverridePlatformCall(c.name, (PlatformFunction)AttributesOfNothing), c.replaced)
            << c.name;
        EXPECT_EQ(win.GetFileAttributesA("C:\\F.TXT") == INVALID_FILE_ATTRIBUTES, c.replaced == 1)
            << c.name;
        RestorePlatformCalls();
        EXPECT_NE(win.GetFileAttributesA("C:\\F.TXT"), INVALID_FILE_ATTRIBUTES) << c.name;
    }
}

TEST_F(SimSystem, MemoryAndGdiAccounting) {
    HGLOBAL global = win.GlobalAlloc(GMEM_MOVEABLE, 5000);
    HLOCAL local = win.LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 10 * 182);
    HGLOBAL empty = win.GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_TRUE(global && local && empty);
    EXPECT_EQ(sim::GlobalBlocksHeld(), 2);
    EXPECT_EQ(sim::LocalBlocksHeld(), 1);
    uint8_t* bytes = (uint8_t*)win.GlobalLock(global);
    ASSERT_NE(bytes, nullptr);
    bytes[4999] = 1;
    EXPECT_EQ(((uint8_t*)win.LocalLock(local))[1819], 0);
    EXPECT_EQ(win.GlobalLock(empty), nullptr);  // a 0-byte movable block cannot be locked
    EXPECT_FALSE(win.GlobalUnlock(global));
    EXPECT_EQ(win.GlobalFree(global), nullptr);
    EXPECT_EQ(win.GlobalFree(global), global);  // already freed
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(win.LocalFree(local), nullptr);
    EXPECT_EQ(win.GlobalFree(empty), nullptr);

    HWND main = win.CreateWindowExA(0, "STATIC", "x", 0, 0, 0, 10, 10, nullptr, nullptr,
                                    sim::ModuleInstance(), nullptr);
    HDC dc = win.GetDC(main);
    HPEN pen = win.CreatePen(PS_SOLID, 2, RGB(0, 0, 255));
    HBRUSH brush = win.CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_EQ(sim::GdiObjectsHeld(), 2);
    HGDIOBJ oldPen = win.SelectObject(dc, pen);
    HGDIOBJ oldBrush = win.SelectObject(dc, brush);
    EXPECT_TRUE(win.Rectangle(dc, 1, 2, 30, 40));
    EXPECT_FALSE(win.DeleteObject(pen));  // still selected
    win.SelectObject(dc, oldPen);
    win.SelectObject(dc, oldBrush);
    EXPECT_TRUE(win.Rectangle(dc, 0, 0, 5, 5));
    EXPECT_TRUE(win.DeleteObject(pen));
    EXPECT_TRUE(win.DeleteObject(brush));
    EXPECT_EQ(win.ReleaseDC(main, dc), 1);
    std::vector<sim::Event> rects = sim::EventsOf("rectangle");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].Number("penColor"), (long long)RGB(0, 0, 255));
    EXPECT_EQ(rects[0].Number("penWidth"), 2);
    EXPECT_EQ(rects[0].Number("brushColor"), (long long)RGB(255, 0, 0));
    EXPECT_EQ(rects[1].Number("penColor"), 0);  // the stock black pen, 1 pixel
    EXPECT_EQ(rects[1].Number("penWidth"), 1);
    EXPECT_EQ(rects[1].Number("brushColor"), (long long)RGB(255, 255, 255));
    ExpectNothingHeld();
}

// CentreDialog as the installer computes it, against the maximised main window.
INT_PTR CALLBACK CentreAndEnd(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    HWND parent = win.GetParent(dialog);
    RECT client, window;
    win.GetClientRect(parent, &client);
    POINT topLeft = {client.left, client.top}, bottomRight = {client.right, client.bottom};
    win.ClientToScreen(parent, &topLeft);
    win.ClientToScreen(parent, &bottomRight);
    win.GetWindowRect(dialog, &window);
    int width = window.right - window.left, height = window.bottom - window.top;
    win.MoveWindow(dialog, topLeft.x + ((bottomRight.x - topLeft.x) - width) / 2,
                   topLeft.y + ((bottomRight.y - topLeft.y) - height) / 2, width, height, TRUE);
    RECT bar = {10, 30, 170, 42};
    win.MapDialogRect(dialog, &bar);
    win.SetDlgItemTextA(dialog, 100, "");
    win.EndDialog(dialog, bar.left * 10000 + bar.bottom);
    return TRUE;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return win.DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SimSystem, MainWindowAndCentredDialogGeometry) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = sim::ModuleInstance();
    wc.lpszClassName = "generic";
    ASSERT_NE(win.RegisterClassA(&wc), 0);
    EXPECT_EQ(win.RegisterClassA(&wc), 0);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    HWND main = win.CreateWindowExA(0, "generic", "Installation of Quorvane 3.2", 0, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    sim::ModuleInstance(), nullptr);
    win.ShowWindow(main, SW_SHOWMAXIMIZED);
    win.UpdateWindow(main);
    RECT client;
    win.GetClientRect(main, &client);
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 748);
    EXPECT_EQ(win.FindWindowA("GENERIC", nullptr), main);
    EXPECT_EQ(win.FindWindowA("QVMain", nullptr), nullptr);
    sim::AddRunningWindow("QVMain");
    EXPECT_NE(win.FindWindowA("qvmain", nullptr), nullptr);

    // PROGRESSDLG, in the system font (base units 9 x 16): 180 x 90 units = 405 x 180 client
    // pixels, window 413 x 208; the bar's left edge, 10 units, is 22.5 pixels, rounded up.
    INT_PTR result =
        win.DialogBoxParamA(sim::ModuleInstance(), "progressdlg", main, CentreAndEnd, 0);
    EXPECT_EQ(result, 23 * 10000 + 84);
    std::vector<sim::Event> moves = sim::EventsOf("move");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].Get("dialog"), "progress");
    EXPECT_EQ(moves[0].Number("x"), (1024 - 413) / 2);
    EXPECT_EQ(moves[0].Number("y"), 20 + (748 - 208) / 2);
    EXPECT_EQ(moves[0].Number("width"), 413);
    EXPECT_EQ(moves[0].Number("height"), 208);
    sim::Event shown = sim::EventsOf("dialog").at(0);
    EXPECT_EQ(shown.Get("owner"), "main");
    EXPECT_EQ(shown.Get("caption"), "Installing Application Files");
    EXPECT_EQ(sim::EventsOf("window").at(0).Get("window"), "main");
    EXPECT_EQ(win.LoadIconA(sim::ModuleInstance(), "generic"), nullptr);
    EXPECT_NE(win.LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(win.LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST_F(SimSystem, ResourcesComeFromTheTemplatesAndOverrides) {
    HRSRC info = win.FindResourceA(sim::ModuleInstance(), "dirhlp", "TEXT");
    ASSERT_NE(info, nullptr);
    HGLOBAL data = win.LoadResource(sim::ModuleInstance(), info);
    ASSERT_NE(win.LockResource(data), nullptr);
    EXPECT_GT(win.SizeofResource(sim::ModuleInstance(), info), 1000u);
    EXPECT_FALSE(win.GlobalUnlock(data));
    EXPECT_FALSE(win.FreeResource(data));
    EXPECT_EQ(win.FindResourceA(sim::ModuleInstance(), "NOPE", "TEXT"), nullptr);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    sim::SetResource("DIRHLP", "TEXT", {'h', 'i'});
    info = win.FindResourceA(sim::ModuleInstance(), "DIRHLP", "TEXT");
    EXPECT_EQ(win.SizeofResource(sim::ModuleInstance(), info), 2u);
    EXPECT_EQ(memcmp(win.LockResource(win.LoadResource(nullptr, info)), "hi", 2), 0);
}

TEST_F(SimSystem, TranscriptJsonEscapesEveryByte) {
    win.MessageBoxA(nullptr, "say \"hi\"\\\n\t\x01\xe9", "C", MB_OK);
    std::string json = sim::TranscriptJsonLines();
    EXPECT_EQ(json,
              "{\"t\":0,\"event\":\"messagebox\",\"owner\":\"none\",\"caption\":\"C\","
              "\"text\":\"say \\\"hi\\\"\\\\\\n\\t\\u0001\\u00E9\",\"style\":0,\"answer\":1}\n");
    EXPECT_EQ(sim::TranscriptText(),
              "0 messagebox owner=\"none\" caption=\"C\" text=\"say \\\"hi\\\"\\\\\\n\\t\\u0001"
              "\\u00E9\" style=0 answer=1\n");
}

}  // namespace
