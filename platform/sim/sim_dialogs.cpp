// The modal loop of the simulated Windows' dialogs, in virtual time.
//
// DialogBoxParamA builds the dialog from its template, sends WM_INITDIALOG and runs a modal
// loop that takes, at each step, the earlier of: the scripted action at the head of the queue
// (when it is meant for this dialog; at -1 means "now") and the earliest due timer of any live
// window. On a tie the user's action goes first (Windows generates WM_TIMER only when no other
// input is waiting). The clock jumps to the chosen time. When EndDialog has been called the
// loop sends WM_DESTROY and returns the result; with nothing pending the dialog would wait
// forever, so the loop records "stuck" and destroys it (result 0, as for any dialog destroyed
// without EndDialog), and so it does after its step limit. An action's time counts from boot
// (`at`) or from its dialog's start (`after`).
#include <algorithm>

#include "platform/sim/sim_dialog_parts.h"

namespace sim {
namespace detail {

namespace {

// One step of the modal loop. Returns 0 when the dialog is to be destroyed.
int ModalStep(HWND handle) {
    Machine& m = M();
    const Window* dialog = FindWindowByHandle(handle);
    const UserAction* action = nullptr;
    if (m.nextAction < m.actions.size() && ActionIsFor(m.actions[m.nextAction], *dialog))
        action = &m.actions[m.nextAction];
    int timer = EarliestTimer();
    if (action) {
        uint64_t at = std::max<uint64_t>(m.now, ActionTime(*action, *dialog));
        if (timer < 0 || at <= m.timers[timer].due) {
            UserAction taken = *action;
            m.nextAction++;
            m.now = at;
            return !TakeAction(handle, taken);
        }
    }
    if (timer >= 0) {
        FireTimer(timer);
        return 1;
    }
    Record("stuck", {F("dialog", dialog->name), F("reason", "idle")});
    return 0;
}

INT_PTR RunModalLoop(HWND handle) {
    for (int steps = 0;; steps++) {
        Window* dialog = FindWindowByHandle(handle);
        if (!dialog) return 0;  // destroyed by DestroyWindow from one of its own handlers
        if (dialog->ended) break;
        if (steps >= M().modalStepLimit) {
            Record("stuck", {F("dialog", dialog->name), F("reason", "step-limit")});
            break;
        }
        if (!ModalStep(handle)) break;
    }
    return DestroyDialog(handle);
}

}  // namespace

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

INT_PTR WINAPI Sim_DialogBoxParamA(HINSTANCE /*hInstance*/, LPCSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    const sim::DialogData* t = lpTemplateName && !IS_INTRESOURCE(lpTemplateName)
                                   ? FindRegisteredDialog(lpTemplateName)
                                   : nullptr;
    if (!t) return SetError(ERROR_RESOURCE_NAME_NOT_FOUND), -1;
    // 0, not -1, for an owner that is no window: Windows keeps that for compatibility.
    if (hWndParent && !FindWindowByHandle(hWndParent))
        return SetError(ERROR_INVALID_WINDOW_HANDLE), 0;
    if (!lpDialogFunc) return SetError(ERROR_INVALID_PARAMETER), -1;
    HWND handle = CreateDialogWindow(*t, hWndParent, lpDialogFunc);
    std::string name = FindWindowByHandle(handle)->name;
    RecordDialogShown(handle, hWndParent);
    FindWindowByHandle(handle)->startedAt = M().now;
    HWND focus = FirstTabStop(*FindWindowByHandle(handle));
    // TRUE from WM_INITDIALOG asks the system to put the focus on the control it names.
    if (lpDialogFunc(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), dwInitParam))
        SetDialogFocus(handle, focus);
    INT_PTR result = RunModalLoop(handle);
    Record("dialog-end",
           {F("template", t->name), F("dialog", name), N("result", (long long)result)});
    return result;
}

// Destroys at once, as on Windows: WM_DESTROY reaches the procedure inside this call, and a
// modal dialog's loop then ends with 0 unless EndDialog had been called.
BOOL WINAPI Sim_DestroyWindow(HWND hWnd) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window || window->destroying) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    Record("destroy", {F("dialog", window->name), F("source", "program")});
    DestroyDialog(hWnd);
    return TRUE;
}

BOOL WINAPI Sim_EndDialog(HWND hDlg, INT_PTR nResult) {
    Window* dialog = FindWindowByHandle(hDlg);
    if (!dialog || dialog->kind != WindowKind::Dialog)
        return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    if (dialog->ended) return TRUE;
    dialog->ended = true;
    dialog->result = nResult;
    return TRUE;
}
