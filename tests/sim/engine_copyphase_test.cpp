// The install driver and the copy phase in the progress dialog: a whole installation end to
// end, timers in virtual time, the progress display, Abort Install, the launch passes and the
// driver's failures, each leaving nothing open or allocated.
#include <gtest/gtest.h>
#include <string.h>

#include "engine/engine.h"
#include "resources/ui_table.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

class EngineCopyPhase : public SimTest {};

std::vector<long long> TimerIds(const char* kind) {
    std::vector<long long> ids;
    for (const sim::Event& e : sim::EventsOf(kind)) ids.push_back(e.Number("id"));
    return ids;
}

TEST_F(EngineCopyPhase, WholeInstallationFromInstallFilesToRelease) {
    std::string big(6000, 'b');
    TestItem readme = EmbeddedItem("README.TXT", "read me", true, CF_OVERWRITE);
    TestItem hidden = EmbeddedItem("HIDDEN.BIN", big, false, CF_HIDE_NAME);
    TestItem external = ExternalItem("EXT.TXT", "EXT.TX_", "external");
    ASSERT_EQ(RunInstall({readme, hidden, external}), 1);

    EXPECT_EQ(FileText("C:\\TARGET\\README.TXT"), "read me");
    EXPECT_EQ(FileText("C:\\TARGET\\HIDDEN.BIN"), big);
    EXPECT_EQ(FileText("C:\\TARGET\\EXT.TXT"), "external");
    EXPECT_TRUE(MessageTexts().empty());
    // The hidden name leaves the previous one in place.
    EXPECT_EQ(ControlTexts(PROGRESSDLG_FILE_NAME),
              (std::vector<std::string>{"README.TXT", "EXT.TXT"}));
    std::vector<std::string> percents = ControlTexts(PROGRESSDLG_PERCENT);
    EXPECT_EQ(percents.front(), "00%");
    EXPECT_EQ(percents.back(), "100%");

    // Start; readme (one tick, in the start tick); hidden (two ticks); external; done.
    EXPECT_EQ(TimerIds("timer-set"), (std::vector<long long>{111, 222, 222, 222, 333}));
    EXPECT_EQ(TimerIds("timer-kill"), TimerIds("timer"));
    std::vector<sim::Event> sets = sim::EventsOf("timer-set");
    EXPECT_EQ(sets.front().Number("ms"), 60);
    EXPECT_EQ(sets.back().Number("ms"), 2000);
    std::vector<sim::Event> ends = sim::EventsOf("dialog-end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].Number("result"), 1);
    EXPECT_EQ(ends[0].t, sets.back().t + 2000);  // the full bar stays for two seconds
    EXPECT_EQ(sim::EventsOf("caption").at(0).Get("text"), "Installing Application Files");

    EXPECT_EQ(HeldResources(), "");
    EXPECT_EQ(InstallState.progressDialog, nullptr);
    EXPECT_EQ(InstallState.table, nullptr);
    EXPECT_EQ(InstallState.installerFile, nullptr);
}

// The frame, then the fill of width f x (right - left - 6) from left + 3.
TEST_F(EngineCopyPhase, BarIsAFrameAndABlueFillOfTheDoneFraction) {
    struct Case {
        const char* name;
        std::vector<TestItem> items;
        std::vector<std::string> percents;
        std::vector<double> fractions;
    } cases[] = {
        {"half and full",
         {EmbeddedItem("A", "12", false), EmbeddedItem("B", "34", false)},
         {"00%", "50%", "100%", "100%"},
         {0, 0.5, 1, 1}},
        // Nothing to copy at all: complete from the start, never a division by zero.
        {"total of 0", {EmbeddedItem("EMPTY", "", false)}, {"100%", "100%", "100%"}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(RunInstall(c.items), 1) << c.name;
        EXPECT_EQ(ControlTexts(PROGRESSDLG_PERCENT), c.percents) << c.name;
        std::vector<sim::Event> rects = sim::EventsOf("rectangle");
        ASSERT_EQ(rects.size(), 2 * c.fractions.size()) << c.name;
        for (size_t i = 0; i < c.fractions.size(); i++) {
            const sim::Event& frame = rects[2 * i];
            const sim::Event& fill = rects[2 * i + 1];
            EXPECT_EQ(frame.Number("penWidth"), 3);
            EXPECT_EQ(frame.Number("penColor"), 0);
            EXPECT_EQ(frame.Number("brushColor"), 0xFFFFFF);
            EXPECT_EQ(fill.Number("penColor"), 0xFF0000);
            EXPECT_EQ(fill.Number("brushColor"), 0xFF0000);
            long long left = frame.Number("left"), right = frame.Number("right");
            EXPECT_GT(right - left, 100);  // pixels, converted at the first tick
            EXPECT_EQ(fill.Number("left"), left + 3);
            EXPECT_EQ(fill.Number("top"), frame.Number("top") + 3);
            EXPECT_EQ(fill.Number("bottom"), frame.Number("bottom") - 3);
            EXPECT_EQ(fill.Number("right"),
                      left + 3 + (long long)(c.fractions[i] * (double)(right - left - 6)))
                << c.name << " " << i;
        }
    }
}

TEST_F(EngineCopyPhase, EverythingPassedOverGoesStraightToTheDoneTimer) {
    sim::PutFile("C:\\TARGET\\A", "old");
    ASSERT_EQ(RunInstall({EmbeddedItem("A", "new", true), ProgramEntry("NONE.EXE", 0)}), 1);
    EXPECT_EQ(TimerIds("timer-set"), (std::vector<long long>{111, 333}));
    EXPECT_EQ(ControlTexts(PROGRESSDLG_PERCENT), (std::vector<std::string>{"00%", "100%"}));
    EXPECT_TRUE(ControlTexts(PROGRESSDLG_FILE_NAME).empty());
    EXPECT_EQ(FileText("C:\\TARGET\\A"), "old");
}

struct AbortCase {
    const char* name;
    sim::ActionKind kind;
    int64_t at;
    int result;
    long long writtenBeforeAbort;  // bytes of BIG.TXT
};

// Ticks at 60 (start and the first buffer), 120, 180; the done timer fires at 2180.
TEST_F(EngineCopyPhase, AbortInstallEndsTheDialogBetweenSteps) {
    AbortCase cases[] = {
        {"button during the copy", sim::ActionKind::Press, 100, 0, 4981},
        {"enter during the copy", sim::ActionKind::Enter, 100, 0, 4981},
        {"escape does nothing", sim::ActionKind::Escape, 100, 1, 10000},
        {"button in the final pause", sim::ActionKind::Press, 1000, 0, 10000},
    };
    for (const AbortCase& c : cases) {
        SetUp();
        sim::PutFile("C:\\TARGET\\END.EXE", "MZ");
        sim::UserAction action;
        action.kind = c.kind;
        action.control = 1;
        action.at = c.at;
        sim::QueueAction(action);
        std::string content(10000, 'z');
        EXPECT_EQ(RunInstall({EmbeddedItem("BIG.TXT", content, true),
                              ProgramEntry("END.EXE", CF_LAUNCH_AT_END)}),
                  c.result)
            << c.name;
        EXPECT_EQ((long long)sim::GetFileInfo("C:\\TARGET\\BIG.TXT").size, c.writtenBeforeAbort)
            << c.name;
        std::vector<std::string> expected;
        if (c.result == 0) expected = {"Aborting install at users request!"};
        EXPECT_EQ(MessageTexts(), expected) << c.name;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes())
            EXPECT_EQ(box.owner, WINDOW_PROGRESSDLG) << c.name;
        // The post-launch pass runs only after a completed copy phase.
        EXPECT_EQ(sim::EventsOf("launch").size(), c.result == 1 ? 1u : 0u) << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// A failing post-launch entry ends the pass; the installation still counts as complete.
TEST_F(EngineCopyPhase, PostLaunchFailureStopsThePassButKeepsTheResult) {
    sim::PutFile("C:\\TARGET\\ONE.EXE", "MZ");
    sim::PutFile("C:\\TARGET\\TWO.EXE", "MZ");
    sim::SetLaunchResult("ONE.EXE", 2);
    EXPECT_EQ(RunInstall({EmbeddedItem("A", "a", true),
                          ProgramEntry("ONE.EXE", CF_LAUNCH_AT_END | CF_LAUNCH_REQUIRED),
                          ProgramEntry("TWO.EXE", CF_LAUNCH_AT_END)}),
              1);
    EXPECT_EQ(sim::EventsOf("launch").size(), 1u);
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "The invocation of program (ONE.EXE) failed with a return code of (0X2).");
    EXPECT_EQ(boxes[0].owner, "none");
}

// An existing target is cut to the new data, also when the item fails part-way.
TEST_F(EngineCopyPhase, OverwrittenTargetKeepsNoOldBytes) {
    std::string content(10000, 'n');
    for (int failWrite : {0, 2}) {
        SetUp();
        sim::PutFile("C:\\TARGET\\OLD.TXT", std::string(20000, 'o'));
        if (failWrite) FailPlatformCall("WriteFile", failWrite, 0, ERROR_WRITE_FAULT);
        EXPECT_EQ(RunInstall({EmbeddedItem("OLD.TXT", content, true, CF_OVERWRITE)}),
                  failWrite ? 0 : 1);
        EXPECT_EQ(FileText("C:\\TARGET\\OLD.TXT"), failWrite ? content.substr(0, 4981) : content);
    }
}

struct DriverFailure {
    const char* call;
    unsigned nth;
    DWORD error;
    std::string message;
};

TEST_F(EngineCopyPhase, DriverFailuresAreReportedAndReleaseEverything) {
    DriverFailure cases[] = {
        {"GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY, "Unable to allocate copy buffers!"},
        {"GlobalLock", 2, ERROR_NOT_ENOUGH_MEMORY, "Unable to allocate copy buffers!"},
        {"CreateFileA", 1, ERROR_SHARING_VIOLATION,
         "Due to unknown file error (0X20) during open of executable."},
        {"SetFilePointer", 1, ERROR_NEGATIVE_SEEK,
         "Due to unknown file error (0X83) during seek on executable."},
        {"ReadFile", 1, ERROR_READ_FAULT,
         "Due to unknown file error (0X1E) during read of executable."},
        {"ReadFile", 2, ERROR_READ_FAULT,
         "Due to unknown file error (0X1E) during read of executable."},
        {"LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY, "Unable to allocate copy table!"},
        {"LocalLock", 1, ERROR_NOT_ENOUGH_MEMORY, "Unable to allocate copy table!"},
        {"DialogBoxParamA", 1, ERROR_RESOURCE_NAME_NOT_FOUND,
         "Unable to display the progress dialog!"},
        {"CreateFileA", 2, ERROR_ACCESS_DENIED,
         "Due to unknown file error (0X5) during open for output."},
        {"SetEndOfFile", 1, ERROR_ACCESS_DENIED,
         "Due to unknown file error (0X5) during open for output."},
    };
    for (const DriverFailure& c : cases) {
        SetUp();
        FailPlatformCall(c.call, c.nth, 0, c.error);
        EXPECT_EQ(RunInstall({EmbeddedItem("A", "a", true, CF_OVERWRITE)}), 0) << c.call;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.message}) << c.call << c.nth;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes())
            EXPECT_EQ(box.caption, "Aborting Install");
        EXPECT_EQ(HeldResources(), "") << c.call << c.nth;
    }
}

TEST_F(EngineCopyPhase, EmptyTableIsRefused) {
    EXPECT_EQ(RunInstallBlock(std::string(2, '\0')), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to allocate copy table!"});
    EXPECT_TRUE(sim::EventsOf("dialog").empty());
    EXPECT_EQ(HeldResources(), "");
}

// Every platform call of a small installation failing in turn: the run either completes or
// the user was told, and nothing stays open or allocated.
TEST_F(EngineCopyPhase, EveryFailingPlatformCallIsToldAndReleased) {
    const char* calls[] = {"CreateFileA",
                           "ReadFile",
                           "WriteFile",
                           "SetFilePointer",
                           "SetEndOfFile",
                           "CreateDirectoryA",
                           "GetSystemDirectoryA",
                           "SetFileTime",
                           "SystemTimeToFileTime",
                           "LocalFileTimeToFileTime",
                           "SetFileAttributesA",
                           "WinExec",
                           "GlobalAlloc",
                           "GlobalLock",
                           "LocalAlloc",
                           "LocalLock",
                           "GetDC",
                           "CreatePen",
                           "CreateSolidBrush",
                           "SelectObject",
                           "MapDialogRect",
                           "GetCurrentDirectoryA",
                           "SetCurrentDirectoryA",
                           "DeleteFileA"};
    for (const char* call : calls) {
        for (unsigned nth = 1; nth < 40; nth++) {
            SetUp();
            sim::PutFile("C:\\WINDOWS\\SYSTEM\\OLD.DLL", "old");
            TestItem sys = EmbeddedItem("OLD.DLL", "dll", false);
            strcpy(sys.entry.targetDirSpec, "&SYS");
            TestItem sub = EmbeddedItem("SETUP2.EXE", "MZ" + std::string(6998, 's'), true,
                                        CF_LAUNCH_AFTER_COPY | CF_DELETE_AFTER_LAUNCH);
            strcpy(sub.entry.targetDirSpec, "BIN");
            std::vector<TestItem> items{ExternalItem("EXT.TXT", "EXT.TX_", "ext"), sys, sub};
            FailPlatformCall(call, nth, 0, ERROR_ACCESS_DENIED);
            int result = RunInstall(items);
            if (PlatformFaultsFired() == 0) break;
            EXPECT_TRUE(result == 1 || PlatformCallCount("MessageBoxA") > 0) << call << nth;
            EXPECT_EQ(HeldResources(), "") << call << " " << nth;
        }
    }
}

bool AnyStuck() {
    return !sim::EventsOf("stuck").empty();
}

// A timer that cannot be armed would leave the dialog waiting for a tick that never comes: the
// user is told, the item's files are closed and the dialog ends with 0.
TEST_F(EngineCopyPhase, TimerThatCannotBeArmedEndsTheInstallation) {
    // 10000 bytes: 111 at start, 222 twice, 333 when done.
    for (unsigned nth : {1u, 2u, 4u}) {
        SetUp();
        FailPlatformCall("SetTimer", nth, 0, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(RunInstall({EmbeddedItem("BIG.TXT", std::string(10000, 'z'), true)}), 0) << nth;
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << nth;
        EXPECT_EQ(boxes[0].text, "Due to unknown timer error (0X8) during installation!") << nth;
        EXPECT_EQ(boxes[0].caption, "Aborting Install") << nth;
        EXPECT_EQ(boxes[0].owner, WINDOW_PROGRESSDLG) << nth;
        EXPECT_FALSE(AnyStuck()) << nth;
        EXPECT_EQ(HeldResources(), "") << nth;
    }
}

// EndDialog that fails must not leave the dialog open with nothing pending: it is destroyed,
// and the installation goes on as the dialog meant to end: a completed copy runs its
// post-launch programs, Abort Install ends it.
TEST_F(EngineCopyPhase, FailedEndDialogStillEndsTheDialog) {
    struct Case {
        const char* name;
        int64_t abortAt;  // -1: no abort
        const char* message;
        int result;
        size_t launches;
    } cases[] = {
        {"at the done timer", -1, nullptr, 1, 1},
        {"after Abort Install", 100, "Aborting install at users request!", 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        sim::PutFile("C:\\TARGET\\END.EXE", "MZ");
        if (c.abortAt >= 0) {
            sim::UserAction action;
            action.kind = sim::ActionKind::Press;
            action.control = 1;
            action.at = c.abortAt;
            sim::QueueAction(action);
        }
        FailPlatformCall("EndDialog", 1, 1, ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(RunInstall({EmbeddedItem("BIG.TXT", std::string(10000, 'z'), true),
                              ProgramEntry("END.EXE", CF_LAUNCH_AT_END)}),
                  c.result)
            << c.name;
        EXPECT_EQ(MessageTexts(),
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
        EXPECT_FALSE(AnyStuck()) << c.name;
        EXPECT_EQ(sim::EventsOf("launch").size(), c.launches) << c.name;
        EXPECT_EQ(HeldResources(), "") << c.name;
    }
}

// The bar's rectangle in pixels is what a clean run draws; a failed conversion draws no bar
// until a later tick converts it.
TEST_F(EngineCopyPhase, FailedMapDialogRectIsRetriedAndDrawsNoBarUntilThen) {
    std::string content(15000, 'z');
    ASSERT_EQ(RunInstall({EmbeddedItem("BIG.TXT", content, true)}), 1);
    std::vector<sim::Event> clean = sim::EventsOf("rectangle");
    ASSERT_FALSE(clean.empty());
    const std::string frame = clean[0].Get("left") + "," + clean[0].Get("top") + "," +
                              clean[0].Get("right") + "," + clean[0].Get("bottom");
    for (int persistent : {0, 1}) {
        SetUp();
        FailPlatformCall("MapDialogRect", 1, persistent, ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(RunInstall({EmbeddedItem("BIG.TXT", content, true)}), 1) << persistent;
        std::vector<sim::Event> rects = sim::EventsOf("rectangle");
        EXPECT_EQ(ControlTexts(PROGRESSDLG_PERCENT).back(), "100%") << persistent;
        if (persistent) {
            EXPECT_TRUE(rects.empty());
            continue;
        }
        ASSERT_FALSE(rects.empty());
        EXPECT_GT(rects[0].t, sim::EventsOf("timer")[0].t) << "no bar in the first tick";
        EXPECT_EQ(rects[0].Get("left") + "," + rects[0].Get("top") + "," + rects[0].Get("right") +
                      "," + rects[0].Get("bottom"),
                  frame);
        EXPECT_EQ(PlatformCallCount("MapDialogRect"), 2u);
    }
}

std::vector<std::string> releaseOrder;
BOOL WINAPI RecordingCloseHandle(HANDLE handle) {
    releaseOrder.push_back("CloseHandle");
    return PlatformBackend.CloseHandle(handle);
}
HGLOBAL WINAPI RecordingGlobalFree(HGLOBAL block) {
    releaseOrder.push_back("GlobalFree");
    return PlatformBackend.GlobalFree(block);
}
HLOCAL WINAPI RecordingLocalFree(HLOCAL block) {
    releaseOrder.push_back("LocalFree");
    return PlatformBackend.LocalFree(block);
}
int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    releaseOrder.push_back("MessageBoxA");
    return PlatformBackend.MessageBoxA(owner, text, caption, style);
}

// After a failed seek or read of the package the installer file is closed first, straight
// after the message, then the table and the buffers are given back.
TEST_F(EngineCopyPhase, FailedPackageReadClosesTheInstallerFileFirst) {
    const std::vector<std::string> withoutTable = {"MessageBoxA", "CloseHandle", "GlobalFree",
                                                   "GlobalFree"};
    std::vector<std::string> withTable = withoutTable;
    withTable.insert(withTable.begin() + 2, "LocalFree");
    struct Case {
        const char* call;
        unsigned nth;
        std::string block;
        std::vector<std::string> order;
    } cases[] = {
        {"SetFilePointer", 1, "", withoutTable},
        {"ReadFile", 1, "", withoutTable},
        {"ReadFile", 2, "", withTable},
        {"", 0, std::string("\x02\x00", 2) + std::string(COPY_ENTRY_SIZE, 'x'), withTable},
    };
    for (const Case& c : cases) {
        SetUp();
        releaseOrder.clear();
        win.CloseHandle = RecordingCloseHandle;
        win.GlobalFree = RecordingGlobalFree;
        win.LocalFree = RecordingLocalFree;
        win.MessageBoxA = RecordingMessageBoxA;
        if (c.nth) FailPlatformCall(c.call, c.nth, 0, ERROR_READ_FAULT);
        int result =
            c.block.empty() ? RunInstall({EmbeddedItem("A", "a", true)}) : RunInstallBlock(c.block);
        RestorePlatformCalls();
        EXPECT_EQ(result, 0) << c.call << c.nth;
        EXPECT_EQ(releaseOrder, c.order) << c.call << c.nth;
        EXPECT_EQ(HeldResources(), "") << c.call << c.nth;
    }
}

}  // namespace
