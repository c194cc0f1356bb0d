// The storyboard's frames: see storyboard.h. The transcript is replayed into the state of the
// screen (the main window, the open dialogs with their controls, texts and drawings); a change
// the user can see marks a frame as pending, and the frame is taken when the program next
// waits or shows something else (a timer fires, the user acts, a dialog opens or ends, a
// message box comes up), so that it shows the screen as the user saw it: complete.
#include "tools/setupsim/storyboard.h"

#include <stdlib.h>

#include <algorithm>
#include <map>

#include "engine/installstate.h"
#include "resources/ui_table.h"
#include "tools/common/ascii.h"

namespace {

struct Builder {
    const std::vector<sim::Event>& events;
    const std::vector<StorySwap>& swaps;
    StoryFrame screen;  // the screen as it stands; frames are copies of it
    std::vector<StoryFrame> frames;
    bool pending = false;
    int lastQuarter = -1;  // of the progress dialog's percentage; -1 before its first tick
    std::map<std::string, long long> backgrounds;  // upper-cased class name -> colour
};

// The events after which the screen has been seen as it stands.
bool IsWaitPoint(const std::string& kind) {
    static const char* const kinds[] = {"timer",      "command", "messagebox", "dialog",
                                        "dialog-end", "destroy", "stuck",      "quit"};
    for (const char* k : kinds)
        if (kind == k) return true;
    return false;
}

// Several changes before the next wait point make one frame, described by all of them.
void Pend(Builder& b, size_t index, const std::string& what) {
    if (!b.pending) {
        b.screen.firstEvent = index;
        b.screen.t = b.events[index].t;
        b.screen.what = what;
    } else if (b.screen.what != what) {
        b.screen.what += "; " + what;
    }
    b.pending = true;
}

void Flush(Builder& b, size_t index) {
    if (!b.pending) return;
    b.screen.shownEvent = index;
    b.frames.push_back(b.screen);
    b.pending = false;
}

StoryDialog* FindDialog(Builder& b, const std::string& name) {
    for (auto it = b.screen.dialogs.rbegin(); it != b.screen.dialogs.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

StoryControl* FindControl(Builder& b, const std::string& dialog, long long id) {
    StoryDialog* d = FindDialog(b, dialog);
    if (!d) return nullptr;
    for (StoryControl& c : d->controls)
        if (c.id == id) return &c;
    return nullptr;
}

void OnClass(Builder& b, size_t /*index*/, const sim::Event& e) {
    b.backgrounds[AsciiUpperCopy(e.Get("class"))] = e.Number("background");
}

void OnWindow(Builder& b, size_t i, const sim::Event& e) {
    std::string action = e.Get("action");
    if (e.Get("window") != "main" || (action != "create" && action != "show")) return;
    b.screen.mainTitle = e.Get("title");
    auto background = b.backgrounds.find(AsciiUpperCopy(e.Get("class")));
    if (background != b.backgrounds.end()) b.screen.mainBackground = background->second;
    if (action != "show") return;
    b.screen.mainShown = e.Number("show") != SW_HIDE;
    Pend(b, i, "The main window: \"" + b.screen.mainTitle + "\"");
}

void OnDialog(Builder& b, size_t i, const sim::Event& e) {
    StoryDialog d;
    d.name = e.Get("dialog");
    d.templateName = e.Get("template");
    d.caption = e.Get("caption");
    d.style = (uint32_t)e.Number("style");
    d.x = (int)e.Number("x"), d.y = (int)e.Number("y");
    d.width = (int)e.Number("width"), d.height = (int)e.Number("height");
    d.clientLeft = (int)e.Number("clientLeft"), d.clientTop = (int)e.Number("clientTop");
    d.baseY = (int)e.Number("baseY");
    b.screen.dialogs.push_back(d);
    if (d.name == WINDOW_PROGRESSDLG) b.lastQuarter = -1;
    Pend(b, i, "The dialog " + d.templateName + " opens: \"" + d.caption + "\"");
}

void OnControl(Builder& b, size_t /*index*/, const sim::Event& e) {
    StoryDialog* d = FindDialog(b, e.Get("dialog"));
    if (!d) return;
    d->controls.push_back({(int)e.Number("id"), e.Get("class"), e.Get("text"), (int)e.Number("x"),
                           (int)e.Number("y"), (int)e.Number("width"), (int)e.Number("height"),
                           (uint32_t)e.Number("style")});
}

void OnMove(Builder& b, size_t /*index*/, const sim::Event& e) {
    StoryDialog* d = FindDialog(b, e.Get("dialog"));
    if (!d) return;
    d->x = (int)e.Number("x"), d->y = (int)e.Number("y");
    d->width = (int)e.Number("width"), d->height = (int)e.Number("height");
}

void OnCaption(Builder& b, size_t i, const sim::Event& e) {
    if (e.Get("dialog") == "main") {
        b.screen.mainTitle = e.Get("text");
        if (b.screen.mainShown) Pend(b, i, "The main window's title changes");
    } else if (StoryDialog* d = FindDialog(b, e.Get("dialog"))) {
        d->caption = e.Get("text");
    }
}

// The progress dialog's percentage: a frame at its first tick and whenever another quarter
// of the bytes has been copied.
void OnPercent(Builder& b, size_t i, const std::string& text) {
    int quarter = atoi(text.c_str()) / 25;
    if (b.lastQuarter < 0) {
        b.lastQuarter = quarter;
        Pend(b, i, "The progress dialog's first tick");
    } else if (quarter > b.lastQuarter) {
        b.lastQuarter = quarter;
        Pend(b, i, "Progress: " + text + " of the bytes copied");
    }
}

void OnText(Builder& b, size_t i, const sim::Event& e) {
    StoryControl* c = FindControl(b, e.Get("dialog"), e.Number("control"));
    if (!c) return;
    c->text = e.Get("text");
    if (e.Get("source") == "user") Pend(b, i, "The user types \"" + c->text + "\"");
    if (e.Get("dialog") == WINDOW_PROGRESSDLG && c->id == PROGRESSDLG_PERCENT)
        OnPercent(b, i, c->text);
}

void OnRectangle(Builder& b, size_t /*index*/, const sim::Event& e) {
    StoryDialog* d = FindDialog(b, e.Get("dialog"));
    if (!d) return;
    d->drawings.push_back({(int)e.Number("left"), (int)e.Number("top"), (int)e.Number("right"),
                           (int)e.Number("bottom"), (uint32_t)e.Number("penColor"),
                           (uint32_t)e.Number("brushColor"), (int)e.Number("penWidth")});
}

void OnTimerSet(Builder& b, size_t i, const sim::Event& e) {
    if (e.Get("window") == WINDOW_PROGRESSDLG && e.Number("id") == TIMER_DONE)
        Pend(b, i, "The end pause: the full bar stays for " + e.Get("ms") + " ms");
}

// A message box is a frame of its own, over the screen as it stands.
void OnMessageBox(Builder& b, size_t i, const sim::Event& e) {
    StoryFrame frame = b.screen;
    frame.firstEvent = i;
    frame.shownEvent = i + 1;
    frame.t = e.t;
    frame.hasBox = true;
    frame.box = {e.Get("owner"),
                 e.Get("caption"),
                 e.Get("text"),
                 (uint32_t)e.Number("style"),
                 (int)e.Number("answer"),
                 "",
                 false};
    for (const StorySwap& swap : b.swaps)
        if (swap.at == i + 1) frame.box.diskette = swap.label, frame.box.swapped = true;
    frame.what = "A message box: \"" + frame.box.caption + "\"";
    b.frames.push_back(frame);
}

void OnDialogEnd(Builder& b, size_t /*index*/, const sim::Event& e) {
    std::vector<StoryDialog>& dialogs = b.screen.dialogs;
    for (size_t k = dialogs.size(); k-- > 0;)
        if (dialogs[k].name == e.Get("dialog")) {
            dialogs.erase(dialogs.begin() + (long)k);
            break;
        }
}

using Handler = void (*)(Builder&, size_t, const sim::Event&);

const struct {
    const char* kind;
    Handler handler;
} kHandlers[] = {
    {"class", OnClass},
    {"window", OnWindow},
    {"dialog", OnDialog},
    {"control", OnControl},
    {"move", OnMove},
    {"caption", OnCaption},
    {"text", OnText},
    {"rectangle", OnRectangle},
    {"timer-set", OnTimerSet},
    {"messagebox", OnMessageBox},
    {"dialog-end", OnDialogEnd},
};

void Replay(Builder& b, size_t i) {
    const sim::Event& e = b.events[i];
    if (IsWaitPoint(e.kind)) Flush(b, i);
    for (const auto& entry : kHandlers)
        if (e.kind == entry.kind) return entry.handler(b, i, e);
}

// How many report events the transcript's first `count` events give: the report of that
// prefix less what every report ends with (the exit and the files).
size_t ReportedBy(const std::vector<sim::Event>& transcript, size_t count, size_t ending) {
    std::vector<sim::Event> prefix(transcript.begin(), transcript.begin() + (long)count);
    size_t size = BuildReport(prefix, 0).size();
    return size > ending ? size - ending : 0;
}

// Cuts the report into the frames' lines: each frame from its first event to the next's.
void AttachLines(Storyboard& board, const std::vector<sim::Event>& transcript,
                 const std::vector<ReportEvent>& report) {
    size_t ending = BuildReport({}, 0).size();
    size_t streamed = std::min(report.size(), ReportedBy(transcript, transcript.size(), ending));
    if (!board.frames.empty()) board.frames[0].firstEvent = 0;
    for (size_t f = 0; f < board.frames.size(); f++) {
        size_t from = ReportedBy(transcript, board.frames[f].firstEvent, ending);
        size_t to = f + 1 < board.frames.size()
                        ? ReportedBy(transcript, board.frames[f + 1].firstEvent, ending)
                        : streamed;
        from = std::min(from, streamed), to = std::min(std::max(to, from), streamed);
        board.frames[f].lines.assign(report.begin() + (long)from, report.begin() + (long)to);
        size_t shown = ReportedBy(transcript, board.frames[f].shownEvent, ending);
        board.frames[f].linesShown = std::min(std::max(shown, from), to) - from;
    }
    size_t closingFrom = board.frames.empty() ? 0 : streamed;
    board.closing.assign(report.begin() + (long)closingFrom, report.end());
}

}  // namespace

Storyboard BuildStoryboard(const std::vector<sim::Event>& transcript,
                           const std::vector<ReportEvent>& report,
                           const std::vector<StorySwap>& swaps, int screenWidth, int screenHeight) {
    Builder b{transcript, swaps, {}, {}, false, -1, {}};
    for (size_t i = 0; i < transcript.size(); i++) Replay(b, i);
    Flush(b, transcript.size());
    Storyboard board;
    board.screenWidth = screenWidth, board.screenHeight = screenHeight;
    board.frames = std::move(b.frames);
    AttachLines(board, transcript, report);
    return board;
}
