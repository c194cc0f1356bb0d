// Start-up as the user meets it: the blue main window, the guard against a running product,
// the default target directory, the source directory, and exit code 0 on every path.
#include <gtest/gtest.h>

#include <functional>

#include "engine/installstate.h"
#include "setupdir/setupdir.h"
#include "shell/shell.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

const char SYSTEM_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char FIXED_DEFAULT[] = "C:\\VarnookSW\\QRVNE32";

HBRUSH classBrush, firstBlueBrush;
ATOM WINAPI RecordClass(const WNDCLASSA* windowClass) {
    classBrush = windowClass->style == 3 ? windowClass->hbrBackground : nullptr;
    return PlatformBackend.RegisterClassA(windowClass);
}
HBRUSH WINAPI RecordBrush(COLORREF color) {
    HBRUSH brush = PlatformBackend.CreateSolidBrush(color);
    if (color == 0x00FF0000 && !firstBlueBrush) firstBlueBrush = brush;
    return brush;
}

void SetProgramFiles(const std::string& value) {
    sim::SetRegistryString(SYSTEM_KEY, "ProgramFilesDir", value);
}

class ShellStartup : public SimTest {
   protected:
    void SetUp() override { SimTest::SetUp(), ResetInstallState(); }
    void Restart() { TearDown(), SetUp(); }
    // Puts a one-file installer where the machine says the module is and runs it.
    int RunInstaller(const char* commandLine = "", int show = SW_SHOWNORMAL) {
        std::string block = BuildPackageBlock({EmbeddedItem("READ_ME.TXT", "hello", true)});
        sim::PutFile(sim::Config().modulePath, BuildInstallerFile(TEST_PACKAGE_OFFSET, block));
        InstallState.packageOffset = TEST_PACKAGE_OFFSET;
        return InstallerMain(sim::ModuleInstance(), nullptr, (LPSTR)commandLine, show);
    }
    static std::string Boxes() {
        std::string boxes;
        for (const sim::MessageBoxRecord& box : sim::MessageBoxes())
            boxes += box.text + " @" + box.owner + " " + box.caption + ";";
        return boxes;
    }
    static std::string Events(const char* kind, const char* field) {
        std::string values;
        for (const sim::Event& e : sim::EventsOf(kind)) values += e.Get(field) + ";";
        return values;
    }
};

TEST_F(ShellStartup, InstallsFromTheBlueWindowToExitCodeZeroWhateverTheArguments) {
    std::string firstTranscript;
    for (auto [commandLine, show] : {std::pair{"", SW_SHOWNORMAL}, {"/S /D=D:\\X", SW_HIDE}}) {
        Restart();
        SetProgramFiles("C:\\Program Files");
        sim::Press(DIRDLG_OK);
        classBrush = firstBlueBrush = nullptr;
        win.RegisterClassA = RecordClass;
        win.CreateSolidBrush = RecordBrush;
        EXPECT_EQ(RunInstaller(commandLine, show), 0);
        EXPECT_EQ(FileText("C:\\Program Files\\VarnookSW\\QRVNE32\\READ_ME.TXT"), "hello");
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
        ExpectNothingHeld();  // the blue brush included
        EXPECT_TRUE(classBrush && classBrush == firstBlueBrush);
        EXPECT_EQ(Events("window", "show"), ";3;;") << "created, shown maximised, updated";
        EXPECT_EQ(Events("window", "title"),
                  "Installation of Quorvane 3.2;Installation of "
                  "Quorvane 3.2;;");
        // Centred over the maximised window's client area (0,20)-(1024,768); the dialog's
        // window is 332 x 270 pixels (185 x 149 dialog units in "System" 8, base units 7 x 13,
        // with frame and caption).
        sim::Event move = sim::EventsOf("move").at(0);
        EXPECT_EQ(move.Get("dialog") + " " + move.Get("x") + "," + move.Get("y"), "dirdlg 346,259");
        if (firstTranscript.empty()) firstTranscript = sim::TranscriptText();
        EXPECT_EQ(sim::TranscriptText(), firstTranscript) << commandLine;
    }
}

// The proposal must be one the user can accept: the edit field hands back 131 characters.
TEST_F(ShellStartup, DefaultDirectoryComesFromProgramFilesDirWhenItFits) {
    const std::string fits = "C:\\" + std::string(110, 'P');  // joined: exactly 131 characters
    struct Case {
        std::function<void()> arrange;
        std::string dialogText;
    } cases[] = {
        {[] { SetProgramFiles("C:\\Program Files"); }, "C:\\Program Files\\VarnookSW\\QRVNE32"},
        {[] { SetProgramFiles("D:\\Apps\\"); }, "D:\\Apps\\\\VarnookSW\\QRVNE32"},
        {[&] { SetProgramFiles(fits); }, fits + "\\VarnookSW\\QRVNE32"},
        {[&] { SetProgramFiles(fits + "P"); }, FIXED_DEFAULT},
        {[&] { SetProgramFiles(std::string(241, 'P')); }, FIXED_DEFAULT},  // fits the field
        {[] { SetProgramFiles(""); }, FIXED_DEFAULT},
        {[] {
             sim::SetRegistryBytes(SYSTEM_KEY, "ProgramFilesDir", std::vector<uint8_t>(260, 'C'));
         },
         FIXED_DEFAULT},
        {[] { sim::CreateRegistryKey(SYSTEM_KEY); }, FIXED_DEFAULT},
        {[] { SetProgramFiles("C:\\Program Files"), sim::DenyFullAccess(SYSTEM_KEY); },
         FIXED_DEFAULT},
    };
    for (const Case& c : cases) {
        Restart();
        c.arrange();
        sim::Press(DIRDLG_ABORT);
        EXPECT_EQ(RunInstaller(), 0);
        EXPECT_EQ(Events("text", "text"), c.dialogText + ";");
        ExpectNothingHeld();
    }
}

// The source directory is where the installer was started; it must fit its 144 bytes.
TEST_F(ShellStartup, SourceDirectoryIsTheCurrentDirectoryOfAtMost143Characters) {
    const std::string longest = "C:\\" + std::string(140, 'S');
    for (const std::string& dir : {std::string("C:\\WORK"), longest, longest + "S"}) {
        Restart();
        sim::MachineConfig config = DefaultMachine();
        config.currentDir = dir;
        Reboot(config);
        sim::Press(DIRDLG_ABORT);
        EXPECT_EQ(RunInstaller(), 0);
        bool fits = dir.size() <= 143;
        EXPECT_STREQ(InstallState.sourceDir, fits ? dir.c_str() : "");
        EXPECT_EQ(Events("dialog", "template"), fits ? "DIRDLG;" : "");
        EXPECT_EQ(Boxes(), fits ? "Aborting install at users request! @dirdlg Aborting Install;"
                                : "The installation must be started from a directory whose path "
                                  "is at most 143 characters long. @main Aborting Install;");
    }
}

// Every early end exits with 0, installs nothing, and leaves nothing held.
TEST_F(ShellStartup, EarlyEndsExitWithZero) {
    const std::string guard =
        "An instance of the Quorvane application is presently active in Windows.  You must close "
        "that instance before attempting to install this new copy of the Quorvane application!";
    struct Case {
        std::function<void()> arrange;
        std::string messages;
    } cases[] = {
        {[] { sim::AddRunningWindow("QVMain"); }, guard + " @main Aborting Install;"},
        {[] { sim::AddRunningWindow("QVMENU"); }, guard + " @main Aborting Install;"},
        {[] { FailPlatformCall("RegisterClassA", 1, 0, 5); }, ""},
        {[] { FailPlatformCall("GlobalAlloc", 1, 0, 8); },
         "Unable to allocate read buffers! @main Aborting Install;"},
        {[] { FailPlatformCall("DialogBoxParamA", 1, 0, 1814); },
         "Unable to create the directory dialog! @main Aborting Install;"},
        {[] { sim::Press(DIRDLG_ABORT); },
         "Aborting install at users request! @dirdlg Aborting Install;"},
    };
    for (const Case& c : cases) {
        Restart();
        c.arrange();
        EXPECT_EQ(RunInstaller(), 0);
        EXPECT_EQ(Boxes(), c.messages);
        EXPECT_EQ(Events("mkdir", "path"), "");
        ExpectNothingHeld();
    }
    // The guard stops before the installer file is opened.
    Restart();
    sim::AddRunningWindow("QVMENU");
    RunInstaller();
    EXPECT_EQ(Events("open", "path"), "");
}

}  // namespace
