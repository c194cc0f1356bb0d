// Target directory selection: the directory dialog (DIRDLG) and the validation behind its Ok,
// which checks the typed text, creates the directory level by level and accepts an existing
// final directory only when it belongs to an earlier installation of the product. Every
// function returns 1 for success and 0 after the user has been told why in a message box.
#pragma once

#include <stdint.h>

#include "platform/win32api.h"
#include "resources/ui_table.h"  // the controls of DIRDLG

// Must occur somewhere in the upper-cased directory text.
extern const char DIR_TOKEN[];  // "QRVNE32"
// Minimum free space on the target drive, in kilobytes of 1024 bytes.
const uint32_t MIN_FREE_KB = 700;

// Capacity of the edit text taken from the dialog (131 characters and the terminator), and of
// a setting read from the registry or WIN.INI.
const int TYPED_DIR_SIZE = 132;
const int PRODUCT_SETTING_SIZE = 150;

// The caller's target-directory buffer (260 bytes): the dialog's initial text is read through
// it, and an accepted directory is written through it. Set by ChooseTargetDirectory.
extern char* DirDialogTarget;

// Runs DIRDLG over `owner` with `target` as the proposed directory. 1 when a directory was
// accepted (it exists and its text stands in `target`); 0 when the user gave up, the dialog
// was destroyed, or it could not be created (then with a message).
int ChooseTargetDirectory(HINSTANCE instance, HWND owner, char* target);
INT_PTR CALLBACK DirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The Ok of DIRDLG: checks, creates and, on success, copies the typed text through
// DirDialogTarget. Messages are owned by `dialog`, which stays open on failure.
int ValidateTargetDirectory(HWND dialog);
int IsFixedDrive(HWND owner, const char* path);
// Free space of the path's drive in kilobytes; 0 without a message when it cannot be told.
int GetFreeKilobytes(const char* path, uint64_t* kilobytes);
int CreateTargetDirectory(const char* path, HWND owner);

// The named setting ("Directory", "OldDirectory") of an earlier installation: the registry
// value, else WIN.INI section "Quorvane by Varnook", else section "Quorvane"; empty when none.
// `buffer` holds PRODUCT_SETTING_SIZE bytes and is always terminated.
void ReadProductSetting(const char* valueName, char* buffer);
// 1 when both paths are equal in their short (8.3) forms, ignoring the case of ASCII letters.
// A path without a usable short form is compared as it is.
int SameShortPath(const char* a, const char* b);

// Shows a validation message over the directory dialog: caption "Error", MB_TASKMODAL.
void ShowDirectoryError(HWND owner, const char* text);
