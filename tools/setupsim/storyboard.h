// setupsim's storyboard: the screens a user sees during a preview, one frame per moment that
// shows something new (the main window, each dialog as it opens, text the user types, each
// message box with its answer, the progress dialog at its first tick, at each quarter of the
// bytes and at its end pause), drawn from the simulated Windows' transcript: the templates'
// controls with their pixel rectangles and styles, the texts set into them, and the
// rectangles the installer drew. Each frame keeps the setupsim transcript lines that belong
// to it. storyboard_html.cpp draws the frames as one self-contained HTML page.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/sim.h"
#include "tools/setupsim/preview_report.h"

struct StoryControl {
    int id = 0;
    std::string className, text;
    int x = 0, y = 0, width = 0, height = 0;  // client pixels
    uint32_t style = 0;
};

// A Rectangle call: its corners in client pixels, the pen and brush selected.
struct StoryDrawing {
    int left = 0, top = 0, right = 0, bottom = 0;
    uint32_t penColor = 0, brushColor = 0;
    int penWidth = 1;
};

struct StoryDialog {
    std::string name, templateName, caption;
    uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // window rectangle, screen pixels
    int clientLeft = 0, clientTop = 0;        // client area inside the window
    int baseY = sim::kSystemFontBaseY;        // the font's height in dialog base units
    std::vector<StoryControl> controls;
    std::vector<StoryDrawing> drawings;  // in the order drawn
};

struct StoryBox {
    std::string owner, caption, text;
    uint32_t style = 0;
    int answer = 0;
    std::string diskette;  // the diskette put in when it was answered; "" for none
    bool swapped = false;  // a diskette was taken out or put in with the answer
};

struct StoryFrame {
    uint64_t t = 0;
    std::string what;  // one line: what the user sees
    bool mainShown = false;
    std::string mainTitle;
    long long mainBackground = -1;     // its class's background colour, -1 for none
    std::vector<StoryDialog> dialogs;  // owner first, the active one last
    bool hasBox = false;
    StoryBox box;
    size_t firstEvent = 0;  // transcript index where the frame's lines begin
    size_t shownEvent = 0;  // transcript index where the picture was taken (the events before)
    std::vector<ReportEvent> lines;  // setupsim's transcript events up to the next frame
    size_t linesShown = 0;           // how many of them had happened when the picture was taken
};

struct Storyboard {
    int screenWidth = 1024, screenHeight = 768;
    std::vector<StoryFrame> frames;
    std::vector<ReportEvent> closing;  // the exit and the files, after the last frame
};

// A diskette change made by the scripted user, at transcript index `at` (the events recorded
// before it); label "" when the drive was left empty.
struct StorySwap {
    size_t at = 0;
    std::string label;
};

// The frames of a finished run. `report`: setupsim's report of the same transcript (the
// lines are cut from it at the frames' first events).
Storyboard BuildStoryboard(const std::vector<sim::Event>& transcript,
                           const std::vector<ReportEvent>& report,
                           const std::vector<StorySwap>& swaps, int screenWidth, int screenHeight);

// The page: `title` names the installer previewed.
std::string StoryboardHtml(const Storyboard& board, const std::string& title);

// Builds the storyboard of the run just made and writes it to `path`, and nowhere else.
// Throws std::runtime_error when the file cannot be written.
void WriteStoryboard(const std::string& path, const std::string& installer,
                     const std::vector<ReportEvent>& report);
