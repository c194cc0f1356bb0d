// Internal state of the simulated Windows, shared by the files of platform/sim: the machine
// (drives, file metadata, short-name aliases, open handles, registry, WIN.INI, memory blocks,
// windows, timers, GDI objects), the script and the transcript. One instance, reset by Boot.
// The Sim_* functions are the backend's operations, one per row of platform/win32api_list.h;
// platform/sim/sim_backend.cpp puts them into PlatformBackend in list order.
#pragma once

#include <stdint.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim.h"

#define WIN_API(ret, name, params, args, failed) ret WINAPI Sim_##name params;
#define WIN_API_VOID(name, params, args) void WINAPI Sim_##name params;
#include "platform/win32api_list.h"
#undef WIN_API
#undef WIN_API_VOID
int WINAPIV Sim_wsprintfA(LPSTR buffer, LPCSTR format, ...);

namespace sim {
namespace detail {

// ---------------------------------------------------------------------------------------
// Paths

// A path taken apart: drive letter (in the case typed) and its components below the root.
struct SimPath {
    char drive = 0;
    std::vector<std::string> parts;
    bool trailingSeparator = false;
};

// A path looked up on the host. Components that exist carry the case stored on disk; the
// missing tail keeps the case given.
struct Resolved {
    SimPath path;
    const DriveConfig* drive = nullptr;
    std::vector<std::string> names;  // the components, existing ones in their stored case
    size_t existingParts = 0;        // leading components found
    bool exists = false;             // every component found
    bool isDirectory = false;        // the whole path names a directory (or the root)
    bool parentExists = false;       // the folder that holds the last component is a directory
    std::string hostPath;            // host path of the whole path
    std::string simPath;             // "C:\Real\Case\new"
    std::string key;                 // simPath upper-cased: key of metadata and open files
};

// Parses `text` (drive-absolute, rooted, or relative to the current directory). Returns 0 and
// the last-error code for malformed text or an unmapped drive.
int ParsePath(const char* text, SimPath* out, DWORD* error);
// Parses and looks up. Returns 0 with *error as ParsePath does.
int ResolvePath(const char* text, Resolved* out, DWORD* error);
// ERROR_FILE_NOT_FOUND when only the last component is missing, else ERROR_PATH_NOT_FOUND.
DWORD MissingError(const Resolved& r);
std::string JoinSimPath(char drive, const std::vector<std::string>& parts);
// ASCII case only ('a'..'z' and 'A'..'Z'); no locale is consulted, as for Windows' own names.
char UpperChar(char c);
char LowerChar(char c);
std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);
bool EqualNoCase(const std::string& a, const std::string& b);
const DriveConfig* FindDrive(char letter);
std::string DriveHostDir(const DriveConfig& drive);

// Short names: the alias of `name` in the directory with key `dirKey` (empty when the name is
// a valid 8.3 name and needs none). Creation registers a new name (in the folder's listing and
// its alias) before it exists on the host; deletion forgets it.
bool IsValidShortName(const std::string& name);
std::string ShortNameOf(const std::string& dirKey, const std::string& dirHostPath,
                        const std::string& name);
void RegisterCreatedName(const std::string& dirKey, const std::string& dirHostPath,
                         const std::string& name);
void ForgetName(const std::string& dirKey, const std::string& dirHostPath, const std::string& name);
std::string ParentKey(const Resolved& r);
std::string ParentHostPath(const Resolved& r);

// ---------------------------------------------------------------------------------------
// Files

struct FileMeta {
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    FILETIME creation{}, lastAccess{}, lastWrite{};
};

struct OpenFile {
    std::string simPath;
    std::string key;
    std::string hostPath;
    char drive = 0;
    DWORD access = 0;
    DWORD share = 0;
    uint64_t position = 0;
    bool otherProcess = false;
};

FILETIME WallClockNow();
FileMeta DefaultMeta(bool isDirectory);
FileMeta& MetaFor(const Resolved& r);           // created on first use from the defaults
FileMeta& MetaForFile(const std::string& key);  // the same for an open file's key
uint64_t FileTimeToU64(const FILETIME& t);
FILETIME U64ToFileTime(uint64_t v);
void NoteTouched(const std::string& simPath);
int CreateHostDirectories(const Resolved& r);  // every missing level, aliases registered
// A program started by WinExec that has not ended yet holds the file with this key.
bool ProgramRunning(const std::string& key);

// ---------------------------------------------------------------------------------------
// Memory

struct MemoryBlock {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    bool moveable = false;
    bool local = false;
    int locks = 0;
};

// ---------------------------------------------------------------------------------------
// Registry and resources

struct RegistryValue {
    std::string name;
    DWORD type = REG_SZ;
    std::vector<uint8_t> bytes;
};

struct RegistryKey {
    std::string path;
    std::map<std::string, RegistryValue> values;  // by upper-cased name
    bool denyFullAccess = false;
};

// Upper-cased key path without doubled or trailing separators: the key of Machine::registry.
std::string RegistryPath(const std::string& path);

struct ResourceEntry {
    std::string name, type;
    std::vector<uint8_t> bytes;
};

// What the program registered (sim::RegisterDialog, sim::RegisterResource); null when absent.
const DialogData* FindRegisteredDialog(const std::string& name);
const ResourceEntry* FindRegisteredResource(const std::string& name, const std::string& type);
bool RegisteredResourceType(const std::string& type);

// ---------------------------------------------------------------------------------------
// Windows

enum class WindowKind { TopLevel, Dialog, Control, External };

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::TopLevel;
    std::string name;  // transcript name: "main", a dialog's windowName, ...
    std::string className;
    std::string text;
    DWORD style = 0;
    int controlId = 0;
    HWND parent = nullptr;  // owner of a dialog or top-level window, dialog of a control
    WNDPROC wndProc = nullptr;
    DLGPROC dlgProc = nullptr;
    RECT windowRect{};   // screen coordinates (controls: relative to the parent's client area)
    RECT clientInset{};  // frame and caption between the window and its client area
    bool visible = false;
    int baseX = 0, baseY = 0;    // of a dialog: its font's dialog base units
    std::vector<HWND> controls;  // of a dialog, in template order
    HWND focus = nullptr;        // of a dialog: the control with the keyboard focus
    // Dialogs
    std::string templateName;
    bool ended = false;
    bool destroying = false;
    uint64_t startedAt = 0;  // virtual ms of its WM_INITDIALOG: what UserAction::after counts from
    INT_PTR result = -1;
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT interval = 0;
    uint64_t due = 0;
    uint64_t sequence = 0;  // order of arming, for timers due at the same time
    TIMERPROC proc = nullptr;
};

struct MessageBoxAnswer {
    int answer = IDOK;
    std::string textContains;
    std::function<void()> effect;
    int64_t delayMs = 0;
    std::string captionContains;
};

// ---------------------------------------------------------------------------------------
// GDI

struct GdiObject {
    bool isPen = false;
    bool stock = false;
    int width = 1;
    COLORREF color = 0;
};

struct DeviceContext {
    HWND window = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
};

// ---------------------------------------------------------------------------------------
// The machine

struct Machine {
    MachineConfig config;
    DWORD lastError = 0;
    uint64_t now = 0;
    uintptr_t nextHandle = 0;

    std::string currentDir;                // normalised, "A:\" or "C:\X\Y"
    std::map<std::string, FileMeta> meta;  // by key
    // Each host folder's entries, read once and kept current by the sim's own changes, so
    // that finding a name costs a lookup, not a reading of the folder.
    struct Listing {
        std::set<std::string> names;                           // as stored, in name order
        std::map<std::string, std::set<std::string>> byUpper;  // upper-cased -> stored names
    };
    std::map<std::string, Listing> listings;  // by host folder path
    // Short-name aliases per directory key.
    struct Aliases {
        bool complete = false;                       // every entry that needs one has one
        std::map<std::string, std::string> byName;   // upper-cased long name -> alias
        std::map<std::string, std::string> byAlias;  // upper-cased alias -> upper long name
        std::map<std::string, int> nextNumber;       // first alias ("NAME~1.EXT") -> next N
    };
    std::map<std::string, Aliases> aliases;
    std::map<uintptr_t, OpenFile> files;  // CreateFileA handles and other-process tokens
    std::map<int, uintptr_t> otherProcessTokens;
    std::map<std::string, uint64_t> runningPrograms;  // file key -> virtual ms it ends at
    int nextOtherToken = 1;
    std::map<char, int64_t> capacityLeft;  // per drive letter, -1 unlimited
    std::vector<std::string> touched;
    std::set<std::string> touchedKeys;

    std::map<uintptr_t, MemoryBlock> memory;      // by handle value
    std::map<std::string, RegistryKey> registry;  // by upper-cased path
    std::map<uintptr_t, std::string> openKeys;    // HKEY -> key path (upper)
    struct ProfileEntry {
        std::string section, key, value;
    };
    std::vector<ProfileEntry> profile;
    std::map<std::string, UINT> launchResults;         // upper-cased program
    std::vector<ResourceEntry> resources;              // SetResource overrides
    std::map<uintptr_t, const uint8_t*> resourceData;  // HRSRC/HGLOBAL -> bytes
    std::map<uintptr_t, size_t> resourceSizes;

    std::vector<std::string> classes;  // registered window classes (upper-cased)
    std::map<std::string, WNDPROC> classProcs;
    std::map<uintptr_t, Window> windows;
    int topLevelCount = 0;
    std::vector<Timer> timers;
    uint64_t timerSequence = 0;
    int modalStepLimit = 100000;

    std::vector<UserAction> actions;
    size_t nextAction = 0;
    std::vector<MessageBoxAnswer> answers;
    size_t nextAnswer = 0;
    // The same box answered by default again and again (a retry prompt nobody scripted).
    std::string lastDefaultBox;
    int repeatedDefaultBoxes = 0;

    std::map<uintptr_t, GdiObject> gdiObjects;
    std::map<uintptr_t, DeviceContext> dcs;

    std::vector<Event> transcript;
};

Machine& M();
uintptr_t NewHandle();
void SetError(DWORD code);

// Transcript
struct FieldValue {
    std::string name;
    std::string text;
    long long number = 0;
    bool numeric = false;
};
FieldValue F(const std::string& name, const std::string& text);
FieldValue F(const std::string& name, const char* text);
FieldValue N(const std::string& name, long long number);
void Record(const std::string& kind, std::initializer_list<FieldValue> fields);

// Windows
Window* FindWindowByHandle(HWND hwnd);
std::string WindowName(HWND hwnd);             // "none" for null
RECT InsetsFor(DWORD style, WindowKind kind);  // frame and caption around the client area
POINT ClientOrigin(const Window& window);      // screen position of the client area
Window* FindControl(HWND dialog, int id);
// Dialog units to pixels with base units `base` per `divisor` units (4 across, 8 down),
// rounded as MulDiv rounds.
LONG DialogUnitsToPixels(int units, int base, int divisor);
LRESULT SendToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace detail
}  // namespace sim
