// Validation and creation of the typed directory, driven through the directory dialog's Ok:
// the fixed check order, level-by-level creation, and the conflict check of an existing final
// directory against the settings of an earlier installation.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>

#include "engine/installstate.h"
#include "setupdir/setupdir.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

const char KEY[] = "SOFTWARE\\VarnookSW\\Quorvane by Varnook";
const char IN_USE[] = "Directory name already in use by another program choose another!";
const char FIXED[] = "You must install on a Fixed Drive!";
const char SPACE[] = "Insufficient Space on Drive!";
const char INVALID[] = "Invalid Directory Name!";
const char CREATING[] = "Creating Directory Name";
const char PROPOSED[] = "C:\\DEFAULT\\QRVNE32";

class SetupDirValidate : public SimTest {
   protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::MachineConfig config = DefaultMachine();
        auto drive = [&](char letter, UINT type, DWORD kilobytesFree) {
            sim::DriveConfig& d = DriveOf(config, letter);
            d.type = type, d.sectorsPerCluster = 1, d.bytesPerSector = 1024;
            d.freeClusters = kilobytesFree;
        };
        drive('D', DRIVE_FIXED, 699);
        drive('E', DRIVE_FIXED, 700);
        drive('F', DRIVE_FIXED, (4u << 20) + 4);  // 4 GiB + 4 KiB: 4 KiB in 32-bit arithmetic
        drive('N', DRIVE_REMOTE, 1 << 20);
        Reboot(config);
        ResetInstallState();
        InstallState.instance = sim::ModuleInstance();
        strcpy(InstallState.targetDir, PROPOSED);
    }
    void Restart() { TearDown(), SetUp(); }
    // Types `text`, presses Ok, and gives up when Ok was refused. Returns the messages shown
    // ("" when the directory was accepted) and checks how they were shown.
    std::string Attempt(const std::string& text) {
        sim::Type(DIRDLG_EDIT, text);
        sim::Press(DIRDLG_OK);
        sim::Press(DIRDLG_ABORT);
        int accepted =
            ChooseTargetDirectory(sim::ModuleInstance(), nullptr, InstallState.targetDir);
        std::string messages;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
            if (box.caption != "Error") continue;
            EXPECT_EQ(box.owner + " " + std::to_string(box.style), "dirdlg 8192");  // MB_TASKMODAL
            messages += box.text;
        }
        EXPECT_EQ(accepted, messages.empty()) << text;
        EXPECT_EQ(InstallState.targetDir, accepted ? text : PROPOSED);
        return messages;
    }
    static std::string Created() {
        std::string paths;
        for (const sim::Event& e : sim::EventsOf("mkdir")) paths += e.Get("path") + ";";
        return paths;
    }
};

TEST_F(SetupDirValidate, ChecksInOrderAndCreatesEveryLevel) {
    struct Case {
        std::string text;
        std::function<void()> arrange;
        std::string message;
        std::string created;
    } cases[] = {
        {"c:\\varnooksw\\qrvne32", {}, "", "c:\\varnooksw;c:\\varnooksw\\qrvne32;"},
        {"C:\\QRVNE32X", {}, "", "C:\\QRVNE32X;"},
        {"C:\\QRVNE32\\DATA", {}, "", "C:\\QRVNE32;C:\\QRVNE32\\DATA;"},
        {"C:\\QRVNE32\\", {}, "", "C:\\QRVNE32;"},
        {"C:\\PROGRAMS", {}, "Directory must include QRVNE32 in its name", ""},
        {"QRVNE32", {}, INVALID, ""},
        {"\\QRVNE32", {}, INVALID, ""},
        {"", {}, INVALID, ""},
        {"A:\\PROGRAMS", {}, FIXED, ""},
        {"N:\\QRVNE32", {}, FIXED, ""},
        {"Z:\\QRVNE32", {}, FIXED, ""},
        {"C:QRVNE32", {}, FIXED, ""},  // its root "C:Q" is no drive
        {"D:\\QRVNE32", {}, SPACE, ""},
        {"E:\\QRVNE32", {}, "", "E:\\QRVNE32;"},
        {"F:\\QRVNE32", {}, "", "F:\\QRVNE32;"},
        {"C:\\QRVNE32", [] { FailPlatformCall("GetDiskFreeSpaceA", 1, 0, 21); }, SPACE, ""},
        {"C:\\Varnook\\QRVNE32", [] { sim::MakeDirectories("C:\\Varnook"); }, "",
         "C:\\Varnook\\QRVNE32;"},
        {"C:\\Varnook\\QRVNE32", [] { sim::MakeDirectories("C:\\Varnook\\QRVNE32"); }, IN_USE, ""},
        {"C:\\Varnook\\QRVNE32", [] { sim::PutFile("C:\\Varnook", "a file"); }, CREATING, ""},
        {"C:\\A\\B\\QRVNE32", [] { FailPlatformCall("CreateDirectoryA", 2, 0, 5); }, CREATING,
         "C:\\A;"},
    };
    for (const Case& c : cases) {
        Restart();
        if (c.arrange) c.arrange();
        EXPECT_EQ(Attempt(c.text), c.message) << c.text;
        EXPECT_EQ(Created(), c.created) << c.text;
    }
    // Not reachable from the dialog (a text without '\' has no fixed root), but still refused.
    EXPECT_EQ(CreateTargetDirectory("C:QRVNE32", nullptr), 0);
    EXPECT_EQ(MessageTexts().back(), "Invalid Directory Name");
}

// An existing final directory is ours only when a stored setting names it; the registry's
// value is final for its name, WIN.INI is asked only when the registry has nothing usable.
TEST_F(SetupDirValidate, ExistingDirectoryMustBeTheEarlierInstallation) {
    const std::string dir = "C:\\Quorvane Data\\QRVNE32";
    auto ini = [&](const char* section, const char* key, const std::string& value) {
        sim::SetProfileString(section, key, value);
    };
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool accepted;
    } cases[] = {
        {"nothing stored", [] {}, false},
        {"registry, other case",
         [] { sim::SetRegistryString(KEY, "Directory", "c:\\QUORVANE data\\qrvne32"); }, true},
        {"registry OldDirectory", [&] { sim::SetRegistryString(KEY, "OldDirectory", dir); }, true},
        {"registry value is final",
         [&] {
             sim::SetRegistryString(KEY, "Directory", "C:\\X"),
                 ini("Quorvane by Varnook", "Directory", dir);
         },
         false},
        {"150 bytes unterminated",
         [&] {
             sim::SetRegistryBytes(KEY, "Directory", std::vector<uint8_t>(150, 'X'));
             ini("Quorvane by Varnook", "Directory", dir);
         },
         true},
        {"no full access",
         [&] { sim::SetRegistryString(KEY, "Directory", dir), sim::DenyFullAccess(KEY); }, false},
        {"first section", [&] { ini("Quorvane by Varnook", "Directory", dir); }, true},
        {"second section", [&] { ini("Quorvane", "OldDirectory", dir); }, true},
        {"first section answers first",
         [&] {
             ini("Quorvane by Varnook", "Directory", "C:\\X"), ini("Quorvane", "Directory", dir);
         },
         false},
        {"short form stored",
         [&] {
             char shortForm[MAX_PATH] = "";
             PlatformBackend.GetShortPathNameA(dir.c_str(), shortForm, MAX_PATH);
             EXPECT_NE(shortForm, dir);
             sim::SetRegistryString(KEY, "Directory", shortForm);
         },
         true},
    };
    for (const Case& c : cases) {
        Restart();
        sim::MakeDirectories(dir);
        c.arrange();
        EXPECT_EQ(Attempt(dir), c.accepted ? "" : IN_USE) << c.name;
        ExpectNothingHeld();
    }
}

// A file where the final directory should be is never taken as the target directory, even
// when the earlier installation's settings name it.
TEST_F(SetupDirValidate, FileInPlaceOfTheFinalDirectoryIsRefused) {
    for (const char* stored : {"", "C:\\APPS\\QRVNE32"}) {
        Restart();
        sim::MakeDirectories("C:\\APPS");
        sim::PutFile("C:\\APPS\\QRVNE32", "a file");
        if (stored[0]) sim::SetRegistryString(KEY, "Directory", stored);
        EXPECT_EQ(Attempt("C:\\APPS\\QRVNE32"), "Creating Directory Name") << stored;
        EXPECT_EQ(FileText("C:\\APPS\\QRVNE32"), "a file");
        ExpectNothingHeld();
    }
}

// Stand-ins for GetShortPathNameA; they answer the same whatever path they are given.
DWORD WINAPI ShortFormTooLong(LPCSTR /*path*/, LPSTR out, DWORD /*size*/) {
    strcpy(out, "X");  // what a careless platform might leave behind
    return 300;
}
DWORD WINAPI NoShortForms(LPCSTR /*path*/, LPSTR /*out*/, DWORD /*size*/) {
    return 0;
}

// Without a usable short form (too long, or no 8.3 names at all) a path is compared as it is.
TEST_F(SetupDirValidate, PathWithoutUsableShortFormIsComparedUnchanged) {
    for (auto shortPath : {ShortFormTooLong, NoShortForms}) {
        win.GetShortPathNameA = shortPath;
        EXPECT_EQ(SameShortPath("C:\\Some Dir\\QRVNE32", "c:\\some dir\\qrvne32"), 1);
        EXPECT_EQ(SameShortPath("C:\\Some Dir\\QRVNE32", "C:\\Some Dir\\QRVNE33"), 0);
        EXPECT_EQ(SameShortPath("C:\\Some Dir\\QRVNE32", ""), 0);
    }
}

}  // namespace
