// The process entry of a program linked without a C runtime: what the runtime's start-up
// would pass to WinMain (the module's instance, no previous instance, the command line after
// the program's name, the show command the starter asked for), then WinMain's result as the
// exit code. Nothing else of a runtime is set up: the program has no static constructors.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The command line after the program's name (quoted or not) and the blanks that follow it.
LPSTR ArgumentsOf(LPSTR line) {
    if (*line == '"') {
        line++;
        while (*line && *line != '"') line++;
        if (*line == '"') line++;
    } else {
        while (*line && !IsBlank(*line)) line++;
    }
    while (IsBlank(*line)) line++;
    return line;
}

int StartShowCommand(void) {
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

// The name the linker takes as a GUI program's entry point.
extern "C" void WinMainCRTStartup(void) {
    LPSTR arguments = ArgumentsOf(GetCommandLineA());
    int result = WinMain(GetModuleHandleA(NULL), NULL, arguments, StartShowCommand());
    ExitProcess((UINT)result);
}
