// qvdrive: plays the user of the installer from inside Wine, one command per run, so that the
// GUI scenarios need neither X focus nor keymaps. It sees only the prefix's own windows,
// types with WM_SETTEXT and presses buttons with BM_CLICK, and waits for every window and
// condition with a bounded poll. It also reads from the program side what a test must check:
// file attributes, last-write times and sizes as the Windows API reports them (Wine's attrib
// shows A for every file).
//
//   qvdrive next MS [HWND...]          wait for a dialog or message box not listed; print
//                                      "box<TAB>hwnd<TAB>caption<TAB>text" or
//                                      "dialog<TAB>hwnd<TAB>title"; exit 3 when none came
//   qvdrive answer HWND ID             press a message box's button, wait until it is gone
//   qvdrive type HWND ID TEXT          set a control's text
//   qvdrive click HWND ID              press a dialog's button
//   qvdrive wait-change HWND ID TEXT MS  wait until a control's text is no longer TEXT
//   qvdrive hold CLASS MS              keep a window of that class open until closed or MS
//   qvdrive find CLASS MS              wait until a window of that class exists
//   qvdrive close CLASS                close the window of that class
//   qvdrive stat PATH...               print "path<TAB>attributes<TAB>written UTC<TAB>size"
// Exit code 0 on success, 1 on a failed step, 2 on a usage error, 3 when nothing came.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int kDefaultTimeoutMs = 20000;
const int kPollMs = 25;
const int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's text
const int kMessageBoxIconId = 0x440;   // its icon's static; the installer's dialogs have none
const char kDialogClass[] = "#32770";

int TimeoutArg(int argc, char** argv, int index) {
    return argc > index ? atoi(argv[index]) : kDefaultTimeoutMs;
}

HWND HandleArg(const char* text) {
    return (HWND)(UINT_PTR)strtoull(text, NULL, 10);
}

// Calls `found` until it returns a window or the time is up.
template <typename Finder>
HWND WaitFor(Finder found, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = found();
        if (window) return window;
        if ((int)(GetTickCount() - start) >= timeoutMs) return NULL;
        Sleep(kPollMs);
    }
}

struct NewDialogSearch {
    int excludedCount;
    char** excluded;  // decimal window handles already reported
    HWND found;
};

int IsExcluded(const NewDialogSearch& search, HWND window) {
    for (int i = 0; i < search.excludedCount; i++)
        if (HandleArg(search.excluded[i]) == window) return 1;
    return 0;
}

BOOL CALLBACK MatchNewDialog(HWND window, LPARAM searchParam) {
    NewDialogSearch* search = (NewDialogSearch*)searchParam;
    char className[32];
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, kDialogClass) != 0 || !IsWindowVisible(window)) return TRUE;
    if (IsExcluded(*search, window)) return TRUE;
    search->found = window;
    return FALSE;
}

// A message box is a dialog with the icon and text statics (a dialog's unnamed statics carry
// the text static's id, 0xFFFF, too).
int IsMessageBox(HWND window) {
    return GetDlgItem(window, kMessageBoxIconId) && GetDlgItem(window, kMessageBoxTextId);
}

void PrintDialog(HWND window) {
    char caption[256] = "", text[8192] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (IsMessageBox(window)) {
        GetDlgItemTextA(window, kMessageBoxTextId, text, sizeof text);
        printf("box\t%llu\t%s\t%s\n", (unsigned long long)(UINT_PTR)window, caption, text);
    } else {
        printf("dialog\t%llu\t%s\n", (unsigned long long)(UINT_PTR)window, caption);
    }
}

int Next(int argc, char** argv) {
    NewDialogSearch search = {argc - 3, argv + 3, NULL};
    HWND found = WaitFor(
        [&search] {
            EnumWindows(MatchNewDialog, (LPARAM)&search);
            return search.found;
        },
        atoi(argv[2]));
    if (!found) return 3;
    // A box shown by a dialog that started unseen: the dialog came first.
    for (HWND owner = GetWindow(found, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) {
        char className[32];
        GetClassNameA(owner, className, sizeof className);
        if (strcmp(className, kDialogClass) == 0 && !IsExcluded(search, owner)) found = owner;
    }
    PrintDialog(found);
    return 0;
}

int PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) {
        fprintf(stderr, "qvdrive: no button %d\n", id);
        return 1;
    }
    // Posted, so that a modal loop started by the press does not block this program.
    PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
}

int WaitGone(HWND window, int timeoutMs) {
    HWND gone = WaitFor([window] { return IsWindow(window) ? NULL : (HWND)1; }, timeoutMs);
    if (!gone) fprintf(stderr, "qvdrive: window still there after %d ms\n", timeoutMs);
    return gone ? 0 : 1;
}

int Answer(int /*argc*/, char** argv) {  // a command of the table: its argument count is fixed
    HWND box = HandleArg(argv[2]);
    if (PressButton(box, atoi(argv[3])) != 0) return 1;
    return WaitGone(box, kDefaultTimeoutMs);
}

int Type(int /*argc*/, char** argv) {  // a command of the table: its argument count is fixed
    return SetDlgItemTextA(HandleArg(argv[2]), atoi(argv[3]), argv[4]) ? 0 : 1;
}

int Click(int /*argc*/, char** argv) {  // a command of the table: its argument count is fixed
    return PressButton(HandleArg(argv[2]), atoi(argv[3]));
}

int WaitChange(int argc, char** argv) {
    HWND dialog = HandleArg(argv[2]);
    int id = atoi(argv[3]);
    const char* old = argv[4];
    HWND changed = WaitFor(
        [dialog, id, old] {
            char text[512] = "";
            GetDlgItemTextA(dialog, id, text, sizeof text);
            return strcmp(text, old) != 0 ? dialog : NULL;
        },
        TimeoutArg(argc, argv, 5));
    if (!changed) fprintf(stderr, "qvdrive: control %d still \"%s\"\n", id, old);
    return changed ? 0 : 1;
}

LRESULT CALLBACK HoldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// A stand-in for the running product: a top-level window of the given class.
int Hold(int argc, char** argv) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HoldProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = argv[2];
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowA(argv[2], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                                windowClass.hInstance, NULL);
    if (!window) return 1;
    SetTimer(window, 1, TimeoutArg(argc, argv, 3), NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (message.message == WM_TIMER) DestroyWindow(window);
        DispatchMessageA(&message);
    }
    return 0;
}

int Find(int argc, char** argv) {
    const char* className = argv[2];
    HWND found =
        WaitFor([className] { return FindWindowA(className, NULL); }, TimeoutArg(argc, argv, 3));
    return found ? 0 : 1;
}

int Close(int /*argc*/, char** argv) {  // a command of the table: its argument count is fixed
    HWND window = FindWindowA(argv[2], NULL);
    if (!window) return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitGone(window, kDefaultTimeoutMs);
}

void PrintFileTime(const FILETIME& time) {
    SYSTEMTIME utc;
    FileTimeToSystemTime(&time, &utc);
    printf("%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
           utc.wMinute, utc.wSecond);
}

int StatOne(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (attributes == INVALID_FILE_ATTRIBUTES || file == INVALID_HANDLE_VALUE) {
        printf("%s\tmissing\n", path);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return 1;
    }
    FILETIME written;
    GetFileTime(file, NULL, NULL, &written);
    DWORD size = GetFileSize(file, NULL);
    CloseHandle(file);
    printf("%s\t0x%lX\t", path, (unsigned long)attributes);
    PrintFileTime(written);
    printf("\t%lu\n", (unsigned long)size);
    return 0;
}

int Stat(int argc, char** argv) {
    int failed = 0;
    for (int i = 2; i < argc; i++) failed |= StatOne(argv[i]);
    return failed;
}

struct Command {
    const char* name;
    int minArgs;  // including the program and the command
    int (*run)(int, char**);
};

const Command kCommands[] = {
    {"next", 3, Next},
    {"answer", 4, Answer},
    {"type", 5, Type},
    {"click", 4, Click},
    {"wait-change", 5, WaitChange},
    {"hold", 3, Hold},
    {"find", 3, Find},
    {"close", 3, Close},
    {"stat", 3, Stat},
};

}  // namespace

int main(int argc, char** argv) {
    for (const Command& command : kCommands) {
        if (argc < 2 || strcmp(argv[1], command.name) != 0) continue;
        if (argc < command.minArgs) break;
        int result = command.run(argc, argv);
        fflush(stdout);
        return result;
    }
    fprintf(stderr, "qvdrive: usage: see the head of tests/wine/qvdrive.cpp\n");
    return 2;
}
