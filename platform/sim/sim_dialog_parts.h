// What the parts of the simulated Windows' modal dialogs give each other: the dialog built
// from its template and taken down (sim_dialog_window.cpp), the scripted user's actions in it
// (sim_dialog_user.cpp) and the timers (sim_timers.cpp), which the modal loop
// (sim_dialogs.cpp) runs in virtual time.
#pragma once

#include <stdint.h>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

// The dialog window and its controls, laid out in pixels; not yet shown.
HWND CreateDialogWindow(const DialogData& t, HWND owner, DLGPROC proc);
// The "dialog" event and one "control" event per control.
void RecordDialogShown(HWND handle, HWND owner);
// WM_DESTROY to the procedure, then the dialog, its controls and its timers are gone. Returns
// EndDialog's result when EndDialog had been called, else 0.
INT_PTR DestroyDialog(HWND handle);

// Whether the scripted action names this dialog (or no dialog).
bool ActionIsFor(const UserAction& action, const Window& dialog);
// The virtual time at which the action is due.
uint64_t ActionTime(const UserAction& action, const Window& dialog);
// Takes the action in the dialog. Returns 1 when the dialog was destroyed by it.
int TakeAction(HWND handle, const UserAction& action);
// The control that takes the focus first, and moving the focus to a control.
HWND FirstTabStop(const Window& dialog);
void SetDialogFocus(HWND handle, HWND control);

// The timers of a window are dropped with it.
void DropTimersOf(HWND window);
// Index of the earliest due timer of a live window, or -1; firing it moves the clock.
int EarliestTimer();
void FireTimer(int index);

}  // namespace detail
}  // namespace sim
