// The sweep's scenarios (see sweep_scenarios.h). "First install" reaches the copy machinery:
// every kind of item, the three launch passes, a file for the system directory, a typed
// directory with two new levels. "Reinstall from diskettes" reaches what a first install
// never does: the help box, an existing target directory accepted through WIN.INI, the
// user's own database kept by the only-if-absent rule, diskette prompts, a missing source the
// user passes over, a file for the Windows directory, and attributes set on installed files.
#include "tests/sweep/sweep_scenarios.h"

#include <string.h>

#include "platform/sim/sim.h"
#include "resources/templates.h"
#include "setupdir/setupdir.h"
#include "tests/support/package_builder.h"

namespace {

const uint32_t SWEEP_PACKAGE_OFFSET = 64;

std::string Text(size_t size, int seed) {
    std::string text;
    for (size_t i = 0; i < size; i++) text.push_back((char)('a' + (i * 7 + i / 13 + seed) % 26));
    return text;
}

// The simulated Windows' own default machine: a 1.44 MB diskette in A: holding the installer,
// started from A:\, and a fixed C: with ample space.
sim::MachineConfig BaseMachine(const std::string& root) {
    RegisterInstallerResources();  // the dialogs and the help text, as the module carries them
    sim::MachineConfig config;
    config.root = root;
    return config;
}

TestItem External(const std::string& target, const std::string& source, const std::string& data,
                  uint16_t flags, const char* disk = "") {
    sim::PutFile("A:\\" + source, data);
    TestItem item;
    item.entry =
        MakeEntry((uint16_t)(CF_EXTERNAL_SOURCE | flags), target, source, (uint32_t)data.size());
    strncpy(item.entry.diskLabel, disk, sizeof item.entry.diskLabel - 1);
    return item;
}

// An external item whose source the user does not have.
TestItem Missing(const std::string& name, const char* disk) {
    TestItem item;
    item.entry = MakeEntry((uint16_t)(CF_EXTERNAL_SOURCE | CF_OVERWRITE), name, name, 100);
    strncpy(item.entry.diskLabel, disk, sizeof item.entry.diskLabel - 1);
    return item;
}

TestItem Launched(const std::string& target, uint16_t flags) {
    TestItem item = EmbeddedItem(target, "MZ" + Text(7000, 5), true, flags);
    return item;
}

void PutInstaller(const std::vector<TestItem>& items) {
    std::string block = BuildPackageBlock(items);
    sim::PutFile(sim::Config().modulePath, BuildInstallerFile(SWEEP_PACKAGE_OFFSET, block));
}

// The user types `directory` and presses Ok; should Ok be refused, Abort Install ends it.
void ChooseDirectory(const std::string& directory) {
    sim::Type(DIRDLG_EDIT, directory, WINDOW_DIRDLG);
    sim::Press(DIRDLG_OK, WINDOW_DIRDLG);
    sim::Press(DIRDLG_ABORT, WINDOW_DIRDLG);
}

void ArrangeFirstInstall(const std::string& root) {
    sim::Boot(BaseMachine(root));
    sim::SetRegistryString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           "C:\\Program Files");
    sim::PutFile("C:\\USER\\NOTES.TXT", "the user's notes");
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\OLD.DLL", "old library");
    TestItem sys = EmbeddedItem("OLD.DLL", "new library", false, CF_OVERWRITE);
    strcpy(sys.entry.targetDirSpec, "&SYS");
    TestItem sample = EmbeddedItem("SAMPLE.QVL", Text(3000, 3), true, CF_OVERWRITE);
    strcpy(sample.entry.targetDirSpec, "SAMPLES");
    TestItem before = EmbeddedItem("PRE.EXE", "", false, CF_LAUNCH_BEFORE);
    PutInstaller({before, EmbeddedItem("README.TXT", Text(7000, 1), true, CF_OVERWRITE),
                  EmbeddedItem("BIG.BIN", Text(12000, 2), false, CF_OVERWRITE),
                  External("EXT.TXT", "EXT.TX_", EncodeLiteralsOnly(Text(900, 4)),
                           CF_COMPRESSED | CF_OVERWRITE),
                  External("RAW.DAT", "RAW.DAT", Text(5000, 6), CF_OVERWRITE), sys, sample,
                  Launched("SETUP2.EXE", CF_LAUNCH_AFTER_COPY | CF_DELETE_AFTER_LAUNCH |
                                             CF_LAUNCH_REQUIRED | CF_HIDE_NAME),
                  Launched("END.EXE", CF_LAUNCH_AT_END | CF_OVERWRITE)});
    sim::AnswerMessageBox(IDCANCEL, "skip the install");  // a source that cannot be found
    ChooseDirectory("C:\\Quorvane\\QRVNE32");
}

void ArrangeReinstall(const std::string& root) {
    sim::Boot(BaseMachine(root));
    sim::PutFile("C:\\USER\\NOTES.TXT", "the user's notes");
    sim::PutFile("C:\\APPS\\QRVNE32\\DATA.DB", "the user's database", FILE_ATTRIBUTE_READONLY);
    sim::SetProfileString("Quorvane by Varnook", "Directory", "C:\\APPS\\QRVNE32");
    TestItem hidden = EmbeddedItem("HIDDEN.CFG", Text(500, 8), true, CF_OVERWRITE);
    hidden.entry.attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    TestItem font = EmbeddedItem("QV.FON", Text(700, 11), false, CF_OVERWRITE);
    strcpy(font.entry.targetDirSpec, "&WIN");
    PutInstaller({EmbeddedItem("DATA.DB", "packaged database", true), font,
                  EmbeddedItem("PROG.EXE", "MZ" + Text(6000, 9), true, CF_OVERWRITE), hidden,
                  External("DISK2.TXT", "DISK2.TX_", EncodeLiteralsOnly(Text(800, 10)),
                           CF_COMPRESSED | CF_OVERWRITE | CF_CRITICAL, "Disk 2"),
                  Missing("GONE.TXT", "Disk 2")});
    sim::AnswerMessageBox(IDCANCEL, "skip the install");  // pass over the missing GONE.TXT
    sim::AnswerMessageBox(IDCANCEL, "skip the install");  // and any other source not found
    sim::Press(DIRDLG_HELP, WINDOW_DIRDLG);
    ChooseDirectory("C:\\APPS\\QRVNE32");
}

}  // namespace

const std::vector<SweepScenario>& SweepScenarios() {
    static const std::vector<SweepScenario> scenarios = {
        {"first install",
         ArrangeFirstInstall,
         {"C:\\Quorvane\\QRVNE32", "C:\\WINDOWS\\SYSTEM"},
         {}},
        {"reinstall from diskettes",
         ArrangeReinstall,
         {"C:\\APPS\\QRVNE32", "C:\\WINDOWS"},
         {"C:\\APPS\\QRVNE32\\DATA.DB"}},
    };
    return scenarios;
}

SimRun RunArrangedInstaller() {
    return RunBootedInstaller(SWEEP_PACKAGE_OFFSET);
}
