// The installer's message boxes that end an installation: caption "Aborting Install", one OK
// button, owned by the window given (the progress dialog while it exists, else the main
// window or none). Error texts carry the last error code in wsprintfA's "%#X" form (0X2).
#pragma once

#include "platform/win32api.h"
#include "resources/ui_table.h"  // the texts and captions of the boxes

extern const char ABORT_CAPTION[];  // "Aborting Install"

// Shows `text` and returns when the user has closed the box.
void ShowAbortMessage(HWND owner, const char* text);

// Formats `format`, which holds one "%#X", with `code` and shows it. The code is read straight
// after the failing platform call (win.GetLastError() as the argument, or kept in a variable
// when a clean-up comes first), before anything else can change it.
void ShowCodeMessage(HWND owner, const char* format, DWORD code);

// Ends a modal dialog with `result`. Should EndDialog fail, the dialog is destroyed instead,
// so that it never stays open with nothing left to end it; RunModalDialog still returns
// `result` then, although the system's modal loop gives 0 for a destroyed dialog.
void EndModalDialog(HWND dialog, INT_PTR result);

// DialogBoxParamA without creation data, returning the result EndModalDialog was given, also
// when the dialog had to be destroyed. A dialog destroyed from outside gives 0; -1 when the
// dialog could not be created.
INT_PTR RunModalDialog(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure);

// Centres `dialog` over the client area of its parent (the owner of an owned pop-up),
// keeping its size; used by the dialogs at WM_INITDIALOG.
void CentreDialog(HWND dialog);
