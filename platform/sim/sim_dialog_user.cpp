// The scripted user inside a modal dialog: which action is meant for the running dialog and
// when it is due, and what it does there. Type and Press go to a control by id (only an
// enabled edit takes typing, only an enabled button a press); Enter and Esc go through the
// dialog manager's rules (the focused push button, else the default one, else IDOK; IDCANCEL).
// Each reaches the dialog procedure as WM_COMMAND, and the keyboard focus follows the user.
#include "platform/sim/sim_dialog_parts.h"

namespace sim {
namespace detail {

namespace {

WPARAM MakeWParam(int low, int high) {
    return (WPARAM)(((DWORD)(WORD)low) | ((DWORD)(WORD)high << 16));
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

}  // namespace

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

bool ActionIsFor(const UserAction& action, const Window& dialog) {
    return action.dialog.empty() || EqualNoCase(action.dialog, dialog.name) ||
           EqualNoCase(action.dialog, dialog.templateName);
}

void SetDialogFocus(HWND handle, HWND control) {
    Window* dialog = FindWindowByHandle(handle);
    Window* target = FindWindowByHandle(control);
    if (!dialog || !target || dialog->focus == control) return;
    dialog->focus = control;
    Record("focus", {F("dialog", dialog->name), N("control", target->controlId)});
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

}  // namespace detail
}  // namespace sim
