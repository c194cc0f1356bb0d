// Message boxes of the simulated Windows. They are not modal loops here: a box takes the
// scripted answer at the head of the queue when it is meant for a box with this caption and
// text (the clock moves on by the answer's delay, if any), or without one its default button;
// a box that keeps coming back unanswered is recorded "stuck" and given up. No timer fires
// inside a box.
#include "platform/sim/sim_internal.h"

namespace sim {
namespace detail {

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

}  // namespace detail
}  // namespace sim

using namespace sim::detail;

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
