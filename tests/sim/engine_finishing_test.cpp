// Finishing of installed files (date, time, attributes) and the start of package programs,
// seen through whole installations on the simulated Windows.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <numeric>

#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

class EngineFinishing : public SimTest {
   protected:
    void BootWithUtcOffset(int minutes) {
        sim::MachineConfig config = sim::Config();
        config.utcOffsetMinutes = minutes;
        sim::Boot(config);
    }
};

TEST_F(EngineFinishing, DosDateAndTimeBecomeTheLastWriteTimeInUtc) {
    struct Case {
        uint16_t date, time;
        int utcOffset;
        const char* lastWrite;
    } cases[] = {
        {0x2B4B, 0x8D46, 0, "2001-10-11T17:42:12Z"},
        {0x2B4B, 0x8D46, 120, "2001-10-11T15:42:12Z"},
        {0x2B4B, (17 << 11) | (42 << 5) | 29, 0, "2001-10-11T17:42:58Z"},  // seconds field 29
        {0x0021, 0x0000, -60, "1980-01-01T01:00:00Z"},
    };
    for (const Case& c : cases) {
        BootWithUtcOffset(c.utcOffset);
        TestItem item = EmbeddedItem("DATED.TXT", "dated", true, CF_OVERWRITE);
        item.entry.fileDate = c.date;
        item.entry.fileTime = c.time;
        ASSERT_EQ(RunInstall({item}), 1) << c.lastWrite;
        EXPECT_EQ(sim::FormatFileTime(sim::GetFileInfo("C:\\TARGET\\DATED.TXT").lastWriteTime),
                  c.lastWrite);
    }
}

TEST_F(EngineFinishing, AttributesReplaceWhatTheFileHadEvenReadOnly) {
    sim::PutFile("C:\\TARGET\\OLD.TXT", "old", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    TestItem old = EmbeddedItem("OLD.TXT", "new", false, CF_OVERWRITE);
    TestItem readOnly = EmbeddedItem("RO.TXT", "ro", false);
    readOnly.entry.attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_EQ(RunInstall({old, readOnly}), 1);
    EXPECT_EQ(sim::GetFileInfo("C:\\TARGET\\OLD.TXT").attributes, FILE_ATTRIBUTE_ARCHIVE);
    sim::FileInfo ro = sim::GetFileInfo("C:\\TARGET\\RO.TXT");
    EXPECT_EQ(ro.attributes, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(sim::FormatFileTime(ro.lastWriteTime), "2001-10-11T17:42:12Z");
}

// An impossible stored date ends the item with a message; the written file stays.
TEST_F(EngineFinishing, InvalidStoredDateIsRefusedAndTheFileStays) {
    for (uint16_t date : {(uint16_t)0x2B40, (uint16_t)0x2A1F /* month 0 */, (uint16_t)0x2A5E}) {
        SetUp();
        TestItem item = EmbeddedItem("BAD.TXT", "bytes", true);
        item.entry.fileDate = date;  // day 0, month 0, 30 February
        EXPECT_EQ(RunInstall({item}), 0);
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Error setting file Date & Time!"});
        EXPECT_EQ(FileText("C:\\TARGET\\BAD.TXT"), "bytes");
        EXPECT_EQ(HeldResources(), "");
    }
}

struct LaunchCase {
    const char* name;
    std::string targetDir;
    std::string arguments;
    std::string command;
};

// A program path with a blank goes in quotes, so that Windows cannot take a prefix ending at
// the blank for the program; a path without one is written as it is.
TEST_F(EngineFinishing, CommandLineQuotesAPathWithABlankAndPutsArgumentsAfterOneBlank) {
    std::string longDir = "C:\\" + std::string(236, 'D');        // 239 characters
    std::string longSpaced = "C:\\MY " + std::string(233, 'D');  // 239 characters, one blank
    std::string longProgram = std::string(15, 'P') + ".EXE";
    LaunchCase cases[] = {
        {"8.3 path", "C:\\MYAPPS", "", "C:\\MYAPPS\\RUN.EXE"},
        {"8.3 path, arguments", "C:\\MYAPPS", "/q x", "C:\\MYAPPS\\RUN.EXE /q x"},
        {"blank", "C:\\MY APPS", "", "\"C:\\MY APPS\\RUN.EXE\""},
        {"blank, arguments", "C:\\MY APPS", "/q x", "\"C:\\MY APPS\\RUN.EXE\" /q x"},
        {"longest path, longest arguments", longDir, std::string(79, 'a'),
         longDir + "\\" + longProgram + " " + std::string(79, 'a')},
        {"longest quoted path, longest arguments", longSpaced, std::string(79, 'a'),
         "\"" + longSpaced + "\\" + longProgram + "\" " + std::string(79, 'a')},
    };
    for (const LaunchCase& c : cases) {
        SetUp();
        size_t quote = c.command[0] == '"' ? 1 : 0;
        std::string program = c.command.substr(quote, c.command.find(".EXE") + 4 - quote);
        sim::PutFile(program, "MZ");
        TestItem entry = ProgramEntry(program.substr(c.targetDir.size() + 1), CF_LAUNCH_BEFORE);
        strncpy(entry.entry.arguments, c.arguments.c_str(), sizeof entry.entry.arguments - 1);
        EngineRun run;
        run.targetDir = c.targetDir;
        ASSERT_EQ(RunInstall({entry}, run), 1) << c.name;
        std::vector<sim::Event> launches = sim::EventsOf("launch");
        ASSERT_EQ(launches.size(), 1u) << c.name;
        EXPECT_EQ(launches[0].Get("command"), c.command) << c.name;
        EXPECT_EQ(launches[0].Get("program"), program) << c.name;
        EXPECT_EQ(launches[0].Get("cwd"), c.targetDir) << c.name;
    }
}

// A program planted where the target path has a blank is never started in place of the
// installed one.
TEST_F(EngineFinishing, PlantedProgramAtABlankOfTheTargetPathNeverRuns) {
    const char* targets[] = {"C:\\Program Files\\VarnookSW\\QRVNE32",
                             "C:\\Program Files (x86)\\VarnookSW\\QRVNE32",
                             "C:\\Apps\\My Tools\\QRVNE32"};
    for (const char* target : targets) {
        SetUp();
        sim::PutFile("C:\\Program.exe", "MZ planted");
        sim::PutFile("C:\\Apps\\My.exe", "MZ planted");
        std::string installed = std::string(target) + "\\RUN.EXE";
        sim::PutFile(installed, "MZ");
        EngineRun run;
        run.targetDir = target;
        ASSERT_EQ(RunInstall({ProgramEntry("RUN.EXE", CF_LAUNCH_BEFORE)}, run), 1) << target;
        std::vector<sim::Event> launches = sim::EventsOf("launch");
        ASSERT_EQ(launches.size(), 1u) << target;
        EXPECT_EQ(launches[0].Get("program"), installed) << target;
    }
}

struct RunCase {
    const char* name;
    uint16_t flags;
    UINT launchResult;
    int installResult;
    std::vector<std::string> messages;
    bool programKept;
};

// Launch policy of the pre-launch pass: deletion after any attempt, and only a required
// program's failure stopping the installation with its message. The installer's current
// directory is back after every attempt.
TEST_F(EngineFinishing, RunItemProgramAppliesDeleteAndRequiredPolicies) {
    const uint16_t before = CF_LAUNCH_BEFORE;
    RunCase cases[] = {
        {"ok", before, 33, 1, {}, true},
        {"ok, delete", before | CF_DELETE_AFTER_LAUNCH, 33, 1, {}, false},
        {"failed, ignored", before, 2, 1, {}, true},
        {"failed, delete", before | CF_DELETE_AFTER_LAUNCH, 2, 1, {}, false},
        {"required, code 2",
         before | CF_LAUNCH_REQUIRED,
         2,
         0,
         {"The invocation of program (RUN.EXE) failed with a return code of (0X2)."},
         true},
        {"required, memory",
         before | CF_LAUNCH_REQUIRED | CF_DELETE_AFTER_LAUNCH,
         8,
         0,
         {"The invocation of program (RUN.EXE) failed due to insufficient memory!"},
         false},
    };
    for (const RunCase& c : cases) {
        SetUp();
        sim::PutFile("C:\\TARGET\\RUN.EXE", "MZ");
        sim::SetLaunchResult("RUN.EXE", c.launchResult);
        char cwdBefore[MAX_PATH];
        win.GetCurrentDirectoryA(MAX_PATH, cwdBefore);
        EXPECT_EQ(RunInstall({ProgramEntry("RUN.EXE", c.flags)}), c.installResult) << c.name;
        EXPECT_EQ(MessageTexts(), c.messages) << c.name;
        EXPECT_EQ(sim::GetFileInfo("C:\\TARGET\\RUN.EXE").exists, c.programKept) << c.name;
        char after[MAX_PATH];
        win.GetCurrentDirectoryA(MAX_PATH, after);
        EXPECT_STREQ(after, cwdBefore) << c.name;
        // A failed required pre-launch entry ends the installation before the dialog.
        EXPECT_EQ(sim::EventsOf("dialog").empty(), c.installResult == 0) << c.name;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes()) {
            EXPECT_EQ(box.caption, "Aborting Install");
            EXPECT_EQ(box.owner, "none");
            EXPECT_EQ(box.style, MB_OK);
        }
    }
}

}  // namespace
