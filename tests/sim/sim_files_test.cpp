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
