// The table of what the user sees (resources/ui_table.h): each text pinned to its exact
// wording, so that a slip in the table cannot pass as the installer's own text; the names the
// code asks for lead to the templates and resources the build registers; and what is derived
// from the texts elsewhere (setupsim's diskette matching) follows them.
#include <stdio.h>
#include <string.h>

#include <string>

#include "resources/templates.h"
#include "resources/ui_table.h"
#include "tests/support/sim_fixture.h"
#include "tools/setupsim/diskette_drive.h"

namespace {

struct Pinned {
    const char* name;
    const char* inTable;
    const char* exact;
};

#define PIN(name, exact) \
    { #name, name, exact }
const Pinned kPinned[] = {
    PIN(TEMPLATE_DIRDLG, "DIRDLG"),
    PIN(TEMPLATE_PROGRESSDLG, "progressdlg"),
    PIN(WINDOW_DIRDLG, "dirdlg"),
    PIN(WINDOW_PROGRESSDLG, "progress"),
    PIN(RES_HELP_TEXT, "dirHlp"),
    PIN(RES_TYPE_TEXT, "TEXT"),
    PIN(RES_PACKAGE, "COMPFILES"),
    PIN(RES_TYPE_BINARY, "BINARY"),
    PIN(PRODUCT_WINDOW_CLASS, "QVMain"),
    PIN(PRODUCT_MENU_WINDOW_CLASS, "QVMENU"),
    PIN(CAPTION_MAIN_WINDOW, "Installation of Quorvane 3.2"),
    PIN(CAPTION_DIRDLG, "Installation Directory"),
    PIN(CAPTION_PROGRESSDLG, "Installing Application Files"),
    PIN(CAPTION_ABORT, "Aborting Install"),
    PIN(CAPTION_ERROR, "Error"),
    PIN(CAPTION_HELP, "Choose a Directory"),
    PIN(CAPTION_DISKETTES, "Change Diskettes"),
    PIN(CAPTION_MISSING_FILE, "Error locating file: %s"),
    PIN(MSG_PRODUCT_RUNNING,
        "An instance of the Quorvane application is presently active in Windows.  You must "
        "close that instance before attempting to install this new copy of the Quorvane "
        "application!"),
    PIN(MSG_SOURCE_DIR_TOO_LONG,
        "The installation must be started from a directory whose path is at most 143 "
        "characters long."),
    PIN(MSG_OPEN_EXECUTABLES_FAILED, "Due to unknown file error (%#X) during open of executables."),
    PIN(MSG_READ_EXECUTABLES_FAILED, "Due to unknown file error (%#X) during read of executables."),
    PIN(MSG_SEEK_EXECUTABLES_FAILED, "Due to unknown file error (%#X) during seek on executables."),
    PIN(MSG_NO_READ_BUFFERS, "Unable to allocate read buffers!"),
    PIN(MSG_INSTALLER_CORRUPTED, "Install program is corrupted!"),
    PIN(MSG_USER_ABORT, "Aborting install at users request!"),
    PIN(MSG_NO_DIRECTORY_DIALOG, "Unable to create the directory dialog!"),
    PIN(MSG_MISSING_TOKEN_START, "Directory must include "),
    PIN(MSG_MISSING_TOKEN_END, " in its name"),
    PIN(MSG_DIRECTORY_IN_USE, "Directory name already in use by another program choose another!"),
    PIN(MSG_INVALID_DIRECTORY, "Invalid Directory Name!"),
    PIN(MSG_INVALID_DIRECTORY_LEVEL, "Invalid Directory Name"),
    PIN(MSG_NO_SPACE_ON_DRIVE, "Insufficient Space on Drive!"),
    PIN(MSG_NOT_FIXED_DRIVE, "You must install on a Fixed Drive!"),
    PIN(MSG_CREATING_DIRECTORY, "Creating Directory Name"),
    PIN(MSG_NO_COPY_BUFFERS, "Unable to allocate copy buffers!"),
    PIN(MSG_NO_COPY_TABLE, "Unable to allocate copy table!"),
    PIN(MSG_OPEN_EXECUTABLE_FAILED, "Due to unknown file error (%#X) during open of executable."),
    PIN(MSG_READ_EXECUTABLE_FAILED, "Due to unknown file error (%#X) during read of executable."),
    PIN(MSG_SEEK_EXECUTABLE_FAILED, "Due to unknown file error (%#X) during seek on executable."),
    PIN(MSG_NO_PROGRESS_DIALOG, "Unable to display the progress dialog!"),
    PIN(MSG_TIMER_FAILED, "Due to unknown timer error (%#X) during installation!"),
    PIN(MSG_PATH_TOO_LONG, "The path of (%s) is too long!"),
    PIN(MSG_DIRECTORY_LOOKUP_FAILED, "Due to unknown file error (%#X) during directory lookup."),
    PIN(MSG_DIRECTORY_CREATION_FAILED,
        "Due to unknown file error (%#X) during directory creation."),
    PIN(MSG_OPEN_OUTPUT_FAILED, "Due to unknown file error (%#X) during open for output."),
    PIN(MSG_OPEN_INPUT_FAILED, "Due to unknown file error (%#X) during open for input."),
    PIN(MSG_INSERT_DISKETTE, "Please insert the diskette labeled (%s) into the (%s:) drive."),
    PIN(MSG_CRITICAL_FILE_MISSING, "A critical file could not be located."),
    PIN(MSG_MISSING_SOURCE, "Please insure the diskette labeled (%s) is in the (%s%s"),
    PIN(MSG_MISSING_SOURCE_CRITICAL_END,
        ") drive and press Ok to continue or Cancel to abort the install."),
    PIN(MSG_MISSING_SOURCE_OPTIONAL_END,
        ") drive and press Ok to continue or Cancel to skip the install of this file."),
    PIN(MSG_SOURCE_DAMAGED, "The source file (%s) is damaged!"),
    PIN(MSG_DISK_FULL, "Due to insufficient space on drive (%s:)."),
    PIN(MSG_GENERATION_FAILED, "Due to unknown file error (%#X) during file generation!"),
    PIN(MSG_EXTRACTION_FAILED, "Due to unknown file error (%#X) during file extraction!"),
    PIN(MSG_READ_FAILED, "Due to unknown file error (%#X) during read operation."),
    PIN(MSG_OPEN_FOR_DATE_FAILED, "Error opening file to set Date & Time!"),
    PIN(MSG_SET_DATE_FAILED, "Error setting file Date & Time!"),
    PIN(MSG_SET_ATTRIBUTES_FAILED, "Error setting file attributes!"),
    PIN(MSG_LAUNCH_NO_MEMORY, "The invocation of program (%s) failed due to insufficient memory!"),
    PIN(MSG_LAUNCH_FAILED, "The invocation of program (%s) failed with a return code of (%#X)."),
    PIN(DIR_TOKEN_TEXT, "QRVNE32"),
    PIN(PRODUCT_DIR_UNDER_PROGRAM_FILES, "VarnookSW\\QRVNE32"),
    PIN(PRODUCT_FALLBACK_DIR, "C:\\VarnookSW\\QRVNE32"),
    PIN(PRODUCT_REGISTRY_KEY, "SOFTWARE\\VarnookSW\\Quorvane by Varnook"),
    PIN(PRODUCT_INI_SECTION, "Quorvane by Varnook"),
    PIN(PRODUCT_SHORT_INI_SECTION, "Quorvane"),
    PIN(SETTING_DIRECTORY, "Directory"),
    PIN(SETTING_OLD_DIRECTORY, "OldDirectory"),
};
#undef PIN

TEST(UiTable, EveryTextIsExactlyTheInstallersWording) {
    for (const Pinned& pin : kPinned) EXPECT_STREQ(pin.inTable, pin.exact) << pin.name;
}

TEST(UiTable, ControlIdsAndProgressBarArePinned) {
    const int ids[][2] = {{DIRDLG_EDIT, 101},          {DIRDLG_OK, 102},
                          {DIRDLG_ABORT, 103},         {DIRDLG_HELP, 105},
                          {PROGRESSDLG_ABORT, 1},      {PROGRESSDLG_PERCENT, 100},
                          {PROGRESSDLG_FILE_NAME, 101}};
    for (const auto& id : ids) EXPECT_EQ(id[0], id[1]);
    const RECT bar = {PROGRESS_BAR_LEFT, PROGRESS_BAR_TOP, PROGRESS_BAR_RIGHT, PROGRESS_BAR_BOTTOM};
    EXPECT_EQ(bar.left, 10);
    EXPECT_EQ(bar.top, 27);
    EXPECT_EQ(bar.right, 170);
    EXPECT_EQ(bar.bottom, 40);
}

// Unused: wParam, lParam. Ends the dialog as soon as it is shown.
INT_PTR CALLBACK EndAtOnce(HWND dialog, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message == WM_INITDIALOG) win.EndDialog(dialog, 1);
    return message == WM_INITDIALOG;
}

class UiTableOnSim : public SimTest {};

// The template names the code asks for find the registered templates, which show the table's
// captions under the table's transcript names.
TEST_F(UiTableOnSim, TemplateNamesLeadToTheirDialogs) {
    const struct {
        const char* asked;
        const char* window;
        const char* caption;
    } cases[] = {{TEMPLATE_DIRDLG, WINDOW_DIRDLG, CAPTION_DIRDLG},
                 {TEMPLATE_PROGRESSDLG, WINDOW_PROGRESSDLG, CAPTION_PROGRESSDLG}};
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(win.DialogBoxParamA(sim::ModuleInstance(), c.asked, nullptr, EndAtOnce, 0), 1)
            << c.asked;
        std::vector<sim::Event> shown = sim::EventsOf("dialog");
        ASSERT_EQ(shown.size(), 1u) << c.asked;
        EXPECT_EQ(shown[0].Get("dialog"), c.window);
        EXPECT_EQ(shown[0].Get("caption"), c.caption);
    }
}

// Also for the templates setupsim reads from an installer file, whatever the case of its names.
TEST(UiTable, DialogsHaveTheTranscriptsNames) {
    EXPECT_STREQ(DialogWindowName("DIRDLG"), WINDOW_DIRDLG);
    EXPECT_STREQ(DialogWindowName("PROGRESSDLG"), WINDOW_PROGRESSDLG);
    EXPECT_STREQ(DialogWindowName("progressdlg"), WINDOW_PROGRESSDLG);
    EXPECT_STREQ(DialogWindowName("OTHERDLG"), "");
}

TEST_F(UiTableOnSim, ResourceNamesFindTheRegisteredResources) {
    EXPECT_FALSE(sim::ProgramResource(RES_HELP_TEXT, RES_TYPE_TEXT).empty());
    EXPECT_NE(win.FindResourceA(sim::ModuleInstance(), RES_PACKAGE, RES_TYPE_BINARY), nullptr);
}

// setupsim answers a diskette prompt by the words that name the diskette: both prompts, as
// the installer formats them, must contain them.
TEST(UiTable, DisketteWordsFollowBothPrompts) {
    EXPECT_EQ(DisketteWanted("DISK 2"), "diskette labeled (DISK 2)");
    char insert[160], missing[256];
    snprintf(insert, sizeof insert, MSG_INSERT_DISKETTE, "DISK 2", "A");
    snprintf(missing, sizeof missing, MSG_MISSING_SOURCE, "DISK 2", "A",
             MSG_MISSING_SOURCE_CRITICAL_END);
    EXPECT_NE(strstr(insert, DisketteWanted("DISK 2").c_str()), nullptr) << insert;
    EXPECT_NE(strstr(missing, DisketteWanted("DISK 2").c_str()), nullptr) << missing;
}

}  // namespace
