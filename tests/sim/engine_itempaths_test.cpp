// Where items go and where their data comes from: target folders, the skip test for existing
// targets, diskette prompts, missing sources and the failures of path resolution.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <numeric>

#include "engine/engine.h"
#include "resources/ui_table.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

std::vector<std::string> openedNames;
HANDLE WINAPI RecordingCreateFileA(LPCSTR name, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE templateFile) {
    openedNames.push_back(name);
    return PlatformBackend.CreateFileA(name, access, share, security, disposition, flags,
                                       templateFile);
}

class EngineItemPaths : public SimTest {};

TEST_F(EngineItemPaths, TargetFolderFollowsTheDirectorySpec) {
    struct Case {
        const char* folder;
        const char* path;
    } cases[] = {
        {"", "C:\\TARGET\\F.TXT"},
        {"&WIN", "C:\\WINDOWS\\F.TXT"},
        {"&SYS", "C:\\WINDOWS\\SYSTEM\\F.TXT"},
        {"&win", "C:\\TARGET\\&win\\F.TXT"},  // keywords are upper case only: a sub-directory
        {"SUB", "C:\\TARGET\\SUB\\F.TXT"},    // exists already and is reused
        {"C:", "C:\\F.TXT"},
        {"C:\\APPS", "C:\\APPS\\F.TXT"},
    };
    for (const Case& c : cases) {
        SetUp();
        sim::MakeDirectories("C:\\TARGET\\SUB");
        sim::MakeDirectories("C:\\APPS");
        TestItem item = EmbeddedItem("F.TXT", c.folder, true);
        strncpy(item.entry.targetDirSpec, c.folder, sizeof item.entry.targetDirSpec - 1);
        EXPECT_EQ(RunInstall({item}), 1) << c.folder;
        EXPECT_EQ(FileText(c.path), c.folder) << c.folder;
        EXPECT_EQ(MessageTexts().size(), 0u) << c.folder;
    }
}

// The separator is always inserted, so a start directory at a drive root doubles it.
TEST_F(EngineItemPaths, SourcePathFromADriveRootHasADoubledSeparator) {
    TestItem item = ExternalItem("T.TXT", "S.TX_", "source");
    openedNames.clear();
    win.CreateFileA = RecordingCreateFileA;
    ASSERT_EQ(RunInstall({item}), 1);
    EXPECT_NE(std::find(openedNames.begin(), openedNames.end(), "A:\\\\S.TX_"), openedNames.end());
    EXPECT_EQ(FileText("C:\\TARGET\\T.TXT"), "source");
}

TEST_F(EngineItemPaths, ExistingTargetWithoutOverwriteIsPassedOverWithItsStoredBytes) {
    sim::PutFile("C:\\TARGET\\KEEP.TXT", "mine", FILE_ATTRIBUTE_READONLY);
    sim::PutFile("C:\\TARGET\\RUN.EXE", "MZ");
    TestItem keep = EmbeddedItem("KEEP.TXT", "packaged keep", true);
    TestItem run = EmbeddedItem("RUN.EXE", "packaged run", false, CF_LAUNCH_AFTER_COPY);
    TestItem next = EmbeddedItem("NEXT.TXT", "next item", true);
    ASSERT_EQ(RunInstall({keep, run, next}), 1);
    EXPECT_EQ(FileText("C:\\TARGET\\KEEP.TXT"), "mine");
    EXPECT_EQ(sim::GetFileInfo("C:\\TARGET\\KEEP.TXT").attributes, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(FileText("C:\\TARGET\\RUN.EXE"), "MZ");
    EXPECT_EQ(FileText("C:\\TARGET\\NEXT.TXT"), "next item");
    EXPECT_EQ(sim::EventsOf("launch").size(), 1u);  // the passed-over program still runs
    EXPECT_EQ(ControlTexts(PROGRESSDLG_FILE_NAME), std::vector<std::string>{"NEXT.TXT"});
}

// The skip test's open failing for a reason other than a missing or busy file says nothing
// about the target: the attributes decide, and an existing file is never overwritten.
TEST_F(EngineItemPaths, SkipTestFailureNeverOverwritesAnExistingTarget) {
    struct Case {
        const char* name;
        DWORD openError;
        DWORD attributesError;  // injected into the attribute lookup; 0: none
        bool exists;
        const char* content;  // of KEEP.DB afterwards
        const char* message;
    } cases[] = {
        {"denied, exists", ERROR_ACCESS_DENIED, 0, true, "mine", nullptr},
        {"network, exists", ERROR_NETNAME_DELETED, 0, true, "mine", nullptr},
        {"denied, attributes fail", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, true, "mine",
         "Due to unknown file error (0X5) during open for output."},
        // The attribute lookup itself says the file is not there: it is installed.
        {"denied, absent", ERROR_ACCESS_DENIED, 0, false, "packaged", nullptr},
        {"denied, attributes say not found", ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, false,
         "packaged", nullptr},
        {"not found", ERROR_FILE_NOT_FOUND, 0, false, "packaged", nullptr},
        {"path not found", ERROR_PATH_NOT_FOUND, 0, false, "packaged", nullptr},
        {"sharing violation", ERROR_SHARING_VIOLATION, 0, false, "packaged", nullptr},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.exists) sim::PutFile("C:\\TARGET\\KEEP.DB", "mine");
        TestItem keep = EmbeddedItem("KEEP.DB", "packaged", true);
        TestItem next = EmbeddedItem("NEXT.TXT", "next", true);
        FailPlatformCall("CreateFileA", 2, 0, c.openError);  // 1 is the installer file
        if (c.attributesError) FailPlatformCall("GetFileAttributesA", 1, 0, c.attributesError);
        int result = RunInstall({keep, next});
        EXPECT_EQ(result, c.message ? 0 : 1) << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\KEEP.DB"), c.content) << c.name;
        EXPECT_EQ(MessageTexts(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
        if (!c.message) {
            EXPECT_EQ(FileText("C:\\TARGET\\NEXT.TXT"), "next") << c.name;
        }
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// Targets the installer may not write: the user is told, and the file keeps its bytes.
TEST_F(EngineItemPaths, TargetThatCannotBeWrittenIsToldAndKept) {
    struct Case {
        const char* name;
        DWORD attributes;
        bool locked;  // held open by another program without sharing
        uint16_t flags;
        const char* message;
    } cases[] = {
        {"read-only, overwrite", FILE_ATTRIBUTE_READONLY, false, CF_OVERWRITE,
         "Due to unknown file error (0X5) during open for output."},
        {"locked, overwrite", FILE_ATTRIBUTE_ARCHIVE, true, CF_OVERWRITE,
         "Due to unknown file error (0X20) during open for output."},
        // Held open elsewhere counts as absent for the skip test; the open for output tells.
        {"locked, only if absent", FILE_ATTRIBUTE_ARCHIVE, true, 0,
         "Due to unknown file error (0X20) during open for output."},
        {"read-only, only if absent", FILE_ATTRIBUTE_READONLY, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        SetUp();
        sim::PutFile("C:\\TARGET\\APP.DB", "mine", c.attributes);
        int token = c.locked ? sim::OpenAsOtherProcess("C:\\TARGET\\APP.DB", GENERIC_READ, 0) : -1;
        int result = RunInstall({EmbeddedItem("APP.DB", "packaged", true, c.flags)});
        if (token >= 0) sim::CloseOtherProcessFile(token);
        EXPECT_EQ(result, c.message ? 0 : 1) << c.name;
        EXPECT_EQ(MessageTexts(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\APP.DB"), "mine") << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// A directory where an item's file goes is not a kept file: the open for output fails and
// the user is told, whether or not the entry may overwrite; nothing counts as installed.
TEST_F(EngineItemPaths, DirectoryAtTheTargetIsToldNotKept) {
    const struct {
        const char* name;
        uint16_t flags;
    } cases[] = {{"only if absent", 0},
                 {"overwrite", CF_OVERWRITE},
                 {"only if absent, required launch", CF_LAUNCH_AFTER_COPY | CF_LAUNCH_REQUIRED}};
    for (const auto& c : cases) {
        SetUp();
        sim::MakeDirectories("C:\\TARGET\\APP.EXE");
        int result = RunInstall(
            {EmbeddedItem("APP.EXE", "MZ", true, c.flags), EmbeddedItem("NEXT.TXT", "next", true)});
        EXPECT_EQ(result, 0) << c.name;
        EXPECT_EQ(
            MessageTexts(),
            std::vector<std::string>{"Due to unknown file error (0X5) during open for output."})
            << c.name;
        EXPECT_EQ(FileText("C:\\TARGET\\NEXT.TXT"), "<missing>") << c.name;
        EXPECT_TRUE(sim::EventsOf("launch").empty()) << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// Hostile packages: a stored size of 2 GB or more passed over for an existing target must
// move forward (and then find the package too short), never back into the table; a source
// opened for an entry that is neither embedded nor external must not stay open.
TEST_F(EngineItemPaths, HostileSizesAndFlagsNeitherMoveBackNorLeak) {
    sim::PutFile("C:\\TARGET\\KEEP.TXT", "mine");
    TestItem keep = EmbeddedItem("KEEP.TXT", "packaged keep", true);
    keep.entry.storedSize = 0xFFFFFF4C;
    TestItem next = EmbeddedItem("NEXT.TXT", "next item", true);
    EXPECT_EQ(RunInstall({keep, next}), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Install program is corrupted!"});
    EXPECT_EQ(FileText("C:\\TARGET\\NEXT.TXT").find('\0'), std::string::npos);
    EXPECT_EQ(HeldResources(), "");

    Reboot(DefaultMachine());
    sim::PutFile("A:\\ODD.DAT", "odd");
    TestItem odd = ExternalItem("ODD.TXT", "ODD.DAT", "odd");
    odd.entry.flags = 0;  // a source name, but neither embedded nor external
    TestItem external = ExternalItem("EXT.TXT", "EXT.DAT", "external");
    RunInstall({odd, external});
    EXPECT_EQ(HeldResources(), "");
}

// A skip that ends at 4 GB - 1 gets INVALID_SET_FILE_POINTER as its new position's low part
// with no error: a success. The last item passed over so, nothing more is read and the run
// completes; taken for a failure it would show a file extraction error.
TEST_F(EngineItemPaths, SkipEndingWhereTheLowPartLooksLikeAFailureSucceeds) {
    const uint32_t afterTable = TEST_PACKAGE_OFFSET + ITEM_COUNT_SIZE + COPY_ENTRY_SIZE;
    const struct {
        uint32_t storedSize;
        int result;
    } cases[] = {{0xFFFFFFFFu - afterTable, 1}, {0xFFFFFFFEu - afterTable, 1}};
    for (const auto& c : cases) {
        SetUp();
        sim::PutFile("C:\\TARGET\\KEEP.TXT", "mine");
        TestItem keep = EmbeddedItem("KEEP.TXT", "", false);
        keep.entry.storedSize = c.storedSize;
        EXPECT_EQ(RunInstall({keep}), c.result) << c.storedSize;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{}) << c.storedSize;
        EXPECT_EQ(FileText("C:\\TARGET\\KEEP.TXT"), "mine") << c.storedSize;
        EXPECT_EQ(HeldResources(), "") << c.storedSize;
    }
}

TEST_F(EngineItemPaths, DisketteMessagesOnlyFromARemovableDriveAndOnlyOnLabelChange) {
    const char* labels[] = {"DISK1", "DISK1", "disk1", "", "disk1", "DISK2"};
    for (UINT driveType : {(UINT)DRIVE_REMOVABLE, (UINT)DRIVE_FIXED}) {
        SetUp();
        sim::MachineConfig config = sim::Config();
        for (sim::DriveConfig& drive : config.drives)
            if (drive.letter == 'A') drive.type = driveType;
        sim::Boot(config);
        std::vector<TestItem> items;
        for (const char* label : labels) {
            items.push_back(EmbeddedItem("F" + std::to_string(items.size()) + ".TXT", "x", true));
            strncpy(items.back().entry.diskLabel, label, sizeof items.back().entry.diskLabel - 1);
        }
        ASSERT_EQ(RunInstall(items), 1);
        std::vector<std::string> expected;
        if (driveType == DRIVE_REMOVABLE)
            expected = {"Please insert the diskette labeled (disk1) into the (A:) drive.",
                        "Please insert the diskette labeled (DISK2) into the (A:) drive."};
        EXPECT_EQ(MessageTexts(), expected) << driveType;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
            EXPECT_EQ(box.caption, "Change Diskettes");
            EXPECT_EQ(box.owner, WINDOW_PROGRESSDLG);
            EXPECT_EQ(box.style, MB_OK);
        }
    }
}

// OK retries the open without a second diskette message; Cancel skips the item and counts its
// listed size, which can push the percentage past 100 until the final update.
TEST_F(EngineItemPaths, MissingSourcePromptRetriesOnOkAndSkipsOnCancel) {
    TestItem first = EmbeddedItem("FIRST.TXT", "first", false);
    strncpy(first.entry.diskLabel, "DISK1", 6);
    TestItem missing;
    missing.entry = MakeEntry(CF_EXTERNAL_SOURCE, "MISS.TXT", "MISS.TX_", 5);
    missing.entry.listedSize = 20;
    strncpy(missing.entry.diskLabel, "DISK2", 6);
    TestItem last = EmbeddedItem("LAST.TXT", "last item!", false);
    strncpy(last.entry.diskLabel, "DISK2", 6);
    sim::AnswerMessageBox(IDOK, "Please insure");
    sim::AnswerMessageBox(IDCANCEL, "Please insure");
    ASSERT_EQ(RunInstall({first, missing, last}), 1);
    const std::string prompt =
        "Please insure the diskette labeled (DISK2) is in the (A) drive and press Ok to "
        "continue or Cancel to skip the install of this file.";
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{
                                  "Please insert the diskette labeled (DISK2) into the (A:) drive.",
                                  prompt, prompt}));
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].caption, "Error locating file: MISS.TX_");
    EXPECT_EQ(boxes[1].style, MB_ICONWARNING | MB_OKCANCEL);
    EXPECT_EQ(FileText("C:\\TARGET\\MISS.TXT"), "<missing>");
    EXPECT_EQ(FileText("C:\\TARGET\\LAST.TXT"), "last item!");
    // Of 20: 5 read; then 5 + 20 (listed size of the skipped item) + 10; then the final update.
    EXPECT_EQ(ControlTexts(PROGRESSDLG_PERCENT),
              (std::vector<std::string>{"00%", "25%", "175%", "100%"}));
}

struct FailureCase {
    const char* name;
    std::vector<TestItem> (*items)();
    const char* message;
};

TEST_F(EngineItemPaths, FailuresEndTheInstallationWithTheirMessage) {
    FailureCase cases[] = {
        {"second level of a relative folder name",
         [] {
             TestItem item = EmbeddedItem("F.TXT", "x", true);
             strcpy(item.entry.targetDirSpec, "NEW\\DEEP");
             return std::vector<TestItem>{item};
         },
         "Due to unknown file error (0X3) during directory creation."},
        {"source in a missing folder",
         [] {
             TestItem item;
             item.entry = MakeEntry(CF_EXTERNAL_SOURCE, "F.TXT", "NODIR\\F.TX_", 1);
             return std::vector<TestItem>{item};
         },
         "Due to unknown file error (0X3) during open for input."},
        {"critical source cancelled",
         [] {
             sim::AnswerMessageBox(IDCANCEL, "Please insure");
             TestItem item;
             item.entry = MakeEntry(CF_EXTERNAL_SOURCE | CF_CRITICAL, "F.TXT", "F.TX_", 1);
             return std::vector<TestItem>{item};
         },
         "A critical file could not be located."},
        {"passed-over required program",
         [] {
             sim::PutFile("C:\\TARGET\\RUN.EXE", "MZ");
             sim::SetLaunchResult("RUN.EXE", 2);
             return std::vector<TestItem>{
                 EmbeddedItem("RUN.EXE", "MZ2", true,
                              CF_LAUNCH_AFTER_COPY | CF_LAUNCH_REQUIRED | CF_DELETE_AFTER_LAUNCH)};
         },
         "The invocation of program (RUN.EXE) failed with a return code of (0X2)."},
    };
    for (const FailureCase& c : cases) {
        SetUp();
        EXPECT_EQ(RunInstall(c.items()), 0) << c.name;
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_FALSE(boxes.empty()) << c.name;
        EXPECT_EQ(boxes.back().text, c.message) << c.name;
        EXPECT_EQ(boxes.back().caption, "Aborting Install") << c.name;
        EXPECT_EQ(boxes.back().owner, WINDOW_PROGRESSDLG) << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
    // The passed-over program is never deleted, whatever its entry says.
    EXPECT_EQ(FileText("C:\\TARGET\\RUN.EXE"), "MZ");
}

TEST_F(EngineItemPaths, PathThatWouldNotFitItsFieldIsRefused) {
    sim::MachineConfig config = sim::Config();
    config.windowsDir = "C:\\" + std::string(250, 'W');
    sim::Boot(config);
    sim::MakeDirectories(config.windowsDir);
    TestItem item = EmbeddedItem("LONGNAME.TXT", "x", true);
    strcpy(item.entry.targetDirSpec, "&WIN");
    EXPECT_EQ(RunInstall({item}), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"The path of (LONGNAME.TXT) is too long!"});
    EXPECT_EQ(HeldResources(), "");
}

}  // namespace
