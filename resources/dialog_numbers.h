// The numbers that the dialog templates (dialogs.def), the installer code that drives the
// dialogs, setupsim, which reads the transcript of a run, and the tests must agree on: the
// control ids of both dialogs, the colour by which the progress bar is recognised, and the pace
// of the copy phase. The resource compiler reads this file too, so the ids are macros and the
// rest is hidden from it.
#pragma once

// Controls of DIRDLG.
#define DIRDLG_EDIT 101
#define DIRDLG_OK 102
#define DIRDLG_ABORT 103
#define DIRDLG_HELP 105

// Controls of PROGRESSDLG. Abort Install is 1, which the dialog manager also sends for Enter.
#define PROGRESSDLG_ABORT 1
#define PROGRESSDLG_PERCENT 100    // "00%" .. "100%"
#define PROGRESSDLG_FILE_NAME 101  // the target name of the item being copied

#ifndef RC_INVOKED
#include <stdint.h>

// The fill of the progress bar, pen and brush (a COLORREF: blue 255, green 0, red 0).
const uint32_t PROGRESS_BAR_COLOR = 0xFF0000;
// The progress dialog's timers: before the first step and between two steps of the copy
// phase, and how long the full bar stays before the dialog ends.
const uint32_t PROGRESS_STEP_MS = 60;
const uint32_t PROGRESS_DONE_MS = 2000;
#endif
