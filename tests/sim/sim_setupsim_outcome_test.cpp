// setupsim as a CI job relies on it: the outcome it reports last, the exit code that follows
// from it, and machine files read as their authors meant them (paths from the file's folder,
// registry keys with their hive, one free-space model, the default drives kept) without a
// byte written or deleted on the host outside the root of the run.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/package_builder.h"
#include "tests/support/setupsim_fixture.h"
#include "tests/support/sim_fixture.h"
#include "tools/setupsim/preview.h"
#include "tools/setupsim/preview_outcome.h"

namespace fs = std::filesystem;

namespace {

class SetupsimRuns : public SetupsimTest {
   protected:
    PreviewOptions Options(const std::vector<TestItem>& items, const std::string& machine,
                           const std::string& answers) {
        return OptionsFor(items, machine, answers);
    }

    // The preview as JSON lines, or "refused: " and the error.
    std::string Preview(const PreviewOptions& options) {
        try {
            return ReportAsJsonLines(RunPreview(options));
        } catch (const std::exception& error) {
            return std::string("refused: ") + error.what();
        }
    }
};

std::string LastLine(const std::string& text) {
    size_t end = text.find_last_not_of('\n');
    size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

std::string HostText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TestItem Readme() {
    return EmbeddedItem("READ_ME.TXT", "new text", false);
}

// The last event names the outcome; an ending box's text goes with it.
TEST_F(SetupsimRuns, LastEventIsTheOutcome) {
    TestItem big = EmbeddedItem("BIG.DAT", std::string(800 * 1024, 'b'), false);
    TestItem external;  // on no diskette: the user is asked for it again and again
    external.entry = MakeEntry(CF_EXTERNAL_SOURCE, "SAMPLE.QVL", "SAMPLE.QVL", 10);
    struct Case {
        const char* name;
        std::vector<TestItem> items;
        std::string machine, answers, last;
    } cases[] = {
        {"complete", {Readme()}, "", "", R"("event": "outcome", "outcome": "completed"})"},
        {"abort in the directory dialog",
         {Readme()},
         "",
         "[[action]]\ndialog = \"DIRDLG\"\npress = 103\n",
         R"("outcome": "aborted", "message": "Aborting install at users request!"})"},
        // 700 KB free passes the installer's check, and is all the drive takes.
        {"free space enforced",
         {big},
         "[[drive]]\nletter = \"C\"\nfree_kb = 700\n",
         "",
         R"("outcome": "stopped", "message": ")"},
        {"product running",
         {Readme()},
         "running_windows = [\"QVMain\"]\n",
         "",
         R"("outcome": "refused", "message": "An instance of the Quorvane application)"},
        {"nobody answers the retry prompt",
         {Readme(), external},
         "",
         "[[messagebox]]\nanswer = \"cancel\"\ncaption_contains = \"Something else\"\n",
         R"("event": "outcome", "outcome": "stuck"})"},
        // Refused by the directory dialog, then nothing left to press.
        {"too little space",
         {Readme()},
         "[[drive]]\nletter = \"C\"\nfree_kb = 699\n",
         "",
         R"("outcome": "stuck")"},
    };
    for (const Case& c : cases) {
        ExpectStuck();
        std::string last = LastLine(Preview(Options(c.items, c.machine, c.answers)));
        EXPECT_NE(last.find(c.last), std::string::npos) << c.name << ": " << last;
    }
}

TEST(PreviewExitCode, StuckIsNeverSuccess) {
    struct Case {
        Outcome outcome;
        const char* expected;
        int code;
    } cases[] = {
        {Outcome::Completed, "", 0},
        {Outcome::Stopped, "", 0},
        {Outcome::Stuck, "", 1},
        {Outcome::Completed, "completed", 0},
        {Outcome::Stopped, "completed", 1},
        {Outcome::Aborted, "aborted", 0},
        {Outcome::Refused, "aborted", 1},
        {Outcome::Stuck, "stuck", 1},
        {Outcome::Completed, "complete", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PreviewExitCode(c.outcome, c.expected), c.code)
            << OutcomeName(c.outcome) << " expecting '" << c.expected << "'";
}

// What a machine file means: each row previews it and looks for text in the report.
TEST_F(SetupsimRuns, MachineFilesMeanWhatTheySay) {
    const std::string dApps =
        "[[drive]]\nletter = \"D\"\n[[registry]]\nname = \"ProgramFilesDir\"\n"
        "value = 'D:\\Apps'\nkey = ";
    struct Case {
        const char* name;
        std::string machine, shown;
    } cases[] = {
        {"HKLM form", dApps + "'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'\n",
         R"("path": "D:\\Apps\\VarnookSW\\QRVNE32\\READ_ME.TXT")"},
        {"HKEY_LOCAL_MACHINE form",
         dApps + "'HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'\n",
         R"("path": "D:\\Apps\\VarnookSW\\QRVNE32\\READ_ME.TXT")"},
        // The default A: (the installer's drive) stays when only C: is described.
        {"only C: described", "[[drive]]\nletter = \"C\"\ntype = \"fixed\"\n",
         R"("outcome": "completed")"},
        // A capacity alone is also what the drive reports as free: below the 700 KB asked for.
        {"capacity reported", "[[drive]]\nletter = \"C\"\ncapacity = 500000\n",
         "Insufficient Space on Drive!"},
    };
    for (const Case& c : cases) {
        ExpectStuck();
        std::string report = Preview(Options({Readme()}, c.machine, ""));
        EXPECT_NE(report.find(c.shown), std::string::npos) << c.name << "\n" << report;
    }
}

// Host paths of a machine file are found from its folder, whatever the current folder.
TEST_F(SetupsimRuns, RelativePathsStartAtTheMachineFile) {
    Write("m/data/old.txt", "old data");
    Write("m/disk1/README.TXT", "on the diskette");
    PreviewOptions options = Options({Readme()}, "", "");
    options.machine = Write("m/machine.toml",
                            "[[file]]\npath = 'C:\\OLD.TXT'\nfrom = \"data/old.txt\"\n"
                            "[[diskette]]\nlabel = \"D1\"\nhost_dir = \"disk1\"\n");
    fs::path before = fs::current_path();
    fs::current_path("/");
    std::string report = Preview(options);
    fs::current_path(before);
    EXPECT_NE(report.find(R"("path": "C:\\OLD.TXT", "unchanged": true, "size": 8)"),
              std::string::npos)
        << report;
    EXPECT_EQ(HostText(root_ + "/run/A/README.TXT"), "on the diskette");
}

// Host folders given as drives or diskettes are copied, never written or emptied; the root's
// other folders stay.
TEST_F(SetupsimRuns, NothingOnTheHostIsWrittenButTheRoot) {
    Write("host/a/MINE.TXT", "the user's own file");
    Write("host/c/KEEP.TXT", "kept");
    Write("host/disk/README.TXT", "diskette");
    Write("run/Z/OTHER.TXT", "not a drive of this machine");
    PreviewOptions options = Options({Readme()}, "", "");
    options.machine = Write("machine.toml",
                            "[[drive]]\nletter = \"A\"\ntype = \"removable\"\nhost_dir = 'host/a'\n"
                            "[[drive]]\nletter = \"C\"\nhost_dir = 'host/c'\n"
                            "[[diskette]]\nlabel = \"D1\"\nhost_dir = 'host/disk'\n");
    std::string report = Preview(options);
    EXPECT_NE(report.find(R"("outcome": "completed")"), std::string::npos) << report;
    EXPECT_EQ(HostText(root_ + "/host/a/MINE.TXT"), "the user's own file");
    EXPECT_FALSE(fs::exists(root_ + "/host/c/Program Files"));
    EXPECT_EQ(HostText(root_ + "/run/C/KEEP.TXT"), "kept");
    EXPECT_EQ(HostText(root_ + "/run/Z/OTHER.TXT"), "not a drive of this machine");
}

// Inputs that are no regular file are refused rather than read until they end.
TEST_F(SetupsimRuns, NonRegularFilesAreRefused) {
    std::string fifo = root_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(root_ + "/run");
    fs::create_symlink(root_ + "/elsewhere", root_ + "/run/C");
    struct Case {
        const char* name;
        PreviewOptions options;
        std::string error;
    } cases[] = {
        {"FIFO installer", Options({Readme()}, "", ""), fifo + " is not a regular file"},
        {"FIFO machine file", Options({Readme()}, "", ""), fifo + " is not a regular file"},
        {"drive folder a link", Options({Readme()}, "", ""), "run/C is a link"},
    };
    cases[0].options.installer = fifo;
    cases[1].options.machine = fifo;
    for (const Case& c : cases)
        EXPECT_NE(Preview(c.options).find(c.error), std::string::npos) << c.name;
    EXPECT_FALSE(fs::exists(root_ + "/elsewhere"));
}

}  // namespace
