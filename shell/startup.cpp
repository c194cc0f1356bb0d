// Start-up and the main window: the body of the process. It paints the screen blue behind the
// installation, refuses to run while the product is running, has the installer file checked,
// proposes the default target directory, runs the directory dialog and then the installation.
// The main window owns every dialog and message box that follows; there is no message loop
// of our own (the modal loops of those dialogs and boxes serve it). Exit code 0 on every path.
#include <string.h>

#include "engine/engine.h"
#include "engine/messages.h"
#include "setupdir/setupdir.h"
#include "shell/shell.h"

namespace {

const char MAIN_CLASS[] = "generic";
const char MAIN_TITLE[] = CAPTION_MAIN_WINDOW;
const COLORREF MAIN_WINDOW_BLUE = RGB(0, 0, 255);
const char PROGRAM_FILES_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char PRODUCT_SUBDIR[] = PRODUCT_DIR_UNDER_PROGRAM_FILES;  // joined after a '\'
const char FIXED_DEFAULT_DIR[] = PRODUCT_FALLBACK_DIR;

int RegisterMainWindowClass(HINSTANCE instance, HBRUSH background) {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    // The installer carries no icon, so this leaves the class with the system's default.
    windowClass.hIcon = win.LoadIconA(instance, MAIN_CLASS);
    windowClass.hCursor = win.LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = MAIN_CLASS;
    return win.RegisterClassA(&windowClass) != 0;
}

HWND ShowMainWindow(HINSTANCE instance) {
    HWND window =
        win.CreateWindowExA(0, MAIN_CLASS, MAIN_TITLE, WS_OVERLAPPED, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    win.ShowWindow(window, SW_SHOWMAXIMIZED);
    win.UpdateWindow(window);
    return window;
}

// 1 when the product itself is running (the user has been told).
int ProductIsRunning(HWND mainWindow) {
    if (win.FindWindowA(PRODUCT_WINDOW_CLASS, NULL) == NULL &&
        win.FindWindowA(PRODUCT_MENU_WINDOW_CLASS, NULL) == NULL)
        return 0;
    ShowAbortMessage(mainWindow, MSG_PRODUCT_RUNNING);
    return 1;
}

// InstallState.sourceDir = the current directory. 0 (after a message) when it does not fit.
int RecordSourceDir(HWND mainWindow) {
    memset(InstallState.sourceDir, 0, sizeof InstallState.sourceDir);
    DWORD length = win.GetCurrentDirectoryA(SOURCE_DIR_SIZE, InstallState.sourceDir);
    if (length < SOURCE_DIR_SIZE) return 1;
    memset(InstallState.sourceDir, 0, sizeof InstallState.sourceDir);
    ShowAbortMessage(mainWindow, MSG_SOURCE_DIR_TOO_LONG);
    return 0;
}

// The registry's program-files directory followed by VarnookSW\QRVNE32 (joined unchanged, so
// a value ending in '\' gives a doubled separator), or the fixed default when the value cannot
// be read or the joined text is longer than the directory dialog's field hands back (it could
// never be accepted whole).
void ProposeDefaultTargetDir(void) {
    if (ReadProgramFilesDir() &&
        JoinPath(InstallState.targetDir, PATH_FIELD_SIZE, InstallState.targetDir, PRODUCT_SUBDIR) &&
        strlen(InstallState.targetDir) < (size_t)TYPED_DIR_SIZE)
        return;
    memset(InstallState.targetDir, 0, PATH_FIELD_SIZE);
    strcpy(InstallState.targetDir, FIXED_DEFAULT_DIR);
}

// Everything after the main window is up; returns when the installation is over or refused.
void RunInstallation(HINSTANCE instance, HWND mainWindow) {
    if (ProductIsRunning(mainWindow)) return;
    win.GetModuleFileNameA(instance, InstallState.installerPath, PATH_FIELD_SIZE);
    InstallState.installerPath[PATH_FIELD_SIZE - 1] = '\0';
    if (CheckInstallerIntegrity(instance, mainWindow) != 0) return;
    if (!RecordSourceDir(mainWindow)) return;
    ProposeDefaultTargetDir();
    if (ChooseTargetDirectory(instance, mainWindow, InstallState.targetDir))
        InstallFiles(instance, mainWindow, InstallState.sourceDir, InstallState.targetDir);
}

}  // namespace

// Unused: previous, commandLine, showCommand. The signature is the process entry's; the
// installer takes no options and ignores the show command.
int InstallerMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                  int /*showCommand*/) {
    InstallState.instance = instance;
    HBRUSH background = win.CreateSolidBrush(MAIN_WINDOW_BLUE);
    if (RegisterMainWindowClass(instance, background)) {
        HWND mainWindow = ShowMainWindow(instance);
        RunInstallation(instance, mainWindow);
    }
    // The brush is ours on every path, also when the class could not be registered.
    if (background != NULL) win.DeleteObject(background);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            win.PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            return 0;
        default:
            return win.DefWindowProcA(window, message, wParam, lParam);
    }
}

int ReadProgramFilesDir(void) {
    memset(InstallState.targetDir, 0, PATH_FIELD_SIZE);
    HKEY key;
    if (win.RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROGRAM_FILES_KEY, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return 0;
    DWORD size = PATH_FIELD_SIZE;
    LONG result = win.RegQueryValueExA(key, "ProgramFilesDir", NULL, NULL,
                                       (LPBYTE)InstallState.targetDir, &size);
    win.RegCloseKey(key);
    // The field was cleared, so a value shorter than the field ends inside it; one that fills
    // all 260 bytes without a terminator is not taken, nor is an empty one (it would propose a
    // directory without a drive).
    return result == ERROR_SUCCESS && InstallState.targetDir[0] != '\0' &&
           memchr(InstallState.targetDir, '\0', PATH_FIELD_SIZE) != NULL;
}
