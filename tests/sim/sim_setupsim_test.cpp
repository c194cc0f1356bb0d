// setupsim's machine and answers files, read and run as a user writes them: each row is a
// small installer, a machine file and an answers file, and what the preview must (and must
// not) report. Also the files' rejections, which name the file and the line.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/installer_builder.h"

#include "platform/win32api.h"
#include "tests/support/pack_test_stubs.h"
#include "tests/support/package_builder.h"
#include "tests/support/setupsim_fixture.h"
#include "tests/support/sim_fixture.h"
#include "tools/setupsim/answers_file.h"
#include "tools/setupsim/machine_file.h"
#include "tools/setupsim/preview.h"

namespace {

const char kTarget[] = "C:\\\\Program Files\\\\VarnookSW\\\\QRVNE32";  // as TOML writes it

class SetupsimFiles : public SetupsimTest {
   protected:
    // The preview of a package of `items` as JSON lines; the error text when it is refused.
    std::string Preview(const std::vector<TestItem>& items, const std::string& machine,
                        const std::string& answers) {
        try {
            return ReportAsJsonLines(RunPreview(OptionsFor(items, machine, answers)));
        } catch (const std::exception& error) {
            return std::string("refused: ") + error.what();
        }
    }
};

const char kDrives[] = "[[drive]]\nletter = \"A\"\ntype = \"removable\"\n";
const char kProgramFiles[] =
    "[[registry]]\nkey = \"SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\"\n"
    "name = \"ProgramFilesDir\"\nvalue = \"C:\\\\Program Files\"\n";

std::string FixedC(const std::string& extra) {
    return std::string(kDrives) + "[[drive]]\nletter = \"C\"\ntype = \"fixed\"\n" + extra + "\n" +
           kProgramFiles;
}

TEST_F(SetupsimFiles, MachinesAndAnswersPreviewWhatTheyDescribe) {
    TestItem readme = EmbeddedItem("READ_ME.TXT", "new text", false);
    TestItem kept = EmbeddedItem("QVDATA.DB", "new data", false);
    kept.entry.flags &= (uint16_t)~CF_OVERWRITE;
    TestItem external;  // its source is on no diskette: the user is asked for it
    external.entry = MakeEntry(CF_EXTERNAL_SOURCE, "SAMPLE.QVL", "SAMPLE.QVL", 10);
    std::string present = std::string("[[file]]\npath = \"") + kTarget +
                          "\\\\QVDATA.DB\"\ncontent = \"the user's data\"\n"
                          "written = 2001-01-02T03:04:05Z\nattributes = [\"readonly\"]\n";
    struct Case {
        const char* name;
        std::vector<TestItem> items;
        std::string machine, answers;
        std::vector<std::string> shown, notShown;
    } cases[] = {
        // free_kb is exact: 699 KB is less than the 700 KB the installer asks for.
        {"699 KB free",
         {readme},
         FixedC("free_kb = 699"),
         "",
         {"Insufficient Space on Drive!"},
         {"READ_ME.TXT"}},
        {"700 KB free",
         {readme},
         FixedC("free_kb = 700"),
         "",
         {"\"event\": \"exit\", \"code\": 0", "READ_ME.TXT"},
         {"Insufficient"}},
        {"699 KB in 4 KB clusters",
         {readme},
         FixedC("free_kb = 699\nsectors_per_cluster = 8"),
         "",
         {"refused: ", "machine.toml:7: free_kb must be a whole number of 4096-byte clusters"},
         {}},
        // A kept file stays as the machine file described it, and the preview says so.
        {"kept file with date",
         {readme, kept},
         FixedC("") + present,
         "",
         {"QVDATA.DB\", \"unchanged\": true, \"size\": 15, \"attributes\": 1, "
          "\"written\": \"2001-01-02T03:04:05Z\""},
         {"\"text\": \"QVDATA.DB\""}},
        // An empty folder of the target's name that no earlier installation made.
        {"empty folder in the way",
         {readme},
         FixedC("[[folder]]\npath = \"C:\\\\QRVNE32\"\n"),
         "directory = \"C:\\\\QRVNE32\"",
         {"Directory name already in use by another program choose another!"},
         {"READ_ME.TXT"}},
        // An action for the directory dialog happens without press_ok = false.
        {"abort in the directory dialog",
         {readme},
         "",
         "[[action]]\ndialog = \"DIRDLG\"\npress = 103\n",
         {"Aborting install at users request!", "\"template\": \"DIRDLG\", \"result\": 0"},
         {"PROGRESSDLG"}},
        // Answers matched by caption: Cancel skips the missing diskette's file; a caption
        // that does not match leaves the box to its default (Ok, again and again).
        {"caption matches",
         {readme, external},
         "",
         "[[messagebox]]\nanswer = \"cancel\"\ncaption_contains = \"Error locating file\"\n",
         {"\"answer\": 2", "\"event\": \"exit\", \"code\": 0"},
         {"stuck", "\"answer\": 1"}},
        {"caption does not match",
         {readme, external},
         "",
         "[[messagebox]]\nanswer = \"cancel\"\ncaption_contains = \"Something else\"\n",
         {"\"answer\": 1", "stuck"},
         {}},
        // after counts from the dialog's start: Ok at 500 ms, Abort 60 ms into the copy.
        {"abort after the copy started",
         {readme},
         "",
         "[[action]]\ndialog = \"DIRDLG\"\npress = 102\nat = 500\n"
         "[[action]]\ndialog = \"PROGRESSDLG\"\npress = 1\nafter = 60\n",
         {"{\"t\": 500, \"event\": \"dialog-start\", \"template\": \"PROGRESSDLG\"",
          "Aborting install at users request!",
          "{\"t\": 560, \"event\": \"dialog\", \"template\": \"PROGRESSDLG\", \"result\": 0}"},
         {}},
    };
    for (const Case& c : cases) {
        std::string report = Preview(c.items, c.machine, c.answers);
        for (const std::string& text : c.shown)
            EXPECT_NE(report.find(text), std::string::npos) << c.name << ": " << text << "\n"
                                                            << report;
        for (const std::string& text : c.notShown)
            EXPECT_EQ(report.find(text), std::string::npos) << c.name << ": " << text << "\n"
                                                            << report;
    }
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; i++) out += text;
    return out;
}

// What a user may get wrong is refused with the file and the line, never ignored.
TEST_F(SetupsimFiles, MistakesAreRefusedWithTheirLine) {
    struct Case {
        bool machine;  // else an answers file
        std::string text;
        std::string error;  // after "<path>:"
    } cases[] = {
        {true, "[[file]]\npath = \"C:\\\\X\"\nwriten = 2001-01-01T00:00:00Z\n",
         "3: unknown key 'writen' in [[file]]"},
        {true, "[[folder]]\npath = \"C:\\\\X\"\nwritten = 1\n",
         "3: unknown key 'written' in [[folder]]"},
        {true, "start_dir = \"A:\\\\\"\nstartdir = \"B\"\n",
         "2: unknown key 'startdir' in the machine file"},
        {true, "[[drive]]\nletter = \"C\"\nfree_kb = \"700\"\n",
         "3: 'free_kb' must be a whole number"},
        {true, "[[drive]]\nletter = \"C\"\nfree_kb = 7\nfree_clusters = 7\n",
         "3: give free_kb or free_clusters, not both"},
        {true, "[[file]]\npath = \"C:\\\\X\"\nwritten = 2001-01-01T00:00:00\n",
         "3: written is a UTC date and time"},
        {true, "[[file]]\npath = \"C:\\\\X\"\nattributes = [\"secret\"]\n", "3: unknown attribute"},
        {true, "[[folder]]\npath = \"C:\\\\X\"\nto = \"C:\\\\Y\"\n",
         "1: a folder is either path (empty) or from and to"},
        {true, "[[registry]]\nkey = \"K\"\nvalue = \"v\"\n", "1: 'name' is required"},
        {true, "drive = 3\n", "1: 'drive' must be written as [[drive]] tables"},
        {false, "[[action]]\npress = 1\nwhen = 3\n", "3: unknown key 'when' in [[action]]"},
        {false, "[[action]]\npress = 1\nat = 3\nafter = 4\n", "1: an action takes at"},
        {false, "[[messagebox]]\ntitle_contains = \"x\"\n",
         "2: unknown key 'title_contains' in [[messagebox]]"},
        {false, "press_ok = \"no\"\n", "1: 'press_ok' must be true or false"},
        {false, "directory = \"C:\\\\Q\"\nanswer = 1\n",
         "2: unknown key 'answer' in the answers file"},
        // Text the TOML parser cannot be given safely is refused before it reaches it; the
        // parser's own checks of malformed text end in its error, with the line.
        {true, "# a machine\n\xC8\x8C = 1\n", "2: non-ASCII character outside a string"},
        {false, "directory = \"C:\\\\Q\xD2\x86\"\n", "1: character U+0486 cannot be read safely"},
        {true, "start_dir = \"A:\"\n[~\n", "2: "},
        // A byte-order mark is no character; an escape that decodes to one the parser cannot be
        // given does not reach it through a date either.
        {true, "\xEF\xBB\xBFstart_dir = \"A:\\\\\"\nstartdir = \"B\"\n",
         "2: unknown key 'startdir'"},
        {false, "\xEF\xBB\xBFpress_ok = \"no\"\n", "1: 'press_ok' must be true or false"},
        {true, "[[file]]\npath = \"C:\\\\X\"\nwritten = \"\\u00E9\"\n",
         "3: written is a UTC date and time"},
        // Values no real machine has.
        {true, "[[drive]]\nletter = \"C\"\ntype = -1\n", "3: a drive type number lies in 0..6"},
        {true, "[[drive]]\nletter = \"C\"\nfree_kb = 18014398509481984\n",
         "3: free_kb must lie in 0..4294967295 for"},
        {true, "[[drive]]\nletter = \"C\"\nfree_kb = 700\ncapacity = 800000\n",
         "4: 'capacity' must lie in 0..716800"},
        {true, "[[drive]]\nletter = \"C\"\ncapacity = -5\n", "3: 'capacity' must lie in 0.."},
        {true, "[[drive]]\nletter = \"C\"\nsectors_per_cluster = 0\n",
         "3: 'sectors_per_cluster' must lie in 1..128"},
        {true, "[[drive]]\nletter = \"C\"\nfree_clusters = 10\ntotal_clusters = 5\n",
         "1: the drive has more free clusters than total_clusters"},
        {true, "[[drive]]\nletter = \"C\"\n[[drive]]\nletter = \"c\"\n",
         "3: drive C: is given twice"},
        {true, "[[drive]]\nletter = \"C\"\nhost_dir = \"nothere\"\n",
         "3: host_dir does not exist: "},
        {true, "[[drive]]\nletter = \"C\"\nhost_dir = \"m.toml\"\n",
         "3: host_dir is not a folder: "},
        {true, "utc_offset_minutes = 1441\n", "1: 'utc_offset_minutes' must lie in -1440..1440"},
        {true, "program_runs_ms = 9223372036854775807\n",
         "1: 'program_runs_ms' must lie in 0..86400000"},
        {true, "screen = [2147483647, 768]\n", "1: screen's width and height must lie in"},
        {true, "screen = [1024, -768]\n", "1: screen's width and height must lie in"},
        {true, "[[file]]\npath = \"\"\n", "2: path is empty"},
        {true, "[[file]]\npath = '\\\\server\\share\\X'\n", "2: path is a network (UNC) path"},
        {true, "[[file]]\npath = 'C:\\" + std::string(300, 'x') + "'\n",
         "2: path is longer than Windows allows"},
        {true, "[[file]]\npath = 'C:\\WHAT?.TXT'\n", "2: path holds a character Windows refuses"},
        {true, "[[file]]\npath = 'Q:\\X.TXT'\n",
         "2: path is on drive Q: which the machine does not have"},
        {true, "[[file]]\npath = 'C:\\'\n", "1: path names no file"},
        {true, "[[file]]\npath = 'C:\\X'\nfrom = \"nothere\"\n", "3: from does not exist: "},
        {true, "[[folder]]\nfrom = \"nothere\"\nto = 'C:\\X'\n", "2: from does not exist: "},
        {true, "installer = 'Q:\\SETUP.EXE'\n", "1: installer is on drive Q:"},
        {true, "installer = \"\"\n", "1: installer is empty"},
        {true, "installer = 'A:\\'\n", "1: installer names no file"},
        {true, "start_dir = 'relative'\n", "1: start_dir must be a full path with a drive"},
        {true, "[[registry]]\nkey = 'HKEY_CURRENT_USER\\Software\\X'\n",
         "2: only keys of HKEY_LOCAL_MACHINE are simulated"},
        {true, "[[registry]]\nkey = 'HKLM\\'\n", "2: a registry key needs a path"},
        {true, "[[diskette]]\nlabel = \"D\"\nimage = \"nothere.img\"\n",
         "3: image does not exist: "},
        {true, "[[diskette]]\nlabel = \"D\"\nimage = \".\"\n", "3: image is a folder, not a file"},
        {true, "[[diskette]]\nlabel = \"D\"\nhost_dir = \"m.toml\"\n",
         "3: host_dir is not a folder: "},
        {false, "[[messagebox]]\nanswer = 99\n", "2: 'answer' must lie in 1..11"},
        {false, "[[action]]\npress = 70000\n", "2: 'press' must lie in 0..65535"},
        {false, "[[action]]\npress = 1\nat = -1\n", "3: 'at' must lie in 0..86400000"},
        // Nesting the parser would descend into until its stack overflows.
        {true, "a" + repeat(".a", 100000) + " = 1\n",
         "1: keys, tables and arrays nested more than 100 levels deep"},
        {false, "x = " + repeat("[", 100000) + "\n",
         "1: keys, tables and arrays nested more than 100 levels deep"},
    };
    for (const Case& c : cases) {
        std::string path = Write(c.machine ? "m.toml" : "a.toml", c.text);
        std::string error = "nothing";
        try {
            if (c.machine)
                ReadMachineFile(path);
            else
                ReadAnswersFile(path);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error.rfind(path + ":" + c.error, 0), 0u) << c.text << " gave " << error;
    }
}

// Keys without values, empty folders and dated files reach the simulated machine.
TEST_F(SetupsimFiles, MachineFilesPutWhatTheyDescribe) {
    std::string path = Write("m.toml",
                             "[[registry]]\nkey = \"SOFTWARE\\\\Empty\"\n"
                             "[[folder]]\npath = \"C:\\\\Empty\\\\Inner\"\n"
                             "[[file]]\npath = \"C:\\\\Old.txt\"\ncontent = \"x\"\n"
                             "written = \"1999-12-31T23:59:58Z\"\nattributes = 3\n");
    BootMachine(ReadMachineFile(path), root_ + "/boot");
    HKEY key = nullptr;
    EXPECT_EQ(win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Empty", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key) win.RegCloseKey(key);
    EXPECT_TRUE(sim::GetFileInfo("C:\\Empty\\Inner").isDirectory);
    sim::FileInfo old = sim::GetFileInfo("C:\\Old.txt");
    EXPECT_EQ(sim::FormatFileTime(old.lastWriteTime), "1999-12-31T23:59:58Z");
    EXPECT_EQ(old.attributes, 3u);
}

// The offset is read as setuppack's reader reads it: a package whose item holds the marker's
// bytes is still found at the right place and installs those bytes.
TEST_F(SetupsimFiles, PackageOffsetIsFoundOutsideThePackage) {
    std::string stubPath = PackTestStubPath("i686");
    if (stubPath.empty()) GTEST_SKIP() << "no i686 test stub (mingw) in this build";
    std::ifstream in(stubPath, std::ios::binary);
    std::vector<uint8_t> stub((std::istreambuf_iterator<char>(in)), {});
    std::string content = "before " +
                          std::string(PACKAGE_OFFSET_MARKER, PACKAGE_OFFSET_MARKER_SIZE) +
                          "\x10\x00\x00\x00 after";
    std::string block = BuildPackageBlock({EmbeddedItem("MARKER.BIN", content, false)});
    std::vector<uint8_t> image =
        BuildInstallerImage(stub, std::vector<uint8_t>(block.begin(), block.end()));
    std::string file(image.begin(), image.end());
    uint32_t offset = PackageOffsetOf(file, -1);
    EXPECT_EQ(file.substr(offset, block.size()), block);

    PreviewOptions options;
    options.installer = Write("setup.exe", file);
    options.root = root_ + "/run";
    std::string report = ReportAsJsonLines(RunPreview(options));
    EXPECT_NE(report.find("\"event\": \"exit\", \"code\": 0"), std::string::npos) << report;
    std::string installed;
    std::ifstream got(root_ + "/run/C/Program Files/VarnookSW/QRVNE32/MARKER.BIN",
                      std::ios::binary);
    installed.assign(std::istreambuf_iterator<char>(got), {});
    EXPECT_EQ(installed, content);
}

// An installer that is a folder or cannot be read is named as such.
TEST_F(SetupsimFiles, InstallerThatIsNoFileIsNamed) {
    std::filesystem::create_directories(root_ + "/folder.exe");
    struct Case {
        std::string installer, error;
    } cases[] = {
        {root_ + "/folder.exe", root_ + "/folder.exe is a directory, not a file"},
        {root_ + "/missing.exe", "cannot read " + root_ + "/missing.exe: No such file"},
    };
    for (const Case& c : cases) {
        PreviewOptions options;
        options.installer = c.installer;
        options.root = root_ + "/run";
        std::string error = "nothing";
        try {
            RunPreview(options);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

}  // namespace
