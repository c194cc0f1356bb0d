// Drawing on the simulated Windows: device contexts, pens, brushes and rectangles. Nothing is
// rasterised; every Rectangle is recorded with the pen and brush selected, and objects are
// counted so that a run can be checked for leaks. A fresh DC holds the stock white brush and
// the stock black 1-pixel pen. Deleting a pen or brush that is still selected into a DC fails
// (FALSE) and leaves it counted: selecting the old object back first is the caller's job.
#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

namespace {

const uintptr_t kStockWhiteBrush = 0x7D0010;
const uintptr_t kStockBlackPen = 0x7D0020;

const GdiObject* FindGdiObject(HGDIOBJ handle) {
    static const GdiObject whiteBrush{false, true, 0, RGB(255, 255, 255)};
    static const GdiObject blackPen{true, true, 1, RGB(0, 0, 0)};
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value == kStockWhiteBrush) return &whiteBrush;
    if (value == kStockBlackPen) return &blackPen;
    auto it = M().gdiObjects.find(value);
    return it == M().gdiObjects.end() ? nullptr : &it->second;
}

DeviceContext* FindDc(HDC hdc) {
    auto it = M().dcs.find(reinterpret_cast<uintptr_t>(hdc));
    return it == M().dcs.end() ? nullptr : &it->second;
}

HGDIOBJ NewObject(const GdiObject& object) {
    uintptr_t handle = NewHandle();
    M().gdiObjects[handle] = object;
    return reinterpret_cast<HGDIOBJ>(handle);
}

}  // namespace

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

HDC WINAPI Sim_GetDC(HWND hWnd) {
    if (hWnd && !FindWindowByHandle(hWnd)) return SetError(ERROR_INVALID_WINDOW_HANDLE), nullptr;
    uintptr_t handle = NewHandle();
    DeviceContext& dc = M().dcs[handle];
    dc.window = hWnd;
    dc.pen = reinterpret_cast<HGDIOBJ>(kStockBlackPen);
    dc.brush = reinterpret_cast<HGDIOBJ>(kStockWhiteBrush);
    return reinterpret_cast<HDC>(handle);
}

int WINAPI Sim_ReleaseDC(HWND hWnd, HDC hDC) {
    DeviceContext* dc = FindDc(hDC);
    if (!dc || dc->window != hWnd) return 0;
    M().dcs.erase(reinterpret_cast<uintptr_t>(hDC));
    return 1;
}

HPEN WINAPI Sim_CreatePen(int /*iStyle*/, int cWidth, COLORREF color) {
    GdiObject pen{true, false, cWidth, color};
    return reinterpret_cast<HPEN>(NewObject(pen));
}

HBRUSH WINAPI Sim_CreateSolidBrush(COLORREF color) {
    GdiObject brush{false, false, 0, color};
    return reinterpret_cast<HBRUSH>(NewObject(brush));
}

HGDIOBJ WINAPI Sim_SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = FindDc(hdc);
    const GdiObject* object = FindGdiObject(h);
    if (!dc || !object) return SetError(ERROR_INVALID_PARAMETER), nullptr;
    HGDIOBJ& slot = object->isPen ? dc->pen : dc->brush;
    HGDIOBJ previous = slot;
    slot = h;
    return previous;
}

BOOL WINAPI Sim_DeleteObject(HGDIOBJ ho) {
    const GdiObject* object = FindGdiObject(ho);
    if (!object) return SetError(ERROR_INVALID_PARAMETER), FALSE;
    if (object->stock) return TRUE;
    for (const auto& entry : M().dcs)
        if (entry.second.pen == ho || entry.second.brush == ho) return FALSE;
    M().gdiObjects.erase(reinterpret_cast<uintptr_t>(ho));
    return TRUE;
}

BOOL WINAPI Sim_Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc) return SetError(ERROR_INVALID_HANDLE), FALSE;
    const GdiObject* pen = FindGdiObject(dc->pen);
    const GdiObject* brush = FindGdiObject(dc->brush);
    Record("rectangle", {F("dialog", dc->window ? WindowName(dc->window) : "screen"),
                         N("left", left), N("top", top), N("right", right), N("bottom", bottom),
                         N("penColor", pen ? pen->color : 0), N("penWidth", pen ? pen->width : 0),
                         N("brushColor", brush ? brush->color : 0)});
    return TRUE;
}
