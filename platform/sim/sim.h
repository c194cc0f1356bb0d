// The simulated Windows: a deterministic model of the Windows the installer relies on, for the
// native build. Tests and setupsim describe a machine, script what the user does, run the real
// installer code against it and read back the transcript and the files.
//
//   Machine (drives -> host folders, registry, WIN.INI, system directories, running product
//   windows, launch results, UTC offset) + Script (user actions, message-box answers)
//        -> the installer, through the facade `win` ->
//   Transcript (events in virtual time) + files under the sandbox root
//
// Time is virtual: the clock moves only when a timer fires or a scripted action waits for a
// later time. Modal loops (DialogBoxParamA, MessageBoxA) run inside the simulation.
// DialogBoxParamA returns EndDialog's result (EndDialog inside WM_DESTROY of a running dialog
// still counts), 0 for a dialog destroyed without it (a Destroy action, a stuck dialog) and
// for an owner that is no window (ERROR_INVALID_WINDOW_HANDLE), -1 for a missing template.
//
// Files follow Windows' rules: sharing is checked both ways, a read-only file refuses writing
// and truncation, CREATE_ALWAYS or TRUNCATE_EXISTING over a hidden or system file fails with
// ERROR_ACCESS_DENIED unless the attributes asked for include the same bits, and a file
// without attributes reads as FILE_ATTRIBUTE_NORMAL.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32api.h"

namespace sim {

// ---------------------------------------------------------------------------------------
// Machine

struct DriveConfig {
    char letter = 'C';
    UINT type = DRIVE_FIXED;  // GetDriveTypeA value: 2 removable, 3 fixed, 4 remote, 5 CD-ROM
    std::string hostDir;      // host folder holding the drive's files; default ROOT/<letter>
    // What GetDiskFreeSpaceA reports.
    DWORD sectorsPerCluster = 8;
    DWORD bytesPerSector = 512;
    DWORD freeClusters = 0x00200000;  // 8 GiB with the defaults above
    DWORD totalClusters = 0x00400000;
    // Bytes that can still be written to the drive (-1: unlimited). When they run out a
    // WriteFile fails with ERROR_DISK_FULL and writes nothing, as on Windows NT; with
    // fullIsError false it writes what fits and succeeds with the shorter count instead.
    int64_t writeCapacity = -1;
    bool fullIsError = true;
    // A write-protected medium: opens for writing, creation, deletion and attribute changes
    // fail with ERROR_WRITE_PROTECT (19).
    bool writeProtected = false;
    // The volume keeps 8.3 names: GetShortPathNameA gives the "~N" aliases and paths may use
    // them. false: as on a volume with 8.3 names turned off, GetShortPathNameA returns the
    // path as given and aliases name nothing.
    bool shortNames = true;
};

// The system font's dialog base units that MachineConfig starts with (see there).
const int kSystemFontBaseX = 9;
const int kSystemFontBaseY = 16;

struct MachineConfig {
    std::string root;                 // sandbox root on the host; must exist or be creatable
    std::vector<DriveConfig> drives;  // default: A: removable, C: fixed
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\SYSTEM";
    std::string currentDir = "A:\\";
    std::string modulePath = "A:\\SETUP.EXE";  // GetModuleFileNameA of the installer
    int utcOffsetMinutes = 0;                  // local time = UTC + offset
    int screenWidth = 1024;
    int screenHeight = 768;
    // Dialog base units: the pixels that 4 horizontal and 8 vertical dialog units make in a
    // dialog using a font (MapDialogRect and the layout of dialogs from templates; MulDiv
    // rounding, as on Windows). A template without DS_SETFONT, or with a font not listed, uses
    // the system font's. The defaults are the units Wine gives on a 96-dpi display, measured
    // from its screenshots, so that the simulated geometry matches what Wine shows.
    struct DialogFont {
        std::string faceName;  // matched regardless of case
        int pointSize = 0;
        int baseX = 0, baseY = 0;
    };
    int systemFontBaseX = kSystemFontBaseX;
    int systemFontBaseY = kSystemFontBaseY;
    std::vector<DialogFont> dialogFonts{{"System", 8, 7, 13}};
    // How long (virtual ms) a program started by WinExec keeps running. Meanwhile its file is
    // in use, as for a running program on Windows: deleting it fails with ERROR_ACCESS_DENIED,
    // opening it for writing (or truncating it) with ERROR_SHARING_VIOLATION; reading works.
    // 0: programs end at once.
    int programRunMs = 0;
    // Boot creates the Windows and system directories (and the current directory) when their
    // drives are mapped.
    bool createSystemDirs = true;
};

// A 3.5" 1.44 MB diskette drive: 2847 clusters of one 512-byte sector, `freeClusters` of them
// free. A fixed drive with ample space is a DriveConfig as it comes.
DriveConfig DisketteDrive(char letter, DWORD freeClusters);

// A fresh machine: forgets everything of the previous one (files on the host stay where they
// are; drive folders are created), resets the clock to 0, the transcript, the script, handles,
// memory and GDI accounting. Restores the facade's table (RestorePlatformCalls). The root is
// the caller's own folder: an empty one stops the program (a fixed default would be shared by
// every program that left it empty, and a root of "" would put drives at the host's root).
void Boot(const MachineConfig& config);
const MachineConfig& Config();

// Registry under HKEY_LOCAL_MACHINE; keyPath like "SOFTWARE\\Vendor\\Product".
// A string value is stored with its terminator, as Windows stores REG_SZ.
void SetRegistryString(const std::string& keyPath, const std::string& valueName,
                       const std::string& value);
void SetRegistryBytes(const std::string& keyPath, const std::string& valueName,
                      const std::vector<uint8_t>& bytes, DWORD type = REG_SZ);
void CreateRegistryKey(const std::string& keyPath);
// Opens of this key asking for more than read access fail with ERROR_ACCESS_DENIED.
void DenyFullAccess(const std::string& keyPath);

// WIN.INI. GetProfileStringA drops one pair of matching quotation marks (double or single)
// around a value, as Windows does.
void SetProfileString(const std::string& section, const std::string& key, const std::string& value);

// Top-level windows of other programs, found by FindWindowA by class name.
// A running window matches FindWindowA(class, title) when the class matches regardless of case
// and the title is null or equal.
void AddRunningWindow(const std::string& className, const std::string& title = "");

// WinExec's result for a program (matched by full path or bare file name, case ignored); it
// wins over what the files say. Default, as on Windows: 33 when the program file exists and
// starts with "MZ", 11 (ERROR_BAD_FORMAT) when it exists without, 2 when it is missing, 3 when
// its folder is missing. A name without extension means "name.exe" only.
void SetLaunchResult(const std::string& program, UINT result);

// Resources of the installer module beyond those the program registered (replaces one of the
// same name and type, e.g. a package block of type "BINARY"). Forgotten at the next Boot.
void SetResource(const std::string& name, const std::string& type,
                 const std::vector<uint8_t>& bytes);
HINSTANCE ModuleInstance();

// ---------------------------------------------------------------------------------------
// The program's own resources
//
// On Windows the linker puts a program's dialog templates and raw resources into its module,
// where DialogBoxParamA and FindResourceA find them. Here the program hands them over as data
// before it runs (once per process; they outlive Boot, as the program outlives the machine).
// Registering a name again replaces the earlier one. The sim knows nothing of their content.

struct DialogControlData {
    int id = 0;
    std::string className;  // "STATIC", "EDIT", "BUTTON"
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    DWORD style = 0;                          // as the control is created (WS_CHILD included)
};

struct DialogData {
    std::string name;  // template name, matched regardless of case
    // The dialog's name in the transcript, by which scripted actions may also address it;
    // "" for the template name in lower case.
    std::string windowName;
    std::string caption;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    DWORD style = 0;
    int pointSize = 0;                        // 0: the system font
    std::string faceName;                     // "" for the system font
    std::vector<DialogControlData> controls;  // in template (tab) order
};

void RegisterDialog(const DialogData& dialog);
// A raw resource such as a help text of type "TEXT"; the bytes are copied.
void RegisterResource(const std::string& name, const std::string& type, const uint8_t* bytes,
                      size_t size);
// The bytes of a registered resource, for tests (empty when there is none; no facade counters).
std::vector<uint8_t> ProgramResource(const std::string& name, const std::string& type);

// ---------------------------------------------------------------------------------------
// Files, seen from outside the installer (no transcript events, no facade counters)

struct FileInfo {
    bool exists = false;
    bool isDirectory = false;
    uint64_t size = 0;
    DWORD attributes = 0;  // as GetFileAttributesA reports them: FILE_ATTRIBUTE_NORMAL for none
    FILETIME creationTime{}, lastAccessTime{}, lastWriteTime{};  // UTC
};

// Creates or replaces a file (and its missing folders) with these bytes and attributes
// (FILE_ATTRIBUTE_NORMAL or 0: none).
void PutFile(const std::string& path, const std::string& bytes,
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void MakeDirectories(const std::string& path);
// Deletes a file, whatever its attributes (as the user taking a diskette out); false when
// there is no such file.
bool RemoveFile(const std::string& path);
// Sets the last-write time (UTC) of an existing file or folder; false when there is none.
bool SetFileWritten(const std::string& path, const FILETIME& written);
FileInfo GetFileInfo(const std::string& path);
// The file's bytes; false when there is no such file.
bool ReadWholeFile(const std::string& path, std::string* bytes);
// Host path of a simulated path (drive-absolute or relative to the current directory).
std::string HostPath(const std::string& path);
// Simulated paths of every file created, changed or deleted by the installer since Boot.
std::vector<std::string> TouchedFiles();

// Another process holds the file open with this access and sharing; returns a token, or -1
// when the file does not exist or the open conflicts with the sharing of an open handle.
int OpenAsOtherProcess(const std::string& path, DWORD access, DWORD shareMode);
void CloseOtherProcessFile(int token);

// FILETIME helpers (UTC), for tests.
FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second);
std::string FormatFileTime(const FILETIME& time);  // "YYYY-MM-DDTHH:MM:SSZ"

// ---------------------------------------------------------------------------------------
// Accounting, for leak checks at the end of a run

int OpenHandleCount();     // files opened through CreateFileA and not closed
int GlobalBlocksHeld();    // GlobalAlloc blocks not freed
int LocalBlocksHeld();     // LocalAlloc blocks not freed
int GdiObjectsHeld();      // pens and brushes created and not deleted
int DeviceContextsHeld();  // GetDC without ReleaseDC
int RegistryKeysHeld();    // RegOpenKeyExA without RegCloseKey
int TimersPending();       // SetTimer timers not killed (of windows that still exist)
// What a run left held, one word a kind followed by a blank ("files global local gdi dc
// registry "): "" when no file handle is open and no memory block, pen or brush, device context
// or registry key is held. Pending timers are not counted: they end with their windows.
std::string HeldResources();

// ---------------------------------------------------------------------------------------
// The scripted user

uint64_t Now();  // virtual milliseconds since Boot

// Type goes only to an enabled EDIT control and Press only to an enabled BUTTON; any other
// target is recorded as "ignored" and the action is used up. A dialog tracks the keyboard
// focus as Windows does: when WM_INITDIALOG returns TRUE it goes to the first visible, enabled
// WS_TABSTOP control in template order; a pressed button or an edit typed into takes it.
enum class ActionKind {
    Type,   // set the text of control `control` (as the user typing it) - EN_CHANGE follows
    Press,  // click the button `control`: WM_COMMAND (control, BN_CLICKED)
    // The Enter key: WM_COMMAND (id, BN_CLICKED) for the push button with the focus, else for
    // the default push button (BS_DEFPUSHBUTTON; "ignored" when it is disabled), else IDOK.
    Enter,
    Escape,   // the Esc key: WM_COMMAND IDCANCEL
    Destroy,  // the dialog is destroyed from outside (WM_DESTROY while it runs)
};

struct UserAction {
    ActionKind kind = ActionKind::Press;
    int control = 0;
    std::string text;    // for Type
    std::string dialog;  // template name the action is meant for ("" = whichever runs)
    int64_t at = -1;     // virtual ms at which it happens; -1 = as soon as the dialog waits
    // Virtual ms after the dialog that takes it started (its WM_INITDIALOG); used instead of
    // `at` when not -1, so a script need not know how long the steps before took.
    int64_t after = -1;
};

// Actions are taken in order by the dialog that runs (a dialog action waits for its dialog).
void QueueAction(const UserAction& action);
void Type(int control, const std::string& text, const std::string& dialog = "");
void Press(int control, const std::string& dialog = "", int64_t at = -1);

// Message-box answers, taken in order. An answer with a non-empty `textContains` is used only
// by a box whose text contains it (and with a non-empty `captionContains`, whose caption does); a
// box that finds no usable answer at the head of the queue gets its default button (the first, or
// the one MB_DEFBUTTON2/3 names). A box answers only with its own buttons, as on Windows: an answer
// it has no button for becomes its default button (IDCANCEL to an MB_OK box gives IDOK, as Esc
// does); the transcript records the answer returned. A box with more than one button that comes
// back unanswered more than 100 times in a row (a retry prompt nobody scripted) gets the giving-up
// answer from then on (IDCANCEL; IDNO for MB_YESNO, IDABORT for MB_ABORTRETRYIGNORE), with one
// "stuck" event, so that such a run ends.
void AnswerMessageBox(int answer, const std::string& textContains = "",
                      const std::string& captionContains = "");
// The same, and `effect` runs when the box is answered (say, the user inserts a diskette:
// PutFile of the files on it) before MessageBoxA returns.
void AnswerMessageBoxThen(int answer, const std::string& textContains,
                          std::function<void()> effect);
// The same, and the user takes `delayMs` virtual milliseconds to answer: the clock moves on
// while the box is up (timers do not fire inside it; one that fell due fires once afterwards).
void AnswerMessageBoxAfter(int answer, int64_t delayMs, const std::string& textContains = "");

// A dialog with no pending timer and no action left would wait forever; the simulation then
// records a "stuck" event and destroys it (as a Destroy action does). Also bounds the steps
// of one modal loop.
void SetModalStepLimit(int steps);

// ---------------------------------------------------------------------------------------
// The transcript

struct Field {
    std::string name;
    std::string value;
    bool numeric = false;
};

struct Event {
    uint64_t t = 0;    // virtual ms
    std::string kind;  // see below
    std::vector<Field> fields;
    std::string Get(const std::string& name) const;   // "" when absent
    long long Number(const std::string& name) const;  // 0 when absent
};

// Event kinds and their fields:
//   window      window, action, class, title, style, show
//               action "create" (CreateWindowExA), "show" (ShowWindow, with show), "update"
//   class       class, background (COLORREF of a solid brush, or -1)   RegisterClassA
//   quit        code                               PostQuitMessage
//   messagebox  owner, caption, text, style, answer
//   dialog      template, dialog, owner, caption, style, x, y, width, height (window rectangle,
//               screen), clientLeft, clientTop, clientWidth, clientHeight (client area inside
//               it), baseX, baseY (dialog base units)   a modal dialog starts; then one
//   control     dialog, id, class, text, x, y, width, height, style   per control (client
//               pixels)
//   dialog-end  template, dialog, result
//   text        dialog, control, text[, source=user]   SetDlgItemTextA / typed by the user
//   caption     dialog, text                       SetWindowTextA
//   move        dialog, x, y, width, height        MoveWindow
//   timer-set   id, ms, window     timer-kill  id, window     timer  id, window (fired)
//   command     dialog, id, code, action           a user action delivered as WM_COMMAND
//   focus       dialog, control                    the keyboard focus moves to a control
//   destroy     dialog                             a Destroy action
//   ignored     dialog, action, id                 a Type/Press for a control that is not there
//                                                  (or cannot take it), an Enter that does nothing
//   rectangle   dialog, left, top, right, bottom, penColor, penWidth, brushColor
//   open        path, access, share, disposition, handle   (only successful opens)
//   write       path, bytes, written[, error]     close  path     truncate  path, size
//   mkdir       path     delete  path     attributes  path, value     filetime  path, written
//   launch      command, show, cwd, program, result   (program: the file found, or "")
//   stuck       dialog, reason ("idle": nothing pending; "step-limit")
// Owner and dialog names: "main" (the first top-level window; later ones "window2", ...),
// a dialog's DialogData::windowName (without one, its template name in lower case),
// "none" (no window), "external:<class>" (an AddRunningWindow window), "screen" (GetDC(NULL)).
// Paths are full simulated paths, existing components in the case stored on disk.
const std::vector<Event>& Transcript();
std::vector<Event> EventsOf(const std::string& kind);
std::string TranscriptText();       // one readable line per event
std::string TranscriptJsonLines();  // one JSON object per line: {"t":..,"event":kind,...}
// A JSON string literal of `text` (quotes, backslashes, control and non-ASCII bytes escaped).
std::string JsonQuote(const std::string& text);

struct MessageBoxRecord {
    uint64_t t;
    std::string owner, caption, text;
    UINT style;
    int answer;
};
std::vector<MessageBoxRecord> MessageBoxes();

}  // namespace sim
