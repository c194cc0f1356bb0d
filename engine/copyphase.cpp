// The copy phase inside the modal progress dialog. There is no thread: each one-shot timer
// message runs one bounded step and the step arms the next timer, so the dialog handles its
// own messages between steps and Abort Install acts only between them. The one pending timer
// is killed by the id in InstallState.timerId as soon as it fires.
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"
#include "resources/ui_table.h"

namespace {

INT_PTR OnInitDialog(HWND dialog) {
    win.SetWindowTextA(dialog, CAPTION_PROGRESSDLG);
    CentreDialog(dialog);
    if (!ArmTimer(TIMER_START, PROGRESS_STEP_MS)) EndModalDialog(dialog, 0);
    return 1;
}

// The bar's rectangle is converted to pixels once; a failed conversion is tried again at the
// next tick, and no bar is drawn until it has succeeded.
void ConvertBarRectOnce(HWND dialog) {
    if (InstallState.firstTick && win.MapDialogRect(dialog, &InstallState.barRect))
        InstallState.firstTick = 0;
}

INT_PTR OnAbortInstall(HWND dialog) {
    win.KillTimer(dialog, InstallState.timerId);
    // Closed before the message, so nothing is held open while the user reads it.
    CloseFile(&InstallState.installerFile);
    CloseFile(&InstallState.sourceFile);
    CloseFile(&InstallState.outputFile);
    ShowAbortMessage(dialog, MSG_USER_ABORT);
    EndModalDialog(dialog, 0);
    return 1;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    if (LOWORD(wParam) == PROGRESSDLG_ABORT) return OnAbortInstall(dialog);
    return 1;
}

INT_PTR OnTimer(HWND dialog) {
    // The message's own timer id is not consulted: only one timer is ever pending.
    win.KillTimer(dialog, InstallState.timerId);
    ConvertBarRectOnce(dialog);
    int ok = 1;
    switch (InstallState.timerId) {
        case TIMER_START:
            ok = StartCopyPhase();
            break;
        case TIMER_STEP:
            ok = TransferStep();
            break;
        case TIMER_DONE:
            EndModalDialog(dialog, 1);
            return 1;
    }
    if (ok) return 1;
    EndModalDialog(dialog, 0);
    return 0;
}

INT_PTR OnDestroy(HWND dialog) {
    win.KillTimer(dialog, InstallState.timerId);
    win.EndDialog(dialog, 0);  // no effect on a dialog that is already ending
    return 1;
}

uint32_t SumOfStoredSizes(void) {
    uint32_t total = 0;
    for (uint32_t i = 0; i < InstallState.itemCount; i++) {
        CopyTableEntry entry;
        ReadCopyTableEntryAt(InstallState.table, i, &entry);
        total += entry.storedSize;
    }
    return total;
}

}  // namespace

// Unused: lParam. The dialog has no creation data, and no message handled here carries one.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    InstallState.progressDialog = dialog;
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            return OnCommand(dialog, wParam);
        case WM_TIMER:
            return OnTimer(dialog);
        case WM_DESTROY:
            return OnDestroy(dialog);
    }
    return 0;
}

int StartCopyPhase(void) {
    InstallState.bytesDone = 0;
    InstallState.current = 0;
    InstallState.bytesTotal = 0;
    // The diskette the user started from is taken to be the first entry's.
    CopyTableEntry first = CurrentEntry();
    memcpy(InstallState.diskLabel, first.diskLabel, DISK_LABEL_SIZE);
    InstallState.preparedIndex = NOTHING_PREPARED;
    InstallState.bytesTotal = SumOfStoredSizes();
    DrawProgress();
    if (!PrepareNextItem()) return 0;
    if (InstallState.current >= InstallState.itemCount) return EndCopyPhase();
    // The first buffer of the first item moves in this same tick.
    return TransferStep();
}

int TransferStep(void) {
    uint16_t flags = CurrentEntry().flags;
    int ok;
    if (flags & CF_COMPRESSED)
        ok = DecodeStep();
    else if (flags & CF_EXTERNAL_SOURCE)
        ok = CopyFromSourceStep();
    else
        ok = CopyFromInstallerStep();
    if (ok) return 1;
    // The input of the item this step ran for; anything a later item opened inside
    // FinishItem is closed when the installation releases its resources.
    CloseFile(&InstallState.outputFile);
    if (flags & CF_EXTERNAL_SOURCE)
        CloseFile(&InstallState.sourceFile);
    else
        CloseFile(&InstallState.installerFile);
    return 0;
}
