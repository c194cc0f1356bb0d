// Dialogs, timers and message boxes on the simulated Windows: the modal loop in virtual time
// (timers repeat until killed; scripted actions and timers in time order), Enter, Esc and
// Destroy, stuck dialogs, nested modal loops, scripted message-box answers, and geometry.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"

namespace {

// What a test dialog procedure saw, and what it does.
struct Probe {
    std::vector<std::string> log;  // "init", "timer 7 @100", "command 102/0", "destroy"
    int timerMs = 0;               // arm timer 7 at WM_INITDIALOG with this interval
    INT_PTR initResult = TRUE;     // what WM_INITDIALOG returns (TRUE: the system sets focus)
    int endAfterTimers = 0;        // EndDialog(timers fired) after this many timer messages
    int endOnCommand = -1;         // EndDialog(id) on WM_COMMAND with this id (0: any)
    INT_PTR resultInDestroy = -2;  // EndDialog in WM_DESTROY with this value (-2: none)
    int readOnCommand = -1;        // read control 101 (8 bytes) on WM_COMMAND with this id
    std::string readText;
    UINT readCount = 0;
    int timers = 0;
    std::function<void(HWND)> onTimer;
};
Probe* probe;

// Unused: lParam. The probe dialogs are created without creation data.
INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            probe->log.push_back("init");
            if (probe->timerMs) win.SetTimer(dialog, 7, probe->timerMs, nullptr);
            return probe->initResult;
        case WM_TIMER:
            probe->timers++;
            probe->log.push_back("timer " + std::to_string(wParam) + " @" +
                                 std::to_string(sim::Now()));
            if (probe->onTimer) probe->onTimer(dialog);
            if (probe->timers == probe->endAfterTimers) {
                win.KillTimer(dialog, 7);
                win.EndDialog(dialog, probe->timers);
            }
            return TRUE;
        case WM_COMMAND:
            probe->log.push_back("command " + std::to_string(LOWORD(wParam)) + "/" +
                                 std::to_string(HIWORD(wParam)) + " @" +
                                 std::to_string(sim::Now()));
            if (probe->readOnCommand == (int)LOWORD(wParam)) {
                char text[8];
                probe->readCount = win.GetDlgItemTextA(dialog, 101, text, sizeof text);
                probe->readText = text;
            }
            if (probe->endOnCommand == 0 || probe->endOnCommand == (int)LOWORD(wParam))
                win.EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_DESTROY:
            probe->log.push_back("destroy");
            if (probe->resultInDestroy != -2) win.EndDialog(dialog, probe->resultInDestroy);
            return TRUE;
    }
    return FALSE;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class SimDialogs : public SimTest {
   protected:
    void SetUp() override {
        SimTest::SetUp();
        probe = &probe_;
    }
    INT_PTR Run(const char* name, HWND owner = nullptr) {
        return win.DialogBoxParamA(sim::ModuleInstance(), name, owner, ProbeProc, 0);
    }
    Probe probe_;
};

TEST_F(SimDialogs, TimerRepeatsUntilKilledInVirtualTime) {
    probe_.timerMs = 100;
    probe_.endAfterTimers = 3;
    EXPECT_EQ(Run("PROGRESSDLG"), 3);
    EXPECT_EQ(Joined(probe_.log), "init\ntimer 7 @100\ntimer 7 @200\ntimer 7 @300\ndestroy\n");
    EXPECT_EQ(sim::Now(), 300u);
    std::vector<sim::Event> kills = sim::EventsOf("timer-kill");
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].t, 300u);
    EXPECT_EQ(sim::EventsOf("dialog-end").at(0).Number("result"), 3);
    EXPECT_EQ(sim::TimersPending(), 0);
}

TEST_F(SimDialogs, ActionsAndTimersTakeTurnsInTimeOrder) {
    struct Case {
        const char* name;
        std::vector<sim::UserAction> actions;
        const char* expected;
    } cases[] = {
        {"an immediate press goes before the pending timer",
         {{sim::ActionKind::Press, 1, "", "", -1}},
         "init\ncommand 1/0 @0\ntimer 7 @100\ntimer 7 @200\ntimer 7 @300\ndestroy\n"},
        {"a press at 250 falls between the timers",
         {{sim::ActionKind::Press, 1, "", "progress", 250}},
         "init\ntimer 7 @100\ntimer 7 @200\ncommand 1/0 @250\ntimer 7 @300\ndestroy\n"},
        {"a press at the timer's time goes first",
         {{sim::ActionKind::Press, 1, "", "PROGRESSDLG", 200}},
         "init\ntimer 7 @100\ncommand 1/0 @200\ntimer 7 @200\ntimer 7 @300\ndestroy\n"},
        {"an action for another dialog waits, and so does the one behind it",
         {{sim::ActionKind::Press, 1, "", "dirdlg", -1}, {sim::ActionKind::Press, 1, "", "", -1}},
         "init\ntimer 7 @100\ntimer 7 @200\ntimer 7 @300\ndestroy\n"},
    };
    for (const Case& c : cases) {
        sim::Boot(DefaultMachine());
        probe_ = Probe();
        probe_.timerMs = 100;
        probe_.endAfterTimers = 3;
        for (const sim::UserAction& action : c.actions) sim::QueueAction(action);
        EXPECT_EQ(Run("PROGRESSDLG"), 3) << c.name;
        EXPECT_EQ(Joined(probe_.log), c.expected) << c.name;
    }
}

TEST_F(SimDialogs, EnterEscapeAndDestroy) {
    struct Case {
        const char* dialog;
        sim::ActionKind kind;
        INT_PTR resultInDestroy;
        const char* expectedLog;
        INT_PTR result;
    } cases[] = {
        // DIRDLG's default push button is 102 (Ok); PROGRESSDLG has none, so Enter sends IDOK.
        {"DIRDLG", sim::ActionKind::Enter, -2, "init\ncommand 102/0 @0\ndestroy\n", 102},
        {"PROGRESSDLG", sim::ActionKind::Enter, -2, "init\ncommand 1/0 @0\ndestroy\n", 1},
        {"DIRDLG", sim::ActionKind::Escape, -2, "init\ncommand 2/0 @0\ndestroy\n", 2},
        {"DIRDLG", sim::ActionKind::Destroy, -2, "init\ndestroy\n", 0},
        {"DIRDLG", sim::ActionKind::Destroy, 7, "init\ndestroy\n", 7},
    };
    for (const Case& c : cases) {
        probe_ = Probe();
        probe_.endOnCommand = 0;
        probe_.resultInDestroy = c.resultInDestroy;
        sim::UserAction action;
        action.kind = c.kind;
        sim::QueueAction(action);
        EXPECT_EQ(Run(c.dialog), c.result) << c.dialog << " " << (int)c.kind;
        EXPECT_EQ(Joined(probe_.log), c.expectedLog) << c.dialog << " " << (int)c.kind;
    }
    EXPECT_TRUE(sim::EventsOf("stuck").empty());
}

// Enter clicks the focused push button, else the default one, else sends IDOK. The focus
// starts on the first tab stop (when WM_INITDIALOG returns TRUE) and follows Press and Type.
TEST_F(SimDialogs, EnterFollowsTheFocus) {
    ExpectStuck();
    struct Case {
        const char* dialog;
        INT_PTR initResult;
        std::vector<sim::UserAction> before;  // actions ahead of the Enter
        const char* commands;                 // ids of the WM_COMMANDs received
        const char* focus;                    // controls that took the focus, in order
    } cases[] = {
        {"DIRDLG", TRUE, {}, "102 ", "101 "},  // the edit field, then the default button
        {"DIRDLG", TRUE, {{sim::ActionKind::Press, 105, "", "", -1}}, "105 105 ", "101 105 "},
        {"DIRDLG",
         TRUE,
         {{sim::ActionKind::Press, 105, "", "", -1}, {sim::ActionKind::Type, 101, "x", "", -1}},
         "105 101 102 ",
         "101 105 101 "},
        {"DIRDLG", FALSE, {}, "102 ", ""},
        {"PROGRESSDLG", TRUE, {}, "1 ", "1 "},  // no default button: the focused one
        {"PROGRESSDLG", FALSE, {}, "1 ", ""},   // IDOK
    };
    for (const Case& c : cases) {
        sim::Boot(DefaultMachine());
        probe_ = Probe();
        probe_.initResult = c.initResult;
        for (const sim::UserAction& action : c.before) sim::QueueAction(action);
        sim::UserAction enter;
        enter.kind = sim::ActionKind::Enter;
        sim::QueueAction(enter);
        EXPECT_EQ(Run(c.dialog), 0);  // never ended: stuck, then destroyed
        std::string commands, focus;
        for (const sim::Event& e : sim::EventsOf("command")) commands += e.Get("id") + " ";
        for (const sim::Event& e : sim::EventsOf("focus")) focus += e.Get("control") + " ";
        std::string name = std::string(c.dialog) + " " + std::to_string(c.before.size()) +
                           " init " + std::to_string(c.initResult);
        EXPECT_EQ(commands, c.commands) << name;
        EXPECT_EQ(focus, c.focus) << name;
    }
}

TEST_F(SimDialogs, EndDialogInDestroyAfterEndingHasNoEffect) {
    probe_.endOnCommand = 0;
    probe_.resultInDestroy = 0;
    sim::Press(103);
    EXPECT_EQ(Run("DIRDLG"), 103);
}

TEST_F(SimDialogs, ANeverEndingDialogIsReportedStuck) {
    ExpectStuck();
    probe_.resultInDestroy = 0;
    EXPECT_EQ(Run("DIRDLG"), 0);
    std::vector<sim::Event> stuck = sim::EventsOf("stuck");
    ASSERT_EQ(stuck.size(), 1u);
    EXPECT_EQ(stuck[0].Get("dialog"), "dirdlg");

    // A timer that is never killed is bounded by the step limit.
    probe_ = Probe();
    probe_.timerMs = 60;
    sim::SetModalStepLimit(50);
    EXPECT_EQ(Run("PROGRESSDLG"), 0);
    EXPECT_EQ(probe_.timers, 50);
    EXPECT_EQ(sim::EventsOf("stuck").at(1).Get("reason"), "step-limit");
}

TEST_F(SimDialogs, TypeSetsTheTextAndSendsEnChange) {
    probe_.endOnCommand = 102;
    probe_.readOnCommand = 102;
    sim::Type(101, "C:\\VarnookSW\\QRVNE32", "dirdlg");
    sim::Press(102, "dirdlg");
    EXPECT_EQ(Run("dirdlg"), 102);
    EXPECT_EQ(Joined(probe_.log), "init\ncommand 101/768 @0\ncommand 102/0 @0\ndestroy\n");
    EXPECT_EQ(probe_.readCount, 7u);  // at most cchMax - 1 characters and the terminator
    EXPECT_EQ(probe_.readText, "C:\\Varn");
    std::vector<sim::Event> texts = sim::EventsOf("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].Get("text"), "C:\\VarnookSW\\QRVNE32");
    EXPECT_EQ(texts[0].Number("control"), 101);
}

TEST_F(SimDialogs, UnknownTemplateFails) {
    win.SetLastError(0);
    EXPECT_EQ(Run("NOSUCHDLG"), -1);
    EXPECT_EQ(win.GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_TRUE(probe_.log.empty());
}

// -1 only when there is no template; an owner that is no window gives 0 (checked after the
// template), and the procedure never runs.
TEST_F(SimDialogs, FailuresBeforeTheDialogRuns) {
    HWND noWindow = reinterpret_cast<HWND>(uintptr_t{0x7777770});
    struct Case {
        const char* name;
        HWND owner;
        INT_PTR result;
        DWORD lastError;
    } cases[] = {
        {"NOSUCHDLG", nullptr, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"DIRDLG", noWindow, 0, ERROR_INVALID_WINDOW_HANDLE},
        {"NOSUCHDLG", noWindow, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Case& c : cases) {
        win.SetLastError(0);
        EXPECT_EQ(Run(c.name, c.owner), c.result) << c.name;
        EXPECT_EQ(win.GetLastError(), c.lastError) << c.name;
    }
    EXPECT_TRUE(probe_.log.empty());
    EXPECT_TRUE(sim::EventsOf("dialog").empty());
}

TEST_F(SimDialogs, MessageBoxesTakeScriptedAnswersInOrderWithTextFilters) {
    sim::AnswerMessageBox(IDCANCEL, "diskette");
    sim::AnswerMessageBox(IDCANCEL);
    struct Case {
        const char* text;
        int answer;
    } cases[] = {
        {"Hello", IDOK},  // the head answer waits for a box about a diskette
        {"Please insert the diskette labeled (DISK2)", IDCANCEL},
        {"Anything", IDCANCEL},
        {"Queue empty", IDOK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win.MessageBoxA(nullptr, c.text, "Caption", MB_OKCANCEL), c.answer) << c.text;
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[1].owner, "none");
    EXPECT_EQ(boxes[1].answer, IDCANCEL);
    EXPECT_EQ(boxes[1].style, MB_OKCANCEL);
    EXPECT_EQ(sim::Now(), 0u);
}

// A box answers with one of its own buttons: unscripted, its default one; scripted with an
// answer it has no button for, its default one too.
TEST_F(SimDialogs, MessageBoxAnswersAreTheBoxsButtons) {
    const int none = 0;
    struct Case {
        UINT style;
        int scripted;
        int answer;
    } cases[] = {
        {MB_OK, none, IDOK},
        {MB_OK | MB_ICONWARNING, IDCANCEL, IDOK},  // Esc on an OK-only box
        {MB_OKCANCEL, IDCANCEL, IDCANCEL},
        {MB_OKCANCEL, IDYES, IDOK},
        {MB_YESNO, none, IDYES},
        {MB_YESNO, IDNO, IDNO},
        {MB_YESNO, IDOK, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, none, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDOK, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDCANCEL, IDABORT},
        {MB_ABORTRETRYIGNORE, IDIGNORE, IDIGNORE},
        {MB_RETRYCANCEL | MB_TASKMODAL, none, IDRETRY},
    };
    for (const Case& c : cases) {
        if (c.scripted != none) sim::AnswerMessageBox(c.scripted);
        EXPECT_EQ(win.MessageBoxA(nullptr, "Text", "Caption", c.style), c.answer)
            << c.style << " " << c.scripted;
        EXPECT_EQ(sim::MessageBoxes().back().answer, c.answer) << c.style << " " << c.scripted;
    }
}

TEST_F(SimDialogs, NestedModalLoopsInsideATimerHandler) {
    // At the first tick: a message box (whose answer inserts a file) and a nested DIRDLG
    // ended by Enter; the outer timer does not fire inside the box.
    probe_.timerMs = 60;
    probe_.endAfterTimers = 2;
    sim::AnswerMessageBoxThen(IDOK, "insert", [] { sim::PutFile("A:\\DISK2.TAG", "2"); });
    sim::UserAction enter;
    enter.kind = sim::ActionKind::Enter;
    enter.dialog = "dirdlg";
    sim::QueueAction(enter);
    std::vector<std::string> inner;
    probe_.onTimer = [&](HWND dialog) {
        if (probe_.timers != 1) return;
        win.MessageBoxA(dialog, "Please insert disk 2", "Change Diskettes", MB_OK);
        inner.push_back(sim::GetFileInfo("A:\\DISK2.TAG").exists ? "inserted" : "missing");
        Probe nested;
        nested.endOnCommand = 0;
        probe = &nested;
        INT_PTR result = win.DialogBoxParamA(sim::ModuleInstance(), "DIRDLG", dialog, ProbeProc, 0);
        probe = &probe_;
        inner.push_back(Joined(nested.log) + "result " + std::to_string(result));
    };
    EXPECT_EQ(Run("PROGRESSDLG"), 2);
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner[0], "inserted");
    EXPECT_EQ(inner[1], "init\ncommand 102/0 @60\ndestroy\nresult 102");
    EXPECT_EQ(sim::MessageBoxes().at(0).owner, "progress");
    EXPECT_EQ(sim::EventsOf("dialog").at(1).Get("owner"), "progress");
    EXPECT_EQ(Joined(probe_.log), "init\ntimer 7 @60\ntimer 7 @120\ndestroy\n");
}

}  // namespace

namespace {

TEST_F(SimDialogs, ActionsForControlsThatCannotTakeThemAreIgnored) {
    probe_.endOnCommand = 0;
    sim::Type(102, "typed into a button");
    sim::Press(101);  // the edit control
    sim::Press(999);  // no such control
    sim::Press(103);
    EXPECT_EQ(Run("DIRDLG"), 103);
    EXPECT_EQ(Joined(probe_.log), "init\ncommand 103/0 @0\ndestroy\n");
    std::vector<sim::Event> ignored = sim::EventsOf("ignored");
    ASSERT_EQ(ignored.size(), 3u);
    EXPECT_EQ(ignored[0].Get("action"), "type");
    EXPECT_EQ(ignored[2].Number("id"), 999);
}

}  // namespace

namespace {

TEST_F(SimDialogs, AMessageBoxThatTakesTimeDelaysTheTimerOnce) {
    probe_.timerMs = 100;
    probe_.endAfterTimers = 3;
    sim::AnswerMessageBoxAfter(IDOK, 450);
    probe_.onTimer = [](HWND dialog) {
        if (probe->timers == 1) win.MessageBoxA(dialog, "slow user", "Note", MB_OK);
    };
    EXPECT_EQ(Run("PROGRESSDLG"), 3);
    // The tick due at 200 fell due inside the box: it fires once, when the box is gone.
    EXPECT_EQ(Joined(probe_.log), "init\ntimer 7 @100\ntimer 7 @550\ntimer 7 @650\ndestroy\n");
}

}  // namespace

namespace {

class SimDefaultAnswers : public SimTest {};

TEST_F(SimDefaultAnswers, AnUnscriptedRetryPromptGivesUpAfterAHundredRepeats) {
    ExpectStuck();
    std::vector<int> answers;
    for (int i = 0; i < 102; i++)
        answers.push_back(win.MessageBoxA(NULL, "Insert the disk", "Error locating file: X",
                                          MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_EQ(std::count(answers.begin(), answers.end(), IDOK), 100);
    EXPECT_EQ(answers[100], IDCANCEL);
    EXPECT_EQ(answers[101], IDCANCEL);
    EXPECT_EQ(sim::EventsOf("stuck").size(), 1u);
    // A plain OK box has nothing else to answer.
    for (int i = 0; i < 102; i++) ASSERT_EQ(win.MessageBoxA(NULL, "Note", "Caption", MB_OK), IDOK);
    // A box without Cancel gives up with the button closest to it.
    int last = 0;
    for (int i = 0; i < 101; i++) last = win.MessageBoxA(NULL, "Again?", "Caption", MB_YESNO);
    EXPECT_EQ(last, IDNO);
}

}  // namespace

namespace {

// The transcript's name of a dialog is what the program registered with its template, else the
// template's name in lower case; a scripted action reaches the dialog by either name.
TEST_F(SimDialogs, DialogNamesComeFromTheProgram) {
    const struct {
        const char* windowName;
        const char* actionFor;
        const char* recorded;
    } cases[] = {{"", "", "namedlg"},
                 {"", "NAMEDLG", "namedlg"},
                 {"chooser", "chooser", "chooser"},
                 {"chooser", "namedlg", "chooser"}};
    for (const auto& c : cases) {
        SetUp();
        sim::DialogData d;
        d.name = "NameDlg";
        d.windowName = c.windowName;
        d.controls = {{102, "BUTTON", "Ok", 1, 1, 40, 12, WS_CHILD | WS_VISIBLE}};
        sim::RegisterDialog(d);
        probe_.endOnCommand = 102;
        sim::Press(102, c.actionFor);
        EXPECT_EQ(Run("NAMEDLG"), 102) << c.recorded << " for " << c.actionFor;
        EXPECT_EQ(sim::EventsOf("dialog").at(0).Get("dialog"), c.recorded);
        EXPECT_EQ(sim::EventsOf("command").at(0).Get("dialog"), c.recorded);
    }
}

}  // namespace
