// Modal dialogs, timers and message boxes of the simulated Windows, in virtual time.
//
// DialogBoxParamA builds the dialog from its template, sends WM_INITDIALOG and runs a modal
// loop that takes, at each step, the earlier of: the scripted action at the head of the queue
// (when it is meant for this dialog; at -1 means "now") and the earliest due timer of any live
// window. On a tie the user's action goes first (Windows generates WM_TIMER only when no other
// input is waiting). The clock jumps to the chosen time. A timer repeats every interval until
// killed. When EndDialog has been called the loop sends WM_DESTROY and returns the result;
// with nothing pending the dialog would wait forever, so the loop records "stuck" and destroys
// it (result 0, as for any dialog destroyed without EndDialog), and so it does after its step
// limit. The dialog keeps track of the control with the keyboard focus, which decides what
// Enter clicks. An action's time counts from boot (`at`) or from its dialog's start (`after`).
// Message boxes are not loops here: they take the scripted answer at once (the clock moves on
// by the answer's delay, if any), or without one their default button (a box that keeps coming
// back unanswered is recorded "stuck" and given up), and fire no timers.
#include <algorithm>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

// The dialog base units of a template's font (MachineConfig::dialogFonts), else the system
// font's.
void BaseUnitsFor(const DialogData& t, Window* dialog) {
    const MachineConfig& config = M().config;
    dialog->baseX = config.systemFontBaseX;
    dialog->baseY = config.systemFontBaseY;
    if (!(t.style & DS_SETFONT)) return;
    for (const MachineConfig::DialogFont& font : config.dialogFonts)
        if (font.pointSize == t.pointSize && EqualNoCase(font.faceName, t.faceName))
            dialog->baseX = font.baseX, dialog->baseY = font.baseY;
}

// A rectangle of the template in dialog units, as pixels of `dialog`.
RECT MapUnits(const Window& dialog, int x, int y, int width, int height) {
    LONG left = DialogUnitsToPixels(x, dialog.baseX, 4);
    LONG top = DialogUnitsToPixels(y, dialog.baseY, 8);
    return RECT{left, top, left + DialogUnitsToPixels(width, dialog.baseX, 4),
                top + DialogUnitsToPixels(height, dialog.baseY, 8)};
}

WPARAM MakeWParam(int low, int high) {
    return (WPARAM)(((DWORD)(WORD)low) | ((DWORD)(WORD)high << 16));
}

std::string DialogNameFor(const std::string& templateName) {
    std::string upper = UpperAscii(templateName);
    if (upper == "DIRDLG") return "dirdlg";
    if (upper == "PROGRESSDLG") return "progress";
    return LowerAscii(templateName);
}

void AddControls(Window* dialog, const DialogData& t) {
    for (const DialogControlData& c : t.controls) {
        Window control;
        control.handle = reinterpret_cast<HWND>(NewHandle());
        control.kind = WindowKind::Control;
        control.name = dialog->name + "." + std::to_string(c.id);
        control.className = c.className;
        control.text = c.text;
        control.style = c.style;
        control.controlId = c.id;
        control.parent = dialog->handle;
        control.visible = true;
        control.windowRect = MapUnits(*dialog, c.x, c.y, c.width, c.height);
        dialog->controls.push_back(control.handle);
        M().windows[reinterpret_cast<uintptr_t>(control.handle)] = control;
    }
}

HWND CreateDialogWindow(const DialogData& t, HWND owner, DLGPROC proc) {
    Window dialog;
    dialog.handle = reinterpret_cast<HWND>(NewHandle());
    dialog.kind = WindowKind::Dialog;
    dialog.name = DialogNameFor(t.name);
    dialog.className = "#32770";
    dialog.text = t.caption;
    dialog.style = t.style;
    dialog.parent = owner;
    dialog.dlgProc = proc;
    dialog.templateName = t.name;
    dialog.visible = true;
    dialog.clientInset = InsetsFor(t.style, WindowKind::Dialog);
    BaseUnitsFor(t, &dialog);
    Window* ownerWindow = FindWindowByHandle(owner);
    POINT origin = ownerWindow ? ClientOrigin(*ownerWindow) : POINT{0, 0};
    RECT client = MapUnits(dialog, t.x, t.y, t.width, t.height);
    const RECT& in = dialog.clientInset;
    LONG left = origin.x + client.left, top = origin.y + client.top;
    dialog.windowRect = RECT{left, top, left + (client.right - client.left) + in.left + in.right,
                             top + (client.bottom - client.top) + in.top + in.bottom};
    AddControls(&dialog, t);
    HWND handle = dialog.handle;
    M().windows[reinterpret_cast<uintptr_t>(handle)] = std::move(dialog);
    return handle;
}

void RecordDialogShown(HWND handle, HWND owner) {
    Window* dialog = FindWindowByHandle(handle);
    const RECT& r = dialog->windowRect;
    const RECT& in = dialog->clientInset;
    Record("dialog",
           {F("template", dialog->templateName), F("dialog", dialog->name),
            F("owner", WindowName(owner)), F("caption", dialog->text), N("style", dialog->style),
            N("x", r.left), N("y", r.top), N("width", r.right - r.left),
            N("height", r.bottom - r.top), N("clientLeft", in.left), N("clientTop", in.top),
            N("clientWidth", r.right - r.left - in.left - in.right),
            N("clientHeight", r.bottom - r.top - in.top - in.bottom), N("baseX", dialog->baseX),
            N("baseY", dialog->baseY)});
    for (HWND control : dialog->controls) {
        Window* c = FindWindowByHandle(control);
        Record("control",
               {F("dialog", dialog->name), N("id", c->controlId), F("class", c->className),
                F("text", c->text), N("x", c->windowRect.left), N("y", c->windowRect.top),
                N("width", c->windowRect.right - c->windowRect.left),
                N("height", c->windowRect.bottom - c->windowRect.top), N("style", c->style)});
    }
}

void DropTimersOf(HWND window) {
    std::vector<Timer>& timers = M().timers;
    for (size_t i = 0; i < timers.size();)
        if (timers[i].window == window)
            timers.erase(timers.begin() + (long)i);
        else
            i++;
}

// WM_DESTROY to the procedure, then the dialog and its controls are gone. EndDialog inside
// the handler counts only when the dialog had not ended before. A running dialog destroyed
// without EndDialog returns 0, as DialogBoxParamA does on Windows.
INT_PTR DestroyDialog(HWND handle) {
    Window* dialog = FindWindowByHandle(handle);
    dialog->destroying = true;
    SendToWindow(handle, WM_DESTROY, 0, 0);
    dialog = FindWindowByHandle(handle);
    INT_PTR result = dialog->ended ? dialog->result : 0;
    for (HWND control : dialog->controls) M().windows.erase(reinterpret_cast<uintptr_t>(control));
    DropTimersOf(handle);
    M().windows.erase(reinterpret_cast<uintptr_t>(handle));
    return result;
}

bool ActionIsFor(const UserAction& action, const Window& dialog) {
    return action.dialog.empty() || EqualNoCase(action.dialog, dialog.name) ||
           EqualNoCase(action.dialog, dialog.templateName);
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

const char* ActionName(ActionKind kind) {
    switch (kind) {
        case ActionKind::Type:
            return "type";
        case ActionKind::Press:
            return "press";
        case ActionKind::Enter:
            return "enter";
        case ActionKind::Escape:
            return "escape";
        case ActionKind::Destroy:
            return "destroy";
    }
    return "";
}

void SendCommand(HWND dialog, const char* action, int id, int code, HWND control) {
    Record("command",
           {F("dialog", WindowName(dialog)), N("id", id), N("code", code), F("action", action)});
    SendToWindow(dialog, WM_COMMAND, MakeWParam(id, code), reinterpret_cast<LPARAM>(control));
}

bool IsButtonOfType(const Window& control, DWORD type) {
    return UpperAscii(control.className) == "BUTTON" && (control.style & 0x0F) == type;
}

bool IsPushButton(const Window& control) {
    return IsButtonOfType(control, BS_PUSHBUTTON) || IsButtonOfType(control, BS_DEFPUSHBUTTON);
}

// What DM_GETDEFID answers through the default dialog procedure: the template's
// BS_DEFPUSHBUTTON, or null.
Window* DefaultPushButton(const Window& dialog) {
    for (HWND handle : dialog.controls) {
        Window* c = FindWindowByHandle(handle);
        if (c && IsButtonOfType(*c, BS_DEFPUSHBUTTON)) return c;
    }
    return nullptr;
}

// The command Enter sends, as the dialog manager picks it: the focused push button; else the
// default push button (nothing when it is disabled); else IDOK. False when Enter does nothing.
bool EnterCommand(const Window& dialog, int* id, HWND* control) {
    Window* target = FindWindowByHandle(dialog.focus);
    if (!target || !IsPushButton(*target)) target = DefaultPushButton(dialog);
    if (!target) {
        Window* ok = FindControl(dialog.handle, IDOK);
        *id = IDOK;
        *control = ok ? ok->handle : nullptr;
        return true;
    }
    *id = target->controlId;
    *control = target->handle;
    return !(target->style & WS_DISABLED);
}

// The control that takes the focus first: the first visible, enabled tab stop in template
// order, or null.
HWND FirstTabStop(const Window& dialog) {
    for (HWND handle : dialog.controls) {
        Window* c = FindWindowByHandle(handle);
        if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED))
            return handle;
    }
    return nullptr;
}

void SetDialogFocus(HWND handle, HWND control) {
    Window* dialog = FindWindowByHandle(handle);
    Window* target = FindWindowByHandle(control);
    if (!dialog || !target || dialog->focus == control) return;
    dialog->focus = control;
    Record("focus", {F("dialog", dialog->name), N("control", target->controlId)});
}

void IgnoreAction(const Window& dialog, const char* name, int id) {
    Record("ignored", {F("dialog", dialog.name), F("action", name), N("id", id)});
}

// Enter or Esc.
void TakeKeyAction(HWND handle, const UserAction& action) {
    Window* dialog = FindWindowByHandle(handle);
    const char* name = ActionName(action.kind);
    HWND control = nullptr;
    int id = IDCANCEL;
    if (action.kind == ActionKind::Enter) {
        if (!EnterCommand(*dialog, &id, &control)) return IgnoreAction(*dialog, name, id);
    } else if (Window* cancel = FindControl(handle, IDCANCEL)) {
        control = cancel->handle;
    }
    SendCommand(handle, name, id, BN_CLICKED, control);
}

// Type or Press. Only an enabled edit control takes typing, and only an enabled button can be
// pressed; either takes the focus first.
void TakeControlAction(HWND handle, const UserAction& action) {
    Window* dialog = FindWindowByHandle(handle);
    const char* name = ActionName(action.kind);
    Window* control = FindControl(handle, action.control);
    const char* wanted = action.kind == ActionKind::Type ? "EDIT" : "BUTTON";
    if (!control || UpperAscii(control->className) != wanted || (control->style & WS_DISABLED))
        return IgnoreAction(*dialog, name, action.control);
    SetDialogFocus(handle, control->handle);
    if (action.kind == ActionKind::Type) {
        control->text = action.text;
        Record("text", {F("dialog", dialog->name), N("control", action.control),
                        F("text", action.text), F("source", "user")});
        SendCommand(handle, name, action.control, EN_CHANGE, control->handle);
    } else {
        SendCommand(handle, name, action.control, BN_CLICKED, control->handle);
    }
}

// Returns 1 when the dialog was destroyed by the action.
int TakeAction(HWND handle, const UserAction& action) {
    if (action.kind == ActionKind::Destroy) {
        Record("destroy", {F("dialog", FindWindowByHandle(handle)->name)});
        return 1;
    }
    if (action.kind == ActionKind::Enter || action.kind == ActionKind::Escape)
        TakeKeyAction(handle, action);
    else
        TakeControlAction(handle, action);
    return 0;
}

// When the action is due: `after` counts from the dialog's start, `at` from boot, and an
// action with neither is due at once (the caller never goes back in time).
uint64_t ActionTime(const UserAction& action, const Window& dialog) {
    if (action.after >= 0) return dialog.startedAt + (uint64_t)action.after;
    return action.at < 0 ? 0 : (uint64_t)action.at;
}

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

namespace {

// The buttons of a message box of each type, in order, and the answer of a user who gives up
// (Cancel; where there is none, the button closest to it).
struct BoxButtons {
    UINT type;
    int buttons[3];
    int count;
    int giveUp;
};

const BoxButtons kBoxButtons[] = {
    {MB_OK, {IDOK}, 1, IDOK},
    {MB_OKCANCEL, {IDOK, IDCANCEL}, 2, IDCANCEL},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, 3, IDABORT},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, 3, IDCANCEL},
    {MB_YESNO, {IDYES, IDNO}, 2, IDNO},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, 2, IDCANCEL},
};

// Types beyond these are treated as MB_OK.
const BoxButtons& ButtonsOf(UINT style) {
    for (const BoxButtons& box : kBoxButtons)
        if (box.type == (style & MB_TYPEMASK)) return box;
    return kBoxButtons[0];
}

// The button that Enter presses: the first, or the one MB_DEFBUTTON2/3 names.
int DefaultButton(UINT style) {
    const BoxButtons& box = ButtonsOf(style);
    int index = (int)((style & MB_DEFMASK) >> 8);
    return box.buttons[index < box.count ? index : 0];
}

// An answer the box has no button for becomes its default button (Esc on an OK-only box
// answers IDOK, as on Windows).
int PossibleAnswer(UINT style, int answer) {
    const BoxButtons& box = ButtonsOf(style);
    for (int i = 0; i < box.count; i++)
        if (box.buttons[i] == answer) return answer;
    return DefaultButton(style);
}

// A box the script did not answer gets its default button. When that same box comes back
// more than this many times in a row, the user is taken to have given up: the run records
// "stuck" and gives up (Cancel), so an unscripted retry prompt cannot loop for ever.
const int kDefaultAnswerRepeats = 100;

int DefaultAnswer(const std::string& caption, const std::string& text, UINT uType) {
    Machine& m = M();
    std::string box = caption + '\n' + text;
    m.repeatedDefaultBoxes = box == m.lastDefaultBox ? m.repeatedDefaultBoxes + 1 : 1;
    m.lastDefaultBox = box;
    const BoxButtons& buttons = ButtonsOf(uType);
    if (m.repeatedDefaultBoxes <= kDefaultAnswerRepeats || buttons.count == 1)
        return DefaultButton(uType);
    if (m.repeatedDefaultBoxes == kDefaultAnswerRepeats + 1)
        Record("stuck",
               {F("dialog", "messagebox"), F("reason", "repeated message box"), F("text", text)});
    return buttons.giveUp;
}

}  // namespace

// The answer at the head of the queue, taken when it is meant for a box with this text.
static bool TakeScriptedAnswer(const std::string& caption, const std::string& text,
                               MessageBoxAnswer* taken) {
    Machine& m = M();
    if (m.nextAnswer >= m.answers.size()) return false;
    const MessageBoxAnswer& next = m.answers[m.nextAnswer];
    if (!next.textContains.empty() && text.find(next.textContains) == std::string::npos)
        return false;
    if (!next.captionContains.empty() && caption.find(next.captionContains) == std::string::npos)
        return false;
    *taken = next;
    m.nextAnswer++;
    m.repeatedDefaultBoxes = 0;
    return true;
}

int WINAPI Sim_MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (hWnd && !FindWindowByHandle(hWnd)) return SetError(ERROR_INVALID_WINDOW_HANDLE), 0;
    std::string text = lpText ? lpText : "";
    std::string caption = lpCaption ? lpCaption : "Error";
    MessageBoxAnswer taken;
    if (TakeScriptedAnswer(caption, text, &taken))
        taken.answer = PossibleAnswer(uType, taken.answer);
    else
        taken.answer = DefaultAnswer(caption, text, uType);
    Record("messagebox", {F("owner", WindowName(hWnd)), F("caption", caption), F("text", text),
                          N("style", uType), N("answer", taken.answer)});
    M().now += (uint64_t)taken.delayMs;
    if (taken.effect) taken.effect();
    return taken.answer;
}
