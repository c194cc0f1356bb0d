// Timers of the simulated Windows in virtual time: SetTimer and KillTimer, and for the modal
// loops the earliest due timer of a live window and its firing. A timer repeats every
// interval until killed; a thread timer (no window) gets a fresh id.
#include "platform/sim/sim_dialog_parts.h"

namespace sim {
namespace detail {

void DropTimersOf(HWND window) {
    std::vector<Timer>& timers = M().timers;
    for (size_t i = 0; i < timers.size();)
        if (timers[i].window == window)
            timers.erase(timers.begin() + (long)i);
        else
            i++;
}

// Index of the earliest due timer of a live window, or -1.
int EarliestTimer() {
    const std::vector<Timer>& timers = M().timers;
    int best = -1;
    for (size_t i = 0; i < timers.size(); i++) {
        if (timers[i].window && !FindWindowByHandle(timers[i].window)) continue;
        if (best < 0 || timers[i].due < timers[best].due ||
            (timers[i].due == timers[best].due && timers[i].sequence < timers[best].sequence))
            best = (int)i;
    }
    return best;
}

void FireTimer(int index) {
    Timer& timer = M().timers[index];
    if (timer.due > M().now) M().now = timer.due;
    timer.due = M().now + timer.interval;
    Timer fired = timer;  // the handler may kill or replace it
    Record("timer", {N("id", (long long)fired.id), F("window", WindowName(fired.window))});
    if (fired.proc)
        fired.proc(fired.window, WM_TIMER, fired.id, (DWORD)M().now);
    else if (fired.window)
        SendToWindow(fired.window, WM_TIMER, fired.id, 0);
}

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

UINT_PTR WINAPI Sim_SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    if (hWnd && !FindWindowByHandle(hWnd)) return SetError(ERROR_INVALID_WINDOW_HANDLE), 0;
    const UINT kMinimum = 10, kMaximum = 0x7FFFFFFF;  // USER_TIMER_MINIMUM, _MAXIMUM
    UINT interval = uElapse < kMinimum ? kMinimum : (uElapse > kMaximum ? kMaximum : uElapse);
    Machine& m = M();
    if (!hWnd) nIDEvent = 0x7FF0 + (UINT_PTR)m.timerSequence;  // thread timers get a fresh id
    Timer timer;
    timer.window = hWnd;
    timer.id = nIDEvent;
    timer.interval = interval;
    timer.due = m.now + interval;
    timer.sequence = ++m.timerSequence;
    timer.proc = lpTimerFunc;
    bool replaced = false;
    for (Timer& existing : m.timers)
        if (existing.window == hWnd && existing.id == nIDEvent) existing = timer, replaced = true;
    if (!replaced) m.timers.push_back(timer);
    Record("timer-set",
           {N("id", (long long)nIDEvent), N("ms", uElapse), F("window", WindowName(hWnd))});
    return nIDEvent ? nIDEvent : 1;
}

BOOL WINAPI Sim_KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    std::vector<Timer>& timers = M().timers;
    for (size_t i = 0; i < timers.size(); i++) {
        if (timers[i].window != hWnd || timers[i].id != uIDEvent) continue;
        timers.erase(timers.begin() + (long)i);
        Record("timer-kill", {N("id", (long long)uIDEvent), F("window", WindowName(hWnd))});
        return TRUE;
    }
    return FALSE;
}
