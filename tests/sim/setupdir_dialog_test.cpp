// The directory dialog as the user meets it: initial text, Ok, Enter, Esc, Abort Install,
// Help (the help text's exact bytes) and destruction from outside.
#include <gtest/gtest.h>

#include <string.h>

#include "engine/installstate.h"
#include "setupdir/setupdir.h"
#include "tests/support/engine_harness.h"
#include "tests/support/sim_fixture.h"

namespace {

const char PROPOSED[] = "C:\\Program Files\\VarnookSW\\QRVNE32";

void Key(sim::ActionKind kind) {
    sim::UserAction action;
    action.kind = kind;
    sim::QueueAction(action);
}

class SetupDirDialog : public SimTest {
   protected:
    void SetUp() override { SimTest::SetUp(), ResetInstallState(); }
    int Run() {
        InstallState.instance = sim::ModuleInstance();
        strcpy(InstallState.targetDir, PROPOSED);
        return ChooseTargetDirectory(sim::ModuleInstance(), nullptr, InstallState.targetDir);
    }
    static std::string Events(const char* kind, const char* field) {
        std::string values;
        for (const sim::Event& e : sim::EventsOf(kind)) values += e.Get(field) + ";";
        return values;
    }
};

// A refused Ok, Esc and Help leave the dialog open with the text as it was; Abort Install
// tells the user first, then ends the dialog with 0 and leaves the caller's buffer alone.
TEST_F(SetupDirDialog, OnlyOkAbortOrDestructionEndIt) {
    sim::Type(DIRDLG_EDIT, "C:\\PROGRAMS");
    sim::Press(DIRDLG_OK);
    Key(sim::ActionKind::Escape);
    sim::Press(DIRDLG_HELP);
    sim::Press(DIRDLG_HELP);
    sim::Press(DIRDLG_ABORT);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Events("text", "text"), std::string(PROPOSED) + ";C:\\PROGRAMS;");
    EXPECT_EQ(Events("dialog-end", "result"), "0;");
    EXPECT_STREQ(InstallState.targetDir, PROPOSED);
    // The help text is shown as exactly the resource's bytes, which carry no terminator.
    std::vector<uint8_t> help = sim::ProgramResource("DIRHLP", "TEXT");
    ASSERT_EQ(help.size(), 2034u);
    const std::string helpBox =
        std::string(help.begin(), help.end()) + " @dirdlg Choose a Directory 0";
    std::vector<std::string> boxes;
    for (const sim::MessageBoxRecord& box : sim::MessageBoxes())
        boxes.push_back(box.text + " @" + box.owner + " " + box.caption + " " +
                        std::to_string(box.style));
    EXPECT_EQ(boxes,
              (std::vector<std::string>{
                  "Directory must include QRVNE32 in its name @dirdlg Error 8192", helpBox, helpBox,
                  "Aborting install at users request! @dirdlg Aborting Install 0"}));
    EXPECT_LE(sim::MessageBoxes().back().t, sim::EventsOf("dialog-end")[0].t);
    EXPECT_EQ(PlatformCallCount("FreeResource"), 2u);
}

TEST_F(SetupDirDialog, EnterAcceptsAndDestructionAborts) {
    sim::Type(DIRDLG_EDIT, "C:\\QRVNE32");
    Key(sim::ActionKind::Enter);
    EXPECT_EQ(Run(), 1);
    EXPECT_STREQ(InstallState.targetDir, "C:\\QRVNE32");

    TearDown(), SetUp();
    Key(sim::ActionKind::Destroy);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
    EXPECT_STREQ(InstallState.targetDir, PROPOSED);
}

// An EndDialog the system refuses: the dialog is destroyed, yet Ok still goes on to install
// with the typed directory and Abort Install still ends the installation.
TEST_F(SetupDirDialog, FailedEndDialogKeepsTheIntendedResult) {
    const struct {
        const char* name;
        int control;
        unsigned persistent;
        int result;
        const char* target;
    } cases[] = {
        {"Ok, once", DIRDLG_OK, 0, 1, "C:\\QRVNE32"},
        {"Ok, from then on", DIRDLG_OK, 1, 1, "C:\\QRVNE32"},
        {"Abort Install", DIRDLG_ABORT, 1, 0, PROPOSED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Type(DIRDLG_EDIT, "C:\\QRVNE32");
        sim::Press(c.control);
        FailPlatformCall("EndDialog", 1, c.persistent, ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(Run(), c.result);
        EXPECT_STREQ(InstallState.targetDir, c.target);
        EXPECT_EQ(sim::EventsOf("destroy").size(), 1u);
        TearDown(), SetUp();
    }
}

// The help text has no terminator and is shown through a buffer with room for one more byte
// than the longest text it shows whole.
TEST_F(SetupDirDialog, HelpShowsTextsUpTo4095BytesWhole) {
    const struct {
        size_t size;
        size_t shown;
    } cases[] = {{1, 1}, {4095, 4095}, {4096, 4095}, {5000, 4095}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string text(c.size, 'h');
        for (size_t i = 0; i < c.size; i += 97) text[i] = (char)('a' + i % 26);
        sim::SetResource("DIRHLP", "TEXT", std::vector<uint8_t>(text.begin(), text.end()));
        sim::Press(DIRDLG_HELP);
        sim::Press(DIRDLG_ABORT);
        EXPECT_EQ(Run(), 0);
        ASSERT_EQ(sim::MessageBoxes().size(), 2u);
        EXPECT_EQ(sim::MessageBoxes()[0].text, text.substr(0, c.shown));
        TearDown(), SetUp();
    }
}

}  // namespace
