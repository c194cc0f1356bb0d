// Dialogs of the simulated Windows made from their templates and taken down again: the
// dialog window and its controls laid out in pixels by the dialog base units of the
// template's font, the "dialog" and "control" events that show them, and WM_DESTROY with the
// removal of the dialog, its controls and its timers.
#include "platform/sim/sim_dialog_parts.h"

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

// The transcript's name of a dialog: what the program registered with the template, else the
// template's name in lower case.
std::string DialogNameFor(const DialogData& t) {
    return t.windowName.empty() ? LowerAscii(t.name) : t.windowName;
}

}  // namespace

HWND CreateDialogWindow(const DialogData& t, HWND owner, DLGPROC proc) {
    Window dialog;
    dialog.handle = reinterpret_cast<HWND>(NewHandle());
    dialog.kind = WindowKind::Dialog;
    dialog.name = DialogNameFor(t);
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

}  // namespace detail
}  // namespace sim
