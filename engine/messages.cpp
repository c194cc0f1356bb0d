// Message boxes that end an installation, and the centring of dialogs over their owner.
#include "engine/messages.h"

const char ABORT_CAPTION[] = CAPTION_ABORT;

void ShowAbortMessage(HWND owner, const char* text) {
    win.MessageBoxA(owner, text, ABORT_CAPTION, MB_OK);
}

void ShowCodeMessage(HWND owner, const char* format, DWORD code) {
    char text[256];
    win.wsprintfA(text, format, code);
    ShowAbortMessage(owner, text);
}

namespace {

// The result a running modal dialog was meant to end with when EndDialog failed and the
// dialog was destroyed instead; its modal loop then returns 0, so RunModalDialog hands this
// one to the caller. Only one modal dialog of ours runs at a time.
int DialogEndedByDestroy;
INT_PTR DestroyedDialogResult;

}  // namespace

void EndModalDialog(HWND dialog, INT_PTR result) {
    if (win.EndDialog(dialog, result)) return;
    DialogEndedByDestroy = 1;
    DestroyedDialogResult = result;
    if (!win.DestroyWindow(dialog)) DialogEndedByDestroy = 0;
}

INT_PTR RunModalDialog(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure) {
    DialogEndedByDestroy = 0;
    INT_PTR result = win.DialogBoxParamA(instance, templateName, owner, procedure, 0);
    if (DialogEndedByDestroy && result == 0) result = DestroyedDialogResult;
    DialogEndedByDestroy = 0;
    return result;
}

void CentreDialog(HWND dialog) {
    HWND parent = win.GetParent(dialog);
    RECT client = {0, 0, 0, 0};
    RECT box = {0, 0, 0, 0};
    // Without a parent (its window could not be created) or a rectangle to measure, the
    // dialog stays where its template put it.
    if (!win.GetClientRect(parent, &client)) return;
    POINT topLeft = {client.left, client.top};
    POINT bottomRight = {client.right, client.bottom};
    win.ClientToScreen(parent, &topLeft);
    win.ClientToScreen(parent, &bottomRight);
    if (!win.GetWindowRect(dialog, &box)) return;
    int clientWidth = bottomRight.x - topLeft.x;
    int clientHeight = bottomRight.y - topLeft.y;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    win.MoveWindow(dialog, topLeft.x + (clientWidth - width) / 2,
                   topLeft.y + (clientHeight - height) / 2, width, height, TRUE);
}
