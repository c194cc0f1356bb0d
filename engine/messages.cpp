// Message boxes that end an installation, and the centring of dialogs over their owner.
#include "engine/messages.h"

const char ABORT_CAPTION[] = "Aborting Install";

void ShowAbortMessage(HWND owner, const char* text) {
    win.MessageBoxA(owner, text, ABORT_CAPTION, MB_OK);
}

void ShowCodeMessage(HWND owner, const char* format, DWORD code) {
    char text[256];
    win.wsprintfA(text, format, code);
    ShowAbortMessage(owner, text);
}

void EndModalDialog(HWND dialog, INT_PTR result) {
    if (!win.EndDialog(dialog, result)) win.DestroyWindow(dialog);
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
