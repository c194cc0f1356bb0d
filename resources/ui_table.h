// What the user sees of the installer and what the code, the tools and the tests must agree
// on about it, written once: the texts of the message boxes and their captions, the titles of
// the windows and dialogs, the names of the dialog templates and resources, the control ids,
// the progress bar (rectangle, colour, pace) and the product's names in the registry, WIN.INI
// and the window list. The resource compiler reads this file too, so every entry it may need
// is a macro, and the rest is hidden from it. A build step turns the macros into JSON for the
// Python tests (resources/ui_table_json.cpp), so those cannot drift either.
#pragma once

// ---------------------------------------------------------------------------------------
// Templates, resources and windows

// Template names as the code asks for them (Windows matches them regardless of case; the
// templates themselves are named in resources/dialogs.def).
#define TEMPLATE_DIRDLG "DIRDLG"
#define TEMPLATE_PROGRESSDLG "progressdlg"
// The names the simulated Windows gives the two dialogs in its transcript and by which
// setupsim's answers and the tests address them.
#define WINDOW_DIRDLG "dirdlg"
#define WINDOW_PROGRESSDLG "progress"
// The directory help text and the package block (names and types as the code asks for them).
#define RES_HELP_TEXT "dirHlp"
#define RES_TYPE_TEXT "TEXT"
#define RES_PACKAGE "COMPFILES"
#define RES_TYPE_BINARY "BINARY"
// The product's own windows: while one of these classes has a window, it is running.
#define PRODUCT_WINDOW_CLASS "QVMain"
#define PRODUCT_MENU_WINDOW_CLASS "QVMENU"

// ---------------------------------------------------------------------------------------
// Controls

// Controls of DIRDLG.
#define DIRDLG_EDIT 101
#define DIRDLG_OK 102
#define DIRDLG_ABORT 103
#define DIRDLG_HELP 105

// Controls of PROGRESSDLG. Abort Install is 1, which the dialog manager also sends for Enter.
#define PROGRESSDLG_ABORT 1
#define PROGRESSDLG_PERCENT 100    // "00%" .. "100%"
#define PROGRESSDLG_FILE_NAME 101  // the target name of the item being copied

// The progress bar's rectangle in PROGRESSDLG, in dialog units (left, top, right, bottom).
#define PROGRESS_BAR_LEFT 10
#define PROGRESS_BAR_TOP 27
#define PROGRESS_BAR_RIGHT 170
#define PROGRESS_BAR_BOTTOM 40

// ---------------------------------------------------------------------------------------
// Titles and captions

#define CAPTION_MAIN_WINDOW "Installation of Quorvane 3.2"
#define CAPTION_DIRDLG "Installation Directory"
#define CAPTION_PROGRESSDLG "Installing Application Files"
// Every failure that ends the installation.
#define CAPTION_ABORT "Aborting Install"
// The directory dialog's validation messages.
#define CAPTION_ERROR "Error"
#define CAPTION_HELP "Choose a Directory"
#define CAPTION_DISKETTES "Change Diskettes"
#define CAPTION_MISSING_FILE "Error locating file: %s"  // the entry's source name

// ---------------------------------------------------------------------------------------
// Texts of the message boxes (wsprintfA formats where they hold a %)

// Start-up and the integrity check.
#define MSG_PRODUCT_RUNNING                                                                    \
    "An instance of the Quorvane application is presently active in Windows.  You must close " \
    "that instance before attempting to install this new copy of the Quorvane application!"
#define MSG_SOURCE_DIR_TOO_LONG \
    "The installation must be started from a directory whose path is at most 143 characters long."
#define MSG_OPEN_EXECUTABLES_FAILED "Due to unknown file error (%#X) during open of executables."
#define MSG_READ_EXECUTABLES_FAILED "Due to unknown file error (%#X) during read of executables."
#define MSG_SEEK_EXECUTABLES_FAILED "Due to unknown file error (%#X) during seek on executables."
#define MSG_NO_READ_BUFFERS "Unable to allocate read buffers!"
#define MSG_INSTALLER_CORRUPTED "Install program is corrupted!"

// The directory dialog and the validation of its directory.
#define MSG_USER_ABORT "Aborting install at users request!"
#define MSG_NO_DIRECTORY_DIALOG "Unable to create the directory dialog!"
#define MSG_MISSING_TOKEN_START "Directory must include "  // then DIR_TOKEN_TEXT
#define MSG_MISSING_TOKEN_END " in its name"
#define MSG_DIRECTORY_IN_USE "Directory name already in use by another program choose another!"
#define MSG_INVALID_DIRECTORY "Invalid Directory Name!"
#define MSG_INVALID_DIRECTORY_LEVEL "Invalid Directory Name"
#define MSG_NO_SPACE_ON_DRIVE "Insufficient Space on Drive!"
#define MSG_NOT_FIXED_DRIVE "You must install on a Fixed Drive!"
#define MSG_CREATING_DIRECTORY "Creating Directory Name"

// The install driver and the copy phase.
#define MSG_NO_COPY_BUFFERS "Unable to allocate copy buffers!"
#define MSG_NO_COPY_TABLE "Unable to allocate copy table!"
#define MSG_OPEN_EXECUTABLE_FAILED "Due to unknown file error (%#X) during open of executable."
#define MSG_READ_EXECUTABLE_FAILED "Due to unknown file error (%#X) during read of executable."
#define MSG_SEEK_EXECUTABLE_FAILED "Due to unknown file error (%#X) during seek on executable."
#define MSG_NO_PROGRESS_DIALOG "Unable to display the progress dialog!"
#define MSG_TIMER_FAILED "Due to unknown timer error (%#X) during installation!"

// Item paths and the source of each item.
#define MSG_PATH_TOO_LONG "The path of (%s) is too long!"
#define MSG_DIRECTORY_LOOKUP_FAILED "Due to unknown file error (%#X) during directory lookup."
#define MSG_DIRECTORY_CREATION_FAILED "Due to unknown file error (%#X) during directory creation."
#define MSG_OPEN_OUTPUT_FAILED "Due to unknown file error (%#X) during open for output."
#define MSG_OPEN_INPUT_FAILED "Due to unknown file error (%#X) during open for input."
#define MSG_INSERT_DISKETTE "Please insert the diskette labeled (%s) into the (%s:) drive."
#define MSG_CRITICAL_FILE_MISSING "A critical file could not be located."
// The missing-source prompt: the start, then the drive, then the ending for critical items or
// for the others.
#define MSG_MISSING_SOURCE "Please insure the diskette labeled (%s) is in the (%s%s"
#define MSG_MISSING_SOURCE_CRITICAL_END \
    ") drive and press Ok to continue or Cancel to abort the install."
#define MSG_MISSING_SOURCE_OPTIONAL_END \
    ") drive and press Ok to continue or Cancel to skip the install of this file."

// Data transfer.
#define MSG_SOURCE_DAMAGED "The source file (%s) is damaged!"
#define MSG_DISK_FULL "Due to insufficient space on drive (%s:)."
#define MSG_GENERATION_FAILED "Due to unknown file error (%#X) during file generation!"
#define MSG_EXTRACTION_FAILED "Due to unknown file error (%#X) during file extraction!"
#define MSG_READ_FAILED "Due to unknown file error (%#X) during read operation."

// Item finishing and program launch.
#define MSG_OPEN_FOR_DATE_FAILED "Error opening file to set Date & Time!"
#define MSG_SET_DATE_FAILED "Error setting file Date & Time!"
#define MSG_SET_ATTRIBUTES_FAILED "Error setting file attributes!"
#define MSG_LAUNCH_NO_MEMORY "The invocation of program (%s) failed due to insufficient memory!"
#define MSG_LAUNCH_FAILED "The invocation of program (%s) failed with a return code of (%#X)."

// ---------------------------------------------------------------------------------------
// The product's names on the machine

// The target directory must contain this token; the default directory ends in it.
#define DIR_TOKEN_TEXT "QRVNE32"
// The default target: the program-files directory joined with the first, else the second.
#define PRODUCT_DIR_UNDER_PROGRAM_FILES "VarnookSW\\QRVNE32"
#define PRODUCT_FALLBACK_DIR "C:\\VarnookSW\\QRVNE32"
// Where an earlier installation left its directory: registry key, else WIN.INI sections.
#define PRODUCT_REGISTRY_KEY "SOFTWARE\\VarnookSW\\Quorvane by Varnook"
#define PRODUCT_INI_SECTION "Quorvane by Varnook"
#define PRODUCT_SHORT_INI_SECTION "Quorvane"
#define SETTING_DIRECTORY "Directory"
#define SETTING_OLD_DIRECTORY "OldDirectory"

#ifndef RC_INVOKED
#include <stdint.h>

// The fill of the progress bar, pen and brush (a COLORREF: blue 255, green 0, red 0).
const uint32_t PROGRESS_BAR_COLOR = 0xFF0000;
// The progress dialog's timers: before the first step and between two steps of the copy
// phase, and how long the full bar stays before the dialog ends.
const uint32_t PROGRESS_STEP_MS = 60;
const uint32_t PROGRESS_DONE_MS = 2000;
#endif
