// Item preparation, completion and progress display: the operations between the progress
// dialog's timer pump and the transfer steps. PrepareNextItem readies the next item that needs
// copying and opens its target, FinishItem completes a written item and arms the next timer,
// EndCopyPhase shows the full bar and arms the done timer, DrawProgress paints the bar and the
// percentage from bytesDone / bytesTotal.
#include <limits.h>

#include "engine/engine.h"
#include "engine/messages.h"
#include "resources/ui_table.h"

namespace {

// The bar may run past its frame when more was read than listed; the values are still kept
// inside int so that nothing overflows however far it runs.
int TruncateToInt(double value) {
    if (value >= (double)INT_MAX) return INT_MAX;
    if (value <= (double)INT_MIN) return INT_MIN;
    return (int)value;
}

// With nothing to copy at all the installation is complete: 100 %, a full bar.
double DoneFraction(void) {
    if (InstallState.bytesTotal == 0) return 1.0;
    return (double)InstallState.bytesDone / (double)InstallState.bytesTotal;
}

// Pens and brush of one redraw. They are deleted only after the drawing context has been
// released, so none of them is still selected into it, even if restoring a selection failed.
struct BarTools {
    HPEN framePen;
    HPEN fillPen;
    HBRUSH fillBrush;
};

void DrawBar(HDC dc, double fraction, BarTools* tools) {
    const RECT& bar = InstallState.barRect;
    // The frame, drawn with the context's default white brush, which also clears the inside.
    tools->framePen = win.CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
    HGDIOBJ oldPen = win.SelectObject(dc, tools->framePen);
    win.Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
    win.SelectObject(dc, oldPen);

    tools->fillPen = win.CreatePen(PS_SOLID, 1, PROGRESS_BAR_COLOR);
    tools->fillBrush = win.CreateSolidBrush(PROGRESS_BAR_COLOR);
    oldPen = win.SelectObject(dc, tools->fillPen);
    HGDIOBJ oldBrush = win.SelectObject(dc, tools->fillBrush);
    int extent = TruncateToInt(fraction * (double)(bar.right - bar.left - 6));
    int right = TruncateToInt((double)bar.left + 3.0 + (double)extent);
    win.Rectangle(dc, bar.left + 3, bar.top + 3, right, bar.bottom - 3);
    win.SelectObject(dc, oldPen);
    win.SelectObject(dc, oldBrush);
}

void DeleteBarTools(const BarTools& tools) {
    if (tools.framePen) win.DeleteObject(tools.framePen);
    if (tools.fillPen) win.DeleteObject(tools.fillPen);
    if (tools.fillBrush) win.DeleteObject(tools.fillBrush);
}

// Opens the target for output. An existing file is cut to nothing first, so it never keeps
// old bytes beyond what this item writes, even when the item fails part-way.
int OpenOutputFile(void) {
    const char* failed = MSG_OPEN_OUTPUT_FAILED;
    if (!OpenFileField(&InstallState.outputFile, InstallState.targetPath, GENERIC_WRITE, 0,
                       OPEN_ALWAYS, failed))
        return 0;
    if (win.SetEndOfFile(InstallState.outputFile)) return 1;
    DWORD code = win.GetLastError();
    CloseFile(&InstallState.outputFile);
    ShowCodeMessage(InstallState.progressDialog, failed, code);
    return 0;
}

}  // namespace

int PrepareNextItem(void) {
    InstallState.windowPos = LZSS_START_POSITION;
    InstallState.inPos = InstallState.bufferSize;
    InstallState.bitMask = 0x80;
    if (!LocateNextItem()) return 0;
    if (InstallState.current >= InstallState.itemCount) return 1;
    CopyTableEntry entry = CurrentEntry();
    if (!(entry.flags & CF_HIDE_NAME))
        win.SetDlgItemTextA(InstallState.progressDialog, PROGRESSDLG_FILE_NAME, entry.targetName);
    InstallState.embeddedLeft = entry.storedSize;
    InstallState.sourceLeft = entry.storedSize;
    return OpenOutputFile();
}

int FinishItem(void) {
    if (!ApplyDateAndAttributes()) return 0;
    if ((CurrentEntry().flags & CF_LAUNCH_AFTER_COPY) && !RunItemProgram()) return 0;
    InstallState.current++;
    if (InstallState.current < InstallState.itemCount && !PrepareNextItem()) return 0;
    if (InstallState.current < InstallState.itemCount)
        return ArmTimer(TIMER_STEP, PROGRESS_STEP_MS);
    return EndCopyPhase();
}

int EndCopyPhase(void) {
    // Whatever was skipped or read past its listed size, the end shows a full bar.
    InstallState.bytesDone = InstallState.bytesTotal;
    DrawProgress();
    return ArmTimer(TIMER_DONE, PROGRESS_DONE_MS);
}

void DrawProgress(void) {
    double fraction = DoneFraction();
    // Until the bar's rectangle is in pixels (firstTick cleared) only the percentage shows.
    HDC dc = InstallState.firstTick ? nullptr : win.GetDC(InstallState.progressDialog);
    if (dc) {
        BarTools tools = {nullptr, nullptr, nullptr};
        DrawBar(dc, fraction, &tools);
        win.ReleaseDC(InstallState.progressDialog, dc);
        DeleteBarTools(tools);
    }
    char text[16];
    win.wsprintfA(text, "%02d%%", TruncateToInt(fraction * 100.0));
    win.SetDlgItemTextA(InstallState.progressDialog, PROGRESSDLG_PERCENT, text);
}
