// Windows of the simulated Windows: classes, the main window, windows of other programs for
// FindWindowA, window and control texts, and the geometry used to centre dialogs.
//
// Geometry (pixels, all deterministic):
// - Screen: MachineConfig screenWidth x screenHeight (default 1024 x 768), origin (0,0).
// - Frames: a window with a caption (WS_CAPTION, or any top-level window that is neither
//   WS_POPUP nor WS_CHILD) has a 4-pixel frame on each side and a 20-pixel caption above its
//   client area; WS_DLGFRAME, WS_THICKFRAME or DS_MODALFRAME alone give the 4-pixel frame,
//   WS_BORDER alone 1 pixel.
// - CreateWindowExA with CW_USEDEFAULT: position (0,0), size 3/4 of the screen.
// - SW_SHOWMAXIMIZED: the frame lies just off the screen, as on Windows: window rectangle
//   (-4,-4)-(W+4,H+4), client area from (0,20) to (W,H) on the screen.
// - Dialog base units: those of the dialog's font (MachineConfig: by default 9 x 16 for the
//   system font, 7 x 13 for "System" at 8 points); MapDialogRect gives x * baseX / 4 and
//   y * baseY / 8, rounded as MulDiv rounds. A dialog's client area is its template size in
//   pixels; its window rectangle adds the frame and caption; its top-left corner (window
//   rectangle) is the template position, relative to the owner's client area.
#include <string.h>

#include <algorithm>

#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const DWORD kErrorCannotFindClass = 1407;
const DWORD kErrorControlIdNotFound = 1421;
const DWORD kThickFrame = 0x00040000u;
const int kFrame = 4;
const int kCaption = 20;

bool HasCaption(DWORD style, WindowKind kind) {
    if ((style & WS_CAPTION) == WS_CAPTION) return true;
    return kind == WindowKind::TopLevel && !(style & (WS_POPUP | WS_CHILD));
}

}  // namespace

RECT InsetsFor(DWORD style, WindowKind kind) {
    RECT inset{0, 0, 0, 0};
    bool caption = HasCaption(style, kind);
    int frame = 0;
    if (caption || (style & (WS_DLGFRAME | kThickFrame)) ||
        (kind == WindowKind::Dialog && (style & DS_MODALFRAME)))
        frame = kFrame;
    else if (style & WS_BORDER)
        frame = 1;
    if (kind == WindowKind::Control) frame = 0, caption = false;
    inset.left = inset.right = inset.bottom = frame;
    inset.top = frame + (caption ? kCaption : 0);
    return inset;
}

Window* FindWindowByHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto it = M().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == M().windows.end() ? nullptr : &it->second;
}

std::string WindowName(HWND hwnd) {
    if (!hwnd) return "none";
    Window* window = FindWindowByHandle(hwnd);
    return window ? window->name : "invalid";
}

// Screen position of the client area's top-left corner.
POINT ClientOrigin(const Window& window) {
    POINT origin{window.windowRect.left + window.clientInset.left,
                 window.windowRect.top + window.clientInset.top};
    if (window.kind == WindowKind::Control) {
        Window* parent = FindWindowByHandle(window.parent);
        if (parent) {
            POINT base = ClientOrigin(*parent);
            origin.x += base.x;
            origin.y += base.y;
        }
    }
    return origin;
}

Window* FindControl(HWND dialog, int id) {
    Window* window = FindWindowByHandle(dialog);
    if (!window) return nullptr;
    for (HWND control : window->controls) {
        Window* child = FindWindowByHandle(control);
        if (child && child->controlId == id) return child;
    }
    return nullptr;
}

LONG DialogUnitsToPixels(int units, int base, int divisor) {
    long long product = (long long)units * base, half = divisor / 2;
    return (LONG)(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
}

LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = FindWindowByHandle(hwnd);
    if (!window) return 0;
    if (window->kind == WindowKind::Dialog && window->dlgProc)
        return window->dlgProc(hwnd, message, wParam, lParam);
    if (window->wndProc) return window->wndProc(hwnd, message, wParam, lParam);
    return 0;
}

}  // namespace detail

void AddRunningWindow(const std::string& className, const std::string& title) {
    using namespace detail;
    Window window;
    window.handle = reinterpret_cast<HWND>(NewHandle());
    window.kind = WindowKind::External;
    window.name = "external:" + className;
    window.className = className;
    window.text = title;
    window.visible = true;
    M().windows[reinterpret_cast<uintptr_t>(window.handle)] = window;
}

}  // namespace sim

using namespace sim::detail;

ATOM WINAPI Sim_RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName))
        return SetError(ERROR_INVALID_PARAMETER), 0;
    std::string name = UpperAscii(lpWndClass->lpszClassName);
    for (const std::string& known : M().classes)
        if (known == name) return SetError(ERROR_CLASS_ALREADY_EXISTS), 0;
    M().classes.push_back(name);
    M().classProcs[name] = lpWndClass->lpfnWndProc;
    // The background is what erasing a window of the class paints: the colour of a brush
    // made with CreateSolidBrush, -1 for none or a system colour.
    auto brush = M().gdiObjects.find(reinterpret_cast<uintptr_t>(lpWndClass->hbrBackground));
    bool solid = brush != M().gdiObjects.end() && !brush->second.isPen;
    Record("class", {F("class", lpWndClass->lpszClassName),
                     N("background", solid ? (long long)brush->second.color : -1)});
    return (ATOM)(0xC000 + M().classes.size());
}

namespace {

bool IsBuiltInClass(const std::string& upperName) {
    return upperName == "STATIC" || upperName == "EDIT" || upperName == "BUTTON";
}

void PlaceNewWindow(Window* window, int x, int y, int width, int height) {
    const sim::MachineConfig& config = M().config;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        // In 64 bits: a screen near INT_MAX pixels must not overflow on the way.
        width = (int)((int64_t)config.screenWidth * 3 / 4);
        height = (int)((int64_t)config.screenHeight * 3 / 4);
    }
    window->windowRect = RECT{x, y, x + width, y + height};
}

}  // namespace

HWND WINAPI Sim_CreateWindowExA(DWORD /*dwExStyle*/, LPCSTR lpClassName, LPCSTR lpWindowName,
                                DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                HWND hWndParent, HMENU /*hMenu*/, HINSTANCE /*hInstance*/,
                                LPVOID /*lpParam*/) {
    if (!lpClassName || IS_INTRESOURCE(lpClassName))
        return SetError(kErrorCannotFindClass), nullptr;
    std::string upper = UpperAscii(lpClassName);
    auto proc = M().classProcs.find(upper);
    if (proc == M().classProcs.end() && !IsBuiltInClass(upper))
        return SetError(kErrorCannotFindClass), nullptr;
    if (hWndParent && !FindWindowByHandle(hWndParent))
        return SetError(ERROR_INVALID_WINDOW_HANDLE), nullptr;
    Window window;
    window.handle = reinterpret_cast<HWND>(NewHandle());
    window.kind = (dwStyle & WS_CHILD) && hWndParent ? WindowKind::Control : WindowKind::TopLevel;
    window.className = lpClassName;
    window.text = lpWindowName ? lpWindowName : "";
    window.style = dwStyle;
    window.parent = hWndParent;
    window.wndProc = proc == M().classProcs.end() ? nullptr : proc->second;
    window.clientInset = InsetsFor(dwStyle, window.kind);
    window.visible = (dwStyle & WS_VISIBLE) != 0;
    PlaceNewWindow(&window, X, Y, nWidth, nHeight);
    if (window.kind == WindowKind::TopLevel) {
        int number = ++M().topLevelCount;
        window.name = number == 1 ? "main" : "window" + std::to_string(number);
    } else {
        window.name = WindowName(hWndParent) + ".child";
    }
    HWND handle = window.handle;
    M().windows[reinterpret_cast<uintptr_t>(handle)] = window;
    Record("window", {F("window", window.name), F("action", "create"), F("class", window.className),
                      F("title", window.text), N("style", dwStyle)});
    if (SendToWindow(handle, WM_CREATE, 0, 0) == -1) {
        M().windows.erase(reinterpret_cast<uintptr_t>(handle));
        return nullptr;
    }
    return handle;
}

BOOL WINAPI Sim_ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    BOOL wasVisible = window->visible;
    window->visible = nCmdShow != SW_HIDE;
    if (nCmdShow == SW_SHOWMAXIMIZED) {
        const sim::MachineConfig& config = M().config;
        window->windowRect =
            RECT{-kFrame, -kFrame, config.screenWidth + kFrame, config.screenHeight + kFrame};
        window->clientInset = RECT{kFrame, kFrame + kCaption, kFrame, kFrame};
    }
    Record("window", {F("window", window->name), F("action", "show"), F("class", window->className),
                      F("title", window->text), N("style", window->style), N("show", nCmdShow)});
    return wasVisible;
}

BOOL WINAPI Sim_UpdateWindow(HWND hWnd) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    Record("window", {F("window", window->name), F("action", "update")});
    return TRUE;
}

// The simulated windows have no non-client area, menus or system commands to handle.
LRESULT WINAPI Sim_DefWindowProcA(HWND /*hWnd*/, UINT /*Msg*/, WPARAM /*wParam*/,
                                  LPARAM /*lParam*/) {
    return 0;
}

void WINAPI Sim_PostQuitMessage(int nExitCode) {
    Record("quit", {N("code", nExitCode)});
}

HICON WINAPI Sim_LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(lpIconName);
    // Stock icons (IDI_APPLICATION .. IDI_WINLOGO) exist; the installer's module has no icon.
    if (!hInstance && IS_INTRESOURCE(lpIconName) && id >= 32512 && id <= 32517)
        return reinterpret_cast<HICON>(uintptr_t{0x7F0000} + id);
    return SetError(ERROR_RESOURCE_TYPE_NOT_FOUND), nullptr;
}

HCURSOR WINAPI Sim_LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(lpCursorName);
    if (!hInstance && IS_INTRESOURCE(lpCursorName) && id >= 32512 && id <= 32651)
        return reinterpret_cast<HCURSOR>(uintptr_t{0x7E0000} + id);
    return SetError(ERROR_RESOURCE_TYPE_NOT_FOUND), nullptr;
}

HWND WINAPI Sim_FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    for (const auto& entry : M().windows) {
        const Window& window = entry.second;
        if (window.kind == WindowKind::Control) continue;
        if (lpClassName && !IS_INTRESOURCE(lpClassName) &&
            !EqualNoCase(window.className, lpClassName))
            continue;
        if (lpWindowName && window.text != lpWindowName) continue;
        return window.handle;
    }
    return nullptr;
}

BOOL WINAPI Sim_SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    if (!FindWindowByHandle(hDlg)) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    Window* control = FindControl(hDlg, nIDDlgItem);
    if (!control) return SetError(kErrorControlIdNotFound), FALSE;
    control->text = lpString ? lpString : "";
    Record("text",
           {F("dialog", WindowName(hDlg)), N("control", nIDDlgItem), F("text", control->text)});
    return TRUE;
}

UINT WINAPI Sim_GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    Window* control = FindWindowByHandle(hDlg) ? FindControl(hDlg, nIDDlgItem) : nullptr;
    if (!control) {
        if (lpString && cchMax > 0) lpString[0] = '\0';
        return SetError(FindWindowByHandle(hDlg) ? kErrorControlIdNotFound
                                                 : ERROR_INVALID_WINDOW_HANDLE),
               0;
    }
    if (!lpString || cchMax <= 0) return 0;
    size_t count = std::min(control->text.size(), (size_t)cchMax - 1);
    memcpy(lpString, control->text.data(), count);
    lpString[count] = '\0';
    return (UINT)count;
}

BOOL WINAPI Sim_SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    window->text = lpString ? lpString : "";
    if (window->kind == WindowKind::Control)
        Record("text", {F("dialog", WindowName(window->parent)), N("control", window->controlId),
                        F("text", window->text)});
    else
        Record("caption", {F("dialog", window->name), F("text", window->text)});
    return TRUE;
}

BOOL WINAPI Sim_MapDialogRect(HWND hDlg, LPRECT lpRect) {
    Window* window = FindWindowByHandle(hDlg);
    if (!window || window->kind != WindowKind::Dialog)
        return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    if (!lpRect) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    lpRect->left = DialogUnitsToPixels(lpRect->left, window->baseX, 4);
    lpRect->right = DialogUnitsToPixels(lpRect->right, window->baseX, 4);
    lpRect->top = DialogUnitsToPixels(lpRect->top, window->baseY, 8);
    lpRect->bottom = DialogUnitsToPixels(lpRect->bottom, window->baseY, 8);
    return TRUE;
}

HWND WINAPI Sim_GetParent(HWND hWnd) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), nullptr;
    return window->parent;
}

BOOL WINAPI Sim_GetClientRect(HWND hWnd, LPRECT lpRect) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    const RECT& r = window->windowRect;
    const RECT& in = window->clientInset;
    lpRect->left = lpRect->top = 0;
    lpRect->right = std::max<LONG>(0, r.right - r.left - in.left - in.right);
    lpRect->bottom = std::max<LONG>(0, r.bottom - r.top - in.top - in.bottom);
    return TRUE;
}

BOOL WINAPI Sim_ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    POINT origin = ClientOrigin(*window);
    lpPoint->x += origin.x;
    lpPoint->y += origin.y;
    return TRUE;
}

BOOL WINAPI Sim_GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    *lpRect = window->windowRect;
    if (window->kind == WindowKind::Control) {
        POINT origin = ClientOrigin(*window);
        LONG width = lpRect->right - lpRect->left, height = lpRect->bottom - lpRect->top;
        *lpRect = RECT{origin.x, origin.y, origin.x + width, origin.y + height};
    }
    return TRUE;
}

BOOL WINAPI Sim_MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL /*bRepaint*/) {
    Window* window = FindWindowByHandle(hWnd);
    if (!window) return SetError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    window->windowRect = RECT{X, Y, X + nWidth, Y + nHeight};
    Record("move", {F("dialog", window->name), N("x", X), N("y", Y), N("width", nWidth),
                    N("height", nHeight)});
    return TRUE;
}
