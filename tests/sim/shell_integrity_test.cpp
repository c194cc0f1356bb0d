// The installer file's self-check: a plain byte sum against the trailer, read in 5000-byte
// buffers through the engine's reader; every way out closes the file and frees the buffer.
#include <gtest/gtest.h>

#include <string.h>

#include "engine/installstate.h"
#include "shell/shell.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

const char CORRUPTED[] = "Install program is corrupted!";

std::string Intact(size_t covered) {
    std::string body(covered, '\0');
    for (size_t i = 0; i < covered; i++) body[i] = (char)(i * 7 + 3);
    return WithTrailer(body);
}

std::string Changed(std::string file, size_t at, int delta, int deltaNext = 0) {
    file[at] = (char)(file[at] + delta);
    file[at + 1] = (char)(file[at + 1] + deltaNext);
    return file;
}

class ShellIntegrity : public SimTest {
   protected:
    void SetUp() override { SimTest::SetUp(), ResetInstallState(); }
    void Restart() { TearDown(), SetUp(); }
    // Checks `bytes` as A:\SETUP.EXE; nothing may stay open or allocated.
    int Check(const std::string& bytes) {
        sim::PutFile("A:\\SETUP.EXE", bytes);
        strcpy(InstallState.installerPath, "A:\\SETUP.EXE");
        int result = CheckInstallerIntegrity(sim::ModuleInstance(), nullptr);
        ExpectNothingHeld();
        EXPECT_EQ(InstallState.installerFile, nullptr);
        return result;
    }
};

TEST_F(ShellIntegrity, SumDecidesAndOrderDoesNot) {
    const std::string good = Intact(12345);
    std::string swapped = good;
    std::swap(swapped[100], swapped[9000]);
    struct Case {
        const char* name;
        std::string file;
        int result;
    } cases[] = {
        {"intact", good, 0},
        {"first byte", Changed(good, 0, 1), 1},
        {"last covered byte", Changed(good, 12343, 0, 1), 1},
        {"trailer byte", Changed(good, 12346, 0, 1), 1},
        {"two bytes exchanged", swapped, 0},
        {"one up, one down", Changed(good, 500, 5, -5), 0},
        {"cut short", good.substr(0, good.size() - 3), 1},
    };
    for (const Case& c : cases) {
        Restart();
        EXPECT_EQ(Check(c.file), c.result) << c.name;
        EXPECT_EQ(MessageTexts(),
                  c.result ? std::vector<std::string>{CORRUPTED} : std::vector<std::string>{})
            << c.name;
    }
}

// One read for the trailer, then ceil(covered / 5000) reads, none of them empty.
TEST_F(ShellIntegrity, ReadsOnlyTheBuffersItNeeds) {
    for (size_t covered : {0u, 1u, 5000u, 10000u, 10001u, 415232u}) {
        Restart();
        EXPECT_EQ(Check(Intact(covered)), 0) << covered;
        EXPECT_EQ(PlatformCallCount("ReadFile"), 1 + (covered + 4999) / 5000) << covered;
    }
}

BOOL WINAPI ReadOneByteShort(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got,
                             LPOVERLAPPED overlapped) {
    return PlatformBackend.ReadFile(file, buffer, wanted > 4 ? wanted - 1 : wanted, got,
                                    overlapped);
}

// Each failure: its one message box (no owner yet), the result, and nothing left held.
TEST_F(ShellIntegrity, FailuresTellTheUserAndReleaseEverything) {
    struct Case {
        const char* call;
        unsigned nth;
        DWORD error;
        int result;
        const char* message;
    } cases[] = {
        {"CreateFileA", 1, 2, 1, "Due to unknown file error (0X2) during open of executables."},
        {"SetFilePointer", 1, 131, 1,
         "Due to unknown file error (0X83) during seek on executables."},
        {"ReadFile", 1, 30, 1, "Due to unknown file error (0X1E) during read of executables."},
        {"SetFilePointer", 2, 6, 1, "Due to unknown file error (0X6) during seek on executables."},
        {"GlobalAlloc", 1, 8, 1, "Unable to allocate read buffers!"},
        {"GlobalLock", 1, 8, 1, "Unable to allocate read buffers!"},
        {"ReadFile", 3, 30, -1, "Due to unknown file error (0X1E) during file extraction!"},
        {"short read", 0, 0, -1, CORRUPTED},
    };
    for (const Case& c : cases) {
        Restart();
        if (c.nth)
            FailPlatformCall(c.call, c.nth, 0, c.error);
        else
            win.ReadFile = ReadOneByteShort;
        EXPECT_EQ(Check(Intact(12000)), c.result) << c.call << c.nth;
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.call << c.nth;
        EXPECT_EQ(boxes[0].text + "/" + boxes[0].caption + "/" + boxes[0].owner,
                  std::string(c.message) + "/Aborting Install/none");
        EXPECT_EQ(boxes[0].style, MB_OK);
    }
    // Another process writing the installer: the open is refused (sharing violation).
    Restart();
    sim::PutFile("A:\\SETUP.EXE", Intact(100));
    sim::OpenAsOtherProcess("A:\\SETUP.EXE", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    strcpy(InstallState.installerPath, "A:\\SETUP.EXE");
    EXPECT_EQ(CheckInstallerIntegrity(sim::ModuleInstance(), nullptr), 1);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{
                                  "Due to unknown file error (0X20) during open of executables."});
}

}  // namespace
