// Dialog base units on the simulated Windows: a dialog's font decides how its template's
// dialog units become pixels (its layout and MapDialogRect), rounded as MulDiv rounds.
#include <string>

#include "platform/win32api.h"
#include "tests/support/sim_fixture.h"

namespace {

RECT g_mapped;

INT_PTR CALLBACK MapAndEnd(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    g_mapped = RECT{10, 27, 170, -3};
    win.MapDialogRect(dialog, &g_mapped);
    win.EndDialog(dialog, 1);
    return TRUE;
}

class SimDialogUnits : public SimTest {};

TEST_F(SimDialogUnits, TheDialogsFontGivesItsBaseUnits) {
    const struct {
        const char* name;
        DWORD style;
        int points;
        const char* face;
        RECT mapped;                 // (10, 27, 170, -3) in dialog units
        int controlX, controlWidth;  // a control at x 13, 45 wide
    } cases[] = {
        // 9 x 16: 22.5 rounds up to 23, 382.5 to 383; -3 units down are -6 pixels.
        {"system font", WS_POPUP | WS_CAPTION, 0, "", {23, 54, 383, -6}, 29, 101},
        // 7 x 13: 17.5 -> 18, 43.875 -> 44, 297.5 -> 298, -4.875 -> -5 (away from zero).
        {"System 8", WS_POPUP | WS_CAPTION | DS_SETFONT, 8, "system", {18, 44, 298, -5}, 23, 79},
        {"a font the machine does not list",
         WS_POPUP | DS_SETFONT,
         9,
         "Arial",
         {23, 54, 383, -6},
         29,
         101},
        {"System 8 named without DS_SETFONT", WS_POPUP, 8, "System", {23, 54, 383, -6}, 29, 101},
    };
    for (const auto& c : cases) {
        SetUp();
        sim::DialogData d;
        d.name = "UNITSDLG";
        d.style = c.style;
        d.pointSize = c.points;
        d.faceName = c.face;
        d.width = 100, d.height = 50;
        d.controls = {{102, "BUTTON", "Ok", 13, 132, 45, 12, WS_CHILD | WS_VISIBLE}};
        sim::RegisterDialog(d);
        ASSERT_EQ(win.DialogBoxParamA(sim::ModuleInstance(), "unitsdlg", nullptr, MapAndEnd, 0), 1)
            << c.name;
        EXPECT_EQ(std::to_string(g_mapped.left) + "," + std::to_string(g_mapped.top) + "," +
                      std::to_string(g_mapped.right) + "," + std::to_string(g_mapped.bottom),
                  std::to_string(c.mapped.left) + "," + std::to_string(c.mapped.top) + "," +
                      std::to_string(c.mapped.right) + "," + std::to_string(c.mapped.bottom))
            << c.name;
        sim::Event control = sim::EventsOf("control").at(0);
        EXPECT_EQ(control.Number("x"), c.controlX) << c.name;
        EXPECT_EQ(control.Number("width"), c.controlWidth) << c.name;
    }
}

}  // namespace
