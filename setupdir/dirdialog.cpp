// The directory dialog (template DIRDLG): proposes the default target directory in an edit
// field and offers Ok (validate and create, dirvalidate.cpp), Abort Install and Help. The
// dialog has no creation data; DirDialogTarget is its only link to the caller's buffer. Esc
// does nothing, and a dialog destroyed from outside counts as Abort Install.
#include <string.h>

#include "engine/installstate.h"
#include "engine/messages.h"
#include "setupdir/setupdir.h"

char* DirDialogTarget;

namespace {

const char HELP_CAPTION[] = CAPTION_HELP;
// The help text resource carries no terminator, so it is copied into a buffer with room for
// one. Larger than the text we ship (2034 bytes); a longer text would be cut here.
const DWORD HELP_TEXT_CAPACITY = 4096;

INT_PTR OnInitDialog(HWND dialog) {
    CentreDialog(dialog);
    win.SetDlgItemTextA(dialog, DIRDLG_EDIT, DirDialogTarget);
    return TRUE;  // the system puts the focus on the first tab stop, the edit field
}

void OnAbortInstall(HWND dialog) {
    ShowAbortMessage(dialog, MSG_USER_ABORT);
    EndModalDialog(dialog, 0);
}

// Shows the resource's bytes, exactly as stored, in a box over the dialog. A help text that
// cannot be loaded shows nothing; the dialog stays usable either way.
void ShowDirectoryHelp(HWND dialog) {
    HRSRC info = win.FindResourceA(InstallState.instance, RES_HELP_TEXT, RES_TYPE_TEXT);
    if (info == NULL) return;
    HGLOBAL loaded = win.LoadResource(InstallState.instance, info);
    if (loaded == NULL) return;
    const char* bytes = (const char*)win.LockResource(loaded);
    DWORD size = win.SizeofResource(InstallState.instance, info);
    if (bytes != NULL && size != 0) {
        char text[HELP_TEXT_CAPACITY];
        DWORD length = size < HELP_TEXT_CAPACITY ? size : HELP_TEXT_CAPACITY - 1;
        memcpy(text, bytes, length);
        text[length] = '\0';
        win.MessageBoxA(dialog, text, HELP_CAPTION, MB_OK);
    }
    win.GlobalUnlock(loaded);
    win.FreeResource(loaded);
}

void OnCommand(HWND dialog, WORD id) {
    switch (id) {
        case DIRDLG_OK:
            if (ValidateTargetDirectory(dialog)) EndModalDialog(dialog, 1);
            break;
        case DIRDLG_ABORT:
            OnAbortInstall(dialog);
            break;
        case DIRDLG_HELP:
            ShowDirectoryHelp(dialog);
            break;
        default:  // IDCANCEL from Esc and the edit field's notifications: nothing
            break;
    }
}

}  // namespace

int ChooseTargetDirectory(HINSTANCE instance, HWND owner, char* target) {
    DirDialogTarget = target;
    INT_PTR result = RunModalDialog(instance, TEMPLATE_DIRDLG, owner, DirDialogProc);
    if (result == -1) {
        ShowAbortMessage(owner, MSG_NO_DIRECTORY_DIALOG);
        return 0;
    }
    return result != 0;
}

// Unused: lParam. The dialog has no creation data, and no message handled here carries one.
INT_PTR CALLBACK DirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam));
            return TRUE;
        case WM_DESTROY:
            // Decides the result only when the dialog is torn down while it still runs.
            win.EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}
